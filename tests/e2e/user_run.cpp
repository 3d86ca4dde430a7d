// user_run.cpp: reading back what a run of the program left: output, sound, colours, processes, files.
#include "user_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

const std::string FIRST_LINE = "\n KVL dovoz1...init ok!";
const std::string START_LINES = FIRST_LINE + "\n           ...video init ok!";

Statistics parseStatistics(const std::string& out) {
    static const std::regex shape(
        "\n KVL dovoz1\\.\\.\\.init ok!\n           \\.\\.\\.video init ok!"
        "\n\n\n\n frames: (\\d+)\n MAX_FPS: 25\n fps: (\\d+\\.\\d{3})\n\n\n");
    std::smatch match;
    Statistics statistics;
    if (std::regex_match(out, match, shape)) {
        statistics.frames = std::stoi(match[1]);
        statistics.fps = std::stod(match[2]);
    }
    return statistics;
}

double Audio::rms(double fromSeconds, double toSeconds) const {
    const auto index = [this](double seconds) {
        return std::min(samples.size(), static_cast<size_t>(std::max(0.0, seconds) * 44100) * 2);
    };
    const size_t from = index(fromSeconds);
    const size_t to = index(toSeconds);
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0.0;
}

double Audio::firstSound() const {
    const auto found = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    return found == samples.end() ? -1.0 : (found - samples.begin()) / 2 / 44100.0;
}

double Audio::lastSound() const {
    const auto found = std::find_if(samples.rbegin(), samples.rend(), [](int16_t s) { return s != 0; });
    return found == samples.rend() ? -1.0 : (samples.rend() - found - 1) / 2 / 44100.0;
}

Audio readAudio(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Audio audio;
    audio.samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        audio.samples[i] = static_cast<int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return audio;
}

std::array<uint32_t, 2048> colourRamp() {
    std::array<uint32_t, 2048> ramp{};
    const auto put = [&ramp](int index, uint32_t red, uint32_t green, uint32_t blue) {
        ramp[index] = red << 16 | green << 8 | blue;
    };
    // Eight segments of 256 steps: black, red, green, blue, cyan, white, yellow, red, black.
    for (uint32_t k = 0; k < 256; ++k) {
        put(k, k, 0, 0);
        put(256 + k, 255 - k, k, 0);
        put(512 + k, 0, 255 - k, k);
        put(768 + k, 0, k, 255);
        put(1024 + k, k, 255, 255);
        put(1280 + k, 255, 255, 255 - k);
        put(1536 + k, 255, 255 - k, 0);
        put(1792 + k, 255 - k, 0, 0);
    }
    return ramp;
}

std::set<uint32_t> distinctColours(const Image& image, int64_t leaveOut) {
    std::set<uint32_t> colours(image.pixels.begin(), image.pixels.end());
    if (leaveOut >= 0) colours.erase(static_cast<uint32_t>(leaveOut));
    return colours;
}

std::vector<pid_t> processesOf(const std::string& program) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::canonical(program, error);
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        std::error_code unreadable;
        const auto executable = std::filesystem::read_symlink(entry.path() / "exe", unreadable);
        if (!unreadable && executable == wanted) found.push_back(std::stoi(name));
    }
    return found;
}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string commandOutput(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int result = pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return out;
}
