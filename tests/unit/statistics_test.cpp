// The exit statistics: the rate over the clock's wrap, and no nan when no time passed.
#include "statistics.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string fpsText(int32_t frames, uint32_t start, uint32_t end) {
    char text[64];
    snprintf(text, sizeof text, "%.3f", framesPerSecond(frames, start, end));
    return text;
}

TEST(StatisticsTest, RateReadsAsPrinted) {
    EXPECT_EQ(fpsText(250, 1000, 11000), "25.000");
    EXPECT_EQ(fpsText(0, 0, 0), "0.000");
    EXPECT_EQ(fpsText(7, 500, 500), "0.000");
    // A run across the 32-bit wrap of the millisecond clock.
    EXPECT_EQ(fpsText(250, 0xFFFFF000u, 0xFFFFF000u + 10000u), "25.000");
    EXPECT_EQ(fpsText(149, 100, 6100), "24.833");
}

}  // namespace
