// Surface core: creation flags and start palettes, fills, locking, copying, colour mapping and the harmless
// empty surface.
#include "sdlptc_surface.h"

#include <gtest/gtest.h>

#include <vector>

#include "interpose_SDL_CreateRGBSurface.h"
#include "interpose_SDL_LockSurface.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"

namespace {

class SurfaceTest : public SdlTest {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        createSurfaceFlags.clear();
        createSurfaceRefusedCall = 0;
        lockSurfaceCalls = 0;
        lockSurfaceRefusals = 0;
        unlockSurfaceCalls = 0;
    }
    void TearDown() override {
        createSurfaceRefusedCall = 0;
        lockSurfaceRefusals = 0;
        SdlTest::TearDown();
    }
};

const _vktFormat kXRGB(FORMAT_XRGB8888);

TEST_F(SurfaceTest, CreationFlagsFollowMemoryKindAndOptions) {
    struct Case {
        int memoryKind, options;
        Uint32 flags;
    };
    const Case cases[] = {
        {SURFACE_SOFTWARE, 0, SDL_SWSURFACE},
        {SURFACE_HARDWARE, 0, SDL_HWSURFACE},
        {32, 0, SDL_SWSURFACE},  // any other kind is software memory
        {0, 0, SDL_SWSURFACE},
        {SURFACE_SOFTWARE, SURFACE_COLORKEY | SURFACE_ALPHA, SDL_SRCCOLORKEY | SDL_SRCALPHA},
        {SURFACE_SOFTWARE, 4, SDL_SWSURFACE},  // unknown option bits add nothing
        {SURFACE_HARDWARE, SURFACE_COLORKEY, SDL_HWSURFACE | SDL_SRCCOLORKEY},
        {SURFACE_SOFTWARE, SURFACE_ALPHA, SDL_SRCALPHA},
    };
    for (const Case& c : cases) {
        createSurfaceFlags.clear();
        _vktSurface surface(4, 4, kXRGB, c.memoryKind, c.options);
        ASSERT_NE(surface.surface, nullptr);
        ASSERT_EQ(createSurfaceFlags.size(), 1u);
        EXPECT_EQ(createSurfaceFlags[0], c.flags) << c.memoryKind << " " << c.options;
    }
}

TEST_F(SurfaceTest, EightBitSurfacesStartWithThePaletteOfTheirFormatId) {
    _vktSurface grey(4, 4, _vktFormat(FORMAT_GREY8), SURFACE_SOFTWARE, 0);
    _vktPalette entries = grey.palette();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(entries.entries()[i], i * 0x010101u) << i;

    _vktSurface cube(4, 4, _vktFormat(FORMAT_RGB332), SURFACE_SOFTWARE, 0);
    entries = cube.palette();
    EXPECT_EQ(entries.entries()[255], 0xFFFFFFu);
    EXPECT_EQ(entries.entries()[0x1C], 0x00FF00u);
    EXPECT_EQ(entries.entries()[0xE0], 0xFF0000u);

    // The black palettes must come from SDL, so read them into a palette that starts white.
    for (const _vktFormat& format : {_vktFormat(FORMAT_INDEX8), _vktFormat(8, 0, 0, 0, 0)}) {
        _vktSurface black(4, 4, format, SURFACE_SOFTWARE, 0);
        _vktPalette read;
        read.makeGrey();
        read.lock()[0] = 0xFFFFFF;
        read.unlock();
        ASSERT_EQ(black.getPalette(read), 1);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(read.entries()[i], 0u) << format.id() << " entry " << i;
    }

    uint8_t pixels[4 * 4] = {};
    _vktSurface wrapped(pixels, 4, 4, 4, _vktFormat(FORMAT_GREY8));
    EXPECT_EQ(wrapped.palette().entries()[200], 200 * 0x010101u);

    _vktSurface trueColour(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    EXPECT_EQ(trueColour.surface->format->palette, nullptr);
    EXPECT_EQ(trueColour.setPalette(_vktPalette()), 0);
    _vktPalette untouched;
    EXPECT_EQ(trueColour.getPalette(untouched), 0);
}

TEST_F(SurfaceTest, RefusedCreationLeavesTheSurfaceEmpty) {
    _vktSurface surface(8, 8, kXRGB, SURFACE_SOFTWARE, 0);
    ASSERT_NE(surface.surface, nullptr);
    createSurfaceRefusedCall = 1;
    EXPECT_EQ(surface.create(16, 16, kXRGB, SURFACE_SOFTWARE, 0), 0);
    EXPECT_EQ(surface.surface, nullptr);
    EXPECT_EQ(surface.width(), 0);
}

TEST_F(SurfaceTest, CreateFromWorksInTheCallersPixels) {
    // Three pixels a row in a 16-byte pitch: the fourth word of each row is padding that must survive.
    uint32_t pixels[2 * 4];
    for (uint32_t& p : pixels) p = 0xDEADBEEF;
    {
        _vktSurface surface(pixels, 3, 2, 16, kXRGB);
        ASSERT_NE(surface.surface, nullptr);
        EXPECT_EQ(surface.pitch(), 16);
        EXPECT_EQ(surface.flags() & 0x20, 0x20);  // SDL_PREALLOC
        EXPECT_EQ(surface.fill(0x123456), 1);
    }
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixels[row * 4 + x], 0x123456u);
        EXPECT_EQ(pixels[row * 4 + 3], 0xDEADBEEFu);
    }
}

