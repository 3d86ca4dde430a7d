// main.cpp (web): the intro's entry in the browser page. The page calls main once the user has clicked
// (or pressed a key), so that the sound may start. main runs the start-up and hands the frames to the
// browser's animation frames; it returns to the page at once.
//
// With the arguments "--test SECONDS SEED KEYS" the page runs the intro's virtual run as
// `dovoz1-capture DIR --seconds SECONDS --seed SEED --keys KEYS` does, for web-test: every presented
// frame's pixels and music go to the page.
#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture_options.h"
#include "frame_loop.h"
#include "intro.h"
#include "platform.h"
#include "sdlptc_surface.h"
#include "timing.h"
#include "virtual_run.h"

namespace {

// The intro's clock in the page: the time of the animation frame being handled, in milliseconds.
uint32_t frameTime = 0;

uint32_t pageClock() {
    return frameTime;
}

// Whether the frame due at due is to be handled at this animation frame; it then sets the intro's clock
// to the frame's time on the grid.
bool frameDue(uint32_t due, bool first) {
    const uint32_t now = static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
    if (first) {
        frameTime = now;
        return true;
    }
    if (!clockReached(now, due)) return false;
    frameTime = gridFrameTime(now, due);
    return true;
}

void ended(int status) {
    emscripten_cancel_main_loop();
    EM_ASM({ Module.introEnded($0); }, status);
}

// The s key writes the screenshot into the page's memory, where nobody sees it: the page offers it as a
// download instead, and the file goes.
void offerScreenshot() {
    FILE* file = std::fopen(SCREENSHOT_FILE, "rb");
    if (!file) return;
    std::vector<unsigned char> bytes;
    unsigned char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    std::remove(SCREENSHOT_FILE);
    EM_ASM(
        {
            if (Module.screenshotTaken) Module.screenshotTaken(HEAPU8.slice($0, $0 + $1));
        },
        bytes.data(), bytes.size());
}

struct UserRun {
    Intro intro;
    bool first = true;
};

void userFrame(void* state) {
    UserRun& run = *static_cast<UserRun*>(state);
    if (!frameDue(run.intro.nextFrameDue(), run.first)) return;
    run.first = false;
    if (run.intro.advance()) {
        offerScreenshot();
        return;
    }
    if (run.intro.failed()) return ended(1);
    run.intro.finish();
    ended(0);
}

// Each presented frame and its music go to the page.
void sendFrame(const _vktSurface& shown, const int16_t* music) {
    const SDL_Surface* surface = shown.surface;
    EM_ASM({ Module.testFrame(HEAPU8.subarray($0, $0 + $1 * $2), $1, $2, $3); }, surface->pixels,
           surface->pitch, surface->h, surface->w);
    EM_ASM({ Module.testAudio(HEAP16.subarray($0 >> 1, ($0 >> 1) + $1)); }, music, 2 * FRAME_SAMPLES);
}

// The test run needs no pacing: as many frames per animation frame as fit in a few milliseconds, so the
// page stays responsive and shows the run's progress.
constexpr double TEST_SLICE_MS = 8.0;

void testFrames(void* state) {
    VirtualRun& run = *static_cast<VirtualRun*>(state);
    const double start = emscripten_get_now();
    do {
        if (!run.advance()) {
            if (run.failed()) return ended(1);
            run.finish();
            return ended(0);
        }
    } while (emscripten_get_now() - start < TEST_SLICE_MS);
}

// The test run's script from the capture's own options; false with the reason on standard error.
bool testScript(const char* seconds, const char* seed, const char* keys, RunScript& script) {
    // The page writes no files: the capture's directory is only a name here.
    std::vector<std::string> words = {"page", "--seconds", seconds, "--seed", seed};
    if (*keys != '\0') words.insert(words.end(), {"--keys", keys});
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    script = RunScript{options.seed, options.loopFrames, options.keys};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Both runs outlive main, which the main loop leaves at once.
    if (argc == 5 && std::strcmp(argv[1], "--test") == 0) {
        RunScript script;
        if (!testScript(argv[2], argv[3], argv[4], script)) {
            EM_ASM({ Module.introEnded(2); });
            return 2;
        }
        auto* run = new VirtualRun(script, sendFrame);
        if (!run->start()) {
            EM_ASM({ Module.introEnded(1); });
            return 1;
        }
        emscripten_set_main_loop_arg(testFrames, run, 0, true);
        return 0;
    }
    auto* run = new UserRun{Intro(IntroSettings{}, Platform{.clock = Clock{pageClock}})};
    if (!run->intro.start()) {
        EM_ASM({ Module.introEnded(1); });
        return 1;
    }
    emscripten_set_main_loop_arg(userFrame, run, 0, true);
    return 0;
}
