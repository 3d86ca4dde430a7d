// sdlptc_rect.h: the library's rectangle and its one conversion to SDL's 16-bit rectangle.
#pragma once
#include <algorithm>
#include <cstdint>
#include <SDL.h>

struct _vktRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
};

// SDL keeps 16 bits per field: x and y signed, w and h unsigned. A negative size is an empty rectangle,
// not one the cut would make 65535 wide.
inline SDL_Rect toSDLRect(const _vktRect& rect) {
    SDL_Rect sdlRect;
    sdlRect.x = static_cast<Sint16>(rect.x);
    sdlRect.y = static_cast<Sint16>(rect.y);
    sdlRect.w = static_cast<Uint16>(std::max(rect.w, 0));
    sdlRect.h = static_cast<Uint16>(std::max(rect.h, 0));
    return sdlRect;
}
