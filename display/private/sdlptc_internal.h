// sdlptc_internal.h: helpers the display library's units share; nothing outside the library sees them.
#pragma once
#include <cstdint>
#include <memory>
#include <SDL.h>

#include "diag.h"
#include "sdlptc_palette.h"
#include "sdlptc_surface.h"

// Temporary surface objects come from checkedCreate; the owner hands them back on every path.
struct TemporaryRelease {
    void operator()(_vktSurface* s) const { checkedDestroy(s); }
};
using TemporaryPtr = std::unique_ptr<_vktSurface, TemporaryRelease>;

// A palette's entries (0x00RRGGBB) as the 256 colours SDL_SetColors takes.
inline void toSDLColours(const uint32_t* entries, SDL_Color (&colours)[_vktPalette::ENTRIES]) {
    for (int i = 0; i < _vktPalette::ENTRIES; ++i) {
        colours[i].r = static_cast<Uint8>(entries[i] >> 16);
        colours[i].g = static_cast<Uint8>(entries[i] >> 8);
        colours[i].b = static_cast<Uint8>(entries[i]);
        colours[i].unused = 0;
    }
}
