// Benchmarks of resize between the picture's 256×256 and the frame's 320×200, both ways, beside
// SDL_gfx's zoomSurface with smoothing off on the same pixels.
#include <benchmark/benchmark.h>

#include <SDL_rotozoom.h>

#include "bench_switches.h"
#include "sdlptc_surface.h"

namespace {

// The intro's picture at the source size: 256×256 as loaded, or scaled to 320×200 for the way back.
bool sourcePicture(_vktSurface& source, int width, int height) {
    IntroPictures pictures;
    loadIntroPictures(pictures);
    return pictures.loaded && source.copy(pictures.picture) && source.resize(width, height);
}

// Each iteration resizes a fresh copy of the source in place; making the copy is not timed.
void runResize(benchmark::State& state, int fromWidth, int fromHeight, int toWidth, int toHeight) {
    _vktSurface source, working;
    if (!sourcePicture(source, fromWidth, fromHeight)) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        working.copy(source);
        state.ResumeTiming();
        if (!working.resize(toWidth, toHeight)) state.SkipWithError("resize failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * toWidth * toHeight);
}

// zoomSurface makes a new surface and leaves its source alone; the result is freed in the loop, as a
// resize frees the surface it replaces.
void runZoomSurface(benchmark::State& state, int fromWidth, int fromHeight, int toWidth, int toHeight) {
    _vktSurface source;
    if (!sourcePicture(source, fromWidth, fromHeight)) {
        state.SkipWithError("no picture");
        return;
    }
    const double zoomX = static_cast<double>(toWidth) / fromWidth;
    const double zoomY = static_cast<double>(toHeight) / fromHeight;
    for (auto _ : state) {
        SDL_Surface* zoomed = zoomSurface(source.surface, zoomX, zoomY, SMOOTHING_OFF);
        if (!zoomed || zoomed->w != toWidth || zoomed->h != toHeight)
            state.SkipWithError("zoomSurface failed");
        SDL_FreeSurface(zoomed);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * toWidth * toHeight);
}

void BM_Resize_Up(benchmark::State& state) {
    runResize(state, 256, 256, 320, 200);
}
BENCHMARK(BM_Resize_Up);

void BM_ZoomSurface_Up(benchmark::State& state) {
    runZoomSurface(state, 256, 256, 320, 200);
}
BENCHMARK(BM_ZoomSurface_Up);

void BM_Resize_Down(benchmark::State& state) {
    runResize(state, 320, 200, 256, 256);
}
BENCHMARK(BM_Resize_Down);

void BM_ZoomSurface_Down(benchmark::State& state) {
    runZoomSurface(state, 320, 200, 256, 256);
}
BENCHMARK(BM_ZoomSurface_Down);

}  // namespace
