// Tests of the scheduler and the frame loop, on a replaceable clock and random source.
#include "frame_loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "fade.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"
#include "timing.h"

namespace {

// The test's clock: a value that moves on by `tick` at every read.
uint32_t fakeNow = 0;
uint32_t fakeTick = 0;
uint32_t clockReads = 0;
uint32_t fakeClock() {
    ++clockReads;
    const uint32_t now = fakeNow;
    fakeNow += fakeTick;
    return now;
}

// The test's random source: queued values first, then `randomFallback`.
std::deque<int> randomQueue;
int randomFallback = 16384;
int randomDraws = 0;
int fakeRandom() {
    ++randomDraws;
    if (randomQueue.empty()) return randomFallback;
    const int value = randomQueue.front();
    randomQueue.pop_front();
    return value;
}

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        fakeTick = 0;
        clockReads = 0;
        randomQueue.clear();
        randomFallback = 16384;
        randomDraws = 0;
    }

    Platform platform{.clock = Clock{fakeClock}, .random = fakeRandom};
    Scheduler scheduler;
};

TEST_F(SchedulerTest, RandomUnitStaysBelowOne) {
    randomQueue = {0, 32767, 16384};
    EXPECT_EQ(randomUnit(platform), 0.0);
    const double top = randomUnit(platform);
    EXPECT_LT(top, 1.0);
    EXPECT_GT(top, 1.0 - 1e-8);
    EXPECT_NEAR(randomUnit(platform), 0.5, 1e-4);
}

TEST_F(SchedulerTest, ArmingSetsSpriteDeadlineThenModeDeadlineThenMode) {
    fakeNow = 5000;
    randomQueue = {0, 32767, 32767};
    armScheduler(platform, scheduler);
    EXPECT_EQ(scheduler.spriteDeadline, 5000u + 25000u);
    EXPECT_EQ(scheduler.modeDeadline, 5000u + 24000u);
    EXPECT_EQ(scheduler.effectMode, 6);

    randomQueue = {32767, 0, 0};
    armScheduler(platform, scheduler);
    EXPECT_EQ(scheduler.spriteDeadline, 5000u + 59000u);
    EXPECT_EQ(scheduler.modeDeadline, 5000u + 15000u);
    EXPECT_EQ(scheduler.effectMode, 0);
    EXPECT_EQ(randomDraws, 6);
}

TEST_F(SchedulerTest, ModeAdvancesFromSevenBackToZero) {
    for (int mode = 0; mode < EFFECT_MODES; ++mode) {
        scheduler.effectMode = mode;
        advanceEffectMode(scheduler);
        EXPECT_EQ(scheduler.effectMode, (mode + 1) % 8);
    }
    // The mode timer wraps the same way.
    scheduler.effectMode = 7;
    scheduler.spriteDeadline = 1000000;
    scheduler.modeDeadline = 100;
    fakeNow = 101;
    runTimers(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.effectMode, 0);
}

TEST_F(SchedulerTest, SpriteLandsWhollyInsideTheFrame) {
    randomQueue = {32767, 32767, 0, 0};
    popSprite(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 100);
    EXPECT_EQ(scheduler.spriteX, 185);
    EXPECT_EQ(scheduler.spriteY, 63);
    popSprite(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteX, 0);
    EXPECT_EQ(scheduler.spriteY, 0);
}

TEST_F(SchedulerTest, PoppingWhileShownRestartsAtANewPlaceAndKeepsTheTimer) {
    scheduler.spriteDeadline = 777;
    randomQueue = {100, 200};
    popSprite(platform, scheduler, 134, 136);
    scheduler.spriteFrames = 40;
    randomQueue = {30000, 20000};
    popSprite(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 100);
    EXPECT_EQ(scheduler.spriteX, static_cast<int>(30000 * static_cast<double>(1.0f / 32767.0f) * 186.0));
    EXPECT_EQ(scheduler.spriteY, static_cast<int>(20000 * static_cast<double>(1.0f / 32767.0f) * 64.0));
    EXPECT_EQ(scheduler.spriteDeadline, 777u);
}

