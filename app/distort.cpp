// distort.cpp: the picture distortion effect in 8.8 fixed point.
#include "distort.h"

#include <cmath>
#include <cstring>

#if CPU_VARIANT_AVX2_BUILT
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t ANGLE_MASK = SINE_TABLE_SIZE - 1;

int distortVariantInUse = bestCpuVariant();

// Table entry × zoom in single precision, truncated toward zero. Out-of-range products (a zoom no
// caller of the intro uses) saturate instead of leaving the conversion undefined.
int32_t zoomedStep(int32_t entry, float zoom) {
    const float product = static_cast<float>(entry) * zoom;
    if (std::isnan(product)) return 0;
    if (product >= 2147483648.0f) return INT32_MAX;
    if (product <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(product);
}

// Where each row starts and how it steps. The twists turn the steps after every row; their replacement
// steps are the bare table entries, one texel long whatever the zoom.
struct RowWalk {
    const int32_t* sine;
    const int32_t* cosine;
    uint32_t u, v;        // 8.8 start of the current row, held unsigned so that sums wrap
    uint32_t du, dv;      // 8.8 step from pixel to pixel in the current row
    uint32_t ru, rv;      // 8.8 step from the current row's start to the next one's
    uint32_t pixelAngle;  // twist angles, unreduced (unsigned, so they wrap harmlessly), masked on read
    uint32_t rowAngle;
    int32_t pixelTwist;
    int32_t rowTwist;

    void next() {
        if (pixelTwist != 0) {
            pixelAngle += static_cast<uint32_t>(pixelTwist);
            du = static_cast<uint32_t>(cosine[pixelAngle & ANGLE_MASK]);
            dv = static_cast<uint32_t>(sine[pixelAngle & ANGLE_MASK]);
        }
        u += ru;  // with the row step that was in force for this row
        v += rv;
        if (rowTwist != 0) {
            rowAngle += static_cast<uint32_t>(rowTwist);
            ru = static_cast<uint32_t>(cosine[(rowAngle + SINE_TABLE_QUARTER) & ANGLE_MASK]);
            rv = static_cast<uint32_t>(sine[(rowAngle + SINE_TABLE_QUARTER) & ANGLE_MASK]);
        }
    }
};

// Each row: only adds, shifts, masks and one load per pixel. Bits 8..15 of the two's-complement
// coordinate are the texel index, which tiles the picture in both directions, below zero too.
void drawRowsBaseline(uint32_t* __restrict destination, const uint32_t* __restrict source, RowWalk walk) {
    for (int r = 0; r < DISTORT_HEIGHT; ++r, destination += DISTORT_WIDTH, walk.next()) {
        uint32_t u = walk.u, v = walk.v;
        for (int x = 0; x < DISTORT_WIDTH; ++x) {
            destination[x] = source[(v & 0xFF00u) | ((u >> 8) & 0xFFu)];
            u += walk.du;
            v += walk.dv;
        }
    }
}

#if CPU_VARIANT_AVX2_BUILT
// u and v modulo 2^16, packed: v in the high half, u in the low half.
inline uint32_t packCoordinates(uint32_t u, uint32_t v) {
    return (v << 16) | (u & 0xFFFFu);
}

// Rows that run within about 14° of the picture's vertical touch a new cache line at every pixel, and
// those lines share a handful of cache sets (the picture's rows are 1 KiB apart), so a row has evicted
// its lines before the next row, a texel to the side, reads them again. Drawing such rows together
// pays only while the next row is near enough to share lines: beyond about five and a half texels
// apart (zoom 5.5) the rows drawn one by one were measured faster.
inline bool groupsSteeply(const RowWalk& walk) {
    const int64_t across = static_cast<int32_t>(walk.du), down = static_cast<int32_t>(walk.dv);
    const int64_t rowU = static_cast<int32_t>(walk.ru), rowV = static_cast<int32_t>(walk.rv);
    constexpr int64_t nearRows = 1408;  // 5.5 texels in 8.8
    return 4 * (across < 0 ? -across : across) < (down < 0 ? -down : down) &&
           rowU * rowU + rowV * rowV < nearRows * nearRows;
}

// One row's start and pixel step, each packed as packCoordinates does.
struct PackedRow {
    uint32_t uv;
    uint32_t step;
};

struct RowLanes {
    __m256i uv;    // per lane: v modulo 2^16 in the high half, u modulo 2^16 in the low half
    __m256i step;  // eight pixels' step, packed alike
};

// Lane j starts at start + j × step; eight steps are the step shifted left by 3 in each half, the same
// modulo 2^16 as 8 × du and 8 × dv.
__attribute__((target("avx2"), always_inline)) inline RowLanes rowLanes(PackedRow row) {
    const __m256i lanes = _mm256_setr_epi16(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
    const __m256i step = _mm256_set1_epi32(static_cast<int32_t>(row.step));
    return {
        _mm256_add_epi16(_mm256_set1_epi32(static_cast<int32_t>(row.uv)), _mm256_mullo_epi16(lanes, step)),
        _mm256_slli_epi16(step, 3)};
}

// Eight texels for the lanes' coordinates: bytes 1 (u's texel) and 3 (v's texel) of each lane become
// the index v × 256 + u.
__attribute__((target("avx2"), always_inline)) inline __m256i gatherTexels(const int* texels, __m256i uv) {
    const __m256i texelBytes = _mm256_setr_epi8(1, 3, -1, -1, 5, 7, -1, -1, 9, 11, -1, -1, 13, 15, -1, -1, 1,
                                                3, -1, -1, 5, 7, -1, -1, 9, 11, -1, -1, 13, 15, -1, -1);
    return _mm256_i32gather_epi32(texels, _mm256_shuffle_epi8(uv, texelBytes), 4);
}

// Steep rows drawn together, so each cache line brought in serves them all: eight rows share most of a
// line's sixteen texels (twelve or sixteen measured no faster, and hold more in the cache).
constexpr int STEEP_GROUP = 8;
// The group that still fits where fewer than eight rows remain.
constexpr int SHORT_STEEP_GROUP = 4;

// A group of steep rows, eight pixels of each in turn. The first row goes straight to the frame; the
// later ones wait in held, which is then copied behind it in one piece (the frame's rows have no gaps),
// so the frame is still written strictly in order.
template <int GROUP>
__attribute__((target("avx2"), always_inline)) inline void drawSteepGroup(
    uint32_t* __restrict destination, const int* texels, const PackedRow* packed,
    uint32_t (*__restrict held)[DISTORT_WIDTH]) {
    RowLanes rows[GROUP];
    for (int i = 0; i < GROUP; ++i) rows[i] = rowLanes(packed[i]);
    for (int x = 0; x < DISTORT_WIDTH; x += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + x), gatherTexels(texels, rows[0].uv));
        rows[0].uv = _mm256_add_epi16(rows[0].uv, rows[0].step);
        for (int i = 1; i < GROUP; ++i) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(held[i - 1] + x), gatherTexels(texels, rows[i].uv));
            rows[i].uv = _mm256_add_epi16(rows[i].uv, rows[i].step);
        }
    }
    std::memcpy(destination + DISTORT_WIDTH, held[0], (GROUP - 1) * sizeof held[0]);
}

