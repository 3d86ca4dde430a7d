// sdlptc_surface_resize.cpp: nearest-neighbour resizing and cropping in place.
#include "sdlptc_surface.h"

#include <algorithm>
#include <cstring>

#include "diag.h"
#include "sdlptc_cpu.h"
#include "sdlptc_internal.h"
#include "sdlptc_surface_resize.h"

#if CPU_VARIANT_AVX2_BUILT
#include <immintrin.h>
#endif

namespace {

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

#if CPU_VARIANT_AVX2_BUILT
// The same for 4-byte pixels, eight at a time: lane j holds position (x + j) × step, exactly the
// baseline's running sum as long as the row's last position fits in 31 bits (the caller checks).
__attribute__((target("avx2"))) void sampleRow32Avx2(const uint8_t* sourceRow, uint8_t* row, int width,
                                                     int32_t step) {
    const int* from = reinterpret_cast<const int*>(sourceRow);
    uint32_t* to = reinterpret_cast<uint32_t*>(row);
    __m256i positions =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(step));
    const __m256i step8 = _mm256_set1_epi32(8 * step);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + x),
                            _mm256_i32gather_epi32(from, _mm256_srli_epi32(positions, 10), 4));
        positions = _mm256_add_epi32(positions, step8);
    }
    for (; x < width; ++x) to[x] = static_cast<uint32_t>(from[(int64_t{x} * step) >> 10]);
}
#endif

int resizeVariantInUse = bestCpuVariant();

// One source row at the new width, in the sampler in use where it applies.
void sampleRowOfBytes(const uint8_t* sourceRow, uint8_t* row, int width, int32_t step, int bytes) {
#if CPU_VARIANT_AVX2_BUILT
    // 32-bit lanes hold positions up to (width - 1) × step < old width × 1024.
    if (bytes == 4 && resizeVariantInUse == CPU_VARIANT_AVX2 && int64_t{width} * step < (int64_t{1} << 31)) {
        sampleRow32Avx2(sourceRow, row, width, step);
        return;
    }
#endif
    if (bytes == 1) sampleRow<uint8_t>(sourceRow, row, width, step);
    if (bytes == 2) sampleRow<uint16_t>(sourceRow, row, width, step);
    if (bytes == 4) sampleRow<uint32_t>(sourceRow, row, width, step);
}

}  // namespace

int resizeVariant() {
    return resizeVariantInUse;
}

int selectResizeVariant(int variant) {
    return selectCpuVariant(resizeVariantInUse, variant);
}

int _vktSurface::resize(int newWidth, int newHeight) {
    if (!surface) return 0;
    const int oldWidth = surface->w, oldHeight = surface->h;
    if (newWidth == oldWidth && newHeight == oldHeight) return 1;
    if (newWidth < 1 || newHeight < 1) return 0;
    const _vktFormat working = format();
    // SDL's own pixel size, not bits / 8: a 15-bit layout still stores two bytes per pixel.
    const int bytes = surface->format->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4) return 0;

    // Horizontal pass: the rows at the new width. Only the rows the vertical pass picks are sampled, each
    // once; the others would be thrown away with the temporary.
    TemporaryPtr rows(checkedCreate<_vktSurface>(__FILE__, __LINE__, "tmp_resize_surf"));
    if (!rows->create(newWidth, oldHeight, working, SURFACE_SOFTWARE, 0)) return 0;
    // Vertical pass: whole rows picked for the new height.
    TemporaryPtr scaled(checkedCreate<_vktSurface>(__FILE__, __LINE__, "finalsurf_resize_surf"));
    if (!scaled->create(newWidth, newHeight, working, SURFACE_SOFTWARE, 0)) return 0;
    scaled->setPalette(palette());

    const int32_t stepX = scaleStep(oldWidth, newWidth);
    const int32_t stepY = scaleStep(oldHeight, newHeight);
    const uint8_t* from = static_cast<const uint8_t*>(lock());
    uint8_t* across = static_cast<uint8_t*>(rows->lock());
    uint8_t* to = static_cast<uint8_t*>(scaled->lock());
    const size_t rowBytes = static_cast<size_t>(newWidth) * bytes;
    int64_t position = 0;
    int64_t sampled = -1;  // the last source row sampled; picked rows never go back up
    for (int r = 0; r < newHeight; ++r, position += stepY) {
        const int64_t y = position >> 10;
        uint8_t* row = across + y * rows->surface->pitch;
        if (y != sampled) sampleRowOfBytes(from + y * surface->pitch, row, newWidth, stepX, bytes);
        sampled = y;
        memcpy(to + r * scaled->surface->pitch, row, rowBytes);
    }
    unlock();
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
