// sdlptc_surface_blit.cpp: blits between surfaces and onto the console's screen, and clipping rectangles.
#include "sdlptc_surface.h"

#include <cstring>

#include "sdlptc_console.h"
#include "sdlptc_cpu.h"
#include "sdlptc_surface_blit.h"

#if CPU_VARIANT_AVX2_BUILT
#include <immintrin.h>
#endif

namespace {

int blitVariantInUse = bestCpuVariant();

// The whole of a surface as an SDL source rectangle.
SDL_Rect wholeOf(const SDL_Surface* surface) {
    return toSDLRect(_vktRect{0, 0, surface->w, surface->h});
}

// The blits of every frame (sprite, text, glyphs, the copy to a 32- or 16-bit screen) are done here
// rather than through SDL, whose per-call mapping and generic loops cost more than the pixels. Each
// produces exactly SDL's result for the surfaces it accepts; anything else goes to SDL_UpperBlit.

constexpr Uint32 XRGB_RED = 0x00FF0000, XRGB_GREEN = 0x0000FF00, XRGB_BLUE = 0x000000FF;

enum class DirectBlit { NONE, COPY, KEYED, TO_RGB565 };

bool plainSurface(const SDL_Surface* surface) {
    return !surfaceMustLock(surface) && !surface->locked && surface->pixels && surface->format->Amask == 0;
}

bool isXRGB8888(const SDL_PixelFormat* format) {
    return format->BytesPerPixel == 4 && format->Rmask == XRGB_RED && format->Gmask == XRGB_GREEN &&
           format->Bmask == XRGB_BLUE;
}

// Which of the direct blits gives SDL's result for this pair; NONE leaves the blit to SDL.
DirectBlit directBlitFor(const SDL_Surface* source, const SDL_Surface* destination) {
    if (source == destination || !plainSurface(source) || !plainSurface(destination)) return DirectBlit::NONE;
    const SDL_PixelFormat* from = source->format;
    const SDL_PixelFormat* to = destination->format;
    // Per-surface alpha blends, and RLE keeps its own copy of the pixels.
    if ((source->flags & (SDL_SRCALPHA | SDL_RLEACCEL)) || from->alpha != SDL_ALPHA_OPAQUE)
        return DirectBlit::NONE;
    if (!isXRGB8888(from)) return DirectBlit::NONE;
    const bool keyed = (source->flags & SDL_SRCCOLORKEY) != 0;
    if (isXRGB8888(to)) return keyed ? DirectBlit::KEYED : DirectBlit::COPY;
    if (!keyed && to->BytesPerPixel == 2 && to->Rmask == 0xF800 && to->Gmask == 0x07E0 && to->Bmask == 0x001F)
        return DirectBlit::TO_RGB565;
    return DirectBlit::NONE;
}

// SDL_UpperBlit's clipping: the source rectangle to the source surface (moving the destination point
// with a cut-off left or top), then to the destination's clipping rectangle. False when nothing is left.
struct ClippedBlit {
    int sourceX, sourceY, x, y, w, h;
};
bool clipLikeSDL(const SDL_Surface* source, const SDL_Rect& sourceArea, const SDL_Surface* destination,
                 const SDL_Rect& destinationArea, ClippedBlit& blit) {
    int sx = sourceArea.x, sy = sourceArea.y, w = sourceArea.w, h = sourceArea.h;
    int dx = destinationArea.x, dy = destinationArea.y;
    if (sx < 0) w += sx, dx -= sx, sx = 0;
    if (source->w - sx < w) w = source->w - sx;
    if (sy < 0) h += sy, dy -= sy, sy = 0;
    if (source->h - sy < h) h = source->h - sy;
    const SDL_Rect& clip = destination->clip_rect;
    if (clip.x - dx > 0) w -= clip.x - dx, sx += clip.x - dx, dx = clip.x;
    if (dx + w - clip.x - clip.w > 0) w -= dx + w - clip.x - clip.w;
    if (clip.y - dy > 0) h -= clip.y - dy, sy += clip.y - dy, dy = clip.y;
    if (dy + h - clip.y - clip.h > 0) h -= dy + h - clip.y - clip.h;
    blit = {sx, sy, dx, dy, w, h};
    return w > 0 && h > 0;
}

// The row loops take the whole block, so that the variant is looked at once per blit and not once per
// row: the intro's glyphs are 160 blits of 8 rows of 8 pixels.

// A keyed pixel is one equal to the key in all 32 bits; the others arrive with their top byte cleared,
// as SDL writes them between two layouts without alpha.
void keyedRows(uint8_t* __restrict to, int toPitch, const uint8_t* __restrict from, int fromPitch, int width,
               int height, uint32_t key) {
    for (int y = 0; y < height; ++y, to += toPitch, from += fromPitch) {
        auto* out = reinterpret_cast<uint32_t*>(to);
        const auto* in = reinterpret_cast<const uint32_t*>(from);
        for (int x = 0; x < width; ++x) out[x] = in[x] != key ? in[x] & 0x00FFFFFFu : out[x];
    }
}

#if CPU_VARIANT_AVX2_BUILT
// The same eight pixels a step with masked stores: the destination is never read, and a row's last
// pixels take a narrower mask instead of a loop of their own (glyph rows are eight pixels long).
__attribute__((target("avx2"))) void keyedRowsAvx2(uint8_t* __restrict to, int toPitch,
                                                   const uint8_t* __restrict from, int fromPitch, int width,
                                                   int height, uint32_t key) {
    const __m256i keys = _mm256_set1_epi32(static_cast<int32_t>(key));
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i lastLanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(width % 8), lanes);
    const int whole = width - width % 8;
    for (int y = 0; y < height; ++y, to += toPitch, from += fromPitch) {
        auto* out = reinterpret_cast<int*>(to);
        const auto* in = reinterpret_cast<const int*>(from);
        for (int x = 0; x < whole; x += 8) {
            const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x));
            const __m256i shown = _mm256_xor_si256(_mm256_cmpeq_epi32(pixels, keys), _mm256_set1_epi32(-1));
            _mm256_maskstore_epi32(out + x, shown, _mm256_and_si256(pixels, colour));
        }
        if (whole < width) {
            const __m256i pixels = _mm256_maskload_epi32(in + whole, lastLanes);
            const __m256i shown = _mm256_andnot_si256(_mm256_cmpeq_epi32(pixels, keys), lastLanes);
            _mm256_maskstore_epi32(out + whole, shown, _mm256_and_si256(pixels, colour));
        }
    }
}
#endif

