// art.h: the shared drawing pieces of the generators: colour ramps, the tileable plasma, the KVL logo.
#pragma once
#include <cstdint>
#include <vector>

#include "png_writer.h"

inline constexpr double ART_PI = 3.14159265358979323846;

// A colour with channels 0..255 as reals, so that ramps blend before they are rounded.
struct Colour {
    double r, g, b;
};

double clampUnit(double v);
double smoothStep(double edge0, double edge1, double v);
Colour mixColour(const Colour& a, const Colour& b, double t);
Colour scaleColour(const Colour& c, double factor);
Rgb toRgb(const Colour& c);

// Piecewise linear ramp through evenly spaced keys; t 0..1 runs from the first key to the last.
Colour rampColour(const std::vector<Colour>& keys, double t);
// The same ramp through keys that close on the first one: t 0..1 goes once round, without a step.
Colour cyclicRampColour(const std::vector<Colour>& keys, double t);

// The background plasma, a value in -1..1 at texel (x, y). It repeats every 256 texels both ways and
// mirrors about the lines between texels 255 and 0 and between 127 and 128, so a tile meets its
// neighbours without any step.
double plasmaValue(double x, double y);
// The background's colour cycle: t 0..1 goes once round navy, violet, orchid, sky, aqua, teal and back.
Colour plasmaColour(double t);
// Where a plasma value falls on that cycle, 0..1; the value's whole range spans a little under two
// turns, which draws the contour bands.
double plasmaRampPosition(double value);

// Signed distance to the KVL lettering, negative inside. The units are letter heights: the letters
// stand between y = -0.5 and 0.5, centred on x = 0, leaning forward; the whole word is about 2.8 wide.
double kvlDistance(double x, double y);
// Shade of the letters' gold at a point inside them, 0 (dark) to 1 (highlight): a chrome-like
// vertical reflection on the flat face and light from the upper left on the bevelled rim, which is
// bevel letter heights wide.
double kvlShade(double x, double y, double bevel);
// The gold ramp for the letters, t 0..1 from dark bronze to white.
Colour goldColour(double t);
