// Benchmark of the raster rows on a 320×200 work surface.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "colour_ramp.h"
#include "sdlptc_format.h"
#include "sdlptc_surface.h"

namespace {

void BM_DrawRasterRows(benchmark::State& state) {
    ColourRamp ramp;
    ramp.build();
    _vktSurface surface(320, 200, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0);
    if (!surface.surface) {
        state.SkipWithError("no surface");
        return;
    }
    for (auto _ : state) {
        ramp.drawRasterRows(surface);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * 320);
}
BENCHMARK(BM_DrawRasterRows);

}  // namespace