TEST_F(SurfaceTest, FillIgnoresTheTopByteOfTheColour) {
    _vktSurface surface(5, 3, kXRGB, SURFACE_SOFTWARE, 0);
    ASSERT_EQ(surface.fill(0xFFFF00FF), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(readPixel(surface.surface, x, y), 0x00FF00FFu);

    _vktSurface rgb565(5, 3, _vktFormat(FORMAT_RGB565), SURFACE_SOFTWARE, 0);
    ASSERT_EQ(rgb565.fill(0xAAFF0000), 1);
    EXPECT_EQ(readPixel(rgb565.surface, 4, 2), 0xF800u);
}

TEST_F(SurfaceTest, FillRectFillsOnlyTheInsidePart) {
    _vktSurface surface(8, 8, kXRGB, SURFACE_SOFTWARE, 0);
    surface.fill(0);
    ASSERT_EQ(surface.fillRect(_vktRect{-2, -3, 5, 5}, 0x0000FF), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(readPixel(surface.surface, x, y), x < 3 && y < 2 ? 0xFFu : 0u) << x << "," << y;

    // SDL takes 16 bits of each field: x = 65542 lands on column 6.
    surface.fill(0);
    ASSERT_EQ(surface.fillRect(_vktRect{65536 + 6, 7, 4, 1}, 0x00FF00), 1);
    EXPECT_EQ(readPixel(surface.surface, 5, 7), 0u);
    EXPECT_EQ(readPixel(surface.surface, 6, 7), 0xFF00u);
    EXPECT_EQ(readPixel(surface.surface, 7, 7), 0xFF00u);

    // A negative size is an empty rectangle, not one the cut makes 65535 wide.
    surface.fill(0);
    ASSERT_EQ(surface.fillRect(_vktRect{2, 2, -1, 3}, 0x00FF00), 1);
    ASSERT_EQ(surface.fillRect(_vktRect{2, 2, 3, -1}, 0x00FF00), 1);
    EXPECT_EQ(readPixel(surface.surface, 7, 2), 0u);
    EXPECT_EQ(readPixel(surface.surface, 2, 7), 0u);
}

TEST_F(SurfaceTest, NestedLocksOfASoftwareSurfaceCallNoSDLLock) {
    _vktSurface surface(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    void* first = surface.lock();
    void* second = surface.lock();
    EXPECT_EQ(first, surface.surface->pixels);
    EXPECT_EQ(second, first);
    EXPECT_EQ(surface.lockCount, 2);
    surface.unlock();
    surface.unlock();
    EXPECT_EQ(surface.lockCount, 0);
    EXPECT_EQ(lockSurfaceCalls, 0);
}

TEST_F(SurfaceTest, SurfacesThatMustBeLockedAskSDLEachTimeAndWaitForIt) {
    _vktSurface surface(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    // SDL 1.2 over SDL2 hands out no hardware surfaces; mark this one as if it were.
    const Uint32 original = surface.surface->flags;
    surface.surface->flags |= SDL_HWSURFACE;
    lockSurfaceRefusals = 2;
    EXPECT_NE(surface.lock(), nullptr);
    EXPECT_EQ(lockSurfaceCalls, 3);  // two refusals, each followed by a wait and another try
    EXPECT_NE(surface.lock(), nullptr);
    EXPECT_EQ(lockSurfaceCalls, 4);
    EXPECT_EQ(surface.lockCount, 2);
    surface.unlock();
    surface.unlock();
    EXPECT_EQ(surface.lockCount, 0);
    surface.surface->flags = original;
}

TEST_F(SurfaceTest, UnlockWithoutItsLockChangesNothing) {
    _vktSurface surface(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    surface.unlock();
    EXPECT_EQ(surface.lockCount, 0);
    // On a surface SDL locks, an extra unlock must not release a lock another holder still has.
    const Uint32 original = surface.surface->flags;
    surface.surface->flags |= SDL_HWSURFACE;
    surface.lock();
    surface.lock();
    surface.unlock();
    surface.unlock();
    surface.unlock();
    EXPECT_EQ(surface.lockCount, 0);
    EXPECT_EQ(unlockSurfaceCalls, 2);
    EXPECT_NE(surface.lock(), nullptr);
    EXPECT_EQ(surface.lockCount, 1);
    surface.unlock();
    EXPECT_EQ(surface.lockCount, 0);
    EXPECT_EQ(unlockSurfaceCalls, 3);
    surface.surface->flags = original;
}

TEST(SurfaceMustLockTest, FollowsSDLsRule) {
    SDL_Surface plain{};
    EXPECT_FALSE(surfaceMustLock(&plain));
    EXPECT_FALSE(surfaceMustLock(nullptr));
    for (Uint32 flag : {SDL_HWSURFACE, SDL_ASYNCBLIT, SDL_RLEACCEL}) {
        SDL_Surface flagged{};
        flagged.flags = flag | SDL_SRCALPHA;
        EXPECT_TRUE(surfaceMustLock(&flagged)) << flag;
    }
    SDL_Surface offset{};
    offset.offset = 16;
    EXPECT_TRUE(surfaceMustLock(&offset));
}

TEST_F(SurfaceTest, EveryOperationOnAnEmptySurfaceIsHarmless) {
    _vktSurface empty;
    _vktSurface other(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.height(), 0);
    EXPECT_EQ(empty.pitch(), 0);
    EXPECT_EQ(empty.pixelCount(), 0);
    EXPECT_EQ(empty.bitsPerPixel(), 0);
    EXPECT_EQ(empty.isHardware(), 0);
    EXPECT_EQ(empty.isSoftware(), 0);
    EXPECT_EQ(empty.flags(), 0);
    EXPECT_EQ(empty.mapRGB(255, 255, 255), 0u);
    EXPECT_EQ(empty.mapRGBA(255, 255, 255, 255), 0u);
    EXPECT_EQ(empty.lock(), nullptr);
    empty.unlock();
    EXPECT_EQ(empty.lockCount, 0);
    _vktRect area{1, 2, 3, 4};
    EXPECT_EQ(&empty.rect(area), &area);
    EXPECT_EQ(area.x + area.y + area.w + area.h, 0);
    EXPECT_TRUE(empty.format().identical(_vktFormat::empty()));
    _vktFormat target(FORMAT_RGB565);
    EXPECT_EQ(empty.getFormat(target), 0);
    EXPECT_EQ(target.id(), FORMAT_RGB565);
    uint8_t r = 7, g = 8, b = 9, a = 10;
    empty.getRGBA(0xFFFFFFFF, &r, &g, &b, &a);
    EXPECT_EQ(r + g + b + a, 34);
    EXPECT_EQ(empty.fill(0xFFFFFF), 0);
    EXPECT_EQ(empty.fillRect(_vktRect{0, 0, 1, 1}, 0), 0);
    EXPECT_EQ(empty.setAlpha(10), 0);
    EXPECT_EQ(empty.clearAlpha(), 0);
    EXPECT_EQ(empty.setColorKey(0, 0), 0);
    EXPECT_EQ(empty.clearColorKey(), 0);
    EXPECT_EQ(empty.setPalette(_vktPalette()), 0);
    EXPECT_EQ(empty.blitAt(other, 0, 0), 0);
    EXPECT_EQ(other.blitAt(empty, 0, 0), 0);
    EXPECT_EQ(empty.setClipRect(_vktRect{0, 0, 1, 1}), 0);
    EXPECT_EQ(empty.clearClipRect(), 0);
    EXPECT_EQ(empty.surface, nullptr);
}

TEST_F(SurfaceTest, ColourMappingCutsComponentsAndSkipsNullPointers) {
    _vktSurface rgb565(2, 2, _vktFormat(FORMAT_RGB565), SURFACE_SOFTWARE, 0);
    EXPECT_EQ(rgb565.mapRGB(255, 0, 0), 0xF800u);
    EXPECT_EQ(rgb565.mapRGB(0x1FF, 0x100, 0), 0xF800u);  // 8 bits of each: 0xFF and 0
    uint8_t r = 1, g = 2, b = 3;
    rgb565.getRGB(0x07E0, &r, nullptr, &b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(b, 0);
    rgb565.getRGB(0xFFFF, nullptr, nullptr, nullptr);

    _vktSurface argb(2, 2, _vktFormat(FORMAT_ARGB8888), SURFACE_SOFTWARE, 0);
    EXPECT_EQ(argb.mapRGBA(1, 2, 3, 4), 0x04010203u);
    uint8_t a = 0;
    argb.getRGBA(0x80FF4020, &r, &g, &b, &a);
    EXPECT_EQ(r, 0xFF);
    EXPECT_EQ(g, 0x40);
    EXPECT_EQ(b, 0x20);
    EXPECT_EQ(a, 0x80);
}

TEST_F(SurfaceTest, AlphaAndColourKeyReachTheFlagWord) {
    _vktSurface surface(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    EXPECT_EQ(surface.flags(), 0);
    EXPECT_EQ(surface.setColorKey(surface.mapRGB(255, 0, 255), 0), 1);
    EXPECT_EQ(surface.flags(), 0x02);
    EXPECT_EQ(surface.surface->format->colorkey, 0xFF00FFu);
    EXPECT_EQ(surface.setAlpha(300), 1);  // cut to 8 bits: 44
    EXPECT_EQ(surface.flags(), 0x0A);
    EXPECT_EQ(surface.surface->format->alpha, 44);
    EXPECT_EQ(surface.clearColorKey(), 1);
    EXPECT_EQ(surface.clearAlpha(), 1);
    EXPECT_EQ(surface.flags(), 0);
}

// A 32-bit source whose pixels spell out their position, with a colour key on one of the values.
void paintPositions(_vktSurface& surface) {
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) writePixel(surface.surface, x, y, (y << 12) | x);
}

TEST_F(SurfaceTest, CopyKeepsConsoleFormatAndEveryPixel) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_WINDOW_CURSOR);
    ASSERT_EQ(console.isOpen, 1);
    _vktSurface source(&console, 320, 200, kXRGB, SURFACE_SOFTWARE, 0);
    ASSERT_NE(source.surface, nullptr);
    paintPositions(source);
    // Keyed pixels and alpha belong to the picture too; a copy drawn by a blit would lose them.
    source.setColorKey(readPixel(source.surface, 5, 5), 0);
    source.setAlpha(128);

    _vktSurface target;
    target.lockCount = 3;
    ASSERT_EQ(target.copy(source), 1);
    EXPECT_EQ(target.console, &console);
    EXPECT_EQ(target.lockCount, 0);
    EXPECT_EQ(target.width(), 320);
    EXPECT_EQ(target.height(), 200);
    const _vktFormat layout = target.format();
    EXPECT_EQ(layout.id(), FORMAT_CUSTOM);
    EXPECT_TRUE(layout == kXRGB);
    EXPECT_EQ(target.flags() & 0x0A, 0);  // key and alpha settings stay behind
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(readPixel(target.surface, x, y), static_cast<uint32_t>((y << 12) | x)) << x << "," << y;

    _vktSurface constructed(source);
    EXPECT_EQ(constructed.console, &console);
    EXPECT_EQ(readPixel(constructed.surface, 5, 5), static_cast<uint32_t>((5 << 12) | 5));
}

TEST_F(SurfaceTest, CopyOfAnEightBitSurfaceKeepsIndicesAndPalette) {
    _vktSurface source(5, 3, _vktFormat(FORMAT_INDEX8), SURFACE_SOFTWARE, 0);
    _vktPalette colours;
    uint32_t* entries = colours.lock();
    for (int i = 0; i < 256; ++i) entries[i] = static_cast<uint32_t>(i * 7919) & 0xFFFFFF;
    colours.unlock();
    source.setPalette(colours);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) writePixel(source.surface, x, y, static_cast<uint32_t>(y * 50 + x));

    _vktSurface target;
    ASSERT_EQ(target.copy(source), 1);
    EXPECT_TRUE(target.palette() == colours);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(readPixel(target.surface, x, y), static_cast<uint32_t>(y * 50 + x));
}

TEST_F(SurfaceTest, FailedOrEmptyCopies) {
    _vktSurface target(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    SDL_Surface* before = target.surface;
    _vktSurface empty;
    EXPECT_EQ(target.copy(empty), 0);
    EXPECT_EQ(target.surface, before);

    // A surface copied onto itself stays as it is.
    target.fill(0x102030);
    EXPECT_EQ(target.copy(target), 1);
    EXPECT_EQ(target.surface, before);
    EXPECT_EQ(readPixel(target.surface, 3, 3), 0x102030u);

    _vktSurface source(4, 4, kXRGB, SURFACE_SOFTWARE, 0);
    createSurfaceRefusedCall = 1;
    EXPECT_EQ(target.copy(source), 0);
    EXPECT_EQ(target.surface, nullptr);
}

TEST_F(SurfaceTest, CreationForAConsoleNeedsAnOpenOne) {
    _vktPTC console;
    ASSERT_EQ(console.isOpen, 0);
    _vktSurface surface(&console, 320, 200, kXRGB, SURFACE_SOFTWARE, 0);
    EXPECT_EQ(surface.surface, nullptr);
    EXPECT_EQ(surface.console, nullptr);
    _vktSurface like(&console, SURFACE_SOFTWARE, 0);
    EXPECT_EQ(like.surface, nullptr);
    EXPECT_TRUE(createSurfaceFlags.empty());

    ASSERT_EQ(console.open(320, 200, MODE_RGB16, SCREEN_WINDOW_CURSOR), 1);
    _vktSurface screenLike(&console, SURFACE_SOFTWARE, 0);
    ASSERT_NE(screenLike.surface, nullptr);
    EXPECT_EQ(screenLike.console, &console);
    EXPECT_EQ(screenLike.width(), 320);
    EXPECT_EQ(screenLike.height(), 200);
    EXPECT_TRUE(screenLike.format() == console.format());
    EXPECT_EQ(screenLike.bitsPerPixel(), 16);

    _vktSurface work(&console, 320, 200, kXRGB, SURFACE_SOFTWARE, 0);
    ASSERT_NE(work.surface, nullptr);
    EXPECT_EQ(work.console, &console);
    EXPECT_EQ(work.bitsPerPixel(), 32);
}

}  // namespace
