// platform.h: the intro's clock, its wait and its random source, replaceable so that tests and captures
// control time.
#pragma once
#include <cstdint>
#include <ctime>

class _vktSurface;

// Milliseconds from a monotonic clock, cut to 32 bits: it wraps every 2^32 ms.
uint32_t clockMs();
// Values 0..32767.
int randomValue();
// Seeds the random source once from the calendar time in seconds.
void seedRandomFromTime();
void seedRandom(uint32_t seed);

// How waitUntil sleeps: called with a deadline the clock has not reached, it returns about when the
// clock reaches it, best shortly before (the wait then reads the clock for the rest).
using SleepFunction = void (*)(uint32_t deadline);

// Replacements; null restores the system's own. The sleep belongs to its clock: a replaced clock
// comes with its own sleep, or none (the wait then only reads the clock), and null restores both.
using ClockSource = uint32_t (*)();
using RandomSource = int (*)();
void setClockSource(ClockSource source, SleepFunction sleep = nullptr);
void setRandomSource(RandomSource source);

// True once the clock has reached deadline; the signed difference keeps the 32-bit wrap harmless.
inline bool clockReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}
// True once the clock has passed deadline.
inline bool clockPassed(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) > 0;
}

// Returns once clockMs() has reached deadline, at once when it already has. On the system clock it
// sleeps until WAIT_LEAD_NS before the deadline and then reads the clock, without yielding, until the
// deadline: the sleep keeps the core free, the last stretch makes the frame start on the millisecond.
void waitUntil(uint32_t deadline);

// How far ahead of the deadline the system clock's sleep ends: longer than a wake-up normally takes,
// so the frame still starts on time when the thread wakes late (bench/RESULTS.notes.md, "The wait").
inline constexpr int64_t WAIT_LEAD_NS = 500000;

// The system clock's sleep target for deadline: the CLOCK_MONOTONIC time at which clockMs() first
// reads deadline, less leadNs, given the monotonic time now. False when there is nothing to sleep:
// the clock has reached the deadline (wrap-safe, as clockReached) or the target is not after now.
bool sleepTarget(const timespec& now, uint32_t deadline, int64_t leadNs, timespec& target);

// Called after every presented frame (frame loop and fades) with the surface just shown, so that a
// capture can record what the screen showed. Null, the default, calls nothing.
using FrameObserver = void (*)(const _vktSurface& presented);
void setFrameObserver(FrameObserver observer);
void notifyFramePresented(const _vktSurface& presented);
