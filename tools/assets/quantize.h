// quantize.h: reduces a true-colour picture to a palette, the same way on every run.
#pragma once
#include <cstdint>
#include <vector>

#include "png_writer.h"

// A palette of at most maxColours entries for the given colours: median cut, then a few rounds of
// k-means. Deterministic: ties are broken by the colour values themselves. Empty for no colours.
std::vector<Rgb> medianCutPalette(const std::vector<Rgb>& colours, int maxColours);

// Index of the palette entry nearest to c (squared distance; the lowest index wins a tie), searching
// entries first..palette.size()-1.
uint8_t nearestIndex(const std::vector<Rgb>& palette, const Rgb& c, int first);
