// capture.cpp: the intro's own run with its clock, random seed, frame observer and music output
// pointed at the capture.
#include "capture.h"

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "bassmod.h"
#include "frame_png.h"
#include "intro.h"
#include "platform.h"
#include "present.h"
#include "sdlptc_surface.h"
#include "wav_writer.h"

namespace {

constexpr double PROGRESS_TTY_SECONDS = 0.5;  // between progress lines on a terminal
constexpr double PROGRESS_LOG_SECONDS = 5.0;  // between progress lines into a file or pipe

bool readsAsQuit(int32_t key) {
    return key == CAPTURE_KEY_CLOSE || isQuitKey(key);
}

void pushKey(int32_t key) {
    SDL_Event event{};
    if (key == CAPTURE_KEY_CLOSE) {
        event.type = SDL_QUIT;
    } else {
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = static_cast<SDLKey>(key);
    }
    SDL_PushEvent(&event);
}

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) {
    stopSignal = signal;
}

// Where the intro stands, as far as the keys are concerned.
enum class Phase {
    Opening,  // the opening fade: scripted keys wait
    Loop,     // loopFrame is the next frame to read keys
    Closing,  // a quit key is on its way or read: nothing more is pushed
};

class Session {
public:
    Session(const CaptureOptions& options, const std::string& directory)
        : options(options), directory(directory), audio(2 * CAPTURE_AUDIO_FRAMES) {
        result.expectedFrames = expectedFrames(options);
        started = std::chrono::steady_clock::now();
        lastReport = started;
        showProgress = result.expectedFrames > CAPTURE_PROGRESS_FRAMES;
        onTerminal = isatty(STDERR_FILENO) == 1;
    }

    // After every presentation: the picture and its 40 ms of music go out, the clock moves on to the
    // next frame's start, so the intro's wait ends at once, and the next frame's keys are queued.
    void presented(const _vktSurface& surface) {
        if (!result.failed) {
            std::string error;
            if (!writeFramePng(framePath(directory, result.frames), surface.surface, error)) {
                fail(error);
            } else {
                BASSMOD_Render(audio.data(), CAPTURE_AUDIO_FRAMES);
                if (!wav.append(audio.data(), CAPTURE_AUDIO_FRAMES, error)) fail(error);
            }
            if (!result.failed) ++result.frames;
        }
        now += CAPTURE_FRAME_MS;
        if (phase == Phase::Loop) ++loopFrame;
        reportProgress(false);
        queueKeys();
    }

    // Right before the loop's first frame: the fade's last pass has read its keys already.
    void loopStarting() {
        phase = Phase::Loop;
        loopFrame = 0;
        queueKeys();
    }

    void queueKeys() {
        if (phase == Phase::Closing) return;
        const bool stop = stopSignal != 0 || result.failed;
        if (stop && !result.failed) result.interrupted = true;
        if (phase == Phase::Opening) {
            if (stop) {
                pushKey(SDLK_ESCAPE);
                phase = Phase::Closing;
            }
            return;
        }
        int32_t last = 0;
        bool pushed = false;
        while (nextKey < options.keys.size() && options.keys[nextKey].frame <= loopFrame) {
            last = options.keys[nextKey++].key;
            pushKey(last);
            pushed = true;
        }
        if (loopFrame >= options.loopFrames || stop) {
            last = SDLK_ESCAPE;
            pushKey(last);
            pushed = true;
        }
        // Of several keys in one frame the intro acts on the last.
        if (pushed && readsAsQuit(last)) phase = Phase::Closing;
    }

