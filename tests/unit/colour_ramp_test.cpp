// Tests of the colour ramp and the raster rows, on bare pixels and on work surfaces.
#include "colour_ramp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sdl_fixture.h"
#include "sdlptc_surface.h"

namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

class ColourRampTest : public ::testing::Test {
protected:
    void SetUp() override { ramp.build(); }

    ColourRamp ramp;
};

TEST_F(ColourRampTest, EightSegmentsMoveOneChannelStepAtATime) {
    struct Segment {
        uint32_t from, to;
    };
    const Segment segments[8] = {
        {rgb(0, 0, 0), rgb(255, 0, 0)},         {rgb(255, 0, 0), rgb(0, 255, 0)},
        {rgb(0, 255, 0), rgb(0, 0, 255)},       {rgb(0, 0, 255), rgb(0, 255, 255)},
        {rgb(0, 255, 255), rgb(255, 255, 255)}, {rgb(255, 255, 255), rgb(255, 255, 0)},
        {rgb(255, 255, 0), rgb(255, 0, 0)},     {rgb(255, 0, 0), rgb(0, 0, 0)},
    };
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(ramp.colours[256 * s], segments[s].from) << "segment " << s;
        EXPECT_EQ(ramp.colours[256 * s + 255], segments[s].to) << "segment " << s;
        for (int k = 1; k < 256; ++k) {
            const uint32_t a = ramp.colours[256 * s + k - 1], b = ramp.colours[256 * s + k];
            ASSERT_EQ(a >> 24, 0u);
            for (int shift : {16, 8, 0}) {
                const int change =
                    static_cast<int>((b >> shift) & 0xFF) - static_cast<int>((a >> shift) & 0xFF);
                ASSERT_LE(std::abs(change), 1) << "entry " << 256 * s + k;
            }
            ASSERT_NE(a, b) << "entry " << 256 * s + k;
        }
    }
    EXPECT_EQ(ramp.colours[1284], rgb(255, 255, 251));
    EXPECT_EQ(ramp.colours[2047], 0u);
}

TEST_F(ColourRampTest, FirstFrameCornersAndMirroredBottomRow) {
    std::vector<uint32_t> pixels(320 * 200, 0x12345678);
    ramp.paintRasterRows(pixels.data(), 320, 200, 320 * 4);
    EXPECT_EQ(ramp.rampOffset, 8);
    EXPECT_EQ(pixels[0], rgb(8, 0, 0));
    EXPECT_EQ(pixels[319], rgb(255, 255, 251));
    const uint32_t* bottom = &pixels[199 * 320];
    EXPECT_EQ(bottom[0], rgb(255, 255, 251));
    EXPECT_EQ(bottom[319], rgb(8, 0, 0));
    for (int x = 0; x < 320; ++x) {
        ASSERT_EQ(pixels[x], ramp.colours[(8 + 4 * x) % 2048]) << x;
        ASSERT_EQ(bottom[319 - x], pixels[x]) << x;
    }
    for (int i = 320; i < 199 * 320; ++i) ASSERT_EQ(pixels[i], 0x12345678u) << "inner pixel " << i;
}

TEST_F(ColourRampTest, PatternMovesTwoPixelsAFrameAndRepeatsAfter256) {
    std::vector<uint32_t> first(320 * 2), next(320 * 2);
    ramp.paintRasterRows(first.data(), 320, 2, 320 * 4);
    ramp.paintRasterRows(next.data(), 320, 2, 320 * 4);
    for (int x = 0; x + 2 < 320; ++x) {
        ASSERT_EQ(next[x], first[x + 2]) << "top row moves left";
        ASSERT_EQ(next[320 + x + 2], first[320 + x]) << "bottom row moves right";
    }
    for (int call = 2; call < 256; ++call) {
        ramp.paintRasterRows(next.data(), 320, 2, 320 * 4);
        ASSERT_EQ(ramp.rampOffset % 8, 0);
        ASSERT_GE(ramp.rampOffset, 0);
        ASSERT_LT(ramp.rampOffset, 2048);
    }
    EXPECT_EQ(ramp.rampOffset, 0);
    ramp.paintRasterRows(next.data(), 320, 2, 320 * 4);
    EXPECT_EQ(ramp.rampOffset, 8);
    EXPECT_EQ(next, first);
}

TEST_F(ColourRampTest, OnePixelHighSurfaceShowsTheBottomPattern) {
    std::vector<uint32_t> row(320);
    ramp.paintRasterRows(row.data(), 320, 1, 320 * 4);
    EXPECT_EQ(row[0], rgb(255, 255, 251));
    EXPECT_EQ(row[319], rgb(8, 0, 0));
}

TEST_F(ColourRampTest, BottomRowFollowsThePitch) {
    // Rows 336 pixels apart: the bottom row starts at the pitch, not at the width.
    std::vector<uint32_t> pixels(336 * 3, 0);
    ramp.paintRasterRows(pixels.data(), 320, 3, 336 * 4);
    EXPECT_EQ(pixels[2 * 336], rgb(255, 255, 251));
    EXPECT_EQ(pixels[2 * 336 + 319], rgb(8, 0, 0));
    for (int x = 320; x < 336; ++x) ASSERT_EQ(pixels[2 * 336 + x], 0u);
}

class RasterRowsSurfaceTest : public SdlTest {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        ramp.build();
    }

    ColourRamp ramp;
};

TEST_F(RasterRowsSurfaceTest, PaintsTheEdgesOfAWorkSurface) {
    _vktSurface surface(320, 200, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    ASSERT_TRUE(surface.surface);
    surface.fill(0x123456);
    ramp.drawRasterRows(surface);
    EXPECT_EQ(readPixel(surface.surface, 0, 0), rgb(8, 0, 0));
    EXPECT_EQ(readPixel(surface.surface, 319, 0), rgb(255, 255, 251));
    EXPECT_EQ(readPixel(surface.surface, 0, 199), rgb(255, 255, 251));
    EXPECT_EQ(readPixel(surface.surface, 319, 199), rgb(8, 0, 0));
    EXPECT_EQ(readPixel(surface.surface, 0, 1), 0x123456u);
    EXPECT_EQ(readPixel(surface.surface, 319, 198), 0x123456u);
    EXPECT_EQ(surface.lockCount, 0);
}

TEST_F(RasterRowsSurfaceTest, LeavesSurfacesOfOtherDepthsAndEmptyOnesAlone) {
    _vktSurface narrow(320, 200, _vktFormat(FORMAT_RGB565), SURFACE_SOFTWARE, 0);
    ASSERT_TRUE(narrow.surface);
    narrow.fill(0);
    ramp.drawRasterRows(narrow);
    for (int x = 0; x < 320; ++x) ASSERT_EQ(readPixel(narrow.surface, x, 199), 0u) << x;
    _vktSurface empty;
    ramp.drawRasterRows(empty);
    EXPECT_EQ(ramp.rampOffset, 0);
}

}  // namespace
