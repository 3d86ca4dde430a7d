// user_run.h: what the end-to-end tests share: the program's expected output, the sound its disk audio
// driver wrote, the colours the intro is allowed to show, and the processes and files it leaves.
#pragma once
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "image.h"

inline constexpr double OPENING_FADE_SECONDS = 62 * 0.040;  // 62 frames of 40 ms; the closing fade too

// "\n KVL dovoz1...init ok!" and the video line after it: all a run prints before its statistics.
extern const std::string FIRST_LINE;
extern const std::string START_LINES;

struct Statistics {
    int frames = -1;  // -1 when the output is not exactly the start-up lines and the five messages
    double fps = -1;
};
Statistics parseStatistics(const std::string& out);

// Signed 16-bit little-endian stereo at 44100 Hz, as SDL's disk audio driver writes it.
struct Audio {
    std::vector<int16_t> samples;  // interleaved left, right

    double seconds() const { return samples.size() / 2 / 44100.0; }
    // Root mean square between two times, as a fraction of full scale; 0 for an empty span.
    double rms(double fromSeconds, double toSeconds) const;
    // Time of the first and of the last sample that is not exactly 0; -1 when there is none.
    double firstSound() const;
    double lastSound() const;
};
Audio readAudio(const std::string& path);

// The 2048 colours the raster rows are painted from, 0x00RRGGBB.
std::array<uint32_t, 2048> colourRamp();
// The distinct colours of a picture, leaving out one colour (a colour key) if given.
std::set<uint32_t> distinctColours(const Image& image, int64_t leaveOut = -1);

// Running processes whose executable is the given file.
std::vector<pid_t> processesOf(const std::string& program);
// Names of the entries in a directory, sorted.
std::vector<std::string> filesIn(const std::string& directory);
// Runs a shell command and returns its standard output; status gets its exit status.
std::string commandOutput(const std::string& command, int* status = nullptr);
