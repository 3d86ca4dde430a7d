// Tests of the grey flash on a headless console, with a replaceable clock and a recording volume.
#include "fade.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bassmod_player.h"
#include "platform.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"
#include "timing.h"

namespace {

// The test's clock: moves on by 1 ms at every read, so every wait ends.
uint32_t fakeNow = 0;
uint32_t fakeClock() {
    return fakeNow++;
}

// What each presented frame showed.
struct Shown {
    const _vktSurface* surface;
    uint32_t pixel;        // the work surface's top-left pixel
    uint32_t screenPixel;  // the console screen's top-left pixel after the update
    uint32_t time;
};
std::vector<Shown> shown;
// Keys to queue once a given number of frames has been shown.
struct LateKey {
    size_t afterFrames;
    SDLKey key;
};
std::vector<LateKey> lateKeys;

void pushKey(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

void recordFrame(const _vktSurface& presented) {
    shown.push_back({&presented, readPixel(presented.surface, 0, 0),
                     readPixel(presented.console->screen, 0, 0), fakeNow});
    for (const LateKey& late : lateKeys) {
        if (late.afterFrames == shown.size()) pushKey(late.key);
    }
}

// Drives a fade as the intro's caller does: a pass per frame, the clock moved on to each deadline in
// between. 1 when the fade ran to its end, 0 when a quit key cut it short.
int runFade(const Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
            VolumeControl& music, int direction) {
    Fade fade(console, first, second, music, direction);
    for (;;) {
        const FadePass pass = fade.pass(platform);
        if (pass != FadePass::Presented) return pass == FadePass::Finished ? 1 : 0;
        if (!clockReached(fakeNow, fade.nextFrameDue())) fakeNow = fade.nextFrameDue();
    }
}

class RecordedVolume : public VolumeControl {
public:
    void setVolume(int percent) override { calls.push_back(percent); }
    std::vector<int> calls;
};

class FadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        console = std::make_unique<_vktPTC>(320, 200, MODE_RGB32, SCREEN_FULL);
        ASSERT_TRUE(console->isOpen);
        const _vktFormat work(FORMAT_XRGB8888);
        ASSERT_TRUE(first.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
        ASSERT_TRUE(second.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
        fakeNow = 1000;
        shown.clear();
        lateKeys.clear();
    }
    void TearDown() override {
        first.free();
        second.free();
        console.reset();
    }

    static std::vector<uint32_t> expectedGreys() {
        std::vector<uint32_t> greys;
        for (uint32_t grey = 8; grey <= 248; grey += 8) greys.push_back(grey * 0x010101u);
        for (uint32_t grey = 247; grey >= 7 && grey <= 247; grey -= 8) greys.push_back(grey * 0x010101u);
        return greys;
    }
    static std::vector<uint32_t> shownPixels() {
        std::vector<uint32_t> pixels;
        for (const Shown& frame : shown) pixels.push_back(frame.pixel);
        return pixels;
    }

    const Platform platform{.clock = Clock{fakeClock}, .frameObserver = recordFrame};
    std::unique_ptr<_vktPTC> console;
    _vktSurface first;
    _vktSurface second;
    RecordedVolume volume;
};

TEST_F(FadeTest, ShowsSixtyTwoGreysInTurnOnBothSurfaces) {
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_IN), 1);
    ASSERT_EQ(shown.size(), 62u);
    EXPECT_EQ(shownPixels(), expectedGreys());
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].surface, i % 2 == 0 ? &first : &second) << i;
        EXPECT_EQ(shown[i].screenPixel, shown[i].pixel) << "frame " << i << " reached the screen";
        if (i > 0) {
            EXPECT_GE(shown[i].time - shown[i - 1].time, FRAME_MS) << i;
            EXPECT_LE(shown[i].time - shown[i - 1].time, FRAME_MS + 2) << i;
        }
    }
    // The caller's surfaces keep their order: the last two greys stay on them.
    EXPECT_EQ(readPixel(first.surface, 319, 199), 15u * 0x010101u);
    EXPECT_EQ(readPixel(second.surface, 319, 199), 7u * 0x010101u);
    EXPECT_TRUE(volume.calls.empty());
}

