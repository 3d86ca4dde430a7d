// Interposes SDL_SetVideoMode, SDL_GL_SetAttribute and SDL_UpdateRect to record what the console asks SDL
// for.
#include "interpose_SDL_SetVideoMode.h"

#include <dlfcn.h>

std::vector<VideoModeCall> videoModeCalls;
int refusedVideoModeBits = 0;
std::vector<std::pair<SDL_GLattr, int>> glAttributeCalls;
int updateRectCalls = 0;
UpdateRectCall lastUpdateRect{};

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bits, Uint32 flags) {
    videoModeCalls.push_back({width, height, bits, flags});
    if (refusedVideoModeBits == -1 || refusedVideoModeBits == bits) return nullptr;
    using Real = SDL_Surface* (*)(int, int, int, Uint32);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    return real(width, height, bits, flags);
}

extern "C" int SDL_GL_SetAttribute(SDL_GLattr attribute, int value) {
    glAttributeCalls.emplace_back(attribute, value);
    using Real = int (*)(SDL_GLattr, int);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_GL_SetAttribute"));
    return real(attribute, value);
}

extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    ++updateRectCalls;
    lastUpdateRect = {x, y, w, h};
    using Real = void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);
    static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_UpdateRect"));
    real(screen, x, y, w, h);
}