// Rows within about 7° of the picture's horizontal, at half a texel a pixel or more, read their lines
// one after another from level 2, which the processor does not fetch ahead of gathers by itself. The
// packed step is only the step modulo 2^16: at zooms past 128 the guess may be wrong, which costs a
// wasted prefetch and never a pixel.
inline bool streamsAlong(PackedRow row) {
    const int32_t across = static_cast<int16_t>(row.step & 0xFFFFu);
    const int32_t down = static_cast<int16_t>(row.step >> 16);
    const int32_t acrossLength = across < 0 ? -across : across;
    return 8 * (down < 0 ? -down : down) < acrossLength && acrossLength >= 128;
}

// One row straight into the frame. A streaming row also asks for the line 64 pixels ahead, from its own
// running sums, which match the lanes' bits 8..15 as theirs do the baseline's.
template <bool STREAMING>
__attribute__((target("avx2"), always_inline)) inline void drawRow(uint32_t* __restrict destination,
                                                                   const int* texels, PackedRow packed) {
    constexpr uint32_t ahead = 64;
    RowLanes row = rowLanes(packed);
    uint32_t aheadU = (packed.uv & 0xFFFFu) + ahead * (packed.step & 0xFFFFu);
    uint32_t aheadV = (packed.uv >> 16) + ahead * (packed.step >> 16);
    const uint32_t stepU = 16 * (packed.step & 0xFFFFu), stepV = 16 * (packed.step >> 16);
    for (int x = 0; x < DISTORT_WIDTH; x += 16) {
        if (STREAMING) {
            _mm_prefetch(
                reinterpret_cast<const char*>(texels + ((aheadV & 0xFF00u) | ((aheadU >> 8) & 0xFFu))),
                _MM_HINT_T0);
            aheadU += stepU;
            aheadV += stepV;
        }
        const __m256i next = _mm256_add_epi16(row.uv, row.step);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + x), gatherTexels(texels, row.uv));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + x + 8), gatherTexels(texels, next));
        row.uv = _mm256_add_epi16(next, row.step);
    }
}

