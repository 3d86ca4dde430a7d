// The pictures in data/ and the tools that make them: formats, the font grid, the sprite's colour key,
// the picture's seam, and the PNG writer, palette reduction and plasma underneath.
#include <png.h>
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "art.h"
#include "png_writer.h"
#include "quantize.h"

namespace {

// A PNG as stored: its header fields, its palette and its rows unpacked to one byte per sample.
struct PngFile {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = -1, interlace = -1, channels = 0;
    std::vector<Rgb> palette;
    std::vector<uint8_t> samples;

    uint8_t index(int x, int y) const { return samples[y * width + x]; }
    Rgb colour(int x, int y) const { return palette[index(x, y)]; }
};

// libpng leaves by longjmp on error, so the result lives with the caller and this frame holds no objects.
void readPngInto(const char* path, PngFile& out) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        out.ok = false;
        return;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colourType, &out.interlace, nullptr,
                 nullptr);
    png_colorp entries = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &entries, &count))
        for (int i = 0; i < count; ++i)
            out.palette.push_back({entries[i].red, entries[i].green, entries[i].blue});
    out.channels = png_get_channels(png, info);
    if (out.bitDepth == 8 && out.interlace == PNG_INTERLACE_NONE) {
        out.samples.resize(static_cast<size_t>(out.width) * out.height * out.channels);
        for (png_uint_32 y = 0; y < out.height; ++y)
            png_read_row(png, &out.samples[static_cast<size_t>(y) * out.width * out.channels], nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    out.ok = true;
}

PngFile readPng(const std::string& path) {
    PngFile file;
    readPngInto(path.c_str(), file);
    return file;
}

std::string dataPath(const char* name) {
    return std::string(DOVOZ1_SOURCE_DIR) + "/data/" + name;
}

int colourDistance(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// ---- formats ----

using FormatRow = std::tuple<const char*, int, int>;

class PalettePictureTest : public ::testing::TestWithParam<FormatRow> {};

TEST_P(PalettePictureTest, IsAnEightBitPaletteImageOf256EntriesNotInterlaced) {
    auto [name, width, height] = GetParam();
    PngFile png = readPng(dataPath(name));
    ASSERT_TRUE(png.ok) << name;
    EXPECT_EQ(png.width, static_cast<png_uint_32>(width));
    EXPECT_EQ(png.height, static_cast<png_uint_32>(height));
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    EXPECT_EQ(png.palette.size(), 256u);
}

INSTANTIATE_TEST_SUITE_P(Data, PalettePictureTest,
                         ::testing::Values(FormatRow{"pic1_256x256.png", 256, 256},
                                           FormatRow{"fonts.png", 234, 34},
                                           FormatRow{"vozuz.png", 134, 136}));

TEST(IconTest, IsA64SquareWithTransparentCornersAndAnOpaqueMiddle) {
    PngFile png = readPng(dataPath("icon.png"));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 64u);
    EXPECT_EQ(png.height, 64u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    ASSERT_EQ(png.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    auto alpha = [&](int x, int y) { return png.samples[(y * 64 + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(63, 63), 0);
    EXPECT_EQ(alpha(32, 32), 255);
    EXPECT_EQ(alpha(32, 1), 255);  // the rounding keeps to the corners
}

// ---- the font sheet ----

constexpr Rgb FONT_KEY = {0, 60, 60};
constexpr Rgb MAGENTA = {255, 0, 255};

// The cells the scroller reads: signs, and the top-left pixel of each cell.
std::vector<std::tuple<char, int, int>> glyphCells() {
    std::vector<std::tuple<char, int, int>> cells;
    for (char c = 'A'; c <= 'Z'; ++c) cells.emplace_back(c, 9 * (c - 'A'), 0);
    for (char c = 'a'; c <= 'z'; ++c) cells.emplace_back(c, 9 * (c - 'a'), 9);
    for (char c = '1'; c <= '9'; ++c) cells.emplace_back(c, 9 * (c - '1'), 18);
    const std::string tail = "0:;?!.,'/\\()[]-=+";
    for (size_t i = 0; i < tail.size(); ++i) cells.emplace_back(tail[i], 81 + 9 * static_cast<int>(i), 18);
    const std::string last = "\"_@$%^&";
    for (size_t i = 0; i < last.size(); ++i) cells.emplace_back(last[i], 9 * static_cast<int>(i), 27);
    return cells;
}

class FontSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        png = readPng(dataPath("fonts.png"));
        ASSERT_TRUE(png.ok);
        ASSERT_EQ(png.width, 234u);
        ASSERT_EQ(png.height, 34u);
        ASSERT_EQ(png.palette.size(), 256u);
    }
    // Pixels of an 8×8 glyph area that are not background; the bottom row of cells is cut to 7.
    int inkIn(int left, int top) const {
        int ink = 0;
        for (int y = top; y < top + 8 && y < 34; ++y)
            for (int x = left; x < left + 8; ++x) ink += png.index(x, y) != 0;
        return ink;
    }
    PngFile png;
};

TEST_F(FontSheetTest, BackgroundIsEntryZeroAndNoGlyphPixelHidesAsAKey) {
    EXPECT_EQ(png.palette[0], FONT_KEY);
    // Another entry of the sheet's key colour would vanish under the colour key, and magenta would
    // vanish on the text surface, whose key it is.
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 234; ++x) {
            if (png.index(x, y) == 0) continue;
            ASSERT_NE(png.colour(x, y), FONT_KEY) << x << "," << y;
            ASSERT_NE(png.colour(x, y), MAGENTA) << x << "," << y;
        }
}

TEST_F(FontSheetTest, EveryMappedSignHasAGlyphAndTheSpaceCellIsEmpty) {
    for (auto [sign, x, y] : glyphCells()) EXPECT_GT(inkIn(x, y), 0) << "no glyph for '" << sign << "'";
    EXPECT_EQ(inkIn(63, 27), 0);
}

TEST_F(FontSheetTest, SpacingLinesAndUnmappedCellsAreBackground) {
    std::set<std::pair<int, int>> mapped;
    for (auto [sign, x, y] : glyphCells()) mapped.insert({x, y});
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 234; ++x) {
            bool spacing = x % 9 == 8 || y % 9 == 8;
            bool unmapped = !mapped.count({x - x % 9, y - y % 9});
            if (spacing || unmapped) {
                ASSERT_EQ(png.index(x, y), 0) << x << "," << y;
            }
        }
}

// ---- the sprite ----

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        png = readPng(dataPath("vozuz.png"));
        ASSERT_TRUE(png.ok);
        ASSERT_EQ(png.width, 134u);
        ASSERT_EQ(png.height, 136u);
    }
    bool isKey(int x, int y) const { return png.colour(x, y) == MAGENTA; }
    PngFile png;
};

