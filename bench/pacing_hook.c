/* pacing_hook.c: preloaded into the intro under the pacing benchmark (bench/pacing.py).
 *
 * Every present (SDL_UpdateRect, SDL_UpdateRects, SDL_Flip) is timestamped on CLOCK_MONOTONIC; at exit
 * the stamps go to the file named by BENCH_PACING_OUT, one nanosecond value a line, and each sleep of
 * the main thread to BENCH_PACING_OUT.waits as "deadline end" in nanoseconds (the deadline is the
 * millisecond boundary the sleep was for, see below; the end is when the sleep, or the replacement
 * wait, returned).
 *
 * BENCH_PACING_BITS=16 refuses the 32-bit video mode, so the intro falls back to its 16-bit screen.
 *
 * BENCH_WAIT replaces the intro's sleep between frames (its clock_nanosleep on an absolute
 * CLOCK_MONOTONIC time, main thread only), so that other waits are measured on the same program:
 *   spin          the old wait: sched_yield until the millisecond deadline has come
 *   sleep:N       sleep until N µs before the deadline, then leave the rest to the intro's own wait
 *   sleepspin:N   sleep until N µs before the deadline, then spin on the clock without yielding
 *   sleepyield:N  sleep until N µs before the deadline, then spin with sched_yield
 *   sleep2:N      sleep until N µs before the deadline, then sleep again to the deadline itself
 * The deadline is the millisecond boundary at or after the time the intro asks for: the intro sleeps
 * to less than 1 ms before the start of its deadline's millisecond. BENCH_TIMERSLACK_NS, when set, is
 * put in place with prctl(PR_SET_TIMERSLACK) before every sleep of the main thread. BENCH_SLICE_US,
 * when set, asks the scheduler for that time slice (sched_setattr's sched_runtime for SCHED_OTHER,
 * Linux 6.12 on, no privilege needed) for the main thread at start, which its later threads inherit. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <errno.h>
#include <sched.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#define MAX_STAMPS (1 << 18) /* almost three hours of frames */

static int64_t stamps[MAX_STAMPS];
static size_t stampCount;
static int presentDepth; /* sdl12-compat's SDL_UpdateRect calls SDL_UpdateRects: one stamp a present */
/* Each wait of the main thread: the deadline (the millisecond boundary asked for) and when it ended. */
static int64_t waitDeadlines[MAX_STAMPS], waitEnds[MAX_STAMPS];
static size_t waitCount;

enum WaitMode { WAIT_OWN, WAIT_SPIN, WAIT_SLEEP, WAIT_SLEEP_SPIN, WAIT_SLEEP_YIELD, WAIT_SLEEP_TWICE };
static enum WaitMode waitMode = WAIT_OWN;
static int64_t earlyNs;
static long timerSlackNs = -1;
static pid_t mainThread;

static int64_t nowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static void record(void) {
    if (presentDepth == 0 && stampCount < MAX_STAMPS) stamps[stampCount++] = nowNs();
}

__attribute__((constructor)) static void readSettings(void) {
    mainThread = getpid();
    const char* wait = getenv("BENCH_WAIT");
    if (wait && *wait) {
        static const struct {
            const char* prefix;
            enum WaitMode mode;
        } modes[] = {{"sleepspin:", WAIT_SLEEP_SPIN}, {"sleepyield:", WAIT_SLEEP_YIELD},
                     {"sleep2:", WAIT_SLEEP_TWICE},   {"sleep:", WAIT_SLEEP},
                     {"spin", WAIT_SPIN}};
        for (size_t i = 0; i < sizeof modes / sizeof modes[0]; ++i) {
            const size_t length = strlen(modes[i].prefix);
            if (strncmp(wait, modes[i].prefix, length) == 0) {
                waitMode = modes[i].mode;
                earlyNs = atoll(wait + length) * 1000;
                break;
            }
        }
        if (waitMode == WAIT_OWN) {
            fprintf(stderr, "pacing_hook: unknown BENCH_WAIT '%s'\n", wait);
            _exit(2);
        }
    }
    const char* slack = getenv("BENCH_TIMERSLACK_NS");
    if (slack && *slack) timerSlackNs = atol(slack);
    const char* slice = getenv("BENCH_SLICE_US");
    if (slice && *slice) {
        struct {
            uint32_t size, policy;
            uint64_t flags;
            int32_t nice;
            uint32_t priority;
            uint64_t runtime, deadline, period;
        } attributes = {sizeof attributes, SCHED_OTHER, 0, 0, 0, (uint64_t)atoll(slice) * 1000, 0, 0};
        if (syscall(SYS_sched_setattr, 0, &attributes, 0) != 0) perror("pacing_hook: sched_setattr");
    }
}

