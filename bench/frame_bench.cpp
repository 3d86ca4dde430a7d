// Benchmark of one whole frame of the intro's work as the loop does it: effect, raster rows, sprite, a
// full page of 160 glyph blits, the text surface and the copy to a headless console of 32 or 16 bits
// per pixel, with and without the final screen update. The frame wait is skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bassmod.h"
#include "bassmod_player.h"
#include "bench_switches.h"
#include "fade.h"
#include "frame_loop.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"
#include "timing.h"

namespace {

// A clock that leaps a whole frame at every read: every frame is due at once.
uint32_t leapingNow = 0;
uint32_t leapingClock() {
    leapingNow += FRAME_MS;
    return leapingNow;
}

class SilentVolume : public VolumeControl {
public:
    void setVolume(int) override {}
};

void runFrames(benchmark::State& state, bool update) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const int mode = state.range(0) == 16 ? MODE_RGB16 : MODE_RGB32;
    _vktPTC console(INTRO_WIDTH, INTRO_HEIGHT, mode, SCREEN_FULL);
    const _vktFormat work(FORMAT_XRGB8888);
    _vktSurface surface1(&console, INTRO_WIDTH, INTRO_HEIGHT, work, SURFACE_SOFTWARE, 0);
    _vktSurface surface2(&console, INTRO_WIDTH, INTRO_HEIGHT, work, SURFACE_SOFTWARE, 0);
    IntroPictures pictures;
    loadIntroPictures(pictures);
    _vktSurface textSurface(180, 72, work, SURFACE_SOFTWARE, 0);
    if (!console.isOpen || !surface1.surface || !surface2.surface || !pictures.loaded ||
        !textSurface.surface) {
        state.SkipWithError("no console, surfaces or pictures");
        return;
    }
    textSurface.fill(SCROLL_CLEAR);
    textSurface.setColorKey(SCROLL_CLEAR, 0);

    Platform platform{.clock = Clock{leapingClock}};
    SilentVolume music;
    FrameLoop loop(platform, console, surface1, surface2, pictures.picture, pictures.fontSheet, textSurface,
                   pictures.sprite, music);
    loop.scheduler().effectMode = static_cast<int32_t>(state.range(1));
    loop.scheduler().spriteDeadline = leapingNow + 1000000000u;
    loop.scheduler().modeDeadline = leapingNow + 1000000000u;
    skipScreenUpdates = !update;
    for (auto _ : state) {
        // Every frame at its heaviest: the sprite up and a full page of 160 glyphs.
        loop.scheduler().spriteFrames = SPRITE_SHOW_FRAMES;
        loop.scroller().typeDelay = 1000;
        std::memset(loop.scroller().pageBuffer, 'W', sizeof loop.scroller().pageBuffer);
        loop.advance();
    }
    skipScreenUpdates = false;
    state.SetItemsProcessed(state.iterations() * INTRO_WIDTH * INTRO_HEIGHT);
}

void BM_WholeFrame(benchmark::State& state) {
    runFrames(state, true);
}
// Arguments: the screen's bits per pixel, and the effect mode (0 swings zoom and turn; 3 twists, pinned).
BENCHMARK(BM_WholeFrame)->ArgsProduct({{32, 16}, {0, 3}})->Unit(benchmark::kMicrosecond);

void BM_WholeFrame_NoUpdate(benchmark::State& state) {
    runFrames(state, false);
}
BENCHMARK(BM_WholeFrame_NoUpdate)->ArgsProduct({{32, 16}, {0, 3}})->Unit(benchmark::kMicrosecond);

// The rest of the running program's floor: one frame's music (FRAME_SAMPLES stereo samples), rendered as
// SDL's audio thread does, without a device.
void BM_MusicFrame(benchmark::State& state) {
    _vktBassModPlayer player(BASSMOD_DEVICE_NONE);
    player.setVolume(100);  // as the intro plays it
    if (!player.status || !player.loadResource("data\\ruvadodad.mod") || !player.play()) {
        state.SkipWithError("no player or module");
        return;
    }
    std::vector<int16_t> audio(2 * FRAME_SAMPLES);
    for (auto _ : state) {
        BASSMOD_Render(audio.data(), FRAME_SAMPLES);
        benchmark::DoNotOptimize(audio.data());
    }
    player.shutdown();
}
BENCHMARK(BM_MusicFrame)->Unit(benchmark::kMicrosecond);

// The other half of the frame's floor: the work surface's 256,000 bytes copied once.
void BM_Memcpy256000(benchmark::State& state) {
    std::vector<uint8_t> from(256000, 1), to(256000);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 256000);
}
BENCHMARK(BM_Memcpy256000);

}  // namespace
