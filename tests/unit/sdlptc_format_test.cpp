// Pixel formats and palettes: the preset table, the two comparisons, the built-in palettes.
#include "sdlptc_format.h"
#include "sdlptc_palette.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using PresetRow = std::tuple<int, int, uint32_t, uint32_t, uint32_t, uint32_t>;

class FormatPresetTest : public ::testing::TestWithParam<PresetRow> {};

TEST_P(FormatPresetTest, SetPresetFillsTheRow) {
    auto [id, bits, red, green, blue, alpha] = GetParam();
    _vktFormat format(static_cast<uint16_t>(id));
    EXPECT_EQ(format.id(), id);
    EXPECT_EQ(format.bits(), bits);
    EXPECT_EQ(format.redMask(), red);
    EXPECT_EQ(format.greenMask(), green);
    EXPECT_EQ(format.blueMask(), blue);
    EXPECT_EQ(format.alphaMask(), alpha);
}

INSTANTIATE_TEST_SUITE_P(Presets, FormatPresetTest,
                         ::testing::Values(PresetRow{1000, 32, 0xFF0000, 0xFF00, 0xFF, 0},
                                           PresetRow{1001, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                                           PresetRow{1004, 32, 0xFF00, 0xFF0000, 0xFF000000, 0},
                                           PresetRow{1007, 32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF},
                                           PresetRow{1009, 24, 0xFF, 0xFF00, 0xFF0000, 0},
                                           PresetRow{1010, 16, 0xF800, 0x7E0, 0x1F, 0},
                                           PresetRow{1013, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
                                           PresetRow{1015, 16, 0x1F, 0x3E0, 0x7C00, 0x8000},
                                           PresetRow{1017, 8, 0, 0, 0, 0}, PresetRow{1018, 8, 0, 0, 0, 0}));

TEST(FormatTest, IdsOutsideTheTableSelectXRGB8888) {
    for (int id : {0, 999, 1019, 2000, 65535}) {
        _vktFormat format(static_cast<uint16_t>(id));
        EXPECT_TRUE(format.identical(_vktFormat(FORMAT_XRGB8888))) << id;
    }
}

TEST(FormatTest, EqualityIgnoresTheIdButIdenticalDoesNot) {
    _vktFormat preset(FORMAT_XRGB8888);
    _vktFormat custom(32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(custom.id(), FORMAT_CUSTOM);
    EXPECT_TRUE(preset == custom);
    EXPECT_FALSE(preset != custom);
    EXPECT_EQ(preset.identical(custom), 0);
    // The three 8-bit presets describe the same layout.
    EXPECT_TRUE(_vktFormat(FORMAT_GREY8) == _vktFormat(FORMAT_RGB332));
    EXPECT_FALSE(_vktFormat(FORMAT_ARGB8888) == preset);
}

TEST(FormatTest, BytesDropsPartialBytes) {
    EXPECT_EQ(_vktFormat(FORMAT_RGB565).bytes(), 2);
    EXPECT_EQ(_vktFormat(FORMAT_RGB888).bytes(), 3);
    EXPECT_EQ(_vktFormat(FORMAT_INDEX8).bytes(), 1);
    EXPECT_EQ(_vktFormat(15, 0x7C00, 0x3E0, 0x1F, 0).bytes(), 1);
}

TEST(ColourTest, PackAndUnpack) {
    EXPECT_EQ(packRGB(0x12, 0x34, 0x56), 0x123456u);
    int r, g, b;
    unpackRGB(0xFF123456, &r, &g, &b);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);
}

TEST(PaletteTest, RGB332CubeEntries) {
    _vktPalette palette;
    ASSERT_EQ(palette.makeRGB332(), 1);
    const uint32_t* e = palette.entries();
    EXPECT_EQ(e[0], 0x000000u);
    EXPECT_EQ(e[1], 0x000055u);
    EXPECT_EQ(e[0x1C], 0x00FF00u);
    EXPECT_EQ(e[0xE0], 0xFF0000u);
    EXPECT_EQ(e[0xFF], 0xFFFFFFu);
    EXPECT_EQ(e[0x49], 0x484855u);
    EXPECT_EQ(palette.lockCount(), 0);
}

TEST(PaletteTest, CopiesCompareAndStayIndependent) {
    _vktPalette grey;
    grey.makeGrey();
    EXPECT_EQ(grey.entries()[200], 0xC8C8C8u);
    _vktPalette copy(grey);
    EXPECT_TRUE(copy == grey);
    uint32_t* entry = copy.lock();
    entry[7] = 0x123456;
    copy.unlock();
    EXPECT_TRUE(copy != grey);
    _vktPalette black;
    black = copy;
    EXPECT_TRUE(black == copy);
}

TEST(PaletteTest, ReleasedPaletteActsEmpty) {
    _vktPalette palette;
    _vktPalette other;
    palette.release();
    EXPECT_EQ(palette.lock(), nullptr);
    EXPECT_EQ(palette.lockCount(), 0);
    EXPECT_FALSE(palette == other);
    EXPECT_TRUE(palette != other);
    EXPECT_FALSE(palette == palette);
    EXPECT_EQ(palette.makeGrey(), 0);
    EXPECT_EQ(palette.makeRGB332(), 0);
    uint32_t entries[256] = {};
    EXPECT_EQ(palette.load(entries), 0);
    EXPECT_EQ(palette.save(entries), 0);
    // Assignment either way changes nothing.
    other.makeGrey();
    palette = other;
    other = palette;
    EXPECT_EQ(other.entries()[255], 0xFFFFFFu);
}

TEST(PaletteTest, LockCountsNestingAndNeverGoesNegative) {
    _vktPalette palette;
    palette.unlock();
    EXPECT_EQ(palette.lockCount(), 0);
    palette.lock();
    palette.lock();
    EXPECT_EQ(palette.lockCount(), 2);
    palette.unlock();
    palette.unlock();
    palette.unlock();
    EXPECT_EQ(palette.lockCount(), 0);
    EXPECT_EQ(palette.load(nullptr), 0);
    uint32_t entries[256];
    for (uint32_t i = 0; i < 256; ++i) entries[i] = i * 3;
    EXPECT_EQ(palette.load(entries), 1);
    uint32_t back[256] = {};
    EXPECT_EQ(palette.save(back), 1);
    EXPECT_EQ(back[255], 765u);
}

}  // namespace
