// colour_ramp.h: the colour ramp and the two raster rows it paints along the top and bottom edges.
#pragma once
#include <cstdint>

class _vktSurface;

inline constexpr int COLOUR_RAMP_SIZE = 2048;  // entries; indices are masked to 11 bits
inline constexpr int RAMP_OFFSET_STEP = 8;     // entries the pattern moves per frame
inline constexpr int RAMP_PIXEL_STRIDE = 4;    // entries between neighbouring pixels of a row

// The ramp and where the rows start in it, with their start values.
class ColourRamp {
public:
    // Fills colours: eight segments of 256 entries, black → red → green → blue → cyan → white → yellow →
    // red → black.
    void build();

    // Advances rampOffset and paints row 0 and row h−1 of a 32-bit surface; an empty surface or one of
    // another depth is left alone.
    void drawRasterRows(_vktSurface& surface);

    // The same on bare pixels: width × height 32-bit pixels, rows pitch bytes apart.
    void paintRasterRows(uint32_t* pixels, int width, int height, int pitch);

    // 0x00RRGGBB pixel values of FORMAT_XRGB8888, stored into the work surfaces unmapped.
    uint32_t colours[COLOUR_RAMP_SIZE] = {};
    // Where the rows start in the ramp: 0..2047, always a multiple of 8.
    int rampOffset = 0;
};
