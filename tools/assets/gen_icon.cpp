// gen_icon.cpp: writes the 64×64 application icon, the KVL logo on a rounded tile of the plasma.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "art.h"
#include "png_writer.h"

namespace {

constexpr int SIZE = 64;
constexpr int SUBSAMPLES = 4;           // per axis
constexpr double CORNER = 11.0;         // corner radius of the tile, pixels
constexpr double BORDER = 1.6;          // dark frame inside the tile's edge, pixels
constexpr double PLASMA_SCALE = 2.0;    // plasma texels per icon pixel: the middle of the tile
constexpr double LETTER_HEIGHT = 19.0;  // pixels
constexpr double OUTLINE = 1.3;         // pixels
constexpr double BEVEL = 0.09;          // letter heights
const Colour DARK = {14, 6, 24};

// Signed distance to the rounded tile, negative inside.
double tileDistance(double x, double y) {
    double half = SIZE / 2.0 - 0.5;
    double qx = std::abs(x - SIZE / 2.0) - (half - CORNER), qy = std::abs(y - SIZE / 2.0) - (half - CORNER);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - CORNER;
}

Colour sampleColour(double x, double y) {
    double lx = (x - SIZE / 2.0) / LETTER_HEIGHT, ly = (y - SIZE / 2.0) / LETTER_HEIGHT;
    double d = kvlDistance(lx, ly) * LETTER_HEIGHT;
    if (d < 0) return goldColour(kvlShade(lx, ly, BEVEL));
    if (d < OUTLINE) return DARK;
    if (tileDistance(x, y) > -BORDER) return DARK;
    // The plasma darkens towards the frame so the letters stand out.
    Colour c =
        plasmaColour(plasmaRampPosition(plasmaValue(64.0 + x * PLASMA_SCALE, 64.0 + y * PLASMA_SCALE)));
    double shadow = kvlDistance(lx - 1.5 / LETTER_HEIGHT, ly - 2.0 / LETTER_HEIGHT) * LETTER_HEIGHT < OUTLINE;
    return scaleColour(c, shadow ? 0.42 : 0.8);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> rgba(SIZE * SIZE * 4);
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
            Colour sum = {0, 0, 0};
            int covered = 0;
            for (int sy = 0; sy < SUBSAMPLES; ++sy)
                for (int sx = 0; sx < SUBSAMPLES; ++sx) {
                    double px = x + (sx + 0.5) / SUBSAMPLES, py = y + (sy + 0.5) / SUBSAMPLES;
                    if (tileDistance(px, py) > 0) continue;
                    Colour c = sampleColour(px, py);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    ++covered;
                }
            Rgb c = covered ? toRgb(scaleColour(sum, 1.0 / covered)) : Rgb{0, 0, 0};
            uint8_t* p = &rgba[(y * SIZE + x) * 4];
            p[0] = c.r, p[1] = c.g, p[2] = c.b;
            p[3] = static_cast<uint8_t>(std::lround(255.0 * covered / (SUBSAMPLES * SUBSAMPLES)));
        }
    if (!writeRgbaPng(argv[1], SIZE, SIZE, rgba)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
