// Interposes SDL_CreateRGBSurface to record the flags asked for and to refuse one chosen call.
#include "interpose_SDL_CreateRGBSurface.h"

#include <dlfcn.h>

std::vector<Uint32> createSurfaceFlags;
int createSurfaceRefusedCall = 0;

extern "C" SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 rmask,
                                             Uint32 gmask, Uint32 bmask, Uint32 amask) {
    createSurfaceFlags.push_back(flags);
    if (createSurfaceRefusedCall > 0 && --createSurfaceRefusedCall == 0) {
        SDL_SetError("refused by the test");
        return nullptr;
    }
    using Real = SDL_Surface* (*)(Uint32, int, int, int, Uint32, Uint32, Uint32, Uint32);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_CreateRGBSurface"));
    return real(flags, width, height, depth, rmask, gmask, bmask, amask);
}