TEST_F(SpriteTest, WholeEdgeIsMagentaSoTheFigureIsNeverCut) {
    for (int x = 0; x < 134; ++x) EXPECT_TRUE(isKey(x, 0) && isKey(x, 135)) << x;
    for (int y = 0; y < 136; ++y) EXPECT_TRUE(isKey(0, y) && isKey(133, y)) << y;
}

TEST_F(SpriteTest, MagentaIsOnlyTheSurroundingBackground) {
    // Flood the key colour in from the edge; key pixels it cannot reach would be holes in the figure.
    std::vector<bool> reached(134 * 136, false);
    std::vector<std::pair<int, int>> todo = {{0, 0}};
    reached[0] = true;
    int figure = 0, keys = 0;
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
        for (int k = 0; k < 4; ++k) {
            int nx = x + dx[k], ny = y + dy[k];
            if (nx < 0 || ny < 0 || nx >= 134 || ny >= 136 || reached[ny * 134 + nx] || !isKey(nx, ny))
                continue;
            reached[ny * 134 + nx] = true;
            todo.push_back({nx, ny});
        }
    }
    for (int y = 0; y < 136; ++y)
        for (int x = 0; x < 134; ++x) {
            if (isKey(x, y)) {
                ++keys;
                EXPECT_TRUE(reached[y * 134 + x]) << "hole in the figure at " << x << "," << y;
            } else {
                ++figure;
            }
        }
    EXPECT_GT(figure, 134 * 136 / 3);  // a real figure, not a speck
    EXPECT_GT(keys, 0);
}

TEST_F(SpriteTest, FigureIsOutlinedInADarkColour) {
    for (int y = 1; y < 135; ++y)
        for (int x = 1; x < 133; ++x) {
            if (isKey(x, y)) continue;
            if (!isKey(x - 1, y) && !isKey(x + 1, y) && !isKey(x, y - 1) && !isKey(x, y + 1)) continue;
            Rgb c = png.colour(x, y);
            ASSERT_LT(c.r + c.g + c.b, 3 * 64) << "light edge pixel at " << x << "," << y;
        }
}

// ---- the picture ----

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        png = readPng(dataPath("pic1_256x256.png"));
        ASSERT_TRUE(png.ok);
        ASSERT_EQ(png.width, 256u);
        ASSERT_EQ(png.height, 256u);
        ASSERT_EQ(png.palette.size(), 256u);
    }
    // Mean colour difference between column a and column b, or between row a and row b.
    double columnStep(int a, int b) const {
        double sum = 0;
        for (int y = 0; y < 256; ++y) sum += colourDistance(png.colour(a, y), png.colour(b, y));
        return sum / 256;
    }
    double rowStep(int a, int b) const {
        double sum = 0;
        for (int x = 0; x < 256; ++x) sum += colourDistance(png.colour(x, a), png.colour(x, b));
        return sum / 256;
    }
    PngFile png;
};

TEST_F(PictureTest, WrapEdgesAreNoRougherThanAnyInteriorBoundary) {
    double wrapColumns = columnStep(255, 0), wrapRows = rowStep(255, 0);
    for (int i = 0; i < 255; ++i) {
        EXPECT_LE(wrapColumns, columnStep(i, i + 1)) << "columns " << i << "|" << i + 1;
        EXPECT_LE(wrapRows, rowStep(i, i + 1)) << "rows " << i << "|" << i + 1;
    }
}

