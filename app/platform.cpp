// platform.cpp: the system clock and a 15-bit generator, behind replaceable pointers.
#include "platform.h"

#include <sched.h>

#include <ctime>

namespace {

uint32_t systemClock() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

// A linear congruential generator of 15-bit values: the classic one, so seeds behave alike everywhere.
uint32_t generatorState = 1;

int systemRandom() {
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int>((generatorState >> 16) & 0x7FFF);
}

ClockSource currentClock = systemClock;
RandomSource currentRandom = systemRandom;
FrameObserver currentObserver = nullptr;

}  // namespace

uint32_t clockMs() {
    return currentClock();
}
int randomValue() {
    return currentRandom();
}
void seedRandom(uint32_t seed) {
    generatorState = seed;
}
void seedRandomFromTime() {
    seedRandom(static_cast<uint32_t>(time(nullptr)));
}
void setClockSource(ClockSource source) {
    currentClock = source ? source : systemClock;
}
void setRandomSource(RandomSource source) {
    currentRandom = source ? source : systemRandom;
}

void spinUntil(uint32_t deadline) {
    // Each turn gives the core away for a moment, so the music's thread and the rest of the desktop
    // keep running on a busy machine while the wait stays exact to the millisecond.
    while (!clockReached(clockMs(), deadline)) sched_yield();
}

void setFrameObserver(FrameObserver observer) {
    currentObserver = observer;
}
void notifyFramePresented(const _vktSurface& presented) {
    if (currentObserver) currentObserver(presented);
}
