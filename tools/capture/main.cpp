// main.cpp: dovoz1-capture, a frame-exact capture of the intro's pictures and music, for a video release.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture.h"
#include "capture_options.h"
#include "video_mux.h"

namespace {

constexpr int EXIT_FAILED = 1;  // a file could not be written, or ffmpeg failed
constexpr int EXIT_USAGE = 2;   // a mistake on the command line, or --video without ffmpeg

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "dovoz1-capture: %s\n%s", error.c_str(), CAPTURE_USAGE);
        return EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(CAPTURE_USAGE, stdout);
        return 0;
    }

    // Checked first, so a long capture is not made for nothing.
    std::string ffmpeg;
    if (!options.video.empty()) {
        const char* path = std::getenv("PATH");
        ffmpeg = findExecutable("ffmpeg", path ? path : "/usr/bin:/bin");
        if (ffmpeg.empty()) {
            std::fprintf(stderr,
                         "dovoz1-capture: --video needs ffmpeg, which is not installed (on Debian: apt-get "
                         "install ffmpeg); nothing was captured\n");
            return EXIT_USAGE;
        }
    }

    std::error_code failure;
    std::filesystem::create_directories(options.outDir, failure);
    if (failure || !std::filesystem::is_directory(options.outDir)) {
        std::fprintf(stderr, "dovoz1-capture: cannot make the directory %s: %s\n", options.outDir.c_str(),
                     failure ? failure.message().c_str() : "a file of that name is in the way");
        return EXIT_FAILED;
    }
    const std::string directory = std::filesystem::absolute(options.outDir).lexically_normal().string();

    const CaptureResult result = runCapture(options, directory);
    if (result.failed) return EXIT_FAILED;
    std::fprintf(stderr, "dovoz1-capture: %d frames (%.2f s) and audio.wav written to %s%s\n", result.frames,
                 result.frames * FRAME_MS / 1000.0, directory.c_str(),
                 result.interrupted ? ", ended early by a signal" : "");

    if (!options.video.empty()) {
        const std::string video = std::filesystem::absolute(options.video).lexically_normal().string();
        std::fprintf(stderr, "dovoz1-capture: making %s with %s\n", video.c_str(), ffmpeg.c_str());
        if (!runAndWait(muxArguments(ffmpeg, directory, video), error)) {
            std::fprintf(stderr, "dovoz1-capture: the video was not made: %s\n", error.c_str());
            return EXIT_FAILED;
        }
        std::fprintf(stderr, "dovoz1-capture: %s written\n", video.c_str());
    }
    return 0;
}
