// Format conversion: the grey and 3-3-2 routes with their index values, the general route through SDL,
// display formats, re-creation, and surfaces left as they were when a step fails.
#include "sdlptc_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "interpose_SDL_CreateRGBSurface.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"

namespace {

class ConvertTest : public SdlTest {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        createSurfaceFlags.clear();
        createSurfaceRefusedCall = 0;
    }
    void TearDown() override {
        createSurfaceRefusedCall = 0;
        SdlTest::TearDown();
    }
};

struct Colour {
    int r, g, b;
    uint8_t grey, cube;  // expected indices
};

// White, red, green, blue, black, and last a colour whose channels all differ, which 16-bit layouts
// cannot hold exactly.
const Colour kColours[] = {
    {255, 255, 255, 255, 255}, {255, 0, 0, 85, 224}, {0, 255, 0, 85, 28},
    {0, 0, 255, 85, 3},        {0, 0, 0, 0, 0},      {30, 60, 90, 60, 5},
};
constexpr int kColourCount = sizeof kColours / sizeof kColours[0];

// One row of the colours above in a true-colour surface of the given layout.
void makeColourRow(_vktSurface& surface, const _vktFormat& layout) {
    ASSERT_EQ(surface.create(kColourCount, 1, layout, SURFACE_SOFTWARE, 0), 1);
    for (int i = 0; i < kColourCount; ++i)
        writePixel(surface.surface, i, 0, surface.mapRGB(kColours[i].r, kColours[i].g, kColours[i].b));
}

// The same colours as entries 10.. of an 8-bit surface's palette, one pixel each.
void makePalettedRow(_vktSurface& surface) {
    ASSERT_EQ(surface.create(kColourCount, 1, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0), 1);
    _vktPalette palette;
    uint32_t* entries = palette.lock();
    for (int i = 0; i < kColourCount; ++i)
        entries[10 + i] = packRGB(kColours[i].r, kColours[i].g, kColours[i].b);
    palette.unlock();
    surface.setPalette(palette);
    for (int i = 0; i < kColourCount; ++i) writePixel(surface.surface, i, 0, 10 + i);
}

_vktPalette paletteOf(bool grey) {
    _vktPalette palette;
    if (grey)
        palette.makeGrey();
    else
        palette.makeRGB332();
    return palette;
}

void expectIndices(const _vktSurface& surface, bool grey, bool exactOnly = false) {
    ASSERT_EQ(surface.bitsPerPixel(), 8);
    EXPECT_TRUE(surface.palette() == paletteOf(grey));
    EXPECT_EQ(surface.flags(), 0);
    for (int i = 0; i < kColourCount - (exactOnly ? 1 : 0); ++i)
        EXPECT_EQ(readPixel(surface.surface, i, 0), grey ? kColours[i].grey : kColours[i].cube)
            << kColours[i].r << "," << kColours[i].g << "," << kColours[i].b;
}

TEST_F(ConvertTest, PalettedSurfacesAreRemappedToGreyAndTheCube) {
    _vktSurface toGrey;
    makePalettedRow(toGrey);
    ASSERT_EQ(toGrey.convert(_vktFormat(FORMAT_GREY8)), 1);
    expectIndices(toGrey, true);

    _vktSurface toCube;
    makePalettedRow(toCube);
    ASSERT_EQ(toCube.convert(_vktFormat(FORMAT_RGB332)), 1);
    expectIndices(toCube, false);

    // Already grey, it is remapped all the same: the ramp maps onto itself.
    _vktSurface grey(256, 1, _vktFormat(FORMAT_GREY8), SURFACE_SOFTWARE, 0);
    for (int x = 0; x < 256; ++x) writePixel(grey.surface, x, 0, x);
    SDL_Surface* before = grey.surface;
    ASSERT_EQ(grey.convert(_vktFormat(FORMAT_GREY8)), 1);
    EXPECT_NE(grey.surface, before);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(readPixel(grey.surface, x, 0), static_cast<uint32_t>(x));
}

