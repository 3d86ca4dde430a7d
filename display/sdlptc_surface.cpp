// sdlptc_surface.cpp: surface creation, copying, drawing state, locking, queries and palette transfer.
#include "sdlptc_surface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "sdlptc_console.h"
#include "sdlptc_internal.h"

namespace {

// The palette a new 8-bit surface starts with: FORMAT_GREY8 a grey ramp, FORMAT_RGB332 the 3-3-2 cube,
// every other id black.
void giveStartPalette(_vktSurface& surface, const _vktFormat& format) {
    if (format.bits() != 8) return;
    _vktPalette start;
    if (format.id() == FORMAT_GREY8) start.makeGrey();
    if (format.id() == FORMAT_RGB332) start.makeRGB332();
    surface.setPalette(start);
}

Uint8 cut8(int component) {
    return static_cast<Uint8>(component);
}

}  // namespace

bool surfaceMustLock(const SDL_Surface* surface) {
    return surface && (surface->offset || (surface->flags & (SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_RLEACCEL)));
}

void lockSurfacePixels(SDL_Surface* surface) {
    if (!surfaceMustLock(surface)) return;
    while (SDL_LockSurface(surface) < 0) SDL_Delay(10);
}

void unlockSurfacePixels(SDL_Surface* surface) {
    if (surfaceMustLock(surface)) SDL_UnlockSurface(surface);
}

int copySurfacePixels(SDL_Surface* source, int sourceX, int sourceY, int width, int height,
                      SDL_Surface* destination, int destinationX, int destinationY) {
    if (!source || !destination) return 0;
    const int bytes = source->format->BytesPerPixel;
    if (bytes != destination->format->BytesPerPixel) return 0;

    // 64-bit, so that no position near the int limits wraps while it is clipped.
    int64_t sx = sourceX, sy = sourceY, w = width, h = height, dx = destinationX, dy = destinationY;
    if (sx < 0) w += sx, dx -= sx, sx = 0;
    if (sy < 0) h += sy, dy -= sy, sy = 0;
    w = std::min<int64_t>(w, source->w - sx);
    h = std::min<int64_t>(h, source->h - sy);
    if (dx < 0) w += dx, sx -= dx, dx = 0;
    if (dy < 0) h += dy, sy -= dy, dy = 0;
    w = std::min<int64_t>(w, destination->w - dx);
    h = std::min<int64_t>(h, destination->h - dy);
    if (w <= 0 || h <= 0) return 1;

    lockSurfacePixels(source);
    lockSurfacePixels(destination);
    const uint8_t* from = static_cast<const uint8_t*>(source->pixels) + sy * source->pitch + sx * bytes;
    uint8_t* to = static_cast<uint8_t*>(destination->pixels) + dy * destination->pitch + dx * bytes;
    const size_t rowBytes = static_cast<size_t>(w * bytes);
    if (source == destination && dy > sy) {
        // Moving down inside one surface: start at the bottom so no row is overwritten before it is read.
        for (int64_t row = h - 1; row >= 0; --row)
            memmove(to + row * destination->pitch, from + row * source->pitch, rowBytes);
    } else {
        for (int64_t row = 0; row < h; ++row)
            memmove(to + row * destination->pitch, from + row * source->pitch, rowBytes);
    }
    unlockSurfacePixels(destination);
    unlockSurfacePixels(source);
    return 1;
}

_vktSurface::_vktSurface() : surface(nullptr), console(nullptr), lockCount(0) {}

_vktSurface::_vktSurface(const _vktSurface& source) : _vktSurface() {
    if (source.surface) copy(source);
}

_vktSurface::_vktSurface(int width, int height, const _vktFormat& format, int memoryKind, int options)
    : _vktSurface() {
    create(width, height, format, memoryKind, options);
}

_vktSurface::_vktSurface(void* pixels, int width, int height, int pitch, const _vktFormat& format)
    : _vktSurface() {
    createFrom(pixels, width, height, pitch, format);
}

_vktSurface::_vktSurface(_vktPTC* console, int memoryKind, int options) : _vktSurface() {
    createLike(console, memoryKind, options);
}

_vktSurface::_vktSurface(_vktPTC* console, int width, int height, const _vktFormat& format, int memoryKind,
                         int options)
    : _vktSurface() {
    createFor(console, width, height, format, memoryKind, options);
}

