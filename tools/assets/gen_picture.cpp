// gen_picture.cpp: writes the intro's 256×256 tileable picture, the KVL logo over a plasma.
#include <cmath>
#include <cstdio>
#include <vector>

#include "art.h"
#include "png_writer.h"

namespace {

constexpr int SIZE = 256;
constexpr double LETTER_HEIGHT = 74.0;  // texels
constexpr double OUTLINE = 2.4;         // texels of dark rim around the letters
constexpr double BEVEL = 0.075;         // letter heights
constexpr double SHADOW_X = 5.0, SHADOW_Y = 6.0;

// Palette layout: the background cycle, the same cycle in shadow at half resolution, the letters.
constexpr int BACKGROUND_FIRST = 0, BACKGROUND_COUNT = 128;
constexpr int SHADOW_FIRST = 128;
constexpr int OUTLINE_INDEX = 192;
constexpr int GOLD_FIRST = 193, GOLD_COUNT = 63;
constexpr double SHADOW_LIGHT = 0.42;

std::vector<Rgb> buildPalette() {
    std::vector<Rgb> palette(256);
    for (int i = 0; i < BACKGROUND_COUNT; ++i)
        palette[BACKGROUND_FIRST + i] = toRgb(plasmaColour(double(i) / BACKGROUND_COUNT));
    for (int i = 0; i < BACKGROUND_COUNT / 2; ++i)
        palette[SHADOW_FIRST + i] =
            toRgb(scaleColour(plasmaColour((2.0 * i + 0.5) / BACKGROUND_COUNT), SHADOW_LIGHT));
    palette[OUTLINE_INDEX] = {14, 6, 24};
    for (int i = 0; i < GOLD_COUNT; ++i)
        palette[GOLD_FIRST + i] = toRgb(goldColour(double(i) / (GOLD_COUNT - 1)));
    return palette;
}

// Letter coordinates of a texel position, the logo centred on the tile.
double letterX(double x) {
    return (x - SIZE / 2.0) / LETTER_HEIGHT;
}
double letterY(double y) {
    return (y - SIZE / 2.0) / LETTER_HEIGHT;
}

uint8_t texel(int x, int y) {
    double cx = x + 0.5, cy = y + 0.5;
    double d = kvlDistance(letterX(cx), letterY(cy)) * LETTER_HEIGHT;
    if (d < 0) {
        // Average the shade over a 3×3 grid to keep the bevel's steps clean.
        double sum = 0;
        int count = 0;
        for (int sy = -1; sy <= 1; ++sy)
            for (int sx = -1; sx <= 1; ++sx) {
                double px = letterX(cx + sx / 3.0), py = letterY(cy + sy / 3.0);
                if (kvlDistance(px, py) < 0) sum += kvlShade(px, py, BEVEL), ++count;
            }
        double t = count ? sum / count : kvlShade(letterX(cx), letterY(cy), BEVEL);
        return static_cast<uint8_t>(GOLD_FIRST + std::lround(t * (GOLD_COUNT - 1)));
    }
    if (d < OUTLINE) return OUTLINE_INDEX;
    int step = static_cast<int>(std::lround(plasmaRampPosition(plasmaValue(x, y)) * BACKGROUND_COUNT)) %
               BACKGROUND_COUNT;
    bool shadowed = kvlDistance(letterX(cx - SHADOW_X), letterY(cy - SHADOW_Y)) * LETTER_HEIGHT < OUTLINE;
    return static_cast<uint8_t>(shadowed ? SHADOW_FIRST + step / 2 : BACKGROUND_FIRST + step);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> pixels(SIZE * SIZE);
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) pixels[y * SIZE + x] = texel(x, y);
    if (!writeIndexedPng(argv[1], SIZE, SIZE, pixels, buildPalette())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
