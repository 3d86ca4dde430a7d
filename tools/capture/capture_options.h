// capture_options.h: the command line of dovoz1-capture, and the timeline its keys are placed on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "timing.h"
#include "virtual_run.h"

// Six hours of loop at most: the WAV stays below its 4 GiB limit, frame numbers within six digits.
inline constexpr int64_t CAPTURE_MAX_MS = 6 * 3600 * 1000;

struct CaptureOptions {
    std::string outDir;
    int32_t loopFrames = 60 * FRAMES_PER_SECOND;  // drawn before Escape ends the loop: 60 s
    uint32_t seed = 1;
    std::vector<ScriptedKey> keys;  // in the order given; the closing Escape is not among them
    std::string video;              // the MP4 to make; empty for none
    bool help = false;              // --help: print the usage, capture nothing
};

extern const char* const CAPTURE_USAGE;

// Parses the arguments after the program name. False with a one-line reason in error on any mistake.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

// The key of a name: one printable character ("b", "s", "q"; a capital stands for its key), or "space",
// "enter" ("return"), "escape" ("esc"), "close" (SCRIPT_KEY_CLOSE). False for any other name.
bool keyFromName(const std::string& name, int32_t& key);

// Whole milliseconds of a non-negative decimal number of seconds ("12", "2.5"); false for anything else
// and for times beyond CAPTURE_MAX_MS.
bool parseSeconds(const std::string& text, int64_t& ms);

// The first loop frame that starts at or after ms into the loop.
int32_t frameAtMs(int64_t ms);
