// Tests of the intro's whole run inside the test process, on a virtual clock and a fixed seed.
#include "intro.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "bassmod.h"
#include "sdl_fixture.h"
#include "sdlptc_surface.h"

namespace {

constexpr int AUDIO_FRAMES = 1764;  // stereo frames of music per picture frame
constexpr int FADE_FRAMES = 62;
constexpr int LOOP_FRAMES = 20;  // Escape is read by the loop frame after these

size_t hashBytes(const void* bytes, size_t size) {
    return std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(bytes), size));
}

void pushKey(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

// The keys read by a loop frame: b at the first (the sprite takes random places), space at the fifth.
void pushKeysOf(int loopFrame) {
    if (loopFrame == 0) pushKey(SDLK_b);
    if (loopFrame == 5) pushKey(SDLK_SPACE);
    if (loopFrame == LOOP_FRAMES) pushKey(SDLK_ESCAPE);
}

// Every presented picture and the music played with it, as hashes in presentation order.
struct RunRecord {
    std::vector<size_t> pictures;
    std::vector<size_t> music;
};

// One run with the music on no device, taken out frame by frame as the capture does, on a clock that
// moves on 40 ms with each presented frame.
RunRecord recordRun() {
    RunRecord run;
    uint32_t now = 0;
    int loopFrame = -1;  // the next loop frame to read keys; -1 before the loop
    std::vector<int16_t> audio(2 * AUDIO_FRAMES);
    Platform platform;
    platform.clock = Clock{[&now] { return now; }};
    platform.frameObserver = [&](const _vktSurface& shown) {
        const std::vector<uint8_t> pixels = pixelBytes(shown.surface);
        run.pictures.push_back(hashBytes(pixels.data(), pixels.size()));
        BASSMOD_Render(audio.data(), AUDIO_FRAMES);
        run.music.push_back(hashBytes(audio.data(), audio.size() * sizeof audio[0]));
        now += 40;
        if (loopFrame >= 0) pushKeysOf(++loopFrame);
    };
    IntroSettings settings;
    settings.musicDevice = BASSMOD_DEVICE_NONE;
    settings.fixedSeed = true;
    settings.seed = 5;
    settings.beforeFrameLoop = [&loopFrame] {
        loopFrame = 0;
        pushKeysOf(0);
    };
    EXPECT_EQ(runIntro(settings, platform), 0);
    return run;
}

// Nothing of the first run carries over: the effect's angle, the zoom and spin, the ramp's position, the
// page being typed and the sprite all start again from their start values.
TEST(IntroRunTest, ASecondRunInOneProcessShowsAndPlaysWhatTheFirstDid) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const RunRecord first = recordRun();
    const RunRecord second = recordRun();
    ASSERT_EQ(first.pictures.size(), static_cast<size_t>(FADE_FRAMES + LOOP_FRAMES + FADE_FRAMES));
    ASSERT_EQ(second.pictures.size(), first.pictures.size());
    for (size_t i = 0; i < first.pictures.size(); ++i) {
        ASSERT_EQ(second.pictures[i], first.pictures[i]) << "frame " << i;
        ASSERT_EQ(second.music[i], first.music[i]) << "music of frame " << i;
    }
}

}  // namespace
