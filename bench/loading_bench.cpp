// Benchmarks of loading the intro's three pictures from the resource store, beside SDL_image's
// IMG_Load_RW on the same bytes. Both decode through libpng into an 8-bit paletted surface.
#include <benchmark/benchmark.h>

#include <SDL_image.h>

#include "resources.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

namespace {

void BM_LoadImageResource(benchmark::State& state, const char* name) {
    for (auto _ : state) {
        _vktSurface surface;
        if (!loadImageResource(surface, name, SURFACE_SOFTWARE, 0)) state.SkipWithError("no picture");
        benchmark::DoNotOptimize(surface.surface);
    }
}
BENCHMARK_CAPTURE(BM_LoadImageResource, pic1, "data\\pic1_256x256.png");
BENCHMARK_CAPTURE(BM_LoadImageResource, fonts, "data\\fonts.png");
BENCHMARK_CAPTURE(BM_LoadImageResource, vozuz, "data\\vozuz.png");

void BM_IMG_Load_RW(benchmark::State& state, const char* name) {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!findResource(RESOURCE_TYPE, name, &bytes, &size)) {
        state.SkipWithError("no resource");
        return;
    }
    IMG_Init(IMG_INIT_PNG);  // loads the decoder once, outside the loop
    for (auto _ : state) {
        SDL_Surface* surface = IMG_Load_RW(SDL_RWFromConstMem(bytes, static_cast<int>(size)), 1);
        if (!surface) state.SkipWithError("IMG_Load_RW failed");
        benchmark::DoNotOptimize(surface);
        SDL_FreeSurface(surface);
    }
}
BENCHMARK_CAPTURE(BM_IMG_Load_RW, pic1, "data\\pic1_256x256.png");
BENCHMARK_CAPTURE(BM_IMG_Load_RW, fonts, "data\\fonts.png");
BENCHMARK_CAPTURE(BM_IMG_Load_RW, vozuz, "data\\vozuz.png");

}  // namespace
