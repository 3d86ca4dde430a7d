// main.cpp (web): the intro's entry in the browser page. The page calls main once the user has clicked
// (or pressed a key), so that the sound may start. The frame wait sleeps through emscripten_sleep, which
// hands the browser back its thread (events, painting, audio) between frames.
//
// With the arguments "--test LOOPFRAMES [KEYFRAME...]" the page runs the intro as dovoz1-capture does,
// for web-test: the clock moves 40 ms per presented frame, the seed is 1, the music is rendered per
// frame instead of played, and each frame's pixels and music go to the page. After loop frame KEYFRAME
// (1 or more) and LOOPFRAMES the run waits for a real key from the browser, which the intro then reads
// at its next frame, where the capture's --keys puts it.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bassmod.h"
#include "frame_loop.h"
#include "intro.h"
#include "platform.h"
#include "sdlptc_surface.h"

// This file speaks SDL2 itself; the display library's SDL 1.2 names are not for it.
#undef SDL_Event
#undef SDL_KEYDOWN

namespace {

constexpr int AUDIO_FRAMES = 44100 * FRAME_MS / 1000;  // music per presented frame, stereo frames
constexpr int KEY_POLL_MS = 10;
// How long before a deadline the sleep ends: a page's timers fire some milliseconds late (browsers hold
// back timers set from timers by up to 4 ms), and the wait reads the clock for the rest.
constexpr double SLEEP_LEAD_MS = 8.0;

uint32_t pageClock() {
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

void pageSleep(uint32_t deadline) {
    const double ahead = static_cast<double>(static_cast<int32_t>(deadline - pageClock())) - SLEEP_LEAD_MS;
    // A zero sleep still yields, so the page stays alive even when frames run late.
    emscripten_sleep(ahead > 0 ? static_cast<unsigned>(ahead) : 0);
}

// The test run's state: the virtual clock and the frames at which it waits for a key.
struct TestRun {
    uint32_t now = 0;
    bool inLoop = false;
    int32_t loopFrame = 0;           // loop frames presented
    std::vector<int32_t> keyFrames;  // ascending, the last one the quit
    size_t nextKey = 0;
    std::vector<int16_t> audio = std::vector<int16_t>(2 * AUDIO_FRAMES);
};

TestRun test;

uint32_t testClock() {
    return test.now;
}

// Blocks (yielding to the page) until a key-down waits in SDL's queue, left there for the intro.
void waitForKey(int32_t frame) {
    EM_ASM({ Module.testWaitingAt = $0; }, frame);
    SDL_Event event;
    for (;;) {
        SDL_PumpEvents();
        if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN) > 0) break;
        emscripten_sleep(KEY_POLL_MS);
    }
    EM_ASM({ Module.testWaitingAt = -1; });
}

// Each presented frame and its 40 ms of music go to the page.
void testFrame(const _vktSurface& presented) {
    const SDL_Surface* surface = presented.surface;
    EM_ASM({ Module.testFrame(HEAPU8.subarray($0, $0 + $1 * $2), $1, $2, $3); }, surface->pixels,
           surface->pitch, surface->h, surface->w);
    BASSMOD_Render(test.audio.data(), AUDIO_FRAMES);
    EM_ASM({ Module.testAudio(HEAP16.subarray($0 >> 1, ($0 >> 1) + $1)); }, test.audio.data(),
           static_cast<int>(test.audio.size()));
    if (test.inLoop) ++test.loopFrame;
}

// Every presented frame is followed by its wait, which moves the clock to the deadline, 40 ms on, as
// the capture's clock moves per frame. Sleeping happens only here, in the clock's own seam: the frame
// waits for its key and yields once, so the page shows the run's progress.
void testSleep(uint32_t deadline) {
    test.now = deadline;
    if (test.inLoop && test.nextKey < test.keyFrames.size() && test.keyFrames[test.nextKey] <= test.loopFrame)
        waitForKey(test.keyFrames[test.nextKey++]);
    emscripten_sleep(0);
}

void testLoopStarting() {
    test.inLoop = true;
    test.loopFrame = 0;
}

}  // namespace

int main(int argc, char** argv) {
    // SDL2 would also yield at every window update. The frame wait yields already, and sleeping only
    // there keeps ASYNCIFY's instrumentation to the functions web/CMakeLists.txt names. Set in the
    // environment, as SDL_Quit clears the hints the console's start-up would set.
    setenv("SDL_EMSCRIPTEN_ASYNCIFY", "0", 1);
    IntroSettings settings;
    Platform platform;
    if (argc >= 3 && std::strcmp(argv[1], "--test") == 0) {
        for (int i = 3; i < argc; ++i) test.keyFrames.push_back(std::atoi(argv[i]));
        test.keyFrames.push_back(std::atoi(argv[2]));
        std::sort(test.keyFrames.begin(), test.keyFrames.end());
        platform.clock = Clock{testClock, testSleep};
        platform.frameObserver = testFrame;
        settings.musicDevice = BASSMOD_DEVICE_NONE;
        settings.fixedSeed = true;
        settings.seed = 1;
        settings.beforeFrameLoop = testLoopStarting;
    } else {
        platform.clock = Clock{pageClock, pageSleep};
    }
    const int status = runIntro(settings, platform);
    EM_ASM({ Module.introEnded($0); }, status);
    return status;
}