TEST_F(SchedulerTest, TimersFireOnlyOnceTheirDeadlineHasPassed) {
    scheduler.spriteDeadline = 1000;
    scheduler.modeDeadline = 2000;
    fakeNow = 1000;
    runTimers(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 0);
    fakeNow = 1001;
    runTimers(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 100);
    EXPECT_EQ(scheduler.effectMode, 0);
    EXPECT_EQ(scheduler.spriteDeadline, 1001u + 1000u * static_cast<uint32_t>(35 * 0.5 + 10));
}

TEST_F(SchedulerTest, BothTimersInOneFrameActSpriteFirst) {
    scheduler.spriteDeadline = 100;
    scheduler.modeDeadline = 100;
    fakeNow = 500;
    // Sprite: next deadline, x, y; then mode: next deadline.
    randomQueue = {0, 32767, 32767, 32767};
    runTimers(platform, scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteDeadline, 500u + 10000u);
    EXPECT_EQ(scheduler.spriteX, 185);
    EXPECT_EQ(scheduler.spriteY, 63);
    EXPECT_EQ(scheduler.modeDeadline, 500u + 24000u);
    EXPECT_EQ(scheduler.effectMode, 1);
}

TEST_F(SchedulerTest, TimersAcrossTheClockWrapFireOncePerInterval) {
    // Armed 30 s before the 32-bit clock wraps, then run for 200 s of 40 ms frames.
    fakeNow = 0u - 30000u;
    randomFallback = 16384;  // u just above 0.5: sprite 42 s then 27 s, mode 20 s
    armScheduler(platform, scheduler);
    EXPECT_EQ(scheduler.spriteDeadline, 12000u);  // beyond the wrap
    std::vector<uint32_t> pops, modeChanges;
    const uint32_t start = fakeNow;
    for (int frame = 0; frame < 5000; ++frame) {
        fakeNow = start + 40u * static_cast<uint32_t>(frame);
        const int mode = scheduler.effectMode;
        const int frames = scheduler.spriteFrames;
        runTimers(platform, scheduler, 134, 136);
        if (scheduler.spriteFrames == 100 && frames != 100) pops.push_back(fakeNow - start);
        if (scheduler.effectMode != mode) modeChanges.push_back(fakeNow - start);
        if (scheduler.spriteFrames > 0) --scheduler.spriteFrames;
    }
    EXPECT_EQ(pops, (std::vector<uint32_t>{42040, 69080, 96120, 123160, 150200, 177240}));
    ASSERT_EQ(modeChanges.size(), 9u);
    for (size_t i = 0; i < modeChanges.size(); ++i) EXPECT_EQ(modeChanges[i], 20040u * (i + 1)) << i;
}

TEST_F(SchedulerTest, FrameWaitEndsOnTimeAcrossTheWrap) {
    fakeTick = 1;
    for (uint32_t start : {0u, 0u - 20u, 0u - 40u, 0u - 41u, 0x7FFFFFF0u}) {
        fakeNow = start;
        clockReads = 0;
        waitUntil(platform.clock, start + 40u);
        EXPECT_EQ(clockReads, 41u) << "start " << start;
    }
    // A deadline already behind does not wait for the clock to come round again.
    fakeNow = 1000;
    clockReads = 0;
    waitUntil(platform.clock, 900);
    EXPECT_EQ(clockReads, 1u);
}

TEST_F(SchedulerTest, ZoomFirstPassesTenAtFrame180AndSwingsEvery250Frames) {
    std::vector<int> upperTurns, lowerTurns;
    float lowest = 100.0f, highest = 0.0f;
    for (int frame = 1; frame <= 1500; ++frame) {
        const int rising = scheduler.zoomRising;
        const EffectParameters effect = stepMotion(scheduler);
        EXPECT_EQ(effect.zoom, scheduler.zoom);
        if (rising == 1 && scheduler.zoomRising == 0) upperTurns.push_back(frame);
        if (rising == 0 && scheduler.zoomRising == 1) lowerTurns.push_back(frame);
        lowest = std::min(lowest, scheduler.zoom);
        highest = std::max(highest, scheduler.zoom);
    }
    ASSERT_FALSE(upperTurns.empty());
    EXPECT_EQ(upperTurns[0], 180);
    EXPECT_EQ(lowerTurns[0], 230);
    for (size_t i = 1; i < upperTurns.size(); ++i) EXPECT_EQ(upperTurns[i] - upperTurns[i - 1], 250) << i;
    for (size_t i = 1; i < lowerTurns.size(); ++i) EXPECT_EQ(lowerTurns[i] - lowerTurns[i - 1], 250) << i;
    EXPECT_EQ(upperTurns.size(), 6u);
    EXPECT_GT(lowest, 0.0f);
    EXPECT_LT(lowest, 0.02f);
    EXPECT_GT(highest, 10.0f);
    EXPECT_LT(highest, 10.06f);
}

