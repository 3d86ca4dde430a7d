// Interposes SDL_LockSurface to count the calls and to refuse some, and SDL_UnlockSurface to count its calls.
#include "interpose_SDL_LockSurface.h"

#include <SDL.h>
#include <dlfcn.h>

int lockSurfaceCalls = 0;
int lockSurfaceRefusals = 0;
int unlockSurfaceCalls = 0;

extern "C" int SDL_LockSurface(SDL_Surface* surface) {
    ++lockSurfaceCalls;
    if (lockSurfaceRefusals > 0) {
        --lockSurfaceRefusals;
        return -1;
    }
    using Real = int (*)(SDL_Surface*);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_LockSurface"));
    return real(surface);
}

extern "C" void SDL_UnlockSurface(SDL_Surface* surface) {
    ++unlockSurfaceCalls;
    using Real = void (*)(SDL_Surface*);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_UnlockSurface"));
    real(surface);
}