TEST_F(ConvertTest, TrueColourSurfacesAreReducedToGreyAndTheCube) {
    const _vktFormat layouts[] = {_vktFormat(FORMAT_XRGB8888), _vktFormat(FORMAT_ABGR8888),
                                  _vktFormat(FORMAT_RGB888),   _vktFormat(FORMAT_BGR888),
                                  _vktFormat(FORMAT_RGB565),   _vktFormat(FORMAT_BGR565)};
    for (const _vktFormat& layout : layouts) {
        SCOPED_TRACE(layout.id());
        const bool exactOnly = layout.bits() == 16;
        _vktSurface toGrey;
        makeColourRow(toGrey, layout);
        ASSERT_EQ(toGrey.convert(_vktFormat(FORMAT_GREY8)), 1);
        expectIndices(toGrey, true, exactOnly);

        // INDEX8 from true colour is the same reduction as RGB332.
        for (uint16_t cube : {FORMAT_RGB332, FORMAT_INDEX8}) {
            _vktSurface toCube;
            makeColourRow(toCube, layout);
            ASSERT_EQ(toCube.convert(_vktFormat(cube)), 1);
            expectIndices(toCube, false, exactOnly);
        }
    }
}

TEST_F(ConvertTest, FifteenBitPixelsAreReadAsTwoBytes) {
    // 15 bits / 8 is 1, yet SDL stores two bytes a pixel; the reduction must read them as such.
    _vktSurface surface;
    makeColourRow(surface, _vktFormat(15, 0x7C00, 0x03E0, 0x001F, 0));
    ASSERT_EQ(surface.bytesPerPixel(), 2);
    ASSERT_EQ(surface.convert(_vktFormat(FORMAT_RGB332)), 1);
    expectIndices(surface, false, true);
}

TEST_F(ConvertTest, GeneralRouteGoesThroughSDL) {
    _vktSurface paletted;
    makePalettedRow(paletted);
    ASSERT_EQ(paletted.convert(_vktFormat(FORMAT_XRGB8888)), 1);
    EXPECT_TRUE(paletted.format() == _vktFormat(FORMAT_XRGB8888));
    for (int i = 0; i < kColourCount; ++i)
        EXPECT_EQ(readPixel(paletted.surface, i, 0), packRGB(kColours[i].r, kColours[i].g, kColours[i].b));

    _vktSurface keyed;
    makeColourRow(keyed, _vktFormat(FORMAT_XRGB8888));
    keyed.setColorKey(0xFF0000, 0);
    ASSERT_EQ(keyed.convert(_vktFormat(FORMAT_RGB565)), 1);
    EXPECT_EQ(keyed.bitsPerPixel(), 16);
    EXPECT_EQ(readPixel(keyed.surface, 1, 0), 0xF800u);  // the keyed pixel is converted, not skipped
    EXPECT_EQ(readPixel(keyed.surface, 2, 0), 0x07E0u);
    EXPECT_EQ(keyed.flags() & 0x02, 0x02);  // SDL carries the key over
}

