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

#include "frame_png.h"
#include "sdlptc_surface.h"
#include "virtual_run.h"
#include "wav_writer.h"

namespace {

constexpr double PROGRESS_TTY_SECONDS = 0.5;  // between progress lines on a terminal
constexpr double PROGRESS_LOG_SECONDS = 5.0;  // between progress lines into a file or pipe

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) {
    stopSignal = signal;
}

class Session {
public:
    Session(const CaptureOptions& options, const std::string& directory)
        : options(options), directory(directory) {
        result.expectedFrames = expectedFrames(options);
        started = std::chrono::steady_clock::now();
        lastReport = started;
        showProgress = result.expectedFrames > CAPTURE_PROGRESS_FRAMES;
        onTerminal = isatty(STDERR_FILENO) == 1;
    }

    // After every presentation: the picture and its frame's music go out.
    void presented(const _vktSurface& surface, const int16_t* music) {
        if (result.failed) return;
        std::string error;
        if (!writeFramePng(framePath(directory, result.frames), surface.surface, error)) {
            fail(error);
        } else if (!wav.append(music, FRAME_SAMPLES, error)) {
            fail(error);
        }
        if (!result.failed) ++result.frames;
        reportProgress(false);
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
        if (lastOfFrame && scriptKeyQuits(options.keys[i].key) && options.keys[i].frame < quitFrame) {
            quitFrame = options.keys[i].frame;
            break;
        }
    }
    return 2 * FADE_FRAMES + quitFrame;
}

std::string progressLine(int32_t written, int32_t expected, double elapsedSeconds) {
    const double perSecond = FRAMES_PER_SECOND;
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
    if (!state.wav.open(directory + "/audio.wav", MUSIC_RATE, error)) {
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

    VirtualRun run(
        RunScript{options.seed, options.loopFrames, options.keys},
        [&state](const _vktSurface& shown, const int16_t* music) { state.presented(shown, music); });
    if (!run.start()) exit(1);
    for (;;) {
        // A failed write or a stop signal ends the loop at the next frame, with its closing fade.
        if (state.result.failed) {
            run.stop();
        } else if (stopSignal != 0 && run.stop()) {
            state.result.interrupted = true;
        }
        if (!run.advance()) break;
    }
    if (run.failed()) exit(1);
    run.finish();

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
