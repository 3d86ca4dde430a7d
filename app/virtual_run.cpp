// virtual_run.cpp: the intro on a virtual clock.
#include "virtual_run.h"

#include <SDL.h>

#include <utility>

#include "bassmod.h"
#include "present.h"

namespace {

void pushKey(int32_t key) {
    SDL_Event event{};
    if (key == SCRIPT_KEY_CLOSE) {
        event.type = SDL_QUIT;
    } else {
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = static_cast<SDLKey>(key);
    }
    SDL_PushEvent(&event);
}

IntroSettings virtualSettings(uint32_t seed, std::function<void()> loopStarting) {
    IntroSettings settings;
    settings.musicDevice = BASSMOD_DEVICE_NONE;
    settings.fixedSeed = true;
    settings.seed = seed;
    settings.beforeFrameLoop = std::move(loopStarting);
    return settings;
}

}  // namespace

bool scriptKeyQuits(int32_t key) {
    return key == SCRIPT_KEY_CLOSE || isQuitKey(key);
}

VirtualRun::VirtualRun(const RunScript& script, FrameSink sink)
    : script(script),
      sink(std::move(sink)),
      intro(virtualSettings(script.seed, [this] { loopStarting(); }),
            Platform{.clock = Clock{[this] { return now; }},
                     .frameObserver = [this](const _vktSurface& shown) { presented(shown); }}) {}

bool VirtualRun::start() {
    return intro.start();
}

bool VirtualRun::advance() {
    if (!intro.advance()) return false;
    now = intro.nextFrameDue();
    if (phase == Phase::Loop) ++loopFrame;
    queueKeys();
    return true;
}

bool VirtualRun::stop() {
    if (phase == Phase::Closing || stopping) return false;
    stopping = true;
    queueKeys();
    return true;
}

void VirtualRun::presented(const _vktSurface& shown) {
    BASSMOD_Render(music.data(), FRAME_SAMPLES);
    if (sink) sink(shown, music.data());
}

// Right before the loop's first frame: the opening fade's last pass has read its keys already.
void VirtualRun::loopStarting() {
    phase = Phase::Loop;
    loopFrame = 0;
    queueKeys();
}

void VirtualRun::queueKeys() {
    if (phase == Phase::Closing) return;
    if (phase == Phase::Opening) {
        if (stopping) {
            pushKey(KEY_ESCAPE);
            phase = Phase::Closing;
        }
        return;
    }
    int32_t last = 0;
    bool pushed = false;
    while (nextKey < script.keys.size() && script.keys[nextKey].frame <= loopFrame) {
        last = script.keys[nextKey++].key;
        pushKey(last);
        pushed = true;
    }
    if (loopFrame >= script.loopFrames || stopping) {
        last = KEY_ESCAPE;
        pushKey(last);
        pushed = true;
    }
    // Of several keys in one frame the intro acts on the last.
    if (pushed && scriptKeyQuits(last)) phase = Phase::Closing;
}