_vktSurface::~_vktSurface() {
    free();
}

int _vktSurface::create(int width, int height, const _vktFormat& format, int memoryKind, int options) {
    free();
    Uint32 sdlFlags = memoryKind == SURFACE_HARDWARE ? SDL_HWSURFACE : SDL_SWSURFACE;
    if (options & SURFACE_COLORKEY) sdlFlags |= SDL_SRCCOLORKEY;
    if (options & SURFACE_ALPHA) sdlFlags |= SDL_SRCALPHA;
    surface = SDL_CreateRGBSurface(sdlFlags, width, height, format.bits(), format.redMask(),
                                   format.greenMask(), format.blueMask(), format.alphaMask());
    if (!surface) return 0;
    giveStartPalette(*this, format);
    return 1;
}

int _vktSurface::createFrom(void* pixels, int width, int height, int pitch, const _vktFormat& format) {
    free();
    surface = SDL_CreateRGBSurfaceFrom(pixels, width, height, format.bits(), pitch, format.redMask(),
                                       format.greenMask(), format.blueMask(), format.alphaMask());
    if (!surface) return 0;
    giveStartPalette(*this, format);
    return 1;
}

int _vktSurface::createFor(_vktPTC* target, int width, int height, const _vktFormat& format, int memoryKind,
                           int options) {
    free();
    if (!target || !target->isOpen) return 0;
    console = target;
    return create(width, height, format, memoryKind, options);
}

int _vktSurface::createLike(_vktPTC* target, int memoryKind, int options) {
    if (!target || !target->isOpen || !target->screen) return 0;
    console = target;
    _vktFormat screenFormat;
    screenFormat.fromSDL(target->screen->format);
    return createFor(target, target->screen->w, target->screen->h, screenFormat, memoryKind, options);
}

void _vktSurface::free() {
    if (surface) SDL_FreeSurface(surface);
    surface = nullptr;
}

void _vktSurface::install(SDL_Surface* fresh) {
    free();
    surface = fresh;
}

void _vktSurface::adopt(_vktSurface& temporary) {
    install(temporary.surface);
    temporary.surface = nullptr;
}

int _vktSurface::copy(const _vktSurface& source) {
    if (!source.surface) return 0;
    if (&source == this) return 1;  // already its own copy; freeing first would lose it
    free();
    surface = nullptr;
    console = nullptr;
    lockCount = 0;
    const int memoryKind = source.isHardware() ? SURFACE_HARDWARE : SURFACE_SOFTWARE;
    if (!create(source.width(), source.height(), source.format(), memoryKind, 0)) return 0;
    // Byte for byte rather than through a blit, which would skip colour-keyed pixels and blend
    // alpha: a copy must hold every pixel of its source.
    copySurfacePixels(source.surface, 0, 0, source.width(), source.height(), surface, 0, 0);
    setPalette(source.palette());
    console = source.console;
    return 1;
}

int _vktSurface::fill(uint32_t colour) {
    if (!surface) return 0;
    int r, g, b;
    unpackRGB(colour, &r, &g, &b);
    return SDL_FillRect(surface, nullptr, mapRGB(r, g, b)) >= 0 ? 1 : 0;
}

int _vktSurface::fillRect(const _vktRect& area, uint32_t colour) {
    if (!surface) return 0;
    int r, g, b;
    unpackRGB(colour, &r, &g, &b);
    SDL_Rect sdlArea = toSDLRect(area);
    return SDL_FillRect(surface, &sdlArea, mapRGB(r, g, b)) >= 0 ? 1 : 0;
}

int _vktSurface::setAlpha(int alpha) {
    if (!surface) return 0;
    return SDL_SetAlpha(surface, SDL_SRCALPHA, cut8(alpha)) >= 0 ? 1 : 0;
}

int _vktSurface::clearAlpha() {
    if (!surface) return 0;
    return SDL_SetAlpha(surface, 0, 0) >= 0 ? 1 : 0;
}

int _vktSurface::setColorKey(uint32_t pixel, int rle) {
    if (!surface) return 0;
    const Uint32 sdlFlags = SDL_SRCCOLORKEY | (rle ? SDL_RLEACCEL : 0);
    return SDL_SetColorKey(surface, sdlFlags, pixel) >= 0 ? 1 : 0;
}

