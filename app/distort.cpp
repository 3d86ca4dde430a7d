// distort.cpp: the picture distortion effect in 8.8 fixed point.
#include "distort.h"

#include <cmath>

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
inline void scanRow(uint32_t* __restrict destination, const uint32_t* __restrict source, uint32_t u,
                    uint32_t v, uint32_t du, uint32_t dv) {
    for (int x = 0; x < DISTORT_WIDTH; ++x) {
        destination[x] = source[(v & 0xFF00u) | ((u >> 8) & 0xFFu)];
        u += du;
        v += dv;
    }
}

}  // namespace

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
