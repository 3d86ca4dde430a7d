// Tests of the scheduler and the frame loop, on a replaceable clock and random source.
#include "frame_loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <deque>
#include <vector>

#include "platform.h"

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
        setClockSource(fakeClock);
        setRandomSource(fakeRandom);
    }
    void TearDown() override {
        setClockSource(nullptr);
        setRandomSource(nullptr);
    }

    Scheduler scheduler;
};

TEST_F(SchedulerTest, RandomUnitStaysBelowOne) {
    randomQueue = {0, 32767, 16384};
    EXPECT_EQ(randomUnit(), 0.0);
    const double top = randomUnit();
    EXPECT_LT(top, 1.0);
    EXPECT_GT(top, 1.0 - 1e-8);
    EXPECT_NEAR(randomUnit(), 0.5, 1e-4);
}

TEST_F(SchedulerTest, ArmingSetsSpriteDeadlineThenModeDeadlineThenMode) {
    fakeNow = 5000;
    randomQueue = {0, 32767, 32767};
    armScheduler(scheduler);
    EXPECT_EQ(scheduler.spriteDeadline, 5000u + 25000u);
    EXPECT_EQ(scheduler.modeDeadline, 5000u + 24000u);
    EXPECT_EQ(scheduler.effectMode, 6);

    randomQueue = {32767, 0, 0};
    armScheduler(scheduler);
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
    runTimers(scheduler, 134, 136);
    EXPECT_EQ(scheduler.effectMode, 0);
}

TEST_F(SchedulerTest, SpriteLandsWhollyInsideTheFrame) {
    randomQueue = {32767, 32767, 0, 0};
    popSprite(scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 100);
    EXPECT_EQ(scheduler.spriteX, 185);
    EXPECT_EQ(scheduler.spriteY, 63);
    popSprite(scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteX, 0);
    EXPECT_EQ(scheduler.spriteY, 0);
}

TEST_F(SchedulerTest, PoppingWhileShownRestartsAtANewPlaceAndKeepsTheTimer) {
    scheduler.spriteDeadline = 777;
    randomQueue = {100, 200};
    popSprite(scheduler, 134, 136);
    scheduler.spriteFrames = 40;
    randomQueue = {30000, 20000};
    popSprite(scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 100);
    EXPECT_EQ(scheduler.spriteX, static_cast<int>(30000 * static_cast<double>(1.0f / 32767.0f) * 186.0));
    EXPECT_EQ(scheduler.spriteY, static_cast<int>(20000 * static_cast<double>(1.0f / 32767.0f) * 64.0));
    EXPECT_EQ(scheduler.spriteDeadline, 777u);
}

TEST_F(SchedulerTest, TimersFireOnlyOnceTheirDeadlineHasPassed) {
    scheduler.spriteDeadline = 1000;
    scheduler.modeDeadline = 2000;
    fakeNow = 1000;
    runTimers(scheduler, 134, 136);
    EXPECT_EQ(scheduler.spriteFrames, 0);
    fakeNow = 1001;
    runTimers(scheduler, 134, 136);
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
    runTimers(scheduler, 134, 136);
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
    armScheduler(scheduler);
    EXPECT_EQ(scheduler.spriteDeadline, 12000u);  // beyond the wrap
    std::vector<uint32_t> pops, modeChanges;
    const uint32_t start = fakeNow;
    for (int frame = 0; frame < 5000; ++frame) {
        fakeNow = start + 40u * static_cast<uint32_t>(frame);
        const int mode = scheduler.effectMode;
        const int frames = scheduler.spriteFrames;
        runTimers(scheduler, 134, 136);
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
        spinUntil(start + 40u);
        EXPECT_EQ(clockReads, 41u) << "start " << start;
    }
    // A deadline already behind does not wait for the clock to come round again.
    fakeNow = 1000;
    clockReads = 0;
    spinUntil(900);
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

}  // namespace