// The same rows sixteen pixels a step. Only bits 8..15 of each coordinate choose the texel, and those
// depend only on the coordinate modulo 2^16, so each 32-bit lane holds u and v modulo 2^16 in its two
// halves and one 16-bit add (no carry between the halves) steps both. Lane j starts at pixel j's
// coordinates, u + j × du and v + j × dv modulo 2^16, exactly as the baseline's running sums have them,
// so every texel index is the baseline's. One byte shuffle then takes bits 8..15 of v and of u as the
// index v × 256 + u. Compilers do not emit the gather for the plain loop, hence the intrinsics.
// Every row's start and step are worked out first, apart from the drawing, so that starting a row never
// waits on the twists' table look-ups, and each row's are read before the previous row's stores. Steep
// rows are drawn eight at a time (four where fewer than eight rows remain); a group copies seven of its
// rows once more, which costs less than fetching their lines again. Rows along the picture's rows ask
// for their lines ahead.
__attribute__((target("avx2"))) void drawRowsAvx2(uint32_t* __restrict destination,
                                                  const uint32_t* __restrict source, RowWalk walk) {
    static_assert(DISTORT_WIDTH % 16 == 0, "rows are drawn sixteen pixels a step");
    const int* texels = reinterpret_cast<const int*>(source);
    // One more than the rows, so the next row's can always be read ahead.
    PackedRow packed[DISTORT_HEIGHT + 1];
    bool grouped[DISTORT_HEIGHT + 1];
    for (int r = 0; r < DISTORT_HEIGHT; ++r, walk.next()) {
        packed[r] = {packCoordinates(walk.u, walk.v), packCoordinates(walk.du, walk.dv)};
        grouped[r] = groupsSteeply(walk);
    }
    packed[DISTORT_HEIGHT] = {0, 0};
    grouped[DISTORT_HEIGHT] = false;
    alignas(32) uint32_t held[STEEP_GROUP - 1][DISTORT_WIDTH];
    // The next rows' start and step are read before this row's stores: read after them, they may wait
    // on a store to the frame whose address matches theirs in the low twelve bits, which the processor
    // compares first.
    int r = 0;
    PackedRow current = packed[0];
    bool currentGrouped = grouped[0];
    while (r < DISTORT_HEIGHT) {
        const int rows = !currentGrouped                           ? 1
                         : r + STEEP_GROUP <= DISTORT_HEIGHT       ? STEEP_GROUP
                         : r + SHORT_STEEP_GROUP <= DISTORT_HEIGHT ? SHORT_STEEP_GROUP
                                                                   : 1;
        const PackedRow following = packed[r + rows];
        const bool followingGrouped = grouped[r + rows];
        if (rows == STEEP_GROUP)
            drawSteepGroup<STEEP_GROUP>(destination, texels, packed + r, held);
        else if (rows == SHORT_STEEP_GROUP)
            drawSteepGroup<SHORT_STEEP_GROUP>(destination, texels, packed + r, held);
        else if (streamsAlong(current))
            drawRow<true>(destination, texels, current);
        else
            drawRow<false>(destination, texels, current);
        destination += rows * DISTORT_WIDTH;
        r += rows;
        current = following;
        currentGrouped = followingGrouped;
    }
}
#endif

}  // namespace

int distortVariant() {
    return distortVariantInUse;
}

bool selectDistortVariant(int variant) {
    return selectCpuVariant(distortVariantInUse, variant) == 1;
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

    const uint32_t du = static_cast<uint32_t>(zoomedStep(cosineTable[theta], zoom));
    const uint32_t dv = static_cast<uint32_t>(zoomedStep(sineTable[theta], zoom));
    const uint32_t ru = static_cast<uint32_t>(zoomedStep(cosineTable[phi], zoom));
    const uint32_t rv = static_cast<uint32_t>(zoomedStep(sineTable[phi], zoom));

    // Screen pixel (160, 100) looks at texel (128.0, 128.0), the picture's centre.
    constexpr uint32_t centre = 128u << 8;
    const uint32_t rowU = centre - (DISTORT_WIDTH / 2) * du - (DISTORT_HEIGHT / 2) * ru;
    const uint32_t rowV = centre - (DISTORT_WIDTH / 2) * dv - (DISTORT_HEIGHT / 2) * rv;

    const RowWalk walk{sineTable, cosineTable, rowU,  rowV,  du,         dv,
                       ru,        rv,          theta, theta, pixelTwist, rowTwist};
#if CPU_VARIANT_AVX2_BUILT
    if (distortVariantInUse == CPU_VARIANT_AVX2) {
        drawRowsAvx2(destination, source, walk);
        return;
    }
#endif
    drawRowsBaseline(destination, source, walk);
}
