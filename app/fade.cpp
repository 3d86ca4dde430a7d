// fade.cpp: the grey flash.
#include "fade.h"

#include <utility>

#include "bassmod_player.h"
#include "platform.h"
#include "present.h"
#include "quit_request.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"

void PlayerVolume::setVolume(int percent) {
    player.setVolume(percent);  // result ignored: a fade goes on whatever the music does
}

int FadeGreys::next() {
    counter += FADE_STEP;
    if (counter <= 255) return counter;
    level -= FADE_STEP;
    return level < 0 ? -1 : level;
}

int fade(const Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
         VolumeControl& music, int direction) {
    _vktSurface* shown = &first;
    _vktSurface* next = &second;
    FadeGreys greys;
    int volume = 100;
    for (;;) {
        if (isQuitKey(readIntroKey(console))) return 0;
        const uint32_t deadline = platform.clockMs() + FADE_FRAME_MS;
        if (direction == FADE_OUT) {
            music.setVolume(volume < 0 ? 0 : volume);
            volume -= FADE_VOLUME_STEP;
        }
        const int grey = greys.next();
        if (grey < 0) return 1;
        shown->fill(static_cast<uint32_t>(grey) * 0x010101u);
        presentWorkSurface(platform, *shown);
        std::swap(shown, next);
        waitUntil(platform.clock, deadline);
    }
}

int fade(const Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
         _vktBassModPlayer& player, int direction) {
    PlayerVolume music(player);
    return fade(platform, console, first, second, music, direction);
}
