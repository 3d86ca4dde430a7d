// statistics.h: the frame statistics printed at exit.
#pragma once
#include <cstdint>

// Frames per second over the clock values; 0 when no time passed (a quit during the opening fade).
double framesPerSecond(int32_t frameCount, uint32_t startTime, uint32_t endTime);
// The five statistics messages: frames, the 25 fps cap and the measured rate.
void printStatistics(int32_t frameCount, uint32_t startTime, uint32_t endTime);
