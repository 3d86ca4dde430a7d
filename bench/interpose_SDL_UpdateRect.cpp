// interpose_SDL_UpdateRect.cpp: lets a benchmark leave out the screen update and time the rest of a frame.
#include "bench_switches.h"

#include <dlfcn.h>

#include <SDL.h>

bool skipScreenUpdates = false;

extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    if (skipScreenUpdates) return;
    using Real = void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_UpdateRect"));
    real(screen, x, y, w, h);
}
