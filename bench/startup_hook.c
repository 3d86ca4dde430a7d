/* startup_hook.c: preloaded into a program under measurement, in one of two ways.
 * Start-up (the start-up benchmark): the first present (SDL_UpdateRect, SDL_UpdateRects or SDL_Flip)
 * writes to the descriptor named by BENCH_STARTUP_FD, on one line, the monotonic clock (ns) then, the ns
 * spent opening audio, 1 or 0 for whether libopenmpt was in the process by then, and the clock when this
 * library's constructor ran (the dynamic loader had finished), and ends the process at once.
 * Every present (scripts/soak.sh): with BENCH_PRESENTS_FD set instead, each present writes the monotonic
 * clock (ns) on a line of its own to that descriptor and then goes through to SDL. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int64_t audioNs;  /* SDL_InitSubSystem(SDL_INIT_AUDIO) and SDL_OpenAudio together */
static int64_t loadedNs; /* the clock when the constructors began */

static int64_t nowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

__attribute__((constructor)) static void markLoaded(void) {
    loadedNs = nowNs();
}

static void reportAndExit(void) {
    const int64_t presented = nowNs();
    const char* fd = getenv("BENCH_STARTUP_FD");
    if (fd) {
        char line[128];
        /* The music layer opens libopenmpt itself, when its first module is made. */
        void* musicLibrary = dlopen("libopenmpt.so.0", RTLD_LAZY | RTLD_NOLOAD);
        const int length = snprintf(line, sizeof line, "%lld %lld %d %lld\n", (long long)presented,
                                    (long long)audioNs, musicLibrary != NULL, (long long)loadedNs);
        if (write(atoi(fd), line, (size_t)length) != length) _exit(3);
    }
    _exit(0);
}

/* Presents are logged only at the outermost call: SDL_UpdateRect may present through SDL_UpdateRects. */
static int presentDepth;

/* True when the present goes on to SDL: only while every present is being logged. */
static int presentGoesOn(void) {
    static int logFd = -2;
    if (logFd == -2) {
        const char* fd = getenv("BENCH_PRESENTS_FD");
        logFd = fd ? atoi(fd) : -1;
    }
    if (logFd < 0) reportAndExit();
    if (presentDepth == 0) {
        char line[32];
        const int length = snprintf(line, sizeof line, "%lld\n", (long long)nowNs());
        if (write(logFd, line, (size_t)length) != length) _exit(3);
    }
    return 1;
}

void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    typedef void (*Real)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);
    if (!presentGoesOn()) return;
    ++presentDepth;
    ((Real)dlsym(RTLD_NEXT, "SDL_UpdateRect"))(screen, x, y, w, h);
    --presentDepth;
}

void SDL_UpdateRects(SDL_Surface* screen, int count, SDL_Rect* rects) {
    typedef void (*Real)(SDL_Surface*, int, SDL_Rect*);
    if (!presentGoesOn()) return;
    ++presentDepth;
    ((Real)dlsym(RTLD_NEXT, "SDL_UpdateRects"))(screen, count, rects);
    --presentDepth;
}

int SDL_Flip(SDL_Surface* screen) {
    typedef int (*Real)(SDL_Surface*);
    if (!presentGoesOn()) return 0;
    ++presentDepth;
    const int result = ((Real)dlsym(RTLD_NEXT, "SDL_Flip"))(screen);
    --presentDepth;
    return result;
}

int SDL_InitSubSystem(Uint32 flags) {
    int (*real)(Uint32) = (int (*)(Uint32))dlsym(RTLD_NEXT, "SDL_InitSubSystem");
    const int64_t start = nowNs();
    const int result = real(flags);
    if (flags & SDL_INIT_AUDIO) audioNs += nowNs() - start;
    return result;
}

int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained) {
    int (*real)(SDL_AudioSpec*, SDL_AudioSpec*) =
        (int (*)(SDL_AudioSpec*, SDL_AudioSpec*))dlsym(RTLD_NEXT, "SDL_OpenAudio");
    const int64_t start = nowNs();
    const int result = real(desired, obtained);
    audioNs += nowNs() - start;
    return result;
}
