// sdlptc_surface_resize.cpp: nearest-neighbour resizing and cropping in place.
#include "sdlptc_surface.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "diag.h"

namespace {

// Temporary surface objects come from checkedCreate; the owner hands them back on every path.
struct TemporaryRelease {
    void operator()(_vktSurface* s) const { checkedDestroy(s); }
};
using TemporaryPtr = std::unique_ptr<_vktSurface, TemporaryRelease>;

// 22.10 fixed point: 1024 is one source pixel. Truncated, so the last sample never passes the edge.
int32_t scaleStep(int oldSize, int newSize) {
    return static_cast<int32_t>(static_cast<int64_t>(oldSize) * 1024 / newSize);
}

// One row of the horizontal pass: sample x takes source element (x × step) >> 10.
template <class Element>
void sampleRow(const uint8_t* sourceRow, uint8_t* row, int width, int32_t step) {
    const Element* from = reinterpret_cast<const Element*>(sourceRow);
    Element* to = reinterpret_cast<Element*>(row);
    int64_t position = 0;
    for (int x = 0; x < width; ++x, position += step) to[x] = from[position >> 10];
}

}  // namespace

int _vktSurface::resize(int newWidth, int newHeight) {
    if (!surface) return 0;
    const int oldWidth = surface->w, oldHeight = surface->h;
    if (newWidth == oldWidth && newHeight == oldHeight) return 1;
    if (newWidth < 1 || newHeight < 1) return 0;
    const _vktFormat working = format();
    // SDL's own pixel size, not bits / 8: a 15-bit layout still stores two bytes per pixel.
    const int bytes = surface->format->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4) return 0;

    // Horizontal pass: every row to the new width.
    TemporaryPtr rows(checkedCreate<_vktSurface>(__FILE__, __LINE__, "tmp_resize_surf"));
    if (!rows->create(newWidth, oldHeight, working, SURFACE_SOFTWARE, 0)) return 0;
    const int32_t stepX = scaleStep(oldWidth, newWidth);
    const uint8_t* from = static_cast<const uint8_t*>(lock());
    uint8_t* to = static_cast<uint8_t*>(rows->lock());
    for (int y = 0; y < oldHeight; ++y) {
        const uint8_t* sourceRow = from + y * surface->pitch;
        uint8_t* row = to + y * rows->surface->pitch;
        if (bytes == 1) sampleRow<uint8_t>(sourceRow, row, newWidth, stepX);
        if (bytes == 2) sampleRow<uint16_t>(sourceRow, row, newWidth, stepX);
        if (bytes == 4) sampleRow<uint32_t>(sourceRow, row, newWidth, stepX);
    }
    unlock();
    rows->unlock();

    // Vertical pass: whole rows picked for the new height.
    TemporaryPtr scaled(checkedCreate<_vktSurface>(__FILE__, __LINE__, "finalsurf_resize_surf"));
    if (!scaled->create(newWidth, newHeight, working, SURFACE_SOFTWARE, 0)) return 0;
    scaled->setPalette(palette());
    const int32_t stepY = scaleStep(oldHeight, newHeight);
    from = static_cast<const uint8_t*>(rows->lock());
    to = static_cast<uint8_t*>(scaled->lock());
    const size_t rowBytes = static_cast<size_t>(newWidth) * bytes;
    int64_t position = 0;
    for (int r = 0; r < newHeight; ++r, position += stepY)
        memcpy(to + r * scaled->surface->pitch, from + (position >> 10) * rows->surface->pitch, rowBytes);
    rows->unlock();
    scaled->unlock();

    // The finished surface is already what a fresh W × H surface in the working format would be.
    adopt(*scaled);
    return 1;
}

int _vktSurface::crop(const _vktRect& area) {
    if (!surface) return 0;
    if (area.x == 0 && area.y == 0 && area.w == surface->w && area.h == surface->h) return 1;
    if (area.w < 1 || area.h < 1) return 0;

    TemporaryPtr cropped(checkedCreate<_vktSurface>(__FILE__, __LINE__, "tmp_surf"));
    if (!cropped->create(area.w, area.h, format(), SURFACE_SOFTWARE, 0)) return 0;
    // The area as SDL would take it (16-bit fields, no larger than the surface), copied byte for byte so
    // that colour-keyed pixels and alpha survive; what lies outside the surface stays as created.
    const SDL_Rect sdlArea =
        toSDLRect(_vktRect{area.x, area.y, std::min(area.w, surface->w), std::min(area.h, surface->h)});
    copySurfacePixels(surface, sdlArea.x, sdlArea.y, sdlArea.w, sdlArea.h, cropped->surface, 0, 0);
    // A cropped 8-bit picture keeps its colours.
    cropped->setPalette(palette());
    adopt(*cropped);
    return 1;
}
