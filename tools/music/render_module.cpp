// render_module: renders a module the way the intro plays it (libopenmpt, the player's rate, stereo, Amiga
// resampler emulation, full volume) into a 16-bit WAV file, and prints its length and levels.
//
//   render_module <in.mod> <out.wav> [--repeats N] [--solo C]
//
// --repeats: how many extra times the song is played after its first pass (default 0), to hear the
// wrap from the end back to the start. --solo: only channel C (1..4) is heard, to judge one part's
// sound and level. Measure further with sox, e.g.
//   sox out.wav -n stat
//   sox out.wav -n trim 0 30 spectrogram -o spectrogram.png
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_ext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "bassmod.h"

namespace {

constexpr int32_t RATE = MUSIC_RATE;

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> wavBytes(const std::vector<float>& frames) {
    std::vector<uint8_t> out;
    const uint32_t dataSize = static_cast<uint32_t>(frames.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, 36 + dataSize, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);
    putLe(out, 1, 2);  // PCM
    putLe(out, 2, 2);  // stereo
    putLe(out, RATE, 4);
    putLe(out, RATE * 4, 4);
    putLe(out, 4, 2);
    putLe(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, dataSize, 4);
    for (float v : frames) {
        const long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        putLe(out, static_cast<uint32_t>(static_cast<int16_t>(s)), 2);
    }
    return out;
}

double dbfs(double value) {
    return value > 0.0 ? 20.0 * std::log10(value) : -INFINITY;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 0;
    int solo = 0;
    bool usage = argc < 3;
    for (int i = 3; i < argc && !usage; i += 2) {
        if (i + 1 >= argc)
            usage = true;
        else if (std::strcmp(argv[i], "--repeats") == 0)
            repeats = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--solo") == 0)
            solo = std::atoi(argv[i + 1]);
        else
            usage = true;
    }
    if (usage || repeats < 0 || solo < 0) {
        std::fprintf(stderr, "usage: %s <in.mod> <out.wav> [--repeats N] [--solo C]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::perror(argv[1]);
        return 1;
    }
    int error = 0;
    openmpt_module_ext* ext =
        openmpt_module_ext_create_from_memory(file.data(), file.size(), openmpt_log_func_default, nullptr,
                                              nullptr, nullptr, &error, nullptr, nullptr);
    if (!ext) {
        std::fprintf(stderr, "render_module: %s is not a module (error %d)\n", argv[1], error);
        return 1;
    }
    openmpt_module* mod = openmpt_module_ext_get_module(ext);
    openmpt_module_ext_interface_interactive interactive{};
    if (solo > 0) {
        if (solo > openmpt_module_get_num_channels(mod) ||
            !openmpt_module_ext_get_interface(ext, LIBOPENMPT_EXT_C_INTERFACE_INTERACTIVE, &interactive,
                                              sizeof(interactive))) {
            std::fprintf(stderr, "render_module: cannot play channel %d alone\n", solo);
            openmpt_module_ext_destroy(ext);
            return 1;
        }
        for (int c = 0; c < openmpt_module_get_num_channels(mod); ++c)
            interactive.set_channel_mute_status(ext, c, c != solo - 1);
    }
    openmpt_module_ctl_set_boolean(mod, "render.resampler.emulate_amiga", 1);
    openmpt_module_ctl_set_integer(mod, "dither", 0);
    openmpt_module_set_repeat_count(mod, repeats);

    std::vector<float> frames;
    std::vector<float> block(2 * 4096);
    for (;;) {
        const size_t count = openmpt_module_read_interleaved_float_stereo(mod, RATE, 4096, block.data());
        if (count == 0) break;
        frames.insert(frames.end(), block.begin(), block.begin() + 2 * count);
    }
    const double duration = openmpt_module_get_duration_seconds(mod);
    const int channels = openmpt_module_get_num_channels(mod);
    openmpt_module_ext_destroy(ext);

    double peak = 0.0;
    double sumSquares = 0.0;
    for (float v : frames) {
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
        sumSquares += static_cast<double>(v) * v;
    }
    const double rms = frames.empty() ? 0.0 : std::sqrt(sumSquares / frames.size());
    const std::vector<uint8_t> wav = wavBytes(frames);
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(wav.data(), 1, wav.size(), out) == wav.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "render_module: could not write %s\n", argv[2]);
        return 1;
    }
    std::printf("channels %d, song %.2f s, rendered %.2f s, peak %.2f dBFS, RMS %.2f dBFS%s\n", channels,
                duration, frames.size() / 2.0 / RATE, dbfs(peak), dbfs(rms),
                peak >= 1.0 ? " (clipped in the WAV)" : "");
    return 0;
}
