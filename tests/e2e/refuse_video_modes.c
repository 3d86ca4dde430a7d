/* A preload library for the program tests: refuses the video depths named in DOVOZ1_REFUSE_BITS
 * ("32", "16", or "all") and passes every other request on to SDL. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

SDL_Surface* SDL_SetVideoMode(int width, int height, int bits, Uint32 flags) {
    const char* refused = getenv("DOVOZ1_REFUSE_BITS");
    if (refused && (strcmp(refused, "all") == 0 || atoi(refused) == bits)) {
        SDL_SetError("video mode refused by the test");
        return NULL;
    }
    SDL_Surface* (*real)(int, int, int, Uint32) =
        (SDL_Surface * (*)(int, int, int, Uint32)) dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    return real(width, height, bits, flags);
}