int _vktSurface::clearColorKey() {
    if (!surface) return 0;
    return SDL_SetColorKey(surface, 0, 0) >= 0 ? 1 : 0;
}

uint32_t _vktSurface::mapRGB(int r, int g, int b) const {
    if (!surface) return 0;
    return SDL_MapRGB(surface->format, cut8(r), cut8(g), cut8(b));
}

uint32_t _vktSurface::mapRGBA(int r, int g, int b, int a) const {
    if (!surface) return 0;
    return SDL_MapRGBA(surface->format, cut8(r), cut8(g), cut8(b), cut8(a));
}

void _vktSurface::getRGB(uint32_t pixel, uint8_t* r, uint8_t* g, uint8_t* b) const {
    if (!surface) return;
    Uint8 red, green, blue;
    SDL_GetRGB(pixel, surface->format, &red, &green, &blue);
    if (r) *r = red;
    if (g) *g = green;
    if (b) *b = blue;
}

void _vktSurface::getRGBA(uint32_t pixel, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* a) const {
    if (!surface) return;
    Uint8 red, green, blue, alpha;
    SDL_GetRGBA(pixel, surface->format, &red, &green, &blue, &alpha);
    if (r) *r = red;
    if (g) *g = green;
    if (b) *b = blue;
    if (a) *a = alpha;
}

void* _vktSurface::lock() {
    if (!surface) return nullptr;
    lockSurfacePixels(surface);
    ++lockCount;
    return surface->pixels;
}

void _vktSurface::unlock() {
    // An unlock without its lock would release a lock someone else holds.
    if (!surface || lockCount <= 0) return;
    unlockSurfacePixels(surface);
    --lockCount;
}

_vktRect& _vktSurface::rect(_vktRect& target) const {
    target.x = 0;
    target.y = 0;
    target.w = width();
    target.h = height();
    return target;
}

int _vktSurface::width() const {
    return surface ? surface->w : 0;
}
int _vktSurface::height() const {
    return surface ? surface->h : 0;
}
int _vktSurface::pitch() const {
    return surface ? surface->pitch : 0;
}
int _vktSurface::bitsPerPixel() const {
    return surface ? surface->format->BitsPerPixel : 0;
}
int _vktSurface::bytesPerPixel() const {
    return surface ? surface->format->BytesPerPixel : 0;
}
int _vktSurface::pixelCount() const {
    return surface ? surface->w * surface->h : 0;
}
int _vktSurface::isHardware() const {
    return surface && (surface->flags & SDL_HWSURFACE) ? 1 : 0;
}
int _vktSurface::isSoftware() const {
    return surface && !(surface->flags & SDL_HWSURFACE) ? 1 : 0;
}
int _vktSurface::flags() const {
    return surface ? sdlSurfaceFlagWord(surface) : 0;
}

_vktFormat _vktSurface::format() const {
    if (!surface) return _vktFormat::empty();
    _vktFormat layout;
    layout.fromSDL(surface->format);
    return layout;
}

int _vktSurface::getFormat(_vktFormat& target) const {
    if (!surface) return 0;
    target = format();
    return 1;
}

int _vktSurface::setPalette(const _vktPalette& palette) {
    if (!surface || !surface->format->palette || !palette.entries()) return 0;
    SDL_Color colours[_vktPalette::ENTRIES];
    toSDLColours(palette.entries(), colours);
    SDL_SetColors(surface, colours, 0, _vktPalette::ENTRIES);  // its result says nothing useful here
    return 1;
}

int _vktSurface::getPalette(_vktPalette& target) const {
    if (!surface || !surface->format->palette || !surface->format->palette->colors) return 0;
    uint32_t* entries = target.lock();
    if (!entries) return 0;
    const SDL_Palette* sdlPalette = surface->format->palette;
    const int count = std::clamp(sdlPalette->ncolors, 0, _vktPalette::ENTRIES);
    for (int i = 0; i < count; ++i) {
        const SDL_Color& colour = sdlPalette->colors[i];
        entries[i] = packRGB(colour.r, colour.g, colour.b);
    }
    target.unlock();
    return 1;
}

_vktPalette _vktSurface::palette() const {
    _vktPalette result;
    getPalette(result);
    return result;
}
