// fade.cpp: the grey flash.
#include "fade.h"

#include <utility>

#include "bassmod_player.h"
#include "platform.h"
#include "present.h"
#include "quit_request.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"
#include "timing.h"

void PlayerVolume::setVolume(int percent) {
    player.setVolume(percent);  // result ignored: a fade goes on whatever the music does
}

Fade::Fade(_vktPTC& console, _vktSurface& first, _vktSurface& second, VolumeControl& music, int direction)
    : console(console), shown(&first), next(&second), music(music), direction(direction) {}

FadePass Fade::pass(const Platform& platform) {
    if (isQuitKey(readIntroKey(console))) return FadePass::Cut;
    due = platform.clockMs() + FRAME_MS;
    if (direction == FADE_OUT) {
        music.setVolume(volume < 0 ? 0 : volume);
        volume -= FADE_VOLUME_STEP;
    }
    const int grey = greys.next();
    if (grey < 0) return FadePass::Finished;
    shown->fill(static_cast<uint32_t>(grey) * 0x010101u);
    presentWorkSurface(platform, *shown);
    std::swap(shown, next);
    return FadePass::Presented;
}
