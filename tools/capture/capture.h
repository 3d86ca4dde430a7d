// capture.h: the intro run on a virtual clock, every presented frame and the music written to files.
#pragma once
#include <cstdint>
#include <string>

#include "capture_options.h"
#include "fade.h"
#include "timing.h"

// Captures longer than this (opening fade, 5 s of loop, closing fade) report their progress.
inline constexpr int32_t CAPTURE_PROGRESS_FRAMES = 2 * FADE_FRAMES + 5 * FRAMES_PER_SECOND;

// What a capture wrote.
struct CaptureResult {
    int32_t frames = 0;          // frame_000000.png on
    int64_t audioFrames = 0;     // stereo frames in audio.wav: FRAME_SAMPLES per picture frame
    int32_t expectedFrames = 0;  // what the script asked for
    bool failed = false;         // a file could not be written: the rest was not captured
    bool interrupted = false;    // SIGINT or SIGTERM ended the intro early, with its closing fade
};

// directory/frame_NNNNNN.png, the index in six digits.
std::string framePath(const std::string& directory, int32_t index);

// Frames the script gives: both fades and the loop up to the first frame that reads a quit key.
int32_t expectedFrames(const CaptureOptions& options);

// One line of progress: frames written, seconds of intro and an estimate of the time left.
std::string progressLine(int32_t written, int32_t expected, double elapsedSeconds);

// Runs the intro once with the dummy video driver, the music on no device, the virtual clock and the
// options' seed and keys, writing into directory (which must exist). An s key's screenshot lands in
// the working directory. Failures are reported on standard error as they happen. Frame files of an
// earlier, longer capture into the same directory are removed, so the frames always form one run.
CaptureResult runCapture(const CaptureOptions& options, const std::string& directory);
