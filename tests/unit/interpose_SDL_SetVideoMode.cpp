// Interposes SDL_SetVideoMode and SDL_GL_SetAttribute to record what the console asks SDL for.
#include "interpose_SDL_SetVideoMode.h"

#include <dlfcn.h>

std::vector<VideoModeCall> videoModeCalls;
int refusedVideoModeBits = 0;
std::vector<std::pair<SDL_GLattr, int>> glAttributeCalls;

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
