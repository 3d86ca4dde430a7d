// Resize and crop: the fixed-point steps and the columns and rows they sample, supported depths, palettes,
// and surfaces left as they were when a step fails.
#include "sdlptc_surface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpose_SDL_CreateRGBSurface.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"
#include "sdlptc_surface_resize.h"

namespace {

class ResizeTest : public SdlTest {
protected:
    void TearDown() override {
        createSurfaceRefusedCall = 0;
        SdlTest::TearDown();
    }
};

// Every pixel holds its own position, (y << 12) | x, cut to the pixel size.
void paintPositions(_vktSurface& surface) {
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) writePixel(surface.surface, x, y, (y << 12) | x);
}

struct Scaling {
    int from, to;
    int32_t step;  // 22.10 fixed point
};

class ResizeStepTest : public SdlTest, public ::testing::WithParamInterface<Scaling> {};

TEST_P(ResizeStepTest, SamplesColumnsAndRowsAtTheTruncatedStep) {
    const Scaling s = GetParam();
    _vktSurface across(s.from, 3, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    paintPositions(across);
    ASSERT_EQ(across.resize(s.to, 3), 1);
    ASSERT_EQ(across.width(), s.to);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < s.to; ++x)
            ASSERT_EQ(readPixel(across.surface, x, y),
                      static_cast<uint32_t>((y << 12) | ((x * s.step) >> 10)))
                << "column " << x;

    // Two-byte pixels, each holding its row.
    _vktSurface down(3, s.from, _vktFormat(FORMAT_RGB565), SURFACE_SOFTWARE, 0);
    for (int y = 0; y < s.from; ++y)
        for (int x = 0; x < 3; ++x) writePixel(down.surface, x, y, y);
    ASSERT_EQ(down.resize(3, s.to), 1);
    ASSERT_EQ(down.height(), s.to);
    for (int y = 0; y < s.to; ++y)
        for (int x = 0; x < 3; ++x)
            ASSERT_EQ(readPixel(down.surface, x, y), static_cast<uint32_t>((y * s.step) >> 10))
                << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Steps, ResizeStepTest,
                         ::testing::Values(Scaling{256, 320, 819},   // column 319 samples 255
                                           Scaling{320, 256, 1280},  // column 255 samples 318
                                           Scaling{8, 4, 2048},      // every second pixel, from the first
                                           Scaling{200, 256, 800}, Scaling{3, 7, 438}, Scaling{7, 1, 7168}));