__attribute__((destructor)) static void writeStamps(void) {
    const char* path = getenv("BENCH_PACING_OUT");
    if (!path) return;
    FILE* file = fopen(path, "w");
    if (!file) return;
    for (size_t i = 0; i < stampCount; ++i) fprintf(file, "%lld\n", (long long)stamps[i]);
    fclose(file);
    char waits[4096];
    snprintf(waits, sizeof waits, "%s.waits", path);
    file = fopen(waits, "w");
    if (!file) return;
    for (size_t i = 0; i < waitCount; ++i)
        fprintf(file, "%lld %lld\n", (long long)waitDeadlines[i], (long long)waitEnds[i]);
    fclose(file);
}

void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    static void (*real)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);
    if (!real) real = (void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32))dlsym(RTLD_NEXT, "SDL_UpdateRect");
    ++presentDepth;
    real(screen, x, y, w, h);
    --presentDepth;
    record();
}

void SDL_UpdateRects(SDL_Surface* screen, int count, SDL_Rect* rects) {
    static void (*real)(SDL_Surface*, int, SDL_Rect*);
    if (!real) real = (void (*)(SDL_Surface*, int, SDL_Rect*))dlsym(RTLD_NEXT, "SDL_UpdateRects");
    ++presentDepth;
    real(screen, count, rects);
    --presentDepth;
    record();
}

int SDL_Flip(SDL_Surface* screen) {
    static int (*real)(SDL_Surface*);
    if (!real) real = (int (*)(SDL_Surface*))dlsym(RTLD_NEXT, "SDL_Flip");
    ++presentDepth;
    const int result = real(screen);
    --presentDepth;
    record();
    return result;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bits, Uint32 flags) {
    static SDL_Surface* (*real)(int, int, int, Uint32);
    if (!real) real = (SDL_Surface * (*)(int, int, int, Uint32)) dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    const char* wanted = getenv("BENCH_PACING_BITS");
    if (wanted && atoi(wanted) == 16 && bits == 32) {
        SDL_SetError("32-bit mode refused by the pacing benchmark");
        return NULL;
    }
    return real(width, height, bits, flags);
}

static int64_t toNs(const struct timespec* t) {
    return (int64_t)t->tv_sec * 1000000000 + t->tv_nsec;
}

static struct timespec fromNs(int64_t ns) {
    struct timespec t = {(time_t)(ns / 1000000000), (long)(ns % 1000000000)};
    return t;
}

static int replacedWait(int (*real)(clockid_t, int, const struct timespec*, struct timespec*), int64_t deadline) {
    const struct timespec early = fromNs(deadline - earlyNs);
    const struct timespec exact = fromNs(deadline);
    switch (waitMode) {
    case WAIT_SPIN:
        while (nowNs() < deadline) sched_yield();
        break;
    case WAIT_SLEEP:
        while (real(CLOCK_MONOTONIC, TIMER_ABSTIME, &early, NULL) == EINTR) {
        }
        break;
    case WAIT_SLEEP_SPIN:
        while (real(CLOCK_MONOTONIC, TIMER_ABSTIME, &early, NULL) == EINTR) {
        }
        while (nowNs() < deadline) {
        }
        break;
    case WAIT_SLEEP_YIELD:
        while (real(CLOCK_MONOTONIC, TIMER_ABSTIME, &early, NULL) == EINTR) {
        }
        while (nowNs() < deadline) sched_yield();
        break;
    case WAIT_SLEEP_TWICE:
        while (real(CLOCK_MONOTONIC, TIMER_ABSTIME, &early, NULL) == EINTR) {
        }
        while (real(CLOCK_MONOTONIC, TIMER_ABSTIME, &exact, NULL) == EINTR) {
        }
        break;
    default:
        break;
    }
    return 0;
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request, struct timespec* remain) {
    static int (*real)(clockid_t, int, const struct timespec*, struct timespec*);
    if (!real)
        real = (int (*)(clockid_t, int, const struct timespec*, struct timespec*))dlsym(RTLD_NEXT,
                                                                                        "clock_nanosleep");
    if (clock != CLOCK_MONOTONIC || !(flags & TIMER_ABSTIME) || gettid() != mainThread)
        return real(clock, flags, request, remain);
    if (timerSlackNs >= 0) prctl(PR_SET_TIMERSLACK, (unsigned long)timerSlackNs);
    const int64_t deadline = (toNs(request) + 999999) / 1000000 * 1000000;
    const int result = waitMode == WAIT_OWN ? real(clock, flags, request, remain) : replacedWait(real, deadline);
    if (waitCount < MAX_STAMPS) {
        waitDeadlines[waitCount] = deadline;
        waitEnds[waitCount++] = nowNs();
    }
    return result;
}