// 8 bits a channel cut to 5, 6 and 5 by dropping the low bits, as SDL does.
inline uint16_t toRgb565(uint32_t pixel) {
    return static_cast<uint16_t>(((pixel >> 8) & 0xF800u) | ((pixel >> 5) & 0x07E0u) |
                                 ((pixel >> 3) & 0x001Fu));
}

void rgb565Rows(uint8_t* __restrict to, int toPitch, const uint8_t* __restrict from, int fromPitch, int width,
                int height) {
    for (int y = 0; y < height; ++y, to += toPitch, from += fromPitch) {
        auto* out = reinterpret_cast<uint16_t*>(to);
        const auto* in = reinterpret_cast<const uint32_t*>(from);
        for (int x = 0; x < width; ++x) out[x] = toRgb565(in[x]);
    }
}

#if CPU_VARIANT_AVX2_BUILT
// The same, sixteen pixels a step: each half combined in 32-bit lanes and packed to 16 bits once
// (compilers pack every channel on its own, three times the shuffles).
__attribute__((target("avx2"))) inline __m256i rgb565Lanes(__m256i pixels) {
    const __m256i red = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), _mm256_set1_epi32(0xF800));
    const __m256i green = _mm256_and_si256(_mm256_srli_epi32(pixels, 5), _mm256_set1_epi32(0x07E0));
    const __m256i blue = _mm256_and_si256(_mm256_srli_epi32(pixels, 3), _mm256_set1_epi32(0x001F));
    return _mm256_or_si256(_mm256_or_si256(red, green), blue);
}

__attribute__((target("avx2"))) void rgb565RowsAvx2(uint8_t* __restrict to, int toPitch,
                                                    const uint8_t* __restrict from, int fromPitch, int width,
                                                    int height) {
    for (int y = 0; y < height; ++y, to += toPitch, from += fromPitch) {
        auto* out = reinterpret_cast<uint16_t*>(to);
        const auto* in = reinterpret_cast<const uint32_t*>(from);
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const __m256i low = rgb565Lanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x)));
            const __m256i high =
                rgb565Lanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x + 8)));
            // The pack interleaves the two halves by 128-bit lane; the permute puts them back in order.
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
        }
        for (; x < width; ++x) out[x] = toRgb565(in[x]);
    }
}
#endif

// The row loops of one direct blit in the variant in use.
void keyedRowsInVariant(uint8_t* to, int toPitch, const uint8_t* from, int fromPitch, int width, int height,
                        uint32_t key) {
#if CPU_VARIANT_AVX2_BUILT
    if (blitVariantInUse == CPU_VARIANT_AVX2) {
        keyedRowsAvx2(to, toPitch, from, fromPitch, width, height, key);
        return;
    }
#endif
    keyedRows(to, toPitch, from, fromPitch, width, height, key);
}

