// distort.h: the picture distortion effect: a rotating, zooming, twisting view of a 256×256 picture.
#pragma once
#include <cstdint>

#include "sdlptc_cpu.h"

inline constexpr int SINE_TABLE_SIZE = 1024;        // table units per full turn
inline constexpr int SINE_TABLE_QUARTER = 256;      // table units per quarter turn
inline constexpr int DISTORT_WIDTH = 320;           // destination pixels per row, no gaps between rows
inline constexpr int DISTORT_HEIGHT = 200;          // destination rows
inline constexpr int DISTORT_TEXTURE_SIZE = 256;    // source texels per row and rows; no gaps either
inline constexpr float DISTORT_AMPLITUDE = 256.0f;  // table amplitude the intro uses: 8.8 fixed point

// The row kernel of distortPicture has the processor variants of sdlptc_cpu.h. Both draw exactly the same
// pixels, so the choice is no state of a run; the AVX2 one gathers eight texels at a time.

// A CPU_VARIANT_…; the effect starts with the fastest this processor runs.
int distortVariant();
// Uses that variant from now on: true when the processor runs it, else false and no change.
bool selectDistortVariant(int variant);

// The effect's tables and angle, with their start values; the frame loop holds the intro's.
class DistortEffect {
public:
    // Fills both tables with amplitude × sin and × cos of i × 2π/1024, truncated toward zero.
    void buildSineTables(float amplitude);

    // Draws one 320×200 frame of the source picture into destination, writing every pixel in order.
    // angleStep (table units) is added to effectAngle first; zoom is texels per screen pixel (0 shows
    // the centre texel everywhere, negative values turn the view by half a turn); pixelTwist and
    // rowTwist turn each row's scan direction and the row-to-row step by that many table units per row.
    void distortPicture(uint32_t* destination, const uint32_t* source, int32_t angleStep, float zoom,
                        int32_t pixelTwist, int32_t rowTwist);

    int32_t sineTable[SINE_TABLE_SIZE] = {};    // amplitude × sin; with 256.0 the unit circle in 8.8
    int32_t cosineTable[SINE_TABLE_SIZE] = {};  // cosineTable[i] == sineTable[(i + 256) & 1023]
    int32_t effectAngle = 0;                    // 0..1023, carried from frame to frame
};