TEST_F(PictureTest, GradientsSpreadOverMostOfThePalette) {
    std::set<uint8_t> used(png.samples.begin(), png.samples.end());
    EXPECT_GE(used.size(), 200u);
    // Neighbouring background entries differ by small steps: the ramp is smooth, not banded.
    int largest = 0;
    for (int i = 0; i < 127; ++i)
        largest = std::max(largest, colourDistance(png.palette[i], png.palette[i + 1]));
    EXPECT_LE(largest, 24);
}

// ---- the tools underneath ----

class AssetToolTest : public ::testing::Test {
protected:
    void SetUp() override { dir = ::testing::TempDir(); }
    std::string path(const char* name) const { return dir + "/assets_test_" + name; }
    static bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }
    std::string dir;
};

TEST_F(AssetToolTest, IndexedPngRoundTripsPaletteAndPixels) {
    const std::vector<Rgb> palette = {{1, 2, 3}, {250, 0, 7}, {9, 200, 90}};
    const std::vector<uint8_t> pixels = {0, 1, 2, 2, 1, 0, 1, 1, 1, 0, 0, 2, 2, 1, 0};
    const std::string file = path("indexed.png");
    ASSERT_TRUE(writeIndexedPng(file, 5, 3, pixels, palette));
    PngFile png = readPng(file);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    EXPECT_EQ(png.palette, palette);
    EXPECT_EQ(png.samples, pixels);
    std::remove(file.c_str());
}

TEST_F(AssetToolTest, RgbaPngRoundTrips) {
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 10, 20, 30, 40};
    const std::string file = path("rgba.png");
    ASSERT_TRUE(writeRgbaPng(file, 2, 2, rgba));
    PngFile png = readPng(file);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png.samples, rgba);
    std::remove(file.c_str());
}

TEST_F(AssetToolTest, BadInputFailsAndLeavesNoFile) {
    const std::string file = path("refused.png");
    const std::vector<Rgb> two = {{0, 0, 0}, {255, 255, 255}};
    EXPECT_FALSE(writeIndexedPng(file, 2, 1, {0, 2}, two));                 // index outside the palette
    EXPECT_FALSE(writeIndexedPng(file, 2, 2, {0, 1}, two));                 // too few pixels
    EXPECT_FALSE(writeIndexedPng(file, 1, 1, {0}, std::vector<Rgb>(257)));  // palette too long
    EXPECT_FALSE(writeIndexedPng(file, 0, 1, {}, two));                     // empty picture
    EXPECT_FALSE(writeRgbaPng(file, 1, 1, {1, 2, 3}));                      // a short pixel
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(writeIndexedPng(dir + "/no/such/dir/x.png", 1, 1, {0}, two));
    // An existing file in the way is replaced only by a complete picture.
    ASSERT_TRUE(writeIndexedPng(file, 1, 1, {1}, two));
    EXPECT_TRUE(exists(file));
    std::remove(file.c_str());
}

TEST(QuantizeTest, FewColoursAreKeptExactlyAndManyAreReducedToTheLimit) {
    std::vector<Rgb> few;
    for (int i = 0; i < 50; ++i) few.push_back(Rgb{uint8_t(i % 5 * 60), uint8_t(i % 5 * 10), 7});
    std::vector<Rgb> palette = medianCutPalette(few, 8);
    std::set<std::tuple<int, int, int>> got, want;
    for (const Rgb& c : palette) got.insert({c.r, c.g, c.b});
    for (const Rgb& c : few) want.insert({c.r, c.g, c.b});
    EXPECT_EQ(got, want);

    std::vector<Rgb> ramp;
    for (int i = 0; i < 256; ++i) ramp.push_back(Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    palette = medianCutPalette(ramp, 16);
    EXPECT_EQ(palette.size(), 16u);
    for (const Rgb& c : ramp) EXPECT_LE(colourDistance(c, palette[nearestIndex(palette, c, 0)]), 24);
    EXPECT_EQ(medianCutPalette(ramp, 16), palette);  // the same on every run
    EXPECT_TRUE(medianCutPalette({}, 16).empty());
}

TEST(PlasmaTest, RepeatsEvery256AndMirrorsBitForBit) {
    // The picture's seamless wrap rests on these equalities holding exactly, not nearly.
    for (int y = -3; y < 260; y += 7)
        for (int x = -5; x < 262; x += 11) {
            double v = plasmaValue(x, y);
            ASSERT_EQ(v, plasmaValue(x + 256, y)) << x << "," << y;
            ASSERT_EQ(v, plasmaValue(x, y - 256)) << x << "," << y;
            ASSERT_EQ(v, plasmaValue(255 - x, y)) << x << "," << y;
            ASSERT_EQ(v, plasmaValue(x, 255 - y)) << x << "," << y;
        }
}

}  // namespace
