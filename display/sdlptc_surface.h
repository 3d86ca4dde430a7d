// sdlptc_surface.h: image surfaces over SDL, with blits, format conversion, resizing and cropping.
#pragma once
#include <cstdint>
#include <SDL.h>

#include "sdlptc_format.h"
#include "sdlptc_palette.h"
#include "sdlptc_rect.h"

class _vktPTC;
class binfile;

// Memory kinds for create(); any other value means SURFACE_SOFTWARE.
inline constexpr int SURFACE_SOFTWARE = 30;
inline constexpr int SURFACE_HARDWARE = 31;

// Creation options for create(), a bit set.
inline constexpr int SURFACE_COLORKEY = 1;  // adds SDL_SRCCOLORKEY
inline constexpr int SURFACE_ALPHA = 2;     // adds SDL_SRCALPHA

// Owner of one SDL surface. Every operation on an empty surface does nothing and returns 0, null or an
// empty result. In-place operations build their result in a fresh SDL surface and install it only on
// success.
class _vktSurface {
public:
    _vktSurface();
    _vktSurface(const _vktSurface& source);  // deep copy, as copy()
    _vktSurface& operator=(const _vktSurface&) = delete;
    _vktSurface(int width, int height, const _vktFormat& format, int memoryKind, int options);
    _vktSurface(void* pixels, int width, int height, int pitch, const _vktFormat& format);
    _vktSurface(_vktPTC* console, int memoryKind, int options);
    _vktSurface(_vktPTC* console, int width, int height, const _vktFormat& format, int memoryKind,
                int options);
    // Loading constructors (the picture formats of sdlptc_imageloader); empty when nothing loads.
    _vktSurface(const char* path, int memoryKind, int options);
    _vktSurface(binfile* stream, int memoryKind, int options);
    // Loads only while the console is open, and then records it.
    _vktSurface(_vktPTC* console, const char* path, int memoryKind, int options);
    ~_vktSurface();

    // Creation: 1 when an SDL surface was made. 8-bit surfaces get a palette by format id:
    // FORMAT_GREY8 a grey ramp, FORMAT_RGB332 the 3-3-2 cube, any other id black.
    int create(int width, int height, const _vktFormat& format, int memoryKind, int options);
    // Wraps pixels the caller owns and keeps alive.
    int createFrom(void* pixels, int width, int height, int pitch, const _vktFormat& format);
    // Only while the console is open; records the console.
    int createFor(_vktPTC* console, int width, int height, const _vktFormat& format, int memoryKind,
                  int options);
    // The console screen's size and layout; only while the console is open.
    int createLike(_vktPTC* console, int memoryKind, int options);
    void free();
    // Deep copy of pixels, palette and console; 0 and unchanged for an empty source.
    int copy(const _vktSurface& source);

    // Colours are 0x00RRGGBB, the top byte ignored.
    int fill(uint32_t colour);
    int fillRect(const _vktRect& area, uint32_t colour);
    int setAlpha(int alpha);
    int clearAlpha();
    // The key is a raw pixel value of this surface's format.
    int setColorKey(uint32_t pixel, int rle);
    int clearColorKey();

    uint32_t mapRGB(int r, int g, int b) const;
    uint32_t mapRGBA(int r, int g, int b, int a) const;
    // Null pointers are skipped.
    void getRGB(uint32_t pixel, uint8_t* r, uint8_t* g, uint8_t* b) const;
    void getRGBA(uint32_t pixel, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* a) const;

    // The first pixel byte, or null when empty. Locks through SDL only where SDL requires it,
    // retrying every 10 ms until SDL agrees.
    void* lock();
    void unlock();

    // {0, 0, width, height}; all zero when empty.
    _vktRect& rect(_vktRect& target) const;
    int width() const;
    int height() const;
    int pitch() const;
    int bitsPerPixel() const;
    int bytesPerPixel() const;
    int pixelCount() const;
    int isHardware() const;
    int isSoftware() const;
    // 0x01 HWACCEL, 0x02 SRCCOLORKEY, 0x04 RLEACCEL, 0x08 SRCALPHA, 0x20 PREALLOC.
    int flags() const;
    // FORMAT_CUSTOM with the SDL layout; the empty format when empty.
    _vktFormat format() const;
    int getFormat(_vktFormat& target) const;

    // Palette transfer for 8-bit surfaces; 0 for surfaces without an SDL palette.
    int setPalette(const _vktPalette& palette);
    int getPalette(_vktPalette& target) const;
    _vktPalette palette() const;

    // Blits; this surface is the source. 1 on success.
    // Whole surface at (x, y). Between two 8-bit surfaces rows are copied raw (no key, no palette).
    int blitAt(_vktSurface& destination, int x, int y) const;
    // Only x and y of destinationArea matter; the size comes from the clipped source area.
    int blitRect(_vktSurface& destination, const _vktRect& sourceArea, const _vktRect& destinationArea) const;
    // Onto the open console's screen, without presenting it.
    int blitToConsoleAt(_vktPTC& console, int x, int y) const;
    int blitRectToConsole(_vktPTC& console, const _vktRect& sourceArea,
                          const _vktRect& destinationArea) const;
    // Onto the screen, then presents the whole screen; 1 whenever the console is open.
    int copyToConsole(_vktPTC& console, const _vktRect& sourceArea, const _vktRect& destinationArea) const;
    int setClipRect(const _vktRect& area);
    int clearClipRect();

    // Format conversion in place. FORMAT_GREY8 and FORMAT_RGB332 (and FORMAT_INDEX8 from true colour)
    // are the library's own reductions; every other target goes through SDL.
    int convert(const _vktFormat& target);
    int toDisplayFormat();
    int toDisplayFormatAlpha();
    // Same size, layout, pixels and palette in other memory or with other options.
    int recreate(int memoryKind, int options);

    // Nearest-neighbour scaling in two passes (22.10 fixed-point steps); 1, 2 or 4 bytes per pixel.
    // 1 when done or already that size.
    int resize(int width, int height);
    // Keeps one rectangle (an 8-bit surface keeps its palette); 1 when done or when the rectangle is the
    // whole surface. Parts outside the surface come out as a new surface starts.
    int crop(const _vktRect& area);

    SDL_Surface* surface;  // owned; null means empty
    _vktPTC* console;      // borrowed, never released: the console the surface was made for
    int32_t lockCount;     // nesting depth of lock()

private:
    // Frees the current SDL surface and keeps fresh in its place.
    void install(SDL_Surface* fresh);
    // Takes the SDL surface of a finished temporary, which is left empty.
    void adopt(_vktSurface& temporary);
};

// SDL's must-lock rule: an offset, or a hardware, asynchronous-blit or RLE surface.
bool surfaceMustLock(const SDL_Surface* surface);

// SDL_LockSurface where the must-lock rule asks for it, retrying every 10 ms until SDL agrees; the
// matching SDL_UnlockSurface. Surfaces that need no lock touch no SDL function.
void lockSurfacePixels(SDL_Surface* surface);
void unlockSurfacePixels(SDL_Surface* surface);

// Exact copy of a block of whole pixels between two SDL surfaces of the same pixel size: no colour key,
// alpha or palette translation. The block is clipped to the source, moving the destination point as an
// SDL blit does, then to the destination's bounds. 0 when a surface is missing or the pixel sizes differ.
int copySurfacePixels(SDL_Surface* source, int sourceX, int sourceY, int width, int height,
                      SDL_Surface* destination, int destinationX, int destinationY);
