// Benchmarks of the picture distortion effect: one 320×200 frame per iteration, for each mode.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "distort.h"
#include "frame_loop.h"

namespace {

void BM_DistortPicture(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    DistortEffect effect;
    effect.buildSineTables(DISTORT_AMPLITUDE);
    std::vector<uint32_t> texture(DISTORT_TEXTURE_SIZE * DISTORT_TEXTURE_SIZE);
    for (uint32_t i = 0; i < texture.size(); ++i) texture[i] = i * 2654435761u;
    std::vector<uint32_t> frame(DISTORT_WIDTH * DISTORT_HEIGHT);
    // Mode 0 as the intro shows it, zoomed and spinning; the twisting modes as pinned by the scheduler.
    const float zoom = mode == 0 ? 4.5f : 1.0f;
    const int32_t angleStep = mode == 0 ? -14 : 6;
    for (auto _ : state) {
        effect.distortPicture(frame.data(), texture.data(), angleStep, zoom, modeTable[mode].pixelTwist,
                              modeTable[mode].rowTwist);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * DISTORT_WIDTH * DISTORT_HEIGHT);
}
BENCHMARK(BM_DistortPicture)->DenseRange(0, EFFECT_MODES - 1);

}  // namespace
