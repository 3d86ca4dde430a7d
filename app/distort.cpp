// distort.cpp: the picture distortion effect in 8.8 fixed point.
#include "distort.h"

#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DISTORT_HAS_AVX2 1
#else
#define DISTORT_HAS_AVX2 0
#endif

DistortEffect pictureEffect;

namespace {

constexpr uint32_t ANGLE_MASK = SINE_TABLE_SIZE - 1;

// Table entry × zoom in single precision, truncated toward zero. Out-of-range products (a zoom no
// caller of the intro uses) saturate instead of leaving the conversion undefined.
int32_t zoomedStep(int32_t entry, float zoom) {
    const float product = static_cast<float>(entry) * zoom;
    if (std::isnan(product)) return 0;
    if (product >= 2147483648.0f) return INT32_MAX;
    if (product <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(product);
}

// One row: only adds, shifts, masks and one load per pixel. Coordinates are 8.8 fixed point held
// unsigned, so that sums wrap instead of overflowing; bits 8..15 of the two's-complement value are
// the texel index, which tiles the picture in both directions, below zero too.
void scanRowBaseline(uint32_t* __restrict destination, const uint32_t* __restrict source, uint32_t u,
                     uint32_t v, uint32_t du, uint32_t dv) {
    for (int x = 0; x < DISTORT_WIDTH; ++x) {
        destination[x] = source[(v & 0xFF00u) | ((u >> 8) & 0xFFu)];
        u += du;
        v += dv;
    }
}

#if DISTORT_HAS_AVX2
// The same row eight pixels at a time: lane j of a step holds the coordinates of pixel x + j, which
// are u + (x + j) × du modulo 2^32 exactly as the baseline's running sum has them, so every index and
// pixel is the baseline's. Compilers do not emit the gather for the plain loop, hence the intrinsics.
__attribute__((target("avx2"))) void scanRowAvx2(uint32_t* __restrict destination,
                                                 const uint32_t* __restrict source, uint32_t u, uint32_t v,
                                                 uint32_t du, uint32_t dv) {
    static_assert(DISTORT_WIDTH % 16 == 0, "rows are drawn sixteen pixels a step");
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i duLanes = _mm256_set1_epi32(static_cast<int32_t>(du));
    const __m256i dvLanes = _mm256_set1_epi32(static_cast<int32_t>(dv));
    __m256i us =
        _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(u)), _mm256_mullo_epi32(lanes, duLanes));
    __m256i vs =
        _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(v)), _mm256_mullo_epi32(lanes, dvLanes));
    const __m256i du8 = _mm256_slli_epi32(duLanes, 3);
    const __m256i dv8 = _mm256_slli_epi32(dvLanes, 3);
    const __m256i rowBits = _mm256_set1_epi32(0xFF00);
    const __m256i columnBits = _mm256_set1_epi32(0xFF);
    const int* texels = reinterpret_cast<const int*>(source);
    for (int x = 0; x < DISTORT_WIDTH; x += 16) {
        // Two independent gathers per step keep the load ports busy.
        const __m256i first = _mm256_or_si256(_mm256_and_si256(vs, rowBits),
                                              _mm256_and_si256(_mm256_srli_epi32(us, 8), columnBits));
        const __m256i us2 = _mm256_add_epi32(us, du8);
        const __m256i vs2 = _mm256_add_epi32(vs, dv8);
        const __m256i second = _mm256_or_si256(_mm256_and_si256(vs2, rowBits),
                                               _mm256_and_si256(_mm256_srli_epi32(us2, 8), columnBits));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + x),
                            _mm256_i32gather_epi32(texels, first, 4));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + x + 8),
                            _mm256_i32gather_epi32(texels, second, 4));
        us = _mm256_add_epi32(us2, du8);
        vs = _mm256_add_epi32(vs2, dv8);
    }
}
#endif

using RowKernel = void (*)(uint32_t* __restrict, const uint32_t* __restrict, uint32_t, uint32_t, uint32_t,
                           uint32_t);

RowKernel rowKernel(int kernel) {
#if DISTORT_HAS_AVX2
    if (kernel == DISTORT_KERNEL_AVX2) return scanRowAvx2;
#endif
    (void)kernel;
    return scanRowBaseline;
}

