// art.cpp: colour ramps, the tileable plasma and the KVL lettering as a distance field.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point {
    double x, y;
};

// Letter outlines in a grid 100 units tall, y downwards; each letter starts at x = 0.
const std::vector<Point> LETTER_K = {{0, 0},    {26, 0},   {26, 38}, {55, 0},  {86, 0},   {49, 45},
                                     {88, 100}, {56, 100}, {27, 58}, {26, 58}, {26, 100}, {0, 100}};
const std::vector<Point> LETTER_V = {{0, 0}, {28, 0}, {45, 64}, {62, 0}, {90, 0}, {61, 100}, {29, 100}};
const std::vector<Point> LETTER_L = {{0, 0}, {27, 0}, {27, 73}, {68, 73}, {68, 100}, {0, 100}};
constexpr double LETTER_GAP = 10.0;
constexpr double LEAN = 0.22;     // forward lean: x shift per unit of height
constexpr double ROUNDING = 3.0;  // corner radius in grid units

// Exact signed distance to a simple polygon (winding test for the sign).
double polygonDistance(const std::vector<Point>& poly, double px, double py) {
    double best = 1e30;
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point& a = poly[i];
        const Point& b = poly[j];
        double ex = b.x - a.x, ey = b.y - a.y;
        double wx = px - a.x, wy = py - a.y;
        double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
        double dx = wx - ex * t, dy = wy - ey * t;
        best = std::min(best, dx * dx + dy * dy);
        if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside ? -std::sqrt(best) : std::sqrt(best);
}

double letterWidth(const std::vector<Point>& poly) {
    double w = 0;
    for (const Point& p : poly) w = std::max(w, p.x);
    return w;
}

double cosine(int periods, double x) {
    return std::cos(2.0 * ART_PI * periods * x / 256.0);
}

// Folds a texel coordinate into 0..128 about the mirror lines, so mirrored texels get bit-equal values.
double fold(double x) {
    double u = std::fmod(x + 0.5, 256.0);
    if (u < 0) u += 256.0;
    return u > 128.0 ? 256.0 - u : u;
}

}  // namespace

double clampUnit(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double smoothStep(double edge0, double edge1, double v) {
    double t = clampUnit((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

Colour mixColour(const Colour& a, const Colour& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaleColour(const Colour& c, double factor) {
    return {c.r * factor, c.g * factor, c.b * factor};
}

Rgb toRgb(const Colour& c) {
    auto channel = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

Colour rampColour(const std::vector<Colour>& keys, double t) {
    double pos = clampUnit(t) * (keys.size() - 1);
    size_t i = std::min(static_cast<size_t>(pos), keys.size() - 2);
    return mixColour(keys[i], keys[i + 1], pos - i);
}

Colour cyclicRampColour(const std::vector<Colour>& keys, double t) {
    double pos = (t - std::floor(t)) * keys.size();
    size_t i = std::min(static_cast<size_t>(pos), keys.size() - 1);
    return mixColour(keys[i], keys[(i + 1) % keys.size()], pos - i);
}

double plasmaValue(double x, double y) {
    // Texel centres sit half a texel off the mirror lines; only cosines of whole periods over 256
    // appear, which makes the field periodic and even about both lines.
    double u = fold(x), v = fold(y);
    double a = cosine(1, u) + cosine(1, v);
    double b = cosine(2, u) * cosine(3, v) + cosine(3, u) * cosine(2, v);
    double c = cosine(4, u) + cosine(5, v) * cosine(1, u);
    double ring = std::sin(2.2 * a + 0.6 * b);
    double ripple = std::sin(3.0 * b + 1.4 * cosine(2, u) * cosine(2, v) + 0.8 * a);
    return (1.1 * ring + 0.7 * ripple + 0.35 * c) / 2.15;
}

double plasmaRampPosition(double value) {
    double t = value * 0.9 + 0.37;
    return t - std::floor(t);
}

Colour plasmaColour(double t) {
    static const std::vector<Colour> keys = {
        {4, 8, 34},       // deep navy
        {26, 20, 90},     // indigo
        {84, 30, 138},    // violet
        {160, 50, 142},   // orchid
        {62, 80, 176},    // periwinkle
        {26, 150, 188},   // sky
        {128, 218, 216},  // pale aqua
        {16, 96, 128},    // teal
        {8, 34, 72},      // dusk blue
    };
    return cyclicRampColour(keys, t);
}

double kvlDistance(double x, double y) {
    static const double total =
        letterWidth(LETTER_K) + letterWidth(LETTER_V) + letterWidth(LETTER_L) + 2 * LETTER_GAP;
    // Into the letters' grid: undo the lean, then find the letter.
    double gy = y * 100.0 + 50.0;
    double gx = x * 100.0 + total / 2.0 - LEAN * (50.0 - gy);
    double d = 1e30;
    double left = 0;
    for (const std::vector<Point>* letter : {&LETTER_K, &LETTER_V, &LETTER_L}) {
        d = std::min(d, polygonDistance(*letter, gx - left, gy) - ROUNDING);
        left += letterWidth(*letter) + LETTER_GAP;
    }
    // The shear stretches distances a little; the rim widths do not need more accuracy.
    return d / 100.0;
}

double kvlShade(double x, double y, double bevel) {
    double depth = -kvlDistance(x, y);
    if (depth >= bevel) {
        // Face: a chrome horizon a little below the middle, bright sky above, warm ground below.
        double t = y + 0.5;
        if (t < 0.52) return 0.95 - 0.55 * smoothStep(0.0, 0.52, t);
        return 0.18 + 0.5 * smoothStep(0.52, 1.0, t);
    }
    // Bevel: the slope faces outwards, along the gradient of the distance field.
    const double h = 0.002;
    double gx = kvlDistance(x + h, y) - kvlDistance(x - h, y);
    double gy = kvlDistance(x, y + h) - kvlDistance(x, y - h);
    double len = std::sqrt(gx * gx + gy * gy);
    if (len > 0) gx /= len, gy /= len;
    double lit = gx * -0.6 + gy * -0.8;  // towards the light, up and to the left
    return clampUnit(0.5 + 0.45 * lit);
}

Colour goldColour(double t) {
    static const std::vector<Colour> keys = {
        {50, 22, 6}, {120, 60, 14}, {190, 116, 30}, {236, 176, 56}, {255, 222, 120}, {255, 250, 220},
    };
    return rampColour(keys, t);
}