    void reportProgress(bool final) {
        if (!showProgress) return;
        const auto clockNow = std::chrono::steady_clock::now();
        const double sinceReport = std::chrono::duration<double>(clockNow - lastReport).count();
        if (!final && sinceReport < (onTerminal ? PROGRESS_TTY_SECONDS : PROGRESS_LOG_SECONDS)) return;
        lastReport = clockNow;
        const double elapsed = std::chrono::duration<double>(clockNow - started).count();
        const std::string line = progressLine(result.frames, result.expectedFrames, elapsed);
        if (onTerminal) {
            std::fprintf(stderr, "\r%s\033[K%s", line.c_str(), final ? "\n" : "");
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }

    void fail(const std::string& error) {
        if (onTerminal && showProgress) std::fputc('\n', stderr);
        std::fprintf(stderr, "dovoz1-capture: %s; the capture stops here\n", error.c_str());
        result.failed = true;
    }

    const CaptureOptions& options;
    const std::string& directory;
    CaptureResult result;
    WavWriter wav;
    std::vector<int16_t> audio;  // one frame's music, interleaved stereo
    uint32_t now = 0;            // the virtual clock, in milliseconds
    Phase phase = Phase::Opening;
    int32_t loopFrame = 0;
    size_t nextKey = 0;
    bool showProgress = false;
    bool onTerminal = false;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastReport;
};

}  // namespace

std::string framePath(const std::string& directory, int32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d.png", static_cast<int>(index));
    return directory + "/" + name;
}

int32_t expectedFrames(const CaptureOptions& options) {
    int32_t quitFrame = options.loopFrames;
    for (size_t i = 0; i < options.keys.size(); ++i) {
        const bool lastOfFrame =
            i + 1 == options.keys.size() || options.keys[i + 1].frame != options.keys[i].frame;
        if (lastOfFrame && readsAsQuit(options.keys[i].key) && options.keys[i].frame < quitFrame) {
            quitFrame = options.keys[i].frame;
            break;
        }
    }
    return 2 * CAPTURE_FADE_FRAMES + quitFrame;
}

std::string progressLine(int32_t written, int32_t expected, double elapsedSeconds) {
    const double perSecond = 1000.0 / CAPTURE_FRAME_MS;
    char line[160];
    if (written <= 0 || elapsedSeconds <= 0.0) {
        std::snprintf(line, sizeof line, "dovoz1-capture: %d/%d frames, 0.0 of %.1f s of intro", written,
                      expected, expected / perSecond);
        return line;
    }
    const double left = elapsedSeconds / written * (expected > written ? expected - written : 0);
    std::snprintf(line, sizeof line,
                  "dovoz1-capture: %d/%d frames, %.1f of %.1f s of intro, about %.0f s left", written,
                  expected, written / perSecond, expected / perSecond, left);
    return line;
}

CaptureResult runCapture(const CaptureOptions& options, const std::string& directory) {
    Session state(options, directory);
    std::string error;
    if (!state.wav.open(directory + "/audio.wav", CAPTURE_RATE, error)) {
        state.fail(error);
        return state.result;
    }

    // Headless, and the stop signals left to the capture: it ends the loop itself, so an interrupted
    // capture still closes with the fade and keeps its frames and audio in step.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;  // a second signal ends the process at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // The virtual clock has no sleep: the wait only reads it, and each presentation moves it on.
    Platform platform;
    platform.clock = Clock{[&state] { return state.now; }};
    platform.frameObserver = [&state](const _vktSurface& surface) { state.presented(surface); };
    IntroSettings settings;
    settings.musicDevice = BASSMOD_DEVICE_NONE;
    settings.fixedSeed = true;
    settings.seed = options.seed;
    settings.beforeFrameLoop = [&state] { state.loopStarting(); };
    runIntro(settings, platform);

    state.reportProgress(true);
    if (!state.wav.close(error) && !state.result.failed) state.fail(error);
    state.result.audioFrames = state.wav.framesWritten;
    // Leftovers of an earlier, longer capture would run on after this one's last frame.
    std::error_code ignored;
    for (int32_t index = state.result.frames; std::filesystem::exists(framePath(directory, index), ignored);
         ++index)
        std::filesystem::remove(framePath(directory, index), ignored);
    return state.result;
}