bool kernelRuns(int kernel) {
    if (kernel == DISTORT_KERNEL_BASELINE) return true;
#if DISTORT_HAS_AVX2
    // Also asked from static constructors, before the runtime has probed the processor by itself.
    __builtin_cpu_init();
    if (kernel == DISTORT_KERNEL_AVX2) return __builtin_cpu_supports("avx2");
#endif
    return false;
}

}  // namespace

int bestDistortKernel() {
    return kernelRuns(DISTORT_KERNEL_AVX2) ? DISTORT_KERNEL_AVX2 : DISTORT_KERNEL_BASELINE;
}

int DistortEffect::selectKernel(int chosen) {
    if ((chosen != DISTORT_KERNEL_BASELINE && chosen != DISTORT_KERNEL_AVX2) || !kernelRuns(chosen)) return 0;
    kernel = chosen;
    return 1;
}

void DistortEffect::buildSineTables(float amplitude) {
    constexpr double step = 0.006135923151542565;  // 2π/1024
    for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
        const double angle = i * step;
        sineTable[i] = static_cast<int32_t>(amplitude * std::sin(angle));
        cosineTable[i] = static_cast<int32_t>(amplitude * std::cos(angle));
    }
}

void DistortEffect::distortPicture(uint32_t* destination, const uint32_t* source, int32_t angleStep,
                                   float zoom, int32_t pixelTwist, int32_t rowTwist) {
    if (!destination || !source) return;
    const uint32_t theta =
        (static_cast<uint32_t>(effectAngle) + static_cast<uint32_t>(angleStep)) & ANGLE_MASK;
    effectAngle = static_cast<int32_t>(theta);
    const uint32_t phi = (theta + SINE_TABLE_QUARTER) & ANGLE_MASK;

    uint32_t du = static_cast<uint32_t>(zoomedStep(cosineTable[theta], zoom));
    uint32_t dv = static_cast<uint32_t>(zoomedStep(sineTable[theta], zoom));
    uint32_t ru = static_cast<uint32_t>(zoomedStep(cosineTable[phi], zoom));
    uint32_t rv = static_cast<uint32_t>(zoomedStep(sineTable[phi], zoom));

    // Screen pixel (160, 100) looks at texel (128.0, 128.0), the picture's centre.
    constexpr uint32_t centre = 128u << 8;
    uint32_t rowU = centre - (DISTORT_WIDTH / 2) * du - (DISTORT_HEIGHT / 2) * ru;
    uint32_t rowV = centre - (DISTORT_WIDTH / 2) * dv - (DISTORT_HEIGHT / 2) * rv;

    // Twist angles run unreduced (unsigned, so they wrap harmlessly) and are masked on each read.
    uint32_t pixelAngle = theta;
    uint32_t rowAngle = theta;

    const RowKernel scanRow = rowKernel(kernel);
    for (int r = 0; r < DISTORT_HEIGHT; ++r) {
        scanRow(destination, source, rowU, rowV, du, dv);
        destination += DISTORT_WIDTH;

        // The replacement steps are the bare table entries: one texel long, whatever the zoom.
        if (pixelTwist != 0) {
            pixelAngle += static_cast<uint32_t>(pixelTwist);
            du = static_cast<uint32_t>(cosineTable[pixelAngle & ANGLE_MASK]);
            dv = static_cast<uint32_t>(sineTable[pixelAngle & ANGLE_MASK]);
        }
        rowU += ru;
        rowV += rv;
        if (rowTwist != 0) {
            rowAngle += static_cast<uint32_t>(rowTwist);
            ru = static_cast<uint32_t>(cosineTable[(rowAngle + SINE_TABLE_QUARTER) & ANGLE_MASK]);
            rv = static_cast<uint32_t>(sineTable[(rowAngle + SINE_TABLE_QUARTER) & ANGLE_MASK]);
        }
    }
}

void buildSineTables(float amplitude) {
    pictureEffect.buildSineTables(amplitude);
}

void distortPicture(uint32_t* destination, const uint32_t* source, int32_t angleStep, float zoom,
                    int32_t pixelTwist, int32_t rowTwist) {
    pictureEffect.distortPicture(destination, source, angleStep, zoom, pixelTwist, rowTwist);
}