TEST_F(FadeTest, ClosingFadeRampsTheVolumeDownToZero) {
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_OUT), 1);
    EXPECT_EQ(shownPixels(), expectedGreys());
    std::vector<int> expected;
    for (int percent = 100; percent >= 0; percent -= 2) expected.push_back(percent);
    expected.insert(expected.end(), 12, 0);
    EXPECT_EQ(volume.calls.size(), 63u);
    EXPECT_EQ(volume.calls, expected);
}

TEST_F(FadeTest, QuitKeysEndItAtOnce) {
    for (SDLKey key : {SDLK_ESCAPE, SDLK_RETURN, SDLK_q}) {
        shown.clear();
        volume.calls.clear();
        pushKey(key);
        EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_OUT), 0) << key;
        EXPECT_TRUE(shown.empty()) << key;
        EXPECT_TRUE(volume.calls.empty()) << key;
    }
    SDL_Event close{};
    close.type = SDL_QUIT;
    SDL_PushEvent(&close);
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_IN), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(FadeTest, QuitDuringTheClosingFadeLeavesTheVolumeWhereItWas) {
    lateKeys = {{20, SDLK_q}};
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_OUT), 0);
    EXPECT_EQ(shown.size(), 20u);
    ASSERT_EQ(volume.calls.size(), 20u);
    EXPECT_EQ(volume.calls.back(), 62);
}

TEST_F(FadeTest, OtherKeysAreDropped) {
    pushKey(SDLK_SPACE);
    lateKeys = {{10, SDLK_b}, {30, SDLK_s}, {50, SDLK_a}};
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_IN), 1);
    EXPECT_EQ(shownPixels(), expectedGreys());
}

TEST_F(FadeTest, WaitsRunOnTimeAcrossTheClockWrap) {
    fakeNow = 0u - 1000u;
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_IN), 1);
    ASSERT_EQ(shown.size(), 62u);
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GE(shown[i].time - shown[i - 1].time, FRAME_MS) << i;
        EXPECT_LE(shown[i].time - shown[i - 1].time, FRAME_MS + 2) << i;
    }
    EXPECT_LT(shown.back().time, 2000u);  // ended just beyond the wrap
}

TEST_F(FadeTest, SixteenBitConsoleShowsTheGreysConverted) {
    first.free();
    second.free();
    console.reset();  // one console at a time: each restarts SDL
    console = std::make_unique<_vktPTC>(320, 200, MODE_RGB16, SCREEN_FULL);
    ASSERT_TRUE(console->isOpen);
    ASSERT_EQ(console->screen->format->BitsPerPixel, 16);
    const _vktFormat work(FORMAT_XRGB8888);
    ASSERT_TRUE(first.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
    ASSERT_TRUE(second.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
    EXPECT_EQ(runFade(platform, *console, first, second, volume, FADE_IN), 1);
    ASSERT_EQ(shown.size(), 62u);
    for (const Shown& frame : shown) {
        const uint32_t grey = frame.pixel & 0xFF;
        EXPECT_EQ(frame.screenPixel, ((grey >> 3) << 11) | ((grey >> 2) << 5) | (grey >> 3)) << grey;
    }
}

TEST_F(FadeTest, ThePlayerIsDrivenThroughItsVolume) {
    // The real player: with or without sound the fade runs to its end and ignores the results.
    _vktBassModPlayer player;
    PlayerVolume music(player);
    EXPECT_EQ(runFade(platform, *console, first, second, music, FADE_OUT), 1);
    EXPECT_EQ(shown.size(), 62u);
    player.shutdown();
}

}  // namespace
