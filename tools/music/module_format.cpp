// module_format.cpp: checking and encoding the four-channel "M.K." module.
#include "module_format.h"

#include <algorithm>

namespace {

// ProTracker's finetune-0 periods, C-1..B-3.
constexpr std::array<uint16_t, MODULE_NOTES> PERIODS = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,  //
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,  //
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
};

constexpr size_t MAX_SAMPLE_BYTES = 2 * 65534;

bool isPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Big-endian, as every 16-bit field of a module is.
void putWord(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void putText(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

std::string checkSample(const ModuleSample& sample, int slot) {
    const std::string where = "sample " + std::to_string(slot) + ": ";
    const size_t size = sample.data.size();
    if (sample.name.size() > 22 || !isPlainAscii(sample.name))
        return where + "name is not 22 plain characters";
    if (size % 2 != 0 || size > MAX_SAMPLE_BYTES) return where + "length is odd or too large";
    if (sample.volume > 64) return where + "volume above 64";
    if (sample.loopLength == 0) {
        // ProTracker keeps looping the first word after a one-shot sample ends.
        if (size >= 2 && (sample.data[0] != 0 || sample.data[1] != 0))
            return where + "one-shot sample does not start with two zero bytes";
        return {};
    }
    if (sample.loopStart % 2 != 0 || sample.loopLength % 2 != 0) return where + "loop is not word aligned";
    if (sample.loopLength < 4) return where + "loop shorter than 2 words";
    // Bytes past the loop end are never heard, and a loop past the end is read differently by players.
    if (size_t{sample.loopStart} + sample.loopLength != size) return where + "loop does not end the sample";
    if (sample.loopStart == 0 && sample.loopLength <= 8 && size > sample.loopLength)
        return where + "short loop at the start looks like a broken header";
    return {};
}

std::string checkCell(const Module& module, const ModuleCell& cell) {
    if (cell.sample > module.samples.size()) return "sample number beyond the last sample";
    if (cell.sample != 0 && module.samples[cell.sample - 1].data.empty()) return "cell uses an empty sample";
    if (cell.note > MODULE_NOTES) return "note outside C-1..B-3";
    if (cell.effect > 0xF) return "effect above F";
    switch (cell.effect) {
        case 0x8:
            return "8xx is read as panning by some players";
        case EFFECT_VOLUME_SLIDE:
            if ((cell.param >> 4) != 0 && (cell.param & 0xF) != 0) return "volume slide with both nibbles";
            break;
        case 0xB:
            if (cell.param >= module.order.size()) return "position jump beyond the song";
            break;
        case EFFECT_SET_VOLUME:
            if (cell.param > 64) return "volume above 64";
            break;
        case EFFECT_PATTERN_BREAK:
            if ((cell.param >> 4) > 9 || (cell.param & 0xF) > 9 ||
                (cell.param >> 4) * 10 + (cell.param & 0xF) > 63)
                return "pattern break row is not a decimal row 0..63";
            break;
        case EFFECT_SPEED_TEMPO:
            if (cell.param == 0) return "F00 halts some players";
            break;
        default:
            break;
    }
    return {};
}

// Row 0 of the first pattern names both speed and tempo, so no player guesses the timing mode.
bool setsSpeedAndTempo(const ModuleRow& row) {
    bool speed = false;
    bool tempo = false;
    for (const ModuleCell& cell : row) {
        if (cell.effect != EFFECT_SPEED_TEMPO) continue;
        if (cell.param >= 0x01 && cell.param < 0x20) speed = true;
        if (cell.param >= 0x20) tempo = true;
    }
    return speed && tempo;
}

}  // namespace

uint16_t modulePeriod(int note) {
    if (note < 1 || note > MODULE_NOTES) return 0;
    return PERIODS[note - 1];
}

std::array<uint8_t, 4> packModuleCell(const ModuleCell& cell) {
    const uint16_t period = modulePeriod(cell.note);
    return {
        static_cast<uint8_t>((cell.sample & 0xF0) | (period >> 8)),
        static_cast<uint8_t>(period & 0xFF),
        static_cast<uint8_t>(((cell.sample & 0x0F) << 4) | (cell.effect & 0x0F)),
        cell.param,
    };
}

std::string checkModule(const Module& module) {
    if (module.title.size() > 20 || !isPlainAscii(module.title)) return "title is not 20 plain characters";
    if (module.samples.size() > MODULE_MAX_SAMPLES) return "more than 31 samples";
    for (size_t i = 0; i < module.samples.size(); ++i) {
        std::string problem = checkSample(module.samples[i], static_cast<int>(i + 1));
        if (!problem.empty()) return problem;
    }
    if (module.patterns.empty() || module.patterns.size() > MODULE_MAX_PATTERNS)
        return "needs 1..64 patterns";
    if (module.order.empty() || module.order.size() > MODULE_MAX_ORDERS) return "needs 1..128 positions";
    // Players count the stored patterns from the highest order entry, so every pattern must be played.
    std::vector<bool> played(module.patterns.size(), false);
    for (uint8_t p : module.order) {
        if (p >= module.patterns.size()) return "order names a missing pattern";
        played[p] = true;
    }
    if (std::find(played.begin(), played.end(), false) != played.end()) return "a pattern is never played";
    for (size_t p = 0; p < module.patterns.size(); ++p) {
        for (int r = 0; r < MODULE_ROWS; ++r) {
            for (int c = 0; c < MODULE_CHANNELS; ++c) {
                std::string problem = checkCell(module, module.patterns[p][r][c]);
                if (!problem.empty())
                    return "pattern " + std::to_string(p) + " row " + std::to_string(r) + " channel " +
                           std::to_string(c + 1) + ": " + problem;
            }
        }
    }
    if (!setsSpeedAndTempo(module.patterns[module.order[0]][0]))
        return "the first row does not set both speed and tempo";
    return {};
}

std::vector<uint8_t> encodeModule(const Module& module) {
    if (!checkModule(module).empty()) return {};
    std::vector<uint8_t> out;
    putText(out, module.title, 20);
    for (int slot = 0; slot < MODULE_MAX_SAMPLES; ++slot) {
        if (slot >= static_cast<int>(module.samples.size())) {
            // An unused slot as trackers write it: all zero but a repeat length of one word.
            putText(out, "", 28);
            putWord(out, 1);
            continue;
        }
        const ModuleSample& sample = module.samples[slot];
        putText(out, sample.name, 22);
        putWord(out, static_cast<uint32_t>(sample.data.size() / 2));
        out.push_back(0);  // finetune
        out.push_back(sample.volume);
        putWord(out, sample.loopStart / 2);
        putWord(out, sample.loopLength == 0 ? 1 : sample.loopLength / 2);
    }
    out.push_back(static_cast<uint8_t>(module.order.size()));
    out.push_back(0x7F);  // restart byte: ProTracker ignores it, the song wraps to position 0
    for (int i = 0; i < MODULE_MAX_ORDERS; ++i)
        out.push_back(i < static_cast<int>(module.order.size()) ? module.order[i] : 0);
    putText(out, "M.K.", 4);
    for (const ModulePattern& pattern : module.patterns) {
        for (const ModuleRow& row : pattern) {
            for (const ModuleCell& cell : row) {
                const std::array<uint8_t, 4> bytes = packModuleCell(cell);
                out.insert(out.end(), bytes.begin(), bytes.end());
            }
        }
    }
    for (const ModuleSample& sample : module.samples) {
        for (int8_t value : sample.data) out.push_back(static_cast<uint8_t>(value));
    }
    return out;
}
