// Benchmark of one whole frame of the intro's work: effect, raster rows, sprite, 160 glyph blits, text
// and presentation to a headless console of 32 or 16 bits per pixel. The frame wait is skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "colour_ramp.h"
#include "distort.h"
#include "fade.h"
#include "frame_loop.h"
#include "platform.h"
#include "scroller.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"

namespace {

// A clock that leaps a whole frame at every read, so the loop never waits.
uint32_t leapingNow = 0;
uint32_t leapingClock() {
    leapingNow += FRAME_MS;
    return leapingNow;
}

class SilentVolume : public VolumeControl {
public:
    void setVolume(int) override {}
};

void BM_WholeFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const int mode = state.range(0) == 16 ? MODE_RGB16 : MODE_RGB32;
    _vktPTC console(INTRO_WIDTH, INTRO_HEIGHT, mode, SCREEN_FULL);
    const _vktFormat work(FORMAT_XRGB8888);
    _vktSurface surface1(&console, INTRO_WIDTH, INTRO_HEIGHT, work, SURFACE_SOFTWARE, 0);
    _vktSurface surface2(&console, INTRO_WIDTH, INTRO_HEIGHT, work, SURFACE_SOFTWARE, 0);
    _vktSurface picture(256, 256, work, SURFACE_SOFTWARE, 0);
    _vktSurface fontSheet(234, 34, work, SURFACE_SOFTWARE, 0);
    _vktSurface textSurface(180, 72, work, SURFACE_SOFTWARE, 0);
    _vktSurface sprite(134, 136, work, SURFACE_SOFTWARE, 0);
    if (!console.isOpen || !surface1.surface || !surface2.surface || !picture.surface || !fontSheet.surface ||
        !textSurface.surface || !sprite.surface) {
        state.SkipWithError("no console or surfaces");
        return;
    }
    uint32_t* texels = static_cast<uint32_t*>(picture.lock());
    for (uint32_t i = 0; i < 256 * 256; ++i) texels[i] = i * 2654435761u >> 8;
    picture.unlock();
    // Glyph cells with a background to key out, as on the real sheet.
    fontSheet.fill(0x003C3C);
    for (int y = 0; y < 34; y += 9)
        for (int x = 0; x < 234; x += 9) fontSheet.fillRect(_vktRect{x + 1, y + 1, 6, 6}, 0xFFFFFF);
    fontSheet.setColorKey(fontSheet.mapRGB(0, 60, 60), 0);
    textSurface.fill(0xFF00FF);
    textSurface.setColorKey(0xFF00FF, 0);
    sprite.fill(0xFF00FF);
    sprite.fillRect(_vktRect{20, 20, 94, 96}, 0x808080);
    sprite.setColorKey(0xFF00FF, 0);

    buildSineTables(DISTORT_AMPLITUDE);
    buildColourRamp();
    initScroller();
    introScheduler = Scheduler{};
    setClockSource(leapingClock);
    introScheduler.spriteDeadline = leapingNow + 1000000000u;
    introScheduler.modeDeadline = leapingNow + 1000000000u;

    SilentVolume music;
    FrameLoop loop(console, surface1, surface2, picture, fontSheet, textSurface, sprite, music);
    for (auto _ : state) {
        // Every frame at its heaviest: the sprite up and a full page of 160 glyphs.
        introScheduler.spriteFrames = SPRITE_SHOW_FRAMES;
        textScroller.typeDelay = 1000;
        std::memset(textScroller.pageBuffer, 'W', sizeof textScroller.pageBuffer);
        loop.runFrame();
    }
    setClockSource(nullptr);
    state.SetItemsProcessed(state.iterations() * INTRO_WIDTH * INTRO_HEIGHT);
}
BENCHMARK(BM_WholeFrame)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