TEST_F(SchedulerTest, AngleStepsSkipZeroAndTurnPastEight) {
    // spinSpeed by runs of frames: −8 for 19 frames, then every 20 frames one step, skipping 0, turning
    // once past 9 and past −9.
    std::vector<int> expected(19, -16);
    auto run = [&](int from, int to) {
        const int direction = from < to ? 1 : -1;
        for (int speed = from;; speed += direction) {
            if (speed != 0) expected.insert(expected.end(), 20, 2 * speed);
            if (speed == to) break;
        }
    };
    run(-7, 9);
    run(8, -9);
    run(-8, 9);
    run(8, 1);
    for (size_t frame = 0; frame < expected.size(); ++frame) {
        const EffectParameters effect = stepMotion(scheduler);
        ASSERT_EQ(effect.angleStep, expected[frame]) << "frame " << frame + 1;
        ASSERT_NE(effect.angleStep, 0);
    }
}

TEST_F(SchedulerTest, FallingCountSkipsZeroToo) {
    scheduler.spinSpeed = 1;
    scheduler.spinRising = 0;
    scheduler.spinCountdown = 1;
    EXPECT_EQ(stepMotion(scheduler).angleStep, -2);
    EXPECT_EQ(scheduler.spinSpeed, -1);
}

TEST_F(SchedulerTest, TwistingModesPinZoomAndSpin) {
    for (int mode = 1; mode < EFFECT_MODES; ++mode) {
        Scheduler pinned;
        pinned.effectMode = mode;
        for (int frame = 0; frame < 300; ++frame) {
            const EffectParameters effect = stepMotion(pinned);
            ASSERT_EQ(effect.zoom, 1.0f) << "mode " << mode;
            ASSERT_EQ(effect.angleStep, 6) << "mode " << mode;
            ASSERT_EQ(effect.pixelTwist, modeTable[mode].pixelTwist);
            ASSERT_EQ(effect.rowTwist, modeTable[mode].rowTwist);
        }
    }
    scheduler.effectMode = 3;
    const EffectParameters spokes = stepMotion(scheduler);
    EXPECT_EQ(spokes.pixelTwist, 1);
    EXPECT_EQ(spokes.rowTwist, 1);

    // Back in mode 0 the swing goes on from the pinned values, in the direction spinRising holds.
    scheduler.effectMode = 0;
    scheduler.spinRising = 0;
    scheduler.spinCountdown = 1;
    const EffectParameters free = stepMotion(scheduler);
    EXPECT_FLOAT_EQ(free.zoom, 1.05f);
    EXPECT_EQ(free.angleStep, 4);
}

// The whole loop on a headless console, with surfaces made in the test.

constexpr uint32_t SPRITE_COLOUR = 0xC01020;
constexpr uint32_t GLYPH_COLOUR = 0x20E040;

struct Presented {
    const _vktSurface* surface;
    uint32_t time;
};
std::vector<Presented> presented;
// Escape is queued once this many frames have been presented; 0 never.
size_t quitAfter = 0;

void recordPresented(const _vktSurface& surface) {
    presented.push_back({&surface, fakeNow});
    if (quitAfter != 0 && presented.size() == quitAfter) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = SDLK_ESCAPE;
        SDL_PushEvent(&event);
    }
}

// One call of the loop as the intro's caller makes it: the clock then moves on to the frame's deadline.
bool step(FrameLoop& loop) {
    if (!loop.advance()) return false;
    if (!clockReached(fakeNow, loop.nextFrameDue())) fakeNow = loop.nextFrameDue();
    return true;
}

class RecordedVolume : public VolumeControl {
public:
    void setVolume(int percent) override { calls.push_back(percent); }
    std::vector<int> calls;
};

