// module_format.h: the four-channel "M.K." module in memory, and its exact file bytes.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int MODULE_CHANNELS = 4;
inline constexpr int MODULE_ROWS = 64;          // rows per pattern
inline constexpr int MODULE_MAX_SAMPLES = 31;   // sample slots 1..31
inline constexpr int MODULE_MAX_PATTERNS = 64;  // "M.K." allows patterns 0..63
inline constexpr int MODULE_MAX_ORDERS = 128;
inline constexpr int MODULE_NOTES = 36;  // C-1..B-3
inline constexpr size_t MODULE_HEADER_BYTES = 1084;
inline constexpr size_t MODULE_PATTERN_BYTES = 1024;

// Effect commands the generator writes (the low nibble of a cell's third byte).
inline constexpr uint8_t EFFECT_ARPEGGIO = 0x0;
inline constexpr uint8_t EFFECT_PORTAMENTO_TO_NOTE = 0x3;
inline constexpr uint8_t EFFECT_VIBRATO = 0x4;
inline constexpr uint8_t EFFECT_VOLUME_SLIDE = 0xA;
inline constexpr uint8_t EFFECT_SET_VOLUME = 0xC;
inline constexpr uint8_t EFFECT_PATTERN_BREAK = 0xD;
inline constexpr uint8_t EFFECT_EXTENDED = 0xE;
inline constexpr uint8_t EFFECT_SPEED_TEMPO = 0xF;

// One channel of one row. All zero is the empty cell.
struct ModuleCell {
    uint8_t sample = 0;  // 1..31, 0 keeps the channel's sample
    uint8_t note = 0;    // 1..36 = C-1..B-3, 0 is no note
    uint8_t effect = 0;  // 0x0..0xF
    uint8_t param = 0;   // effect parameter, two nibbles
};

using ModuleRow = std::array<ModuleCell, MODULE_CHANNELS>;
using ModulePattern = std::array<ModuleRow, MODULE_ROWS>;

// Signed 8-bit PCM played at the rate its note's period gives.
struct ModuleSample {
    std::string name;          // up to 22 ASCII characters
    std::vector<int8_t> data;  // even length, at most 65534 words
    uint8_t volume = 64;       // default volume 0..64
    uint32_t loopStart = 0;    // in bytes, even
    uint32_t loopLength = 0;   // in bytes, even; 0 plays the sample once
};

struct Module {
    std::string title;                  // up to 20 ASCII characters
    std::vector<ModuleSample> samples;  // slot 1 first; at most 31
    std::vector<ModulePattern> patterns;
    std::vector<uint8_t> order;  // pattern numbers in playing order, 1..128 entries
};

// Amiga period of a note 1..36 (C-1..B-3) at finetune 0; 0 for any other value.
uint16_t modulePeriod(int note);

// The four file bytes of a cell; a note outside 1..36 is written as no note.
std::array<uint8_t, 4> packModuleCell(const ModuleCell& cell);

// Checks the module against the format's limits and the rules that keep it playing alike everywhere.
// Empty on success, otherwise a one-line description of the first problem found.
std::string checkModule(const Module& module);

// The file's bytes; empty when checkModule finds a problem.
std::vector<uint8_t> encodeModule(const Module& module);
