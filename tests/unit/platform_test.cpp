// Tests of the wait between frames: its sleep on a replaced clock (nothing really sleeps), the system
// clock's sleep target worked out from a millisecond deadline, and frames paced by a display's refreshes.
#include "platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <vector>

#include "timing.h"

namespace {

// The test's clock moves on by 1 ms at every read; its sleep records the deadline and wakes
// `wakeEarly` ms before it.
uint32_t fakeNow = 0;
uint32_t clockReads = 0;
uint32_t lastRead = 0;
uint32_t wakeEarly = 0;
std::vector<uint32_t> sleeps;

uint32_t fakeClock() {
    ++clockReads;
    lastRead = fakeNow++;
    return lastRead;
}

void fakeSleep(uint32_t deadline) {
    sleeps.push_back(deadline);
    fakeNow = deadline - wakeEarly;
}

class WaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        clockReads = 0;
        wakeEarly = 0;
        sleeps.clear();
    }

    const Clock clock{fakeClock, fakeSleep};
};

TEST_F(WaitTest, ADeadlineReachedOrBehindReturnsAtOnceWithoutSleeping) {
    // Reached exactly, behind, behind across the wrap, and as far behind as the signed difference goes.
    for (const auto& [now, deadline] : std::vector<std::pair<uint32_t, uint32_t>>{
             {1000, 1000}, {1000, 900}, {5, 0u - 20u}, {0x80000000u, 1}}) {
        fakeNow = now;
        clockReads = 0;
        waitUntil(clock, deadline);
        EXPECT_EQ(clockReads, 1u) << now << " " << deadline;
    }
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(WaitTest, SleepsOnceThenReadsTheClockUpToTheDeadlineAcrossTheWrap) {
    wakeEarly = 3;
    for (uint32_t start : {1000u, 0u - 20u, 0u - 40u, 0x7FFFFFF0u}) {
        sleeps.clear();
        fakeNow = start;
        waitUntil(clock, start + 40u);
        EXPECT_EQ(sleeps, std::vector<uint32_t>{start + 40u}) << start;
        EXPECT_EQ(lastRead, start + 40u) << start;  // returned on the first read that reached it
    }
}

timespec at(int64_t seconds, long nanoseconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = nanoseconds;
    return t;
}

TEST(SleepTarget, IsTheStartOfTheDeadlinesMillisecondLessTheLead) {
    // Monotonic 12.345678901 s reads as clock 12345.
    timespec target{};
    ASSERT_TRUE(sleepTarget(at(12, 345678901), 12385, 0, target));
    EXPECT_EQ(target.tv_sec, 12);
    EXPECT_EQ(target.tv_nsec, 385000000);
    ASSERT_TRUE(sleepTarget(at(12, 345678901), 12385, 300000, target));
    EXPECT_EQ(target.tv_sec, 12);
    EXPECT_EQ(target.tv_nsec, 384700000);
    // Into the next second.
    ASSERT_TRUE(sleepTarget(at(12, 995000000), 13020, 0, target));
    EXPECT_EQ(target.tv_sec, 13);
    EXPECT_EQ(target.tv_nsec, 20000000);
}

TEST(SleepTarget, FollowsTheClockAcrossItsWrap) {
    // 8589934.582 s is 2 × 2^32 − 10 ms: the clock reads 0xFFFFFFF6, and 40 ms on it reads 30.
    timespec target{};
    ASSERT_TRUE(sleepTarget(at(8589934, 582123456), 30, 0, target));
    EXPECT_EQ(target.tv_sec, 8589934);
    EXPECT_EQ(target.tv_nsec, 622000000);
}

TEST(SleepTarget, NothingToSleepOnceReachedOrWithinTheLead) {
    timespec target{};
    EXPECT_FALSE(sleepTarget(at(12, 345678901), 12345, 0, target));          // reached
    EXPECT_FALSE(sleepTarget(at(12, 345678901), 12000, 0, target));          // behind
    EXPECT_FALSE(sleepTarget(at(8589934, 582123456), 0u - 11u, 0, target));  // behind, across the wrap
    EXPECT_FALSE(sleepTarget(at(12, 345900000), 12346, 200000, target));     // 0.1 ms left, lead 0.2 ms
    EXPECT_TRUE(sleepTarget(at(12, 345700000), 12346, 200000, target));
    EXPECT_EQ(target.tv_nsec, 345800000);
}

// The times at which frames are handled when a caller looks at every refresh of a display (refreshMs
// apart, from 1000 ms on, none from pauseFrom for pauseMs) and handles the frame once it is due.
std::vector<uint32_t> framesOnRefreshes(double refreshMs, double untilMs, double pauseFrom = 0,
                                        double pauseMs = 0) {
    std::vector<uint32_t> handled;
    uint32_t due = 0;
    for (double t = 1000; t < untilMs; t += refreshMs) {
        if (t >= pauseFrom && t < pauseFrom + pauseMs) continue;
        const uint32_t now = static_cast<uint32_t>(t);
        if (!handled.empty() && !clockReached(now, due)) continue;
        const uint32_t time = handled.empty() ? now : gridFrameTime(now, due);
        handled.push_back(now);
        due = time + FRAME_MS;
    }
    return handled;
}

// Timed from their own refreshes, frames 40 ms apart would land on every third refresh at 60 Hz: 20 a
// second.
TEST(GridFrameTime, KeepsTwentyFiveFramesASecondAtAnyRefreshRate) {
    for (double hz : {60.0, 50.0, 75.0, 144.0, 30.0}) {
        const std::vector<uint32_t> frames = framesOnRefreshes(1000.0 / hz, 11000);
        EXPECT_NEAR(static_cast<double>(frames.size()), 250.0, 1.0) << hz << " Hz";
    }
}

TEST(GridFrameTime, APageFarBehindStartsAfreshInsteadOfCatchingUp) {
    const std::vector<uint32_t> frames = framesOnRefreshes(1000.0 / 60, 6000, 3000, 1000);
    size_t afterPause = 0;
    for (uint32_t time : frames)
        if (time >= 4000 && time < 4200) ++afterPause;
    EXPECT_LE(afterPause, 6u);  // five frames' time: no burst of the second missed
    // Four seconds of frames in the five: the missed second is not made up.
    EXPECT_NEAR(static_cast<double>(frames.size()), 100.0, 1.0);
}

}  // namespace
