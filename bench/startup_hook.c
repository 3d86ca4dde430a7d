/* startup_hook.c: preloaded into a program under measurement. The first present (SDL_UpdateRect,
 * SDL_UpdateRects or SDL_Flip) writes to the descriptor named by BENCH_STARTUP_FD, on one line, the
 * monotonic clock (ns) then, the ns spent opening audio, 1 or 0 for whether libopenmpt was in the process
 * by then, and the clock when this library's constructor ran (the dynamic loader had finished), and ends
 * the process at once. */
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

void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    (void)screen, (void)x, (void)y, (void)w, (void)h;
    reportAndExit();
}

void SDL_UpdateRects(SDL_Surface* screen, int count, SDL_Rect* rects) {
    (void)screen, (void)count, (void)rects;
    reportAndExit();
}

int SDL_Flip(SDL_Surface* screen) {
    (void)screen;
    reportAndExit();
    return 0;
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