class FrameLoopTest : public SchedulerTest {
protected:
    void SetUp() override {
        SchedulerTest::SetUp();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        fakeNow = 100000;
        fakeTick = 1;
        presented.clear();
        quitAfter = 0;
        platform.frameObserver = recordPresented;
        openConsole(MODE_RGB32);
        farDeadline = fakeNow + 1000000;
    }
    void TearDown() override {
        freeSurfaces();
        console.reset();
        SchedulerTest::TearDown();
    }

    void freeSurfaces() {
        for (_vktSurface* surface : {&surface1, &surface2, &picture, &fontSheet, &textSurface, &sprite})
            surface->free();
    }

    void openConsole(int mode) {
        freeSurfaces();
        console.reset();  // one console at a time: each restarts SDL
        console = std::make_unique<_vktPTC>(320, 200, mode, SCREEN_FULL);
        ASSERT_TRUE(console->isOpen);
        const _vktFormat work(FORMAT_XRGB8888);
        ASSERT_TRUE(surface1.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
        ASSERT_TRUE(surface2.createFor(console.get(), 320, 200, work, SURFACE_SOFTWARE, 0));
        // Each texel holds its coordinates, so the effect's output can be told apart pixel by pixel.
        ASSERT_TRUE(picture.create(256, 256, work, SURFACE_SOFTWARE, 0));
        uint32_t* texels = static_cast<uint32_t*>(picture.lock());
        for (uint32_t i = 0; i < 256 * 256; ++i) texels[i] = 0x800000 | i;
        picture.unlock();
        ASSERT_TRUE(fontSheet.create(234, 34, work, SURFACE_SOFTWARE, 0));
        fontSheet.fill(0x003C3C);
        fontSheet.fillRect(_vktRect{0, 0, 8, 8}, GLYPH_COLOUR);  // the A glyph
        fontSheet.setColorKey(fontSheet.mapRGB(0, 60, 60), 0);
        ASSERT_TRUE(textSurface.create(180, 72, work, SURFACE_SOFTWARE, 0));
        textSurface.fill(0xFF00FF);
        textSurface.setColorKey(0xFF00FF, 0);
        ASSERT_TRUE(sprite.create(134, 136, work, SURFACE_SOFTWARE, 0));
        sprite.fill(0xFF00FF);
        sprite.fillRect(_vktRect{0, 0, 20, 20}, SPRITE_COLOUR);
        sprite.setColorKey(0xFF00FF, 0);
    }

    // A loop whose timers stay quiet unless a test moves their deadlines.
    FrameLoop makeLoop() {
        FrameLoop loop(platform, *console, surface1, surface2, picture, fontSheet, textSurface, sprite,
                       volume);
        loop.scheduler().spriteDeadline = farDeadline;
        loop.scheduler().modeDeadline = farDeadline;
        return loop;
    }

    static void pushKey(SDLKey key) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    std::unique_ptr<_vktPTC> console;
    _vktSurface surface1, surface2, picture, fontSheet, textSurface, sprite;
    RecordedVolume volume;
    uint32_t farDeadline = 0;
};

TEST_F(FrameLoopTest, OneFrameLayersEffectRowsSpriteAndTextThenPresents) {
    FrameLoop loop = makeLoop();
    randomQueue = {0, 0};  // the b key puts the sprite at the top-left corner
    pushKey(SDLK_b);
    loop.scroller().typeDelay = 1000;  // an A typed in the text's first cell, drawn this frame
    loop.scroller().pageBuffer[0] = 'A';

    ASSERT_TRUE(step(loop));
    EXPECT_EQ(loop.frameCount(), 1);
    EXPECT_EQ(&loop.current(), &surface2);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].surface, &surface1);
    EXPECT_EQ(loop.scheduler().spriteFrames, 99);

    // The effect as a fresh copy of it draws the first frame of mode 0: angle step −16, zoom 1.05.
    // The loop's effect uses the fastest kernel the processor runs.
    EXPECT_EQ(distortVariant(), bestCpuVariant());
    DistortEffect reference;
    reference.buildSineTables(DISTORT_AMPLITUDE);
    std::vector<uint32_t> effect(320 * 200);
    const uint32_t* texels = static_cast<const uint32_t*>(picture.lock());
    reference.distortPicture(effect.data(), texels, -16, 1.05f, 0, 0);
    picture.unlock();

    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            uint32_t expected = effect[y * 320 + x];
            if (y == 0) expected = loop.colourRamp().colours[(8 + 4 * x) % 2048];
            if (y == 199) expected = loop.colourRamp().colours[(8 + 4 * (319 - x)) % 2048];
            if (x < 20 && y < 20) expected = SPRITE_COLOUR;
            if (x >= 70 && x < 78 && y >= 64 && y < 72) expected = GLYPH_COLOUR;
            ASSERT_EQ(readPixel(surface1.surface, x, y), expected) << x << "," << y;
            ASSERT_EQ(readPixel(console->screen, x, y), expected) << "screen " << x << "," << y;
        }
    }
}

