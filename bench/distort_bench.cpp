// Benchmarks of the picture distortion effect: one 320×200 frame per iteration, for each mode and the
// zoom extremes, beside the gather floor, a naive floating-point rotozoomer and SDL_gfx's rotozoomSurface.
#include <benchmark/benchmark.h>

#include <SDL_rotozoom.h>

#include <cstdint>
#include <vector>

#include "bench_switches.h"
#include "distort.h"
#include "frame_loop.h"

namespace {

constexpr int FRAME_PIXELS = DISTORT_WIDTH * DISTORT_HEIGHT;
// The peers are compared at a zoom whose rotated picture covers the whole frame at every angle:
// SDL_gfx's factor 1.6 is 0.625 texels per screen pixel here.
constexpr float PEER_ZOOM = 0.625f;
constexpr int PEER_ANGLE_STEP = 6;  // table units per frame, as the twisting modes turn

// The intro's picture as the effect reads it: 256×256 pixels of FORMAT_XRGB8888, rows without gaps.
std::vector<uint32_t> introTexture() {
    IntroPictures pictures;
    loadIntroPictures(pictures);
    std::vector<uint32_t> texture(DISTORT_TEXTURE_SIZE * DISTORT_TEXTURE_SIZE);
    if (pictures.loaded) {
        const auto* texels = static_cast<const uint32_t*>(pictures.picture.lock());
        texture.assign(texels, texels + texture.size());
        pictures.picture.unlock();
    }
    return texture;
}

void runEffect(benchmark::State& state, int32_t angleStep, float zoom, int32_t pixelTwist, int32_t rowTwist) {
    DistortEffect effect;
    effect.buildSineTables(DISTORT_AMPLITUDE);
    const std::vector<uint32_t> texture = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    for (auto _ : state) {
        effect.distortPicture(frame.data(), texture.data(), angleStep, zoom, pixelTwist, rowTwist);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
    state.SetLabel(distortVariant() == CPU_VARIANT_AVX2 ? "avx2" : "baseline");
}

// Mode 0 as the intro shows it: zoom and turn swing as the scheduler drives them, one frame a step
// (zoom 0.02 to 10, angle steps −16 to 18). The twisting modes as the scheduler pins them.
void BM_DistortPicture(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    DistortEffect effect;
    effect.buildSineTables(DISTORT_AMPLITUDE);
    const std::vector<uint32_t> texture = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    Scheduler scheduler;
    scheduler.effectMode = mode;
    for (auto _ : state) {
        const EffectParameters p = stepMotion(scheduler);
        effect.distortPicture(frame.data(), texture.data(), p.angleStep, p.zoom, p.pixelTwist, p.rowTwist);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
    state.SetLabel(distortVariant() == CPU_VARIANT_AVX2 ? "avx2" : "baseline");
}
BENCHMARK(BM_DistortPicture)->DenseRange(0, EFFECT_MODES - 1);

// The ends of mode 0's swing: magnified fifty-fold, and shrunk tenfold with the picture tiled.
void BM_DistortPicture_Zoom(benchmark::State& state, float zoom) {
    runEffect(state, -14, zoom, 0, 0);
}
BENCHMARK_CAPTURE(BM_DistortPicture_Zoom, 0.02, 0.02f);
BENCHMARK_CAPTURE(BM_DistortPicture_Zoom, 10.05, 10.05f);

// Plain rotations held at one angle: along the rows, diagonally, and straight down the picture.
void BM_DistortPicture_Angle(benchmark::State& state) {
    DistortEffect effect;
    effect.buildSineTables(DISTORT_AMPLITUDE);
    effect.effectAngle = static_cast<int32_t>(state.range(0));
    const std::vector<uint32_t> texture = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    for (auto _ : state) {
        effect.distortPicture(frame.data(), texture.data(), 0, 1.0f, 0, 0);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
}
BENCHMARK(BM_DistortPicture_Angle)->Arg(0)->Arg(128)->Arg(200)->Arg(256);

// The effect at the peers' zoom and turn, for the ratios against them.
void BM_DistortPicture_Peer(benchmark::State& state) {
    runEffect(state, PEER_ANGLE_STEP, PEER_ZOOM, 0, 0);
}
BENCHMARK(BM_DistortPicture_Peer);

void runGatherFloor(benchmark::State& state, uint32_t stride, int kernel) {
    const std::vector<uint32_t> table = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    uint32_t start = 0;
    for (auto _ : state) {
        gatherFloor(frame.data(), table.data(), start++, stride, kernel);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
    state.SetLabel(kernel == CPU_VARIANT_AVX2 ? "avx2" : "baseline");
}

// The floor in the instruction set the effect runs in here: the machine's limit for this loop.
void BM_GatherFloor(benchmark::State& state) {
    runGatherFloor(state, 257, bestCpuVariant());
}
BENCHMARK(BM_GatherFloor);

// Straight down a column: every load a new cache line, all in a few cache sets, as in rows that run
// near the picture's vertical.
void BM_GatherFloor_Column(benchmark::State& state) {
    runGatherFloor(state, 256, bestCpuVariant());
}
BENCHMARK(BM_GatherFloor_Column);

// The same loop one load at a time, as a plain compiled loop does it without a gather instruction.
void BM_GatherFloor_Plain(benchmark::State& state) {
    runGatherFloor(state, 257, CPU_VARIANT_BASELINE);
}
BENCHMARK(BM_GatherFloor_Plain);

// The effect with the plain kernel, beside the plain floor.
void BM_DistortPicture_Plain(benchmark::State& state) {
    DistortEffect effect;
    effect.buildSineTables(DISTORT_AMPLITUDE);
    selectDistortVariant(CPU_VARIANT_BASELINE);
    const std::vector<uint32_t> texture = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    for (auto _ : state) {
        effect.distortPicture(frame.data(), texture.data(), 2 * PINNED_SPIN, 1.0f, 1, 1);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
    selectDistortVariant(bestCpuVariant());  // the benchmarks after this one run the fastest again
}
BENCHMARK(BM_DistortPicture_Plain);

void BM_NaiveFloatRotozoom(benchmark::State& state) {
    const std::vector<uint32_t> texture = introTexture();
    std::vector<uint32_t> frame(FRAME_PIXELS);
    int angle = 0;
    for (auto _ : state) {
        angle = (angle + PEER_ANGLE_STEP) & 1023;
        naiveFloatRotozoom(frame.data(), texture.data(), angle, PEER_ZOOM);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
}
BENCHMARK(BM_NaiveFloatRotozoom);

// SDL_gfx turns and scales the picture into a new surface, which a blit then copies centred into the
// frame; it cannot tile, so it is given a zoom at which the picture covers the frame.
void BM_RotozoomSurfaceBlit(benchmark::State& state) {
    IntroPictures pictures;
    loadIntroPictures(pictures);
    _vktSurface frame(DISTORT_WIDTH, DISTORT_HEIGHT, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    if (!pictures.loaded || !frame.surface) {
        state.SkipWithError("no pictures");
        return;
    }
    int angle = 0;
    for (auto _ : state) {
        angle = (angle + PEER_ANGLE_STEP) & 1023;
        SDL_Surface* turned = rotozoomSurface(pictures.picture.surface, angle * (360.0 / 1024.0),
                                              1.0 / PEER_ZOOM, SMOOTHING_OFF);
        SDL_Rect from = {static_cast<Sint16>((turned->w - DISTORT_WIDTH) / 2),
                         static_cast<Sint16>((turned->h - DISTORT_HEIGHT) / 2), DISTORT_WIDTH,
                         DISTORT_HEIGHT};
        SDL_Rect to = {0, 0, DISTORT_WIDTH, DISTORT_HEIGHT};
        SDL_BlitSurface(turned, &from, frame.surface, &to);
        SDL_FreeSurface(turned);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
}
BENCHMARK(BM_RotozoomSurfaceBlit);

}  // namespace
