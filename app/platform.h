// platform.h: the intro's clock and random source, replaceable so that tests and captures control time.
#pragma once
#include <cstdint>

class _vktSurface;

// Milliseconds from a monotonic clock, cut to 32 bits: it wraps every 2^32 ms.
uint32_t clockMs();
// Values 0..32767.
int randomValue();
// Seeds the random source once from the calendar time in seconds.
void seedRandomFromTime();
void seedRandom(uint32_t seed);

// Replacements; null restores the system's own.
using ClockSource = uint32_t (*)();
using RandomSource = int (*)();
void setClockSource(ClockSource source);
void setRandomSource(RandomSource source);

// True once the clock has reached deadline; the signed difference keeps the 32-bit wrap harmless.
inline bool clockReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}
// True once the clock has passed deadline.
inline bool clockPassed(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) > 0;
}

// Spins on clockMs() until it has reached deadline; never sleeps.
void spinUntil(uint32_t deadline);

// Called after every presented frame (frame loop and fades) with the surface just shown, so that a
// capture can record what the screen showed. Null, the default, calls nothing.
using FrameObserver = void (*)(const _vktSurface& presented);
void setFrameObserver(FrameObserver observer);
void notifyFramePresented(const _vktSurface& presented);