TEST_F(FrameLoopTest, FramesArePacedAt40MsAndAlternateSurfaces) {
    FrameLoop loop = makeLoop();
    for (int frame = 0; frame < 6; ++frame) ASSERT_TRUE(step(loop));
    ASSERT_EQ(presented.size(), 6u);
    for (size_t i = 0; i < presented.size(); ++i) {
        EXPECT_EQ(presented[i].surface, i % 2 == 0 ? &surface1 : &surface2) << i;
        if (i > 0) {
            EXPECT_GE(presented[i].time - presented[i - 1].time, FRAME_MS) << i;
            EXPECT_LE(presented[i].time - presented[i - 1].time, FRAME_MS + 8) << i;
        }
    }
    EXPECT_EQ(loop.colourRamp().rampOffset, 48);
}

TEST_F(FrameLoopTest, KeysActOncePerPress) {
    FrameLoop loop = makeLoop();
    loop.scheduler().effectMode = 6;
    pushKey(SDLK_SPACE);
    for (int frame = 0; frame < 3; ++frame) step(loop);
    EXPECT_EQ(loop.scheduler().effectMode, 7);
    // Two presses within one frame count as one; at 7 the mode comes round to 0.
    pushKey(SDLK_SPACE);
    pushKey(SDLK_SPACE);
    step(loop);
    EXPECT_EQ(loop.scheduler().effectMode, 0);
    // The last key in the queue is the one that acts.
    pushKey(SDLK_SPACE);
    pushKey(SDLK_a);
    step(loop);
    EXPECT_EQ(loop.scheduler().effectMode, 0);

    // b while the sprite shows restarts its 100 frames at a new place; its timer stays.
    const uint32_t spriteDeadline = loop.scheduler().spriteDeadline;
    randomQueue = {0, 0};
    pushKey(SDLK_b);
    step(loop);
    for (int frame = 0; frame < 10; ++frame) step(loop);
    EXPECT_EQ(loop.scheduler().spriteFrames, 89);
    randomQueue = {32767, 32767};
    pushKey(SDLK_b);
    step(loop);
    EXPECT_EQ(loop.scheduler().spriteFrames, 99);
    EXPECT_EQ(loop.scheduler().spriteX, 185);
    EXPECT_EQ(loop.scheduler().spriteY, 63);
    EXPECT_EQ(loop.scheduler().spriteDeadline, spriteDeadline);
    EXPECT_EQ(loop.frameCount(), 17);
}

TEST_F(FrameLoopTest, TimerAfterBKeyPlacesTheSprite) {
    FrameLoop loop = makeLoop();
    loop.scheduler().spriteDeadline = fakeNow - 1;
    // b draws x and y first; then the timer draws its deadline, x and y, and those stand.
    randomQueue = {0, 0, 0, 32767, 32767};
    pushKey(SDLK_b);
    step(loop);
    EXPECT_EQ(loop.scheduler().spriteX, 185);
    EXPECT_EQ(loop.scheduler().spriteY, 63);
}

