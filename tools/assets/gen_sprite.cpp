// gen_sprite.cpp: writes the pop-up sprite, Vozuz, a round green creature waving hello.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "art.h"
#include "png_writer.h"
#include "quantize.h"

namespace {

constexpr int WIDTH = 134, HEIGHT = 136;
constexpr int SUBSAMPLES = 4;    // per axis, for smooth edges inside the figure
constexpr double OUTLINE = 2.6;  // pixels of dark outline around the whole figure
constexpr double INK = 1.2;      // pixels of the finer line around each part
const Rgb KEY = {255, 0, 255};   // transparent background, palette entry 0
const Colour INK_COLOUR = {18, 10, 30};

struct Vec3 {
    double x, y, z;
};

Vec3 normalised(Vec3 v) {
    double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / len, v.y / len, v.z / len};
}
double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

const Vec3 LIGHT = normalised({-0.55, -0.75, 0.65});
const Vec3 HALFWAY = normalised({LIGHT.x, LIGHT.y, LIGHT.z + 1.0});

// One part of the figure: an ellipse or a capsule, seen as a rounded solid lit from the upper left.
struct Part {
    enum Kind { ELLIPSE, CAPSULE } kind;
    double x0, y0, x1, y1;  // ellipse: centre and radii; capsule: the two ends
    double radius;          // capsule: half its thickness
    Colour colour;
    double gloss;         // strength of the specular highlight
    bool inked;           // drawn with a fine dark line round its edge
    bool solid;           // part of the silhouette (paint-on parts are not)
    double clipBelow;     // paint only below this y (the mouth); very low for none
    const Part* surface;  // paint-on parts take their relief from this part; null for their own
    double opacity;       // paint-on parts may be translucent: 0..1

    // Approximate signed distance in pixels, negative inside.
    double distance(double x, double y) const {
        if (kind == CAPSULE) {
            double ex = x1 - x0, ey = y1 - y0, wx = x - x0, wy = y - y0;
            double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
            double d = std::hypot(wx - ex * t, wy - ey * t) - radius;
            return std::max(d, clipBelow - y);
        }
        double ex = (x - x0) / x1, ey = (y - y0) / y1;
        double f = ex * ex + ey * ey - 1.0;
        double g = 2.0 * std::hypot(ex / x1, ey / y1);
        double d = g > 0 ? f / g : -std::min(x1, y1);
        return std::max(d, clipBelow - y);
    }

    // Surface normal at a point inside: a half ellipsoid or a half cylinder bulging towards the viewer.
    Vec3 normal(double x, double y) const {
        if (surface) return surface->normal(x, y);
        if (kind == CAPSULE) {
            double ex = x1 - x0, ey = y1 - y0, wx = x - x0, wy = y - y0;
            double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
            double nx = (wx - ex * t) / radius, ny = (wy - ey * t) / radius;
            return normalised({nx, ny, std::sqrt(std::max(0.05, 1.0 - nx * nx - ny * ny))});
        }
        double ex = (x - x0) / x1, ey = (y - y0) / y1;
        return normalised({ex, ey, std::sqrt(std::max(0.05, 1.0 - ex * ex - ey * ey))});
    }
};

constexpr double NO_CLIP = -1e9;

Part ellipse(double cx, double cy, double rx, double ry, Colour c, double gloss, bool inked = true) {
    return {Part::ELLIPSE, cx, cy, rx, ry, 0, c, gloss, inked, true, NO_CLIP, nullptr, 1.0};
}
Part capsule(double ax, double ay, double bx, double by, double r, Colour c, double gloss) {
    return {Part::CAPSULE, ax, ay, bx, by, r, c, gloss, true, true, NO_CLIP, nullptr, 1.0};
}

// Back to front. The body is kept apart because paint-on parts borrow its relief.
const Colour GREEN = {88, 214, 64};
const Colour DEEP_GREEN = {44, 150, 60};
const Colour BELLY = {232, 252, 160};
const Colour PINK = {255, 96, 150};
const Part BODY = ellipse(67, 81, 51, 46, GREEN, 0.75);

std::vector<Part> buildParts() {
    std::vector<Part> parts;
    // Antennae with glowing tips.
    parts.push_back(capsule(54, 44, 40, 16, 3.2, DEEP_GREEN, 0.3));
    parts.push_back(capsule(80, 44, 95, 17, 3.2, DEEP_GREEN, 0.3));
    parts.push_back(ellipse(38, 13, 9, 9, PINK, 0.9));
    parts.push_back(ellipse(97, 14, 9, 9, PINK, 0.9));
    // Feet, and the arms: the left one raised in a wave.
    parts.push_back(ellipse(45, 123, 19, 9, DEEP_GREEN, 0.4));
    parts.push_back(ellipse(89, 123, 19, 9, DEEP_GREEN, 0.4));
    parts.push_back(capsule(27, 80, 15, 52, 6.5, GREEN, 0.4));
    parts.push_back(ellipse(14, 46, 9, 9, GREEN, 0.6));
    parts.push_back(capsule(107, 92, 117, 105, 6.5, GREEN, 0.4));
    parts.push_back(ellipse(119, 108, 8.5, 8.5, GREEN, 0.6));
    parts.push_back(BODY);
    // Belly patch, painted on the body without a line.
    Part belly = ellipse(67, 102, 33, 23, BELLY, 0.3, false);
    belly.solid = false, belly.surface = &BODY;
    parts.push_back(belly);
    // Blushing cheeks.
    for (double cx : {30.0, 104.0}) {
        Part cheek = ellipse(cx, 84, 9, 5.5, {255, 110, 170}, 0.2, false);
        cheek.solid = false, cheek.surface = &BODY, cheek.opacity = 0.7;
        parts.push_back(cheek);
    }
    // Eyes: whites, pupils looking up to the right, and a catch light each.
    for (double cx : {50.0, 84.0}) {
        parts.push_back(ellipse(cx, 64, 13, 16, {250, 250, 255}, 0.8));
        Part pupil = ellipse(cx + 3, 62, 6.5, 8, {20, 20, 40}, 0.2, false);
        pupil.solid = false;
        parts.push_back(pupil);
        Part light = ellipse(cx + 0.5, 58, 2.6, 3.2, {255, 255, 255}, 0.0, false);
        light.solid = false;
        parts.push_back(light);
    }
    // Smile: the lower half of an ellipse, and the tongue inside it.
    Part mouth = ellipse(67, 86, 19, 15, {96, 14, 36}, 0.2);
    mouth.solid = false, mouth.clipBelow = 86, mouth.surface = &BODY;
    parts.push_back(mouth);
    Part tongue = ellipse(67, 99, 10, 5.5, {236, 92, 120}, 0.3, false);
    tongue.solid = false, tongue.clipBelow = 86, tongue.surface = &BODY;
    parts.push_back(tongue);
    return parts;
}