void rgb565RowsInVariant(uint8_t* to, int toPitch, const uint8_t* from, int fromPitch, int width,
                         int height) {
#if CPU_VARIANT_AVX2_BUILT
    if (blitVariantInUse == CPU_VARIANT_AVX2) {
        rgb565RowsAvx2(to, toPitch, from, fromPitch, width, height);
        return;
    }
#endif
    rgb565Rows(to, toPitch, from, fromPitch, width, height);
}

// The blit, done directly where directBlitFor allows it; otherwise SDL_UpperBlit's result.
int blitLikeSDL(SDL_Surface* source, SDL_Rect sourceArea, SDL_Surface* destination,
                SDL_Rect destinationArea) {
    const DirectBlit kind = directBlitFor(source, destination);
    if (kind == DirectBlit::NONE) return SDL_UpperBlit(source, &sourceArea, destination, &destinationArea);
    ClippedBlit blit;
    if (!clipLikeSDL(source, sourceArea, destination, destinationArea, blit)) return 0;
    const auto* from =
        static_cast<const uint8_t*>(source->pixels) + blit.sourceY * source->pitch + blit.sourceX * 4;
    auto* to = static_cast<uint8_t*>(destination->pixels) + blit.y * destination->pitch +
               blit.x * destination->format->BytesPerPixel;
    if (kind == DirectBlit::COPY) {
        for (int row = 0; row < blit.h; ++row, from += source->pitch, to += destination->pitch)
            std::memcpy(to, from, static_cast<size_t>(blit.w) * 4);
    }
    if (kind == DirectBlit::KEYED)
        keyedRowsInVariant(to, destination->pitch, from, source->pitch, blit.w, blit.h,
                           source->format->colorkey);
    if (kind == DirectBlit::TO_RGB565)
        rgb565RowsInVariant(to, destination->pitch, from, source->pitch, blit.w, blit.h);
    return 0;
}

}  // namespace

int blitVariant() {
    return blitVariantInUse;
}

int selectBlitVariant(int variant) {
    return selectCpuVariant(blitVariantInUse, variant);
}

int _vktSurface::blitAt(_vktSurface& destination, int x, int y) const {
    if (!surface || !destination.surface) return 0;
    if (surface->format->BitsPerPixel == 8 && destination.surface->format->BitsPerPixel == 8) {
        // Palette indices pass through untouched: SDL would translate them between the two palettes.
        copySurfacePixels(surface, 0, 0, surface->w, surface->h, destination.surface, x, y);
        return 1;
    }
    const SDL_Rect sdlDestination = toSDLRect(_vktRect{x, y, surface->w, surface->h});
    return blitLikeSDL(surface, wholeOf(surface), destination.surface, sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::blitRect(_vktSurface& destination, const _vktRect& sourceArea,
                          const _vktRect& destinationArea) const {
    if (!surface || !destination.surface) return 0;
    return blitLikeSDL(surface, toSDLRect(sourceArea), destination.surface, toSDLRect(destinationArea)) >= 0
               ? 1
               : 0;
}

int _vktSurface::blitToConsoleAt(_vktPTC& target, int x, int y) const {
    if (!surface || !target.isOpen || !target.screen) return 0;
    SDL_Rect sdlSource = wholeOf(surface);
    SDL_Rect sdlDestination = toSDLRect(_vktRect{x, y, surface->w, surface->h});
    return SDL_UpperBlit(surface, &sdlSource, target.screen, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::blitRectToConsole(_vktPTC& target, const _vktRect& sourceArea,
                                   const _vktRect& destinationArea) const {
    if (!surface || !target.isOpen || !target.screen) return 0;
    SDL_Rect sdlSource = toSDLRect(sourceArea);
    SDL_Rect sdlDestination = toSDLRect(destinationArea);
    return SDL_UpperBlit(surface, &sdlSource, target.screen, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::copyToConsole(_vktPTC& target, const _vktRect& sourceArea,
                               const _vktRect& destinationArea) const {
    if (!target.isOpen) return 0;
    if (surface && target.screen) {
        // A failed blit still presents: the frame loop shows whatever the screen holds.
        blitLikeSDL(surface, toSDLRect(sourceArea), target.screen, toSDLRect(destinationArea));
    }
    target.update();
    return 1;
}

int _vktSurface::setClipRect(const _vktRect& area) {
    if (!surface) return 0;
    SDL_Rect sdlArea = toSDLRect(area);
    SDL_SetClipRect(surface, &sdlArea);
    return 1;
}

int _vktSurface::clearClipRect() {
    if (!surface) return 0;
    SDL_SetClipRect(surface, nullptr);
    return 1;
}