TEST_F(FrameLoopTest, QuitKeyWinsOverTimersAndEndsWithTheClosingFade) {
    FrameLoop loop = makeLoop();
    ASSERT_TRUE(step(loop));
    presented.clear();
    loop.scheduler().spriteDeadline = fakeNow - 500;
    loop.scheduler().modeDeadline = fakeNow - 500;
    loop.scheduler().effectMode = 2;
    const uint32_t quitRead = fakeNow;
    pushKey(SDLK_ESCAPE);

    // The frame that reads the key draws nothing of the loop; each of the closing fade's frames comes
    // in a call of its own.
    int calls = 0;
    while (step(loop)) ++calls;
    EXPECT_EQ(calls, 62);
    EXPECT_EQ(loop.endTime(), quitRead);
    EXPECT_EQ(loop.frameCount(), 1);
    EXPECT_EQ(loop.scheduler().effectMode, 2);
    EXPECT_EQ(loop.scheduler().spriteFrames, 0);
    // The closing fade: 62 grey frames starting on the surface the frame would have drawn, and the
    // whole volume ramp.
    ASSERT_EQ(presented.size(), 62u);
    EXPECT_EQ(presented[0].surface, &surface2);
    EXPECT_EQ(volume.calls.size(), 63u);
    EXPECT_EQ(volume.calls.front(), 100);
    EXPECT_EQ(readPixel(surface2.surface, 0, 0), 15u * 0x010101u);
}

TEST_F(FrameLoopTest, RunGoesOnAcrossTheClockWrapUntilAQuitKey) {
    fakeNow = 0u - 2000u;
    FrameLoop loop = makeLoop();
    armScheduler(platform, loop.scheduler());
    quitAfter = 150;  // 6 s: across the wrap
    while (step(loop)) {
    }
    EXPECT_EQ(loop.frameCount(), 150);
    ASSERT_EQ(presented.size(), 150u + 62u);
    for (size_t i = 1; i < 150; ++i) {
        ASSERT_GE(presented[i].time - presented[i - 1].time, FRAME_MS) << i;
        ASSERT_LE(presented[i].time - presented[i - 1].time, FRAME_MS + 8) << i;
    }
    EXPECT_GT(loop.endTime(), 3000u);
    EXPECT_LT(loop.endTime(), 5000u);
}

TEST_F(FrameLoopTest, SixteenBitConsoleReceivesTheFrameConverted) {
    openConsole(MODE_RGB16);
    ASSERT_EQ(console->screen->format->BitsPerPixel, 16);
    FrameLoop loop = makeLoop();
    step(loop);
    for (int x : {0, 100, 319}) {
        for (int y : {0, 50, 199}) {
            const uint32_t pixel = readPixel(surface1.surface, x, y);
            const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            EXPECT_EQ(readPixel(console->screen, x, y), ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                << x << "," << y;
        }
    }
}

// The s key saves current before it is redrawn: after the opening fade, its last greys.
TEST_F(FrameLoopTest, ScreenshotsShowThePictureTwoFramesBack) {
    char directory[] = "/tmp/dovoz1_screenshotXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(directory), 0);

    auto screenshotGrey = [](int* grey) {
        SDL_Surface* shot = SDL_LoadBMP(SCREENSHOT_FILE);
        ASSERT_NE(shot, nullptr);
        ASSERT_EQ(shot->w, 320);
        ASSERT_EQ(shot->h, 200);
        Uint8 r, g, b;
        SDL_GetRGB(readPixel(shot, 0, 0), shot->format, &r, &g, &b);
        *grey = r;
        for (int y : {0, 99, 199}) {
            for (int x : {0, 160, 319}) {
                Uint8 pr, pg, pb;
                SDL_GetRGB(readPixel(shot, x, y), shot->format, &pr, &pg, &pb);
                EXPECT_TRUE(pr == r && pg == r && pb == r) << x << "," << y;
            }
        }
        SDL_FreeSurface(shot);
    };

    Fade opening(*console, surface1, surface2, volume, FADE_IN);
    while (opening.pass(platform) == FadePass::Presented) {
    }
    FrameLoop loop = makeLoop();
    int grey = 0;
    pushKey(SDLK_s);
    step(loop);
    screenshotGrey(&grey);
    EXPECT_EQ(grey, 15);
    pushKey(SDLK_s);
    step(loop);
    screenshotGrey(&grey);  // the file is replaced
    EXPECT_EQ(grey, 7);

    std::remove(SCREENSHOT_FILE);
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    rmdir(directory);
}

}  // namespace
