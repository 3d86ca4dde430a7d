// sdlptc_surface_convert.cpp: format conversion in place, with the library's own grey and 3-3-2 reductions.
#include "sdlptc_surface.h"

#include <cstring>
#include <memory>

#include "diag.h"
#include "sdlptc_internal.h"

namespace {

struct SdlSurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SdlSurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceFree>;

// Index of entry (i, i, i) of the grey ramp.
uint8_t greyIndex(int r, int g, int b) {
    return static_cast<uint8_t>((r + g + b) / 3);
}

// Index rrrgggbb of the 3-3-2 cube.
uint8_t cubeIndex(int r, int g, int b) {
    return static_cast<uint8_t>((r >> 5) << 5 | (g >> 5) << 2 | (b >> 6));
}

// The palette an 8-bit reduction ends with.
_vktPalette reductionPalette(bool grey) {
    _vktPalette palette;
    if (grey)
        palette.makeGrey();
    else
        palette.makeRGB332();
    return palette;
}

// The step every route of convert shares: a software surface of the given size and format (an 8-bit one
// given palette, where there is one), whose locked pixels fill(pixels, SDL surface) writes. Null when SDL
// refuses the surface; the caller adopts the result.
template <typename Fill>
TemporaryPtr filledSurface(int width, int height, const _vktFormat& format, const _vktPalette* palette,
                           Fill fill) {
    TemporaryPtr result(checkedCreate<_vktSurface>(__FILE__, __LINE__, "dest surf"));
    if (!result->create(width, height, format, SURFACE_SOFTWARE, 0)) return nullptr;
    if (palette) result->setPalette(*palette);
    fill(static_cast<uint8_t*>(result->lock()), result->surface);
    result->unlock();
    return result;
}

// Every pixel of a locked 8-bit source through a table of its palette (entries SDL does not hold read as
// black): map(r, g, b) gives each entry's value in the locked destination.
template <typename Pixel, typename Map>
void remapThroughPalette(const _vktPalette& palette, const SDL_Surface* source, const uint8_t* from,
                         const SDL_Surface* destination, uint8_t* to, Map map) {
    Pixel table[_vktPalette::ENTRIES];
    const uint32_t* colours = palette.entries();
    for (int i = 0; i < _vktPalette::ENTRIES; ++i) {
        int r, g, b;
        unpackRGB(colours[i], &r, &g, &b);
        table[i] = map(r, g, b);
    }
    for (int y = 0; y < source->h; ++y) {
        const uint8_t* sourceRow = from + y * source->pitch;
        auto* row = reinterpret_cast<Pixel*>(to + y * destination->pitch);
        for (int x = 0; x < source->w; ++x) row[x] = table[sourceRow[x]];
    }
}

// SDL's conversion to a layout given only by depth and masks, keeping the surface's own SDL flags.
SDL_Surface* convertThroughSDL(SDL_Surface* source, const _vktFormat& target) {
    SDL_PixelFormat layout;
    memset(&layout, 0, sizeof layout);
    layout.BitsPerPixel = static_cast<Uint8>(target.bits());
    layout.Rmask = target.redMask();
    layout.Gmask = target.greenMask();
    layout.Bmask = target.blueMask();
    layout.Amask = target.alphaMask();
    return SDL_ConvertSurface(source, &layout, source->flags);
}

// 8-bit source to the grey ramp or the 3-3-2 cube: one table look-up per pixel.
TemporaryPtr reducePalette(_vktSurface& source, bool grey) {
    const _vktPalette palette = reductionPalette(grey);
    return filledSurface(
        source.width(), source.height(), _vktFormat(FORMAT_RGB332), &palette,
        [&source, grey](uint8_t* to, const SDL_Surface* destination) {
            const auto* from = static_cast<const uint8_t*>(source.lock());
            remapThroughPalette<uint8_t>(
                source.palette(), source.surface, from, destination, to,
                [grey](int r, int g, int b) { return grey ? greyIndex(r, g, b) : cubeIndex(r, g, b); });
            source.unlock();
        });
}

// True-colour source (2 to 4 bytes a pixel) to the grey ramp or the 3-3-2 cube: every pixel split through
// the source's layout.
TemporaryPtr reduceTrueColour(SDL_Surface* surface, bool grey) {
    if (surface->format->BytesPerPixel > 4) return nullptr;
    SDL_Surface* source = surface;
    SdlSurfacePtr widened;
    if (surface->format->BytesPerPixel == 3) {
        // Three-byte pixels are read as 32-bit ones; the widened copy stays aside, so that a later
        // failure leaves the surface as it was.
        widened.reset(convertThroughSDL(surface, _vktFormat(FORMAT_XRGB8888)));
        if (!widened) return nullptr;
        source = widened.get();
    }
    const _vktPalette palette = reductionPalette(grey);
    return filledSurface(
        source->w, source->h, _vktFormat(grey ? FORMAT_GREY8 : FORMAT_RGB332), &palette,
        [source, grey](uint8_t* to, const SDL_Surface* destination) {
            lockSurfacePixels(source);
            const bool wide = source->format->BytesPerPixel == 4;
            for (int y = 0; y < source->h; ++y) {
                const uint8_t* sourceRow = static_cast<const uint8_t*>(source->pixels) + y * source->pitch;
                uint8_t* row = to + y * destination->pitch;
                for (int x = 0; x < source->w; ++x) {
                    const Uint32 pixel = wide ? reinterpret_cast<const Uint32*>(sourceRow)[x]
                                              : reinterpret_cast<const Uint16*>(sourceRow)[x];
                    Uint8 r, g, b;
                    SDL_GetRGB(pixel, source->format, &r, &g, &b);
                    row[x] = grey ? greyIndex(r, g, b) : cubeIndex(r, g, b);
                }
            }
            unlockSurfacePixels(source);
        });
}

// Palette expansion, one look-up per pixel: SDL's own result without the set-up of its blit, which costs
// more than the copy for the intro's pictures (8-bit PNGs all, converted before the first frame). Keyed or
// blended sources stay with SDL, which carries key and alpha over.
bool expandsByTable(const SDL_Surface* surface, const _vktFormat& target) {
    return surface->format->BytesPerPixel == 1 && surface->format->palette && target.bits() == 32 &&
           target.alphaMask() == 0 && !(surface->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA));
}

