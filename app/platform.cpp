// platform.cpp: the system clock with its sleep, the 15-bit generator, and the wait between frames.
#include "platform.h"

#include <cerrno>
#include <ctime>

namespace {

constexpr int64_t NS_PER_MS = 1000000;
constexpr int64_t NS_PER_S = 1000000000;

// Whole milliseconds of a monotonic time: the system clock before its cut to 32 bits.
int64_t wholeMilliseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000 + time.tv_nsec / NS_PER_MS;
}

uint32_t monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(wholeMilliseconds(now));
}

// Tells the processor the thread is spinning.
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Sleeps on the monotonic clock to an absolute time, so a late start or a signal does not stretch it.
void monotonicSleep(uint32_t deadline) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec target;
    if (!sleepTarget(now, deadline, WAIT_LEAD_NS, target)) return;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr) == EINTR) {
    }
}

}  // namespace

Clock systemClock() {
    return {monotonicMs, monotonicSleep};
}

int RandomGenerator::next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

void RandomGenerator::seedFromTime() {
    seed(static_cast<uint32_t>(time(nullptr)));
}

bool sleepTarget(const timespec& now, uint32_t deadline, int64_t leadNs, timespec& target) {
    const int64_t nowMs = wholeMilliseconds(now);
    // The signed difference, as in clockReached: a deadline up to 2^31 ms behind counts as reached.
    const int32_t ahead = static_cast<int32_t>(deadline - static_cast<uint32_t>(nowMs));
    if (ahead <= 0) return false;
    const int64_t targetNs = (nowMs + ahead) * NS_PER_MS - leadNs;
    if (targetNs <= static_cast<int64_t>(now.tv_sec) * NS_PER_S + now.tv_nsec) return false;
    target.tv_sec = static_cast<time_t>(targetNs / NS_PER_S);
    target.tv_nsec = static_cast<long>(targetNs % NS_PER_S);
    return true;
}

void waitUntil(const Clock& clock, uint32_t deadline) {
    if (clockReached(clock.read(), deadline)) return;
    if (clock.sleep) clock.sleep(deadline);
    // The last stretch, from shortly before the deadline: no sched_yield, which on a busy machine would
    // hand the core to another process for a whole time slice just before the frame is due.
    while (!clockReached(clock.read(), deadline)) relax();
}
