// Blits: the raw 8-bit row copy and its clipping, colour-keyed rectangles at a sheet's edge, clipping
// rectangles, and presentation on the console.
#include "sdlptc_surface.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "sdl_fixture.h"
#include "sdlptc_console.h"
#include "sdlptc_cpu.h"
#include "sdlptc_surface_blit.h"

namespace {

// The blits run once in each processor variant of their row loops, against the same expectations.
class BlitTest : public SdlTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        if (!selectBlitVariant(GetParam())) GTEST_SKIP() << "this processor lacks variant " << GetParam();
    }
    void TearDown() override {
        selectBlitVariant(bestCpuVariant());
        SdlTest::TearDown();
    }
};

std::string variantName(const ::testing::TestParamInfo<int>& info) {
    return info.param == CPU_VARIANT_AVX2 ? std::string("Avx2") : std::string("Baseline");
}

constexpr uint8_t kBackground = 0xEE;

// An 8-bit surface whose index at (x, y) is y * 16 + x + 1, so that no pixel holds 0 or the background.
void paintIndices(_vktSurface& surface) {
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) writePixel(surface.surface, x, y, y * 16 + x + 1);
}

struct Placement {
    int x, y;
};

class RawRowCopyTest : public SdlTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(RawRowCopyTest, CopiesTheClippedSourceAndNothingElse) {
    const Placement at = GetParam();
    // Seven columns: the rows are not a whole number of words.
    _vktSurface source(7, 3, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0);
    _vktSurface destination(10, 4, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0);
    paintIndices(source);
    memset(destination.surface->pixels, kBackground, destination.surface->pitch * 4);

    EXPECT_EQ(source.blitAt(destination, at.x, at.y), 1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 10; ++x) {
            const int64_t sx = int64_t{x} - at.x, sy = int64_t{y} - at.y;
            const bool inside = sx >= 0 && sx < 7 && sy >= 0 && sy < 3;
            const uint32_t expected = inside ? static_cast<uint32_t>(sy * 16 + sx + 1) : kBackground;
            ASSERT_EQ(readPixel(destination.surface, x, y), expected) << "at " << x << "," << y;
        }
    }
    // Past the width, the row padding is left alone as well.
    const uint8_t* row = static_cast<const uint8_t*>(destination.surface->pixels);
    for (int x = 10; x < destination.surface->pitch; ++x) EXPECT_EQ(row[x], kBackground);
}

INSTANTIATE_TEST_SUITE_P(Positions, RawRowCopyTest,
                         ::testing::Values(Placement{0, 0}, Placement{-5, 1},  // source columns 5 and 6 at 0
                                           Placement{6, 0},                    // right edge
                                           Placement{2, -2}, Placement{1, 3},  // top and bottom edges
                                           Placement{-3, -1}, Placement{9, 3},
                                           Placement{10, 0},  // at the width: nothing
                                           Placement{0, 4},   // at the height: nothing
                                           Placement{-7, 0}, Placement{0, -3}, Placement{11, 5},
                                           Placement{INT_MIN, INT_MIN}, Placement{INT_MAX, 0}));

