// capture_options.cpp: parsing of dovoz1-capture's arguments.
#include "capture_options.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const CAPTURE_USAGE =
    "usage: dovoz1-capture OUTDIR [--seconds N] [--seed S] [--keys \"t:key,...\"] [--video FILE.mp4]\n"
    "  Runs the intro on a virtual clock and writes every frame as OUTDIR/frame_000000.png ... and the\n"
    "  music as OUTDIR/audio.wav: the opening fade, N seconds of intro (default 60), then Escape and the\n"
    "  closing fade.\n"
    "  --seconds N  seconds of intro between the fades, 0..21600\n"
    "  --seed S     random seed, 0..4294967295 (default 1)\n"
    "  --keys       keys pressed at t seconds after the music starts, 0 <= t <= N: space, b, s, q, enter,\n"
    "               escape, close or any one character, e.g. \"12:b,30:space\"; s saves screenshot.bmp\n"
    "               in the working directory, as the intro does\n"
    "  --video      also mux the frames, scaled to 1600x1200, and the audio into FILE.mp4 (needs ffmpeg)\n"
    "  Ctrl+C ends the intro at the next frame; its closing fade is still captured.\n";

namespace {

std::string secondsText(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool parseSeed(const std::string& text, uint32_t& seed) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX) return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

// "t:key,t:key,..." into keys; times are checked against the loop's length later.
bool parseKeys(const std::string& text, std::vector<std::pair<int64_t, int32_t>>& keys, std::string& error) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const size_t colon = item.find(':');
        int64_t ms = 0;
        int32_t key = 0;
        if (colon == std::string::npos) {
            error = "--keys: \"" + item + "\" is not of the form t:key";
            return false;
        }
        if (!parseSeconds(item.substr(0, colon), ms)) {
            error = "--keys: \"" + item.substr(0, colon) + "\" is not a time in seconds";
            return false;
        }
        if (!keyFromName(item.substr(colon + 1), key)) {
            error = "--keys: unknown key \"" + item.substr(colon + 1) + "\"";
            return false;
        }
        keys.emplace_back(ms, key);
        start = comma + 1;
    }
    return true;
}

}  // namespace

bool keyFromName(const std::string& name, int32_t& key) {
    if (name.size() == 1) {
        const unsigned char c = static_cast<unsigned char>(name[0]);
        if (c < 33 || c > 126) return false;
        // SDL's key symbols for printable keys are their lower-case characters.
        key = std::tolower(c);
        return true;
    }
    const std::string word = lower(name);
    if (word == "space") {
        key = SDLK_SPACE;
    } else if (word == "enter" || word == "return") {
        key = SDLK_RETURN;
    } else if (word == "escape" || word == "esc") {
        key = SDLK_ESCAPE;
    } else if (word == "close") {
        key = SCRIPT_KEY_CLOSE;
    } else {
        return false;
    }
    return true;
}

bool parseSeconds(const std::string& text, int64_t& ms) {
    // Digits with at most one point: no sign, exponent, hexadecimal, infinity or NaN.
    if (text.empty() || text == ".") return false;
    if (std::count(text.begin(), text.end(), '.') > 1) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }))
        return false;
    const double seconds = std::strtod(text.c_str(), nullptr);
    if (!(seconds * 1000.0 <= static_cast<double>(CAPTURE_MAX_MS))) return false;
    ms = std::llround(seconds * 1000.0);
    return true;
}

int32_t frameAtMs(int64_t ms) {
    return static_cast<int32_t>((ms + FRAME_MS - 1) / FRAME_MS);
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    options = CaptureOptions{};
    int64_t loopMs = 60 * 1000;
    std::vector<std::pair<int64_t, int32_t>> timedKeys;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            return true;
        }
        if (argument.rfind("--", 0) != 0) {
            if (!options.outDir.empty()) {
                error = "more than one output directory: \"" + options.outDir + "\" and \"" + argument + "\"";
                return false;
            }
            if (argument.empty()) {
                error = "the output directory is an empty name";
                return false;
            }
            options.outDir = argument;
            continue;
        }
        // Both "--name value" and "--name=value".
        std::string value;
        const size_t equals = argument.find('=');
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = argument + " needs a value";
            return false;
        }
        if (argument == "--seconds") {
            if (!parseSeconds(value, loopMs)) {
                error = "--seconds: \"" + value + "\" is not a number of seconds from 0 to 21600";
                return false;
            }
        } else if (argument == "--seed") {
            if (!parseSeed(value, options.seed)) {
                error = "--seed: \"" + value + "\" is not a whole number from 0 to 4294967295";
                return false;
            }
        } else if (argument == "--keys") {
            if (!parseKeys(value, timedKeys, error)) return false;
        } else if (argument == "--video") {
            if (value.empty()) {
                error = "--video needs a file name";
                return false;
            }
            options.video = value;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    if (options.outDir.empty()) {
        error = "no output directory given";
        return false;
    }
    options.loopFrames = frameAtMs(loopMs);
    for (const auto& [ms, key] : timedKeys) {
        if (ms > loopMs) {
            error = "--keys: a key at " + secondsText(ms) + " s comes after the end at " +
                    secondsText(loopMs) + " s";
            return false;
        }
        options.keys.push_back({frameAtMs(ms), key});
    }
    // Keys read by the same frame keep the order given: the last of them is the one that acts.
    std::stable_sort(options.keys.begin(), options.keys.end(),
                     [](const ScriptedKey& a, const ScriptedKey& b) { return a.frame < b.frame; });
    return true;
}
