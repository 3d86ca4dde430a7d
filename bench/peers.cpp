// peers.cpp: the gather floor, the naive floating-point rotozoomer and the intro's pictures for the
// benchmarks.
#include "bench_switches.h"

#include <malloc.h>

#include <cmath>
#include <cstdlib>

#include <immintrin.h>

#include "distort.h"
#include "sdlptc_imageloader.h"

namespace {

// glibc maps blocks above 128 KiB afresh and trims the heap when a large block at its top is freed, so a
// loop that frees and re-creates quarter-megabyte surfaces would mostly measure the kernel zeroing pages.
// Freed memory is kept instead, for every benchmark alike; BENCH_DEFAULT_MALLOC keeps glibc's defaults.
const bool heapKept = [] {
    if (std::getenv("BENCH_DEFAULT_MALLOC")) return false;
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return true;
}();

constexpr int FRAME_PIXELS = 320 * 200;
void gatherFloorBaseline(uint32_t* __restrict destination, const uint32_t* __restrict table, uint32_t k,
                         uint32_t stride) {
    for (int i = 0; i < FRAME_PIXELS; ++i) {
        destination[i] = table[k & 0xFFFF];
        k += stride;
    }
}

// Built as the effect's AVX2 kernel is: sixteen pixels a step in two independent gathers.
__attribute__((target("avx2"))) void gatherFloorAvx2(uint32_t* __restrict destination,
                                                     const uint32_t* __restrict table, uint32_t k,
                                                     uint32_t stride) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i ks = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(k)),
                                  _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(stride))));
    const __m256i step = _mm256_set1_epi32(static_cast<int32_t>(8 * stride));
    const __m256i mask = _mm256_set1_epi32(0xFFFF);
    const int* entries = reinterpret_cast<const int*>(table);
    for (int i = 0; i < FRAME_PIXELS; i += 16) {
        const __m256i ks2 = _mm256_add_epi32(ks, step);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i),
                            _mm256_i32gather_epi32(entries, _mm256_and_si256(ks, mask), 4));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i + 8),
                            _mm256_i32gather_epi32(entries, _mm256_and_si256(ks2, mask), 4));
        ks = _mm256_add_epi32(ks2, step);
    }
}

void loadConverted(_vktSurface& surface, const char* name) {
    if (loadImageResource(surface, name, SURFACE_SOFTWARE, 0)) surface.convert(_vktFormat(FORMAT_XRGB8888));
}

}  // namespace

void gatherFloor(uint32_t* destination, const uint32_t* table, uint32_t start, uint32_t stride, int kernel) {
    if (kernel == CPU_VARIANT_AVX2)
        gatherFloorAvx2(destination, table, start, stride);
    else
        gatherFloorBaseline(destination, table, start, stride);
}

void naiveFloatRotozoom(uint32_t* destination, const uint32_t* source, int angle, float zoom) {
    const float radians = static_cast<float>(angle) * (6.28318530718f / 1024.0f);
    const float c = std::cos(radians) * zoom;
    const float s = std::sin(radians) * zoom;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const float dx = static_cast<float>(x - 160), dy = static_cast<float>(y - 100);
            const float u = 128.0f + dx * c - dy * s;
            const float v = 128.0f + dx * s + dy * c;
            const int tu = static_cast<int>(std::floor(u)) & 255;
            const int tv = static_cast<int>(std::floor(v)) & 255;
            *destination++ = source[tv * 256 + tu];
        }
    }
}

void loadIntroPictures(IntroPictures& pictures) {
    loadConverted(pictures.picture, "data\\pic1_256x256.png");
    pictures.picture.resize(256, 256);
    loadConverted(pictures.fontSheet, "data\\fonts.png");
    pictures.fontSheet.setColorKey(pictures.fontSheet.mapRGB(0, 60, 60), 0);
    loadConverted(pictures.sprite, "data\\vozuz.png");
    pictures.sprite.setColorKey(0xFF00FF, 0);
    pictures.loaded = pictures.picture.surface && pictures.fontSheet.surface && pictures.sprite.surface;
}