TEST_P(BlitTest, RawRowCopyPassesIndicesThroughKeysAndPalettes) {
    _vktSurface source(4, 4, _vktFormat(FORMAT_GREY8), SURFACE_SOFTWARE, 0);
    _vktSurface destination(4, 4, _vktFormat(FORMAT_RGB332), SURFACE_SOFTWARE, 0);
    paintIndices(source);
    source.setColorKey(1, 0);  // the top-left index
    destination.fill(0);
    ASSERT_EQ(source.blitAt(destination, 0, 0), 1);
    EXPECT_EQ(readPixel(destination.surface, 0, 0), 1u);
    EXPECT_EQ(readPixel(destination.surface, 3, 2), 36u);

    // Between true-colour surfaces the key applies.
    _vktSurface sprite(2, 1, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    _vktSurface screen(2, 1, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    writePixel(sprite.surface, 0, 0, 0xFF00FF);
    writePixel(sprite.surface, 1, 0, 0x123456);
    sprite.setColorKey(0xFF00FF, 0);
    screen.fill(0x000001);
    ASSERT_EQ(sprite.blitAt(screen, 0, 0), 1);
    EXPECT_EQ(readPixel(screen.surface, 0, 0), 0x000001u);
    EXPECT_EQ(readPixel(screen.surface, 1, 0), 0x123456u);
}

TEST_P(BlitTest, KeyedRectangleReachingBelowTheSheetCopiesWhatIsInside) {
    // A 16×16 font sheet with magenta as its key in one column; the glyph at (8, 9) is 8×8 but the
    // sheet ends one row short of it.
    _vktSurface sheet(16, 16, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) writePixel(sheet.surface, x, y, x == 10 ? 0xFF00FF : (y << 8) | x);
    sheet.setColorKey(sheet.mapRGB(255, 0, 255), 0);
    _vktSurface target(20, 20, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    target.fill(0x111111);

    const _vktRect glyph{8, 9, 8, 8};
    const _vktRect place{2, 3, 99, 99};  // only the position counts
    ASSERT_EQ(sheet.blitRect(target, glyph, place), 1);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int gx = x - 2, gy = y - 3;
            uint32_t expected = 0x111111;
            if (gx >= 0 && gx < 8 && gy >= 0 && gy < 7 && gx + 8 != 10)
                expected = static_cast<uint32_t>(((gy + 9) << 8) | (gx + 8));
            ASSERT_EQ(readPixel(target.surface, x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(glyph.h, 8);  // the caller's rectangles are not touched

    _vktSurface empty;
    EXPECT_EQ(sheet.blitRect(empty, glyph, place), 0);
    EXPECT_EQ(empty.blitRect(target, glyph, place), 0);
}

TEST_P(BlitTest, ClearingTheClipRectangleRestoresWholeSurfaceBlits) {
    _vktSurface tile(4, 4, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    _vktSurface target(8, 8, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    tile.fill(0xABCDEF);
    target.fill(0);
    ASSERT_EQ(target.setClipRect(_vktRect{2, 2, 3, 3}), 1);
    ASSERT_EQ(tile.blitAt(target, 0, 0), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(readPixel(target.surface, x, y), x >= 2 && x < 4 && y >= 2 && y < 4 ? 0xABCDEFu : 0u);

    ASSERT_EQ(target.clearClipRect(), 1);
    target.fill(0);
    ASSERT_EQ(tile.blitAt(target, 0, 0), 1);
    EXPECT_EQ(readPixel(target.surface, 0, 0), 0xABCDEFu);
    EXPECT_EQ(readPixel(target.surface, 4, 4), 0u);
}

TEST_P(BlitTest, NothingReachesAClosedConsole) {
    _vktPTC console;
    ASSERT_EQ(console.isOpen, 0);
    _vktSurface work(320, 200, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    _vktRect whole;
    work.rect(whole);
    EXPECT_EQ(work.copyToConsole(console, whole, whole), 0);
    EXPECT_EQ(work.blitToConsoleAt(console, 0, 0), 0);
    EXPECT_EQ(work.blitRectToConsole(console, whole, whole), 0);
}

TEST_P(BlitTest, ThirtyTwoBitWorkSurfaceArrivesConvertedOnASixteenBitScreen) {
    _vktPTC console(320, 200, MODE_RGB16, SCREEN_WINDOW_CURSOR);
    ASSERT_EQ(console.isOpen, 1);
    ASSERT_EQ(console.screen->format->BitsPerPixel, 16);
    _vktSurface work(&console, 320, 200, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    ASSERT_NE(work.surface, nullptr);
    work.fill(0xFF0000);
    work.fillRect(_vktRect{160, 0, 160, 200}, 0x00FF00);
    work.fillRect(_vktRect{0, 199, 1, 1}, 0x0000FF);
    _vktRect whole;
    work.rect(whole);
    ASSERT_EQ(work.copyToConsole(console, whole, whole), 1);

    SDL_LockSurface(console.screen);
    EXPECT_EQ(readPixel(console.screen, 0, 0), 0xF800u);
    EXPECT_EQ(readPixel(console.screen, 159, 100), 0xF800u);
    EXPECT_EQ(readPixel(console.screen, 160, 0), 0x07E0u);
    EXPECT_EQ(readPixel(console.screen, 319, 199), 0x07E0u);
    EXPECT_EQ(readPixel(console.screen, 0, 199), 0x001Fu);
    SDL_UnlockSurface(console.screen);

    // An empty source still presents: the open console is all that counts.
    _vktSurface empty;
    EXPECT_EQ(empty.copyToConsole(console, whole, whole), 1);
}

TEST_P(BlitTest, BlitsOntoTheScreenLandWhereAsked) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_WINDOW_CURSOR);
    ASSERT_EQ(console.isOpen, 1);
    SDL_FillRect(console.screen, nullptr, 0);
    _vktSurface sprite(4, 4, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    sprite.fill(0x4080C0);
    ASSERT_EQ(sprite.blitToConsoleAt(console, 318, 10), 1);
    EXPECT_EQ(readPixel(console.screen, 319, 13), 0x4080C0u);
    EXPECT_EQ(readPixel(console.screen, 317, 10), 0u);
    EXPECT_EQ(readPixel(console.screen, 318, 14), 0u);

    ASSERT_EQ(sprite.blitRectToConsole(console, _vktRect{1, 1, 2, 2}, _vktRect{-1, 0, 0, 0}), 1);
    EXPECT_EQ(readPixel(console.screen, 0, 1), 0x4080C0u);
    EXPECT_EQ(readPixel(console.screen, 1, 0), 0u);
}

// The work-format blits the library does without SDL must give SDL's own result to the byte: random
// pixels in all 32 bits, keys that match some pixels only in their colour, clipping rectangles, and
// positions off every edge and beyond the 16-bit cut.
class SameAsSdlBlitTest : public BlitTest {
protected:
    uint32_t next() {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(seed >> 32);
    }
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<uint32_t>(high - low + 1));
    }

    // Random pixels of which a third are the key, or the key's colour with another top byte.
    void scramble(SDL_Surface* surface, uint32_t key) {
        for (int y = 0; y < surface->h; ++y) {
            for (int x = 0; x < surface->w; ++x) {
                const uint32_t roll = next();
                uint32_t value = next();
                if (roll % 6 == 0) value = key;
                if (roll % 6 == 1) value = (key & 0x00FFFFFF) | (next() << 24);
                writePixel(surface, x, y, value);
            }
        }
    }

    SDL_Rect randomRect(int limit) {
        SDL_Rect r;
        r.x = static_cast<Sint16>(between(-limit, 2 * limit));
        r.y = static_cast<Sint16>(between(-limit, 2 * limit));
        r.w = static_cast<Uint16>(between(0, 2 * limit));
        r.h = static_cast<Uint16>(between(0, 2 * limit));
        return r;
    }

    uint64_t seed = 20240601;
};

INSTANTIATE_TEST_SUITE_P(Variants, BlitTest, ::testing::Values(CPU_VARIANT_BASELINE, CPU_VARIANT_AVX2),
                         variantName);

TEST_P(SameAsSdlBlitTest, KeyedAndPlainBlitsBetweenWorkSurfaces) {
    const _vktFormat work(FORMAT_XRGB8888);
    for (int round = 0; round < 1000; ++round) {
        _vktSurface source(between(1, 40), between(1, 30), work, SURFACE_SOFTWARE, 0);
        _vktSurface ours(between(1, 50), between(1, 40), work, SURFACE_SOFTWARE, 0);
        const uint32_t key = round % 4 == 3 ? 0xFF00FF : next();
        scramble(source.surface, key);
        scramble(ours.surface, key);
        if (round % 3 != 0) source.setColorKey(key, 0);
        // Alpha switched on and off again leaves a plain blit; switched on, SDL blends.
        if (round % 7 == 0) source.setAlpha(90);
        if (round % 7 == 0 && round % 2 == 0) source.clearAlpha();
        if (round % 5 == 0) {
            const SDL_Rect clip = randomRect(30);
            SDL_SetClipRect(ours.surface, &clip);
        }
        _vktSurface sdl(ours);
        SDL_SetClipRect(sdl.surface, &ours.surface->clip_rect);

        const int x = round % 50 == 0 ? between(-40000, 40000) : between(-45, 55);
        const int y = round % 50 == 1 ? between(-40000, 40000) : between(-35, 45);
        SDL_Rect sourceArea = {0, 0, static_cast<Uint16>(source.width()),
                               static_cast<Uint16>(source.height())};
        SDL_Rect place = toSDLRect(_vktRect{x, y, 0, 0});
        const int expected = SDL_UpperBlit(source.surface, &sourceArea, sdl.surface, &place) >= 0 ? 1 : 0;
        ASSERT_EQ(source.blitAt(ours, x, y), expected);
        ASSERT_EQ(pixelBytes(ours.surface), pixelBytes(sdl.surface)) << "blitAt, round " << round;

        // A rectangle of the source, as the glyphs are taken from the font sheet, reaching over its edges.
        const int sw = source.width(), sh = source.height();
        const _vktRect area{between(-sw / 2, sw), between(-sh / 2, sh), between(0, sw + 2),
                            between(0, sh + 2)};
        const _vktRect at{between(-10, ours.width()), between(-10, ours.height()), between(0, 9),
                          between(0, 9)};
        SDL_Rect sdlPart = toSDLRect(area);
        SDL_Rect sdlAt = toSDLRect(at);
        const int expectedRect = SDL_UpperBlit(source.surface, &sdlPart, sdl.surface, &sdlAt) >= 0 ? 1 : 0;
        ASSERT_EQ(source.blitRect(ours, area, at), expectedRect);
        ASSERT_EQ(pixelBytes(ours.surface), pixelBytes(sdl.surface)) << "blitRect, round " << round;
    }
}

TEST_P(SameAsSdlBlitTest, WorkSurfaceOntoBothScreenDepths) {
    for (const int mode : {MODE_RGB32, MODE_RGB16}) {
        _vktPTC console(320, 200, mode, SCREEN_FULL);
        ASSERT_TRUE(console.isOpen);
        SDL_Surface* screen = console.screen;
        _vktSurface work(&console, 320, 200, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
        for (int round = 0; round < 12; ++round) {
            scramble(work.surface, 0);
            scramble(screen, 0);
            if (round == 11) {
                const SDL_Rect clip = {13, 7, 250, 150};
                SDL_SetClipRect(screen, &clip);
            }
            const std::vector<uint8_t> before = pixelBytes(screen);
            const _vktRect area =
                round < 6 ? _vktRect{0, 0, 320, 200}
                          : _vktRect{between(-20, 300), between(-20, 190), between(0, 340), between(0, 220)};
            SDL_Rect sdlArea = toSDLRect(area);
            SDL_Rect sdlPlace = sdlArea;
            ASSERT_EQ(SDL_UpperBlit(work.surface, &sdlArea, screen, &sdlPlace), 0);
            const std::vector<uint8_t> expected = pixelBytes(screen);
            for (int y = 0; y < screen->h; ++y)
                memcpy(static_cast<uint8_t*>(screen->pixels) + y * screen->pitch,
                       before.data() + y * screen->w * screen->format->BytesPerPixel,
                       static_cast<size_t>(screen->w) * screen->format->BytesPerPixel);
            ASSERT_EQ(work.copyToConsole(console, area, area), 1);
            ASSERT_EQ(pixelBytes(screen), expected) << "mode " << mode << ", round " << round;
        }
        SDL_SetClipRect(screen, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, SameAsSdlBlitTest,
                         ::testing::Values(CPU_VARIANT_BASELINE, CPU_VARIANT_AVX2), variantName);

TEST(BlitVariantChoice, TheBestVariantIsInUseAndUnknownOnesAreRefused) {
    EXPECT_EQ(blitVariant(), bestCpuVariant());
    EXPECT_EQ(selectBlitVariant(5), 0);
    EXPECT_EQ(selectBlitVariant(-1), 0);
    EXPECT_EQ(blitVariant(), bestCpuVariant());
    EXPECT_EQ(selectBlitVariant(CPU_VARIANT_BASELINE), 1);
    EXPECT_EQ(blitVariant(), CPU_VARIANT_BASELINE);
    EXPECT_EQ(selectBlitVariant(bestCpuVariant()), 1);
    EXPECT_EQ(blitVariant(), bestCpuVariant());
}

}  // namespace