// 8-bit pictures widen to 32 bits by the library's own loop: the result must be SDL's, byte for byte,
// for any palette, size and clipping rectangle, in either channel order.
TEST_F(ConvertTest, PalettedSurfacesWidenExactlyAsSDLConvertsThem) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const int w = 1 + static_cast<int>(random() % 70), h = 1 + static_cast<int>(random() % 40);
        _vktSurface ours;
        ASSERT_EQ(ours.create(w, h, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0), 1);
        _vktPalette palette;
        uint32_t* entries = palette.lock();
        for (int i = 0; i < _vktPalette::ENTRIES; ++i) entries[i] = random() & 0xFFFFFFu;
        palette.unlock();
        ours.setPalette(palette);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) writePixel(ours.surface, x, y, random() & 0xFFu);
        if (round % 3 == 2) {
            SDL_Rect clip = {static_cast<Sint16>(random() % w), static_cast<Sint16>(random() % h),
                             static_cast<Uint16>(1 + random() % w), static_cast<Uint16>(1 + random() % h)};
            SDL_SetClipRect(ours.surface, &clip);
        }
        const _vktFormat target(round % 2 ? FORMAT_XBGR8888 : FORMAT_XRGB8888);
        SDL_PixelFormat layout;
        memset(&layout, 0, sizeof layout);
        layout.BitsPerPixel = 32;
        layout.Rmask = target.redMask();
        layout.Gmask = target.greenMask();
        layout.Bmask = target.blueMask();
        SDL_Surface* theirs = SDL_ConvertSurface(ours.surface, &layout, ours.surface->flags);
        ASSERT_NE(theirs, nullptr);

        ASSERT_EQ(ours.convert(target), 1);
        EXPECT_TRUE(ours.format() == target);
        EXPECT_EQ(ours.surface->format->BitsPerPixel, theirs->format->BitsPerPixel);
        EXPECT_EQ(ours.surface->format->Amask, theirs->format->Amask);
        EXPECT_EQ(ours.surface->flags, theirs->flags);
        EXPECT_EQ(ours.surface->clip_rect.x, theirs->clip_rect.x);
        EXPECT_EQ(ours.surface->clip_rect.y, theirs->clip_rect.y);
        EXPECT_EQ(ours.surface->clip_rect.w, theirs->clip_rect.w);
        EXPECT_EQ(ours.surface->clip_rect.h, theirs->clip_rect.h);
        EXPECT_EQ(pixelBytes(ours.surface), pixelBytes(theirs));
        SDL_FreeSurface(theirs);
    }
}