TEST_F(ResizeTest, TheEdgeColumnsOfTheIntrosScalings) {
    _vktSurface wider(256, 1, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    paintPositions(wider);
    ASSERT_EQ(wider.resize(320, 1), 1);
    EXPECT_EQ(readPixel(wider.surface, 319, 0), 255u);

    _vktSurface narrower(320, 1, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    paintPositions(narrower);
    ASSERT_EQ(narrower.resize(256, 1), 1);
    EXPECT_EQ(readPixel(narrower.surface, 255, 0), 318u);
}

TEST_F(ResizeTest, EightBitSurfacesKeepIndicesAndPalette) {
    _vktPTC console;  // only carried along
    _vktSurface surface(8, 8, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0);
    _vktPalette palette;
    uint32_t* entries = palette.lock();
    for (int i = 0; i < 256; ++i) entries[i] = static_cast<uint32_t>(i * 40503) & 0xFFFFFF;
    palette.unlock();
    surface.setPalette(palette);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) writePixel(surface.surface, x, y, y * 8 + x);
    surface.setColorKey(5, 0);
    surface.console = &console;

    ASSERT_EQ(surface.resize(4, 4), 1);
    EXPECT_EQ(surface.bitsPerPixel(), 8);
    EXPECT_TRUE(surface.palette() == palette);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(readPixel(surface.surface, x, y), static_cast<uint32_t>(16 * y + 2 * x));
    EXPECT_EQ(surface.flags(), 0);  // no key or alpha on the new surface
    EXPECT_EQ(surface.console, &console);
    EXPECT_EQ(surface.lockCount, 0);
}

TEST_F(ResizeTest, UnsupportedOrNeedlessResizes) {
    _vktSurface rgb888(4, 4, _vktFormat(FORMAT_RGB888), SURFACE_SOFTWARE, 0);
    SDL_Surface* before = rgb888.surface;
    EXPECT_EQ(rgb888.resize(8, 8), 0);
    EXPECT_EQ(rgb888.surface, before);
    EXPECT_EQ(rgb888.width(), 4);

    _vktSurface same(6, 5, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    before = same.surface;
    EXPECT_EQ(same.resize(6, 5), 1);
    EXPECT_EQ(same.surface, before);
    EXPECT_EQ(same.resize(0, 5), 0);
    EXPECT_EQ(same.resize(6, -1), 0);
    EXPECT_EQ(same.surface, before);

    _vktSurface empty;
    EXPECT_EQ(empty.resize(4, 4), 0);
    EXPECT_EQ(empty.crop(_vktRect{0, 0, 1, 1}), 0);

    // 15 bits still occupy two bytes a pixel, and are moved as such.
    _vktSurface fifteen(4, 2, _vktFormat(15, 0x7C00, 0x03E0, 0x001F, 0), SURFACE_SOFTWARE, 0);
    paintPositions(fifteen);
    ASSERT_EQ(fifteen.resize(2, 2), 1);
    EXPECT_EQ(readPixel(fifteen.surface, 1, 1), static_cast<uint32_t>((1 << 12) | 2));
}

TEST_F(ResizeTest, RefusedStepsLeaveTheSurfaceAsItWas) {
    auto make = [](_vktSurface& s) {
        s.create(16, 8, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
        paintPositions(s);
    };
    EXPECT_EQ(refuseEachCreationInTurn(make, [](_vktSurface& s) { return s.resize(20, 3); }), 2);
    EXPECT_EQ(refuseEachCreationInTurn(make, [](_vktSurface& s) { return s.crop(_vktRect{1, 1, 4, 4}); }), 1);
}

TEST_F(ResizeTest, CropKeepsOneRectangle) {
    _vktSurface surface(8, 6, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    paintPositions(surface);
    SDL_Surface* before = surface.surface;
    EXPECT_EQ(surface.crop(_vktRect{0, 0, 8, 6}), 1);
    EXPECT_EQ(surface.surface, before);
    EXPECT_EQ(surface.crop(_vktRect{1, 1, 0, 3}), 0);
    EXPECT_EQ(surface.surface, before);

    ASSERT_EQ(surface.crop(_vktRect{2, 1, 5, 3}), 1);
    ASSERT_EQ(surface.width(), 5);
    ASSERT_EQ(surface.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(readPixel(surface.surface, x, y), static_cast<uint32_t>(((y + 1) << 12) | (x + 2)));
}

TEST_F(ResizeTest, CropOutsideTheSurfaceLeavesFreshPixels) {
    // As an SDL blit clips: a negative corner moves the copied part right and down.
    _vktSurface surface(8, 8, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    paintPositions(surface);
    ASSERT_EQ(surface.crop(_vktRect{-2, 6, 4, 4}), 1);
    ASSERT_EQ(surface.width(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool inside = x >= 2 && y < 2;
            const uint32_t expected = inside ? static_cast<uint32_t>(((y + 6) << 12) | (x - 2)) : 0u;
            EXPECT_EQ(readPixel(surface.surface, x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(ResizeTest, CropKeepsKeyedPixelsAndThePalette) {
    _vktSurface keyed(4, 4, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    keyed.fill(0xFF00FF);
    keyed.setColorKey(0xFF00FF, 0);
    ASSERT_EQ(keyed.crop(_vktRect{1, 1, 2, 2}), 1);
    EXPECT_EQ(readPixel(keyed.surface, 1, 1), 0xFF00FFu);

    _vktSurface paletted(4, 4, _vktFormat(FORMAT_GREY8), SURFACE_SOFTWARE, 0);
    paintPositions(paletted);
    ASSERT_EQ(paletted.crop(_vktRect{1, 2, 2, 2}), 1);
    EXPECT_EQ(paletted.palette().entries()[128], 0x808080u);
    EXPECT_EQ(readPixel(paletted.surface, 1, 1), 2u);  // (y 3, x 2): the low byte of 0x3002
}

// Both row samplers against the closed form: pixel (x, y) of the result is source pixel
// ((x × sx) >> 10, (y × sy) >> 10) with sx and sy the truncated 22.10 steps, for every pixel size.
class ResizeSamplerTest : public SdlTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        if (!selectResizeVariant(GetParam())) GTEST_SKIP() << "this processor lacks sampler " << GetParam();
    }
    void TearDown() override {
        selectResizeVariant(bestCpuVariant());
        SdlTest::TearDown();
    }
};

TEST_P(ResizeSamplerTest, EveryPixelIsTheClosedFormSample) {
    struct Size {
        int w, h;
    };
    const Size shapes[][2] = {{{256, 256}, {320, 200}}, {{320, 200}, {256, 256}}, {{7, 5}, {13, 11}},
                              {{13, 11}, {7, 5}},       {{1, 1}, {9, 3}},         {{3000, 2}, {17, 1}},
                              {{17, 3}, {3001, 2}},     {{64, 64}, {64, 31}}};
    const _vktFormat formats[] = {_vktFormat(FORMAT_INDEX8), _vktFormat(FORMAT_RGB565),
                                  _vktFormat(FORMAT_XRGB8888)};
    uint32_t seed = 99;
    for (const auto& shape : shapes) {
        for (const _vktFormat& format : formats) {
            _vktSurface surface(shape[0].w, shape[0].h, format, SURFACE_SOFTWARE, 0);
            ASSERT_NE(surface.surface, nullptr);
            std::vector<uint32_t> source(static_cast<size_t>(shape[0].w) * shape[0].h);
            for (int y = 0; y < shape[0].h; ++y) {
                for (int x = 0; x < shape[0].w; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    writePixel(surface.surface, x, y, seed);
                    source[static_cast<size_t>(y) * shape[0].w + x] = readPixel(surface.surface, x, y);
                }
            }
            ASSERT_EQ(surface.resize(shape[1].w, shape[1].h), 1);
            ASSERT_EQ(surface.width(), shape[1].w);
            ASSERT_EQ(surface.height(), shape[1].h);
            const int64_t sx = int64_t{shape[0].w} * 1024 / shape[1].w;
            const int64_t sy = int64_t{shape[0].h} * 1024 / shape[1].h;
            for (int y = 0; y < shape[1].h; ++y) {
                for (int x = 0; x < shape[1].w; ++x) {
                    const size_t from = static_cast<size_t>((y * sy) >> 10) * shape[0].w + ((x * sx) >> 10);
                    ASSERT_EQ(readPixel(surface.surface, x, y), source[from])
                        << shape[0].w << "x" << shape[0].h << " to " << shape[1].w << "x" << shape[1].h
                        << ", " << format.bits() << " bits, pixel " << x << "," << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samplers, ResizeSamplerTest,
                         ::testing::Values(CPU_VARIANT_BASELINE, CPU_VARIANT_AVX2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == CPU_VARIANT_AVX2 ? std::string("Avx2")
                                                                   : std::string("Baseline");
                         });

TEST(ResizeSamplerChoice, TheBestSamplerIsInUseAndUnknownOnesAreRefused) {
    EXPECT_EQ(resizeVariant(), bestCpuVariant());
    EXPECT_EQ(selectResizeVariant(5), 0);
    EXPECT_EQ(resizeVariant(), bestCpuVariant());
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_EQ(bestCpuVariant(), CPU_VARIANT_AVX2);
    }
}

}  // namespace