TemporaryPtr expandPalette(_vktSurface& source, const _vktFormat& target) {
    TemporaryPtr result = filledSurface(
        source.width(), source.height(), target, nullptr,
        [&source](uint8_t* to, const SDL_Surface* destination) {
            const SDL_PixelFormat* layout = destination->format;
            const auto* from = static_cast<const uint8_t*>(source.lock());
            remapThroughPalette<uint32_t>(source.palette(), source.surface, from, destination, to,
                                          [layout](int r, int g, int b) {
                                              return SDL_MapRGB(layout, static_cast<Uint8>(r),
                                                                static_cast<Uint8>(g), static_cast<Uint8>(b));
                                          });
            source.unlock();
        });
    if (result) SDL_SetClipRect(result->surface, &source.surface->clip_rect);  // as SDL's conversion keeps it
    return result;
}

}  // namespace

int _vktSurface::convert(const _vktFormat& target) {
    if (!surface) return 0;
    // SDL's own pixel size, not bits / 8: a 15-bit layout still stores two bytes per pixel.
    const int bytes = surface->format->BytesPerPixel;
    const uint16_t id = target.id();
    const bool grey = id == FORMAT_GREY8;

    TemporaryPtr result;
    if (bytes <= 1 && (grey || id == FORMAT_RGB332)) {
        result = reducePalette(*this, grey);
    } else if (bytes >= 2 && (grey || id == FORMAT_RGB332 || id == FORMAT_INDEX8)) {
        result = reduceTrueColour(surface, grey);
    } else if (expandsByTable(surface, target)) {
        result = expandPalette(*this, target);
    } else {
        if (format() == target) return 1;
        SDL_Surface* converted = convertThroughSDL(surface, target);
        if (!converted) return 0;
        install(converted);
        return 1;
    }
    if (!result) return 0;
    adopt(*result);
    return 1;
}

int _vktSurface::toDisplayFormat() {
    if (!surface) return 0;
    SDL_Surface* converted = SDL_DisplayFormat(surface);
    if (!converted) return 0;
    install(converted);
    return 1;
}

int _vktSurface::toDisplayFormatAlpha() {
    if (!surface) return 0;
    SDL_Surface* converted = SDL_DisplayFormatAlpha(surface);
    if (!converted) return 0;
    install(converted);
    return 1;
}

int _vktSurface::recreate(int memoryKind, int options) {
    if (!surface) return 0;
    TemporaryPtr result(checkedCreate<_vktSurface>(__FILE__, __LINE__, "dest surface"));
    if (!result->create(width(), height(), format(), memoryKind, options)) return 0;
    // Byte for byte: a blit would drop colour-keyed pixels and blend alpha on the way.
    copySurfacePixels(surface, 0, 0, surface->w, surface->h, result->surface, 0, 0);
    result->setPalette(palette());
    adopt(*result);
    return 1;
}