Colour shade(const Part& part, double x, double y) {
    Vec3 n = part.normal(x, y);
    double diffuse = std::max(0.0, dot(n, LIGHT));
    double specular = part.gloss * std::pow(std::max(0.0, dot(n, HALFWAY)), 22.0);
    double rim = 0.35 * std::pow(1.0 - n.z, 2.0);  // cool light from behind, on the edges
    Colour c = scaleColour(part.colour, 0.42 + 0.72 * diffuse);
    c = mixColour(c, {120, 170, 255}, rim);
    return mixColour(c, {255, 255, 255}, std::min(1.0, specular));
}

// Colour at one sample point, or false outside the figure and its outline.
bool sample(const std::vector<Part>& parts, double x, double y, Colour& colour) {
    double silhouette = 1e30;
    for (const Part& p : parts)
        if (p.solid) silhouette = std::min(silhouette, p.distance(x, y));
    if (silhouette >= OUTLINE) return false;
    colour = INK_COLOUR;
    for (const Part& p : parts) {
        double d = p.distance(x, y);
        if (d >= 0) continue;
        colour = (p.inked && d > -INK) ? INK_COLOUR : mixColour(colour, shade(p, x, y), p.opacity);
    }
    return true;
}

// Where two outlines meet at a narrow angle a pinhole of background can stay shut in; ink it over, so
// the key colour only ever shows around the figure.
void fillEnclosedGaps(std::vector<Rgb>& image, std::vector<bool>& opaque, std::vector<Rgb>& figureColours) {
    std::vector<bool> outside(WIDTH * HEIGHT, false);
    std::vector<int> todo;
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        int x = i % WIDTH, y = i / WIDTH;
        bool edge = x == 0 || y == 0 || x == WIDTH - 1 || y == HEIGHT - 1;
        if (edge && !opaque[i]) outside[i] = true, todo.push_back(i);
    }
    while (!todo.empty()) {
        int i = todo.back();
        todo.pop_back();
        int x = i % WIDTH, y = i / WIDTH;
        const int next[4] = {x > 0 ? i - 1 : -1, x < WIDTH - 1 ? i + 1 : -1, y > 0 ? i - WIDTH : -1,
                             y < HEIGHT - 1 ? i + WIDTH : -1};
        for (int n : next)
            if (n >= 0 && !opaque[n] && !outside[n]) outside[n] = true, todo.push_back(n);
    }
    for (int i = 0; i < WIDTH * HEIGHT; ++i)
        if (!opaque[i] && !outside[i]) {
            opaque[i] = true;
            image[i] = toRgb(INK_COLOUR);
            figureColours.push_back(image[i]);
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    const std::vector<Part> parts = buildParts();
    // Render in true colour: a pixel belongs to the figure when its centre does (the colour key
    // allows no partial cover), and takes the mean of its samples that fall on the figure.
    std::vector<Rgb> image(WIDTH * HEIGHT);
    std::vector<bool> opaque(WIDTH * HEIGHT, false);
    std::vector<Rgb> figureColours;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            Colour centre;
            if (!sample(parts, x + 0.5, y + 0.5, centre)) continue;
            Colour sum = {0, 0, 0};
            int count = 0;
            for (int sy = 0; sy < SUBSAMPLES; ++sy)
                for (int sx = 0; sx < SUBSAMPLES; ++sx) {
                    Colour c;
                    if (!sample(parts, x + (sx + 0.5) / SUBSAMPLES, y + (sy + 0.5) / SUBSAMPLES, c)) continue;
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    ++count;
                }
            image[y * WIDTH + x] = toRgb(scaleColour(sum, 1.0 / count));
            opaque[y * WIDTH + x] = true;
            figureColours.push_back(image[y * WIDTH + x]);
        }
    fillEnclosedGaps(image, opaque, figureColours);
    std::vector<Rgb> palette = {KEY};
    for (Rgb c : medianCutPalette(figureColours, 255)) {
        if (c == KEY) c.g = 1;  // the key colour must never appear in the figure
        palette.push_back(c);
    }
    std::vector<uint8_t> pixels(WIDTH * HEIGHT, 0);
    for (int i = 0; i < WIDTH * HEIGHT; ++i)
        if (opaque[i]) pixels[i] = nearestIndex(palette, image[i], 1);
    palette.resize(256, Rgb{0, 0, 0});
    if (!writeIndexedPng(argv[1], WIDTH, HEIGHT, pixels, palette)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
