// platform.h: what the intro takes from the system (its clock, its random source, an observer of
// presented frames) as one value, replaceable so that tests and captures control time; and the wait
// between frames that the program's own loop makes on the system clock.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>

class _vktSurface;

// Milliseconds, cut to 32 bits: the clock wraps every 2^32 ms.
using ClockSource = std::function<uint32_t()>;
// How waitUntil sleeps: called with a deadline the clock has not reached, it returns about when the
// clock reaches it, best shortly before (the wait then reads the clock for the rest).
using SleepFunction = std::function<void(uint32_t deadline)>;
// Values 0..32767.
using RandomSource = std::function<int()>;
// Called after every presented frame (frame loop and fades) with the surface just shown, so that a
// capture can record what the screen showed.
using FrameObserver = std::function<void(const _vktSurface& presented)>;

// A clock and the sleep that belongs to it. A replaced clock comes with its own sleep or none (the wait
// then only reads the clock): Clock{fakeClock} has none.
struct Clock {
    ClockSource read;
    SleepFunction sleep = {};  // empty: none
};

// The monotonic clock in milliseconds, with a sleep that ends WAIT_LEAD_NS before the deadline.
Clock systemClock();

// The system's random source: a linear congruential generator of 15-bit values, the classic one, so
// seeds behave alike everywhere.
class RandomGenerator {
public:
    // Values 0..32767.
    int next();
    void seed(uint32_t value) { state = value; }
    // Seeds from the calendar time in seconds.
    void seedFromTime();

    uint32_t state = 1;
};

// The intro's context, handed to the frame loop, the scheduler and the fades. A default Platform is the
// system's own: the monotonic clock with its sleep, the generator, no observer.
struct Platform {
    uint32_t clockMs() const { return clock.read(); }
    // From random where it is set, from generator otherwise.
    int randomValue() { return random ? random() : generator.next(); }
    void framePresented(const _vktSurface& presented) const {
        if (frameObserver) frameObserver(presented);
    }

    Clock clock = systemClock();
    RandomSource random = {};          // empty: generator
    RandomGenerator generator = {};    // seeded by each run of the intro
    FrameObserver frameObserver = {};  // empty: nothing is called
};

// True once the clock has reached deadline; the signed difference keeps the 32-bit wrap harmless.
inline bool clockReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}
// True once the clock has passed deadline.
inline bool clockPassed(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) > 0;
}

// Returns once the clock has reached deadline, at once when it already has: the program's wait between
// two calls of the intro, which itself never waits. On the system clock it sleeps until WAIT_LEAD_NS
// before the deadline and then reads the clock, without yielding, until the deadline: the sleep keeps
// the core free, the last stretch makes the frame start on the millisecond.
void waitUntil(const Clock& clock, uint32_t deadline);

// How far ahead of the deadline the system clock's sleep ends: longer than a wake-up normally takes,
// so the frame still starts on time when the thread wakes late (bench/RESULTS.notes.md, "The wait").
inline constexpr int64_t WAIT_LEAD_NS = 500000;

// The system clock's sleep target for deadline: the CLOCK_MONOTONIC time at which the clock first
// reads deadline, less leadNs, given the monotonic time now. False when there is nothing to sleep:
// the clock has reached the deadline (wrap-safe, as clockReached) or the target is not after now.
bool sleepTarget(const timespec& now, uint32_t deadline, int64_t leadNs, timespec& target);