TEST_F(ConvertTest, SameLayoutLeavesTheSurfaceAlone) {
    _vktSurface surface(4, 4, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    SDL_Surface* before = surface.surface;
    EXPECT_EQ(surface.convert(_vktFormat(32, 0xFF0000, 0xFF00, 0xFF, 0)), 1);
    EXPECT_EQ(surface.surface, before);

    _vktSurface paletted;
    makePalettedRow(paletted);
    const _vktPalette palette = paletted.palette();
    before = paletted.surface;
    EXPECT_EQ(paletted.convert(_vktFormat(FORMAT_INDEX8)), 1);
    EXPECT_EQ(paletted.surface, before);
    EXPECT_TRUE(paletted.palette() == palette);

    _vktSurface empty;
    EXPECT_EQ(empty.convert(_vktFormat(FORMAT_XRGB8888)), 0);
    EXPECT_EQ(empty.toDisplayFormat(), 0);
    EXPECT_EQ(empty.toDisplayFormatAlpha(), 0);
    EXPECT_EQ(empty.recreate(SURFACE_SOFTWARE, 0), 0);
}

TEST_F(ConvertTest, ConversionsKeepObjectFieldsAndWrappedPixels) {
    // A surface around caller memory converts into one of its own; the caller's pixels stay unchanged.
    uint32_t pixels[2] = {0xFF0000, 0x0000FF};
    _vktSurface wrapped(pixels, 2, 1, 8, _vktFormat(FORMAT_XRGB8888));
    wrapped.lockCount = 2;
    ASSERT_EQ(wrapped.convert(_vktFormat(FORMAT_RGB565)), 1);
    EXPECT_EQ(wrapped.lockCount, 2);
    EXPECT_EQ(wrapped.flags() & 0x20, 0);
    EXPECT_EQ(readPixel(wrapped.surface, 1, 0), 0x001Fu);
    EXPECT_EQ(pixels[0], 0xFF0000u);
}

TEST_F(ConvertTest, RefusedStepsLeaveTheSurfaceAsItWas) {
    for (uint16_t target : {FORMAT_GREY8, FORMAT_RGB332, FORMAT_INDEX8}) {
        SCOPED_TRACE(target);
        auto convert = [&](_vktSurface& s) { return s.convert(_vktFormat(target)); };
        EXPECT_EQ(refuseEachCreationInTurn(
                      [](_vktSurface& s) { makeColourRow(s, _vktFormat(FORMAT_XRGB8888)); }, convert),
                  1);
        // 24-bit pixels are widened to 32 bits on the way; a refusal after that still changes nothing.
        EXPECT_EQ(refuseEachCreationInTurn(
                      [](_vktSurface& s) { makeColourRow(s, _vktFormat(FORMAT_RGB888)); }, convert),
                  1);
    }
    EXPECT_EQ(refuseEachCreationInTurn(makePalettedRow,
                                       [](_vktSurface& s) { return s.convert(_vktFormat(FORMAT_GREY8)); }),
              1);
    EXPECT_EQ(refuseEachCreationInTurn(makePalettedRow,
                                       [](_vktSurface& s) { return s.recreate(SURFACE_HARDWARE, 0); }),
              1);
}

TEST_F(ConvertTest, RecreateKeepsPixelsAndPaletteAndTakesTheNewOptions) {
    _vktSurface paletted;
    makePalettedRow(paletted);
    const _vktPalette palette = paletted.palette();
    const std::vector<uint8_t> pixels = pixelBytes(paletted.surface);
    createSurfaceFlags.clear();
    ASSERT_EQ(paletted.recreate(SURFACE_HARDWARE, 0), 1);
    ASSERT_EQ(createSurfaceFlags.size(), 1u);
    EXPECT_EQ(createSurfaceFlags[0], SDL_HWSURFACE);
    EXPECT_EQ(paletted.width(), kColourCount);
    EXPECT_EQ(paletted.height(), 1);
    EXPECT_EQ(paletted.bitsPerPixel(), 8);
    EXPECT_TRUE(paletted.palette() == palette);
    EXPECT_EQ(pixelBytes(paletted.surface), pixels);

    // The keyed pixel is part of the picture: a blit would have skipped it.
    _vktSurface keyed;
    makeColourRow(keyed, _vktFormat(FORMAT_XRGB8888));
    keyed.setColorKey(0xFF0000, 0);
    const std::vector<uint8_t> keyedPixels = pixelBytes(keyed.surface);
    createSurfaceFlags.clear();
    ASSERT_EQ(keyed.recreate(SURFACE_SOFTWARE, SURFACE_ALPHA), 1);
    EXPECT_EQ(createSurfaceFlags[0], SDL_SRCALPHA);
    EXPECT_EQ(pixelBytes(keyed.surface), keyedPixels);
    EXPECT_TRUE(keyed.format() == _vktFormat(FORMAT_XRGB8888));
    EXPECT_EQ(keyed.flags() & 0x02, 0);  // only the options asked for
}

TEST_F(ConvertTest, DisplayFormatsNeedAVideoModeAndThenFollowIt) {
    _vktSurface picture;
    makeColourRow(picture, _vktFormat(FORMAT_XRGB8888));
    SDL_Surface* before = picture.surface;
    EXPECT_EQ(picture.toDisplayFormat(), 0);
    EXPECT_EQ(picture.surface, before);

    _vktPTC console(320, 200, MODE_RGB16, SCREEN_WINDOW_CURSOR);
    ASSERT_EQ(console.isOpen, 1);
    _vktSurface onScreen;
    makeColourRow(onScreen, _vktFormat(FORMAT_XRGB8888));
    ASSERT_EQ(onScreen.toDisplayFormat(), 1);
    EXPECT_TRUE(onScreen.format() == console.format());
    EXPECT_EQ(readPixel(onScreen.surface, 1, 0), 0xF800u);

    _vktSurface withAlpha;
    makeColourRow(withAlpha, _vktFormat(FORMAT_XRGB8888));
    ASSERT_EQ(withAlpha.toDisplayFormatAlpha(), 1);
    EXPECT_EQ(withAlpha.bitsPerPixel(), 32);
    EXPECT_NE(withAlpha.format().alphaMask(), 0u);
    uint8_t r, g, b, a;
    withAlpha.getRGBA(readPixel(withAlpha.surface, 3, 0), &r, &g, &b, &a);
    EXPECT_EQ(b, 255);
    EXPECT_EQ(a, 255);
}

}  // namespace
