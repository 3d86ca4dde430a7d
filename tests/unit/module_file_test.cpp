// The intro's music file: the generator's encoder packs cells and refuses unsafe modules, the
// committed bytes follow the "M.K." layout and the rules that make it play alike everywhere, and
// libopenmpt plays it as the intro does, long enough, loud enough and unclipped.
#include <libopenmpt/libopenmpt.h>

#include <gtest/gtest.h>

#include "module_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t HEADER_BYTES = 1084;
constexpr size_t PATTERN_BYTES = 1024;
constexpr int32_t RATE = 44100;

const std::array<int, 36> PERIODS = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                     428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                                     214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

std::vector<uint8_t> readModule() {
    std::ifstream in(DOVOZ1_SOURCE_DIR "/data/ruvadodad.mod", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Big-endian, like every 16-bit field of a module.
unsigned word(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] << 8 | bytes[offset + 1];
}

struct SampleHeader {
    size_t bytes;       // sample length in bytes
    unsigned finetune;  // the whole byte, so a stray upper nibble shows
    unsigned volume;
    size_t loopStart;   // bytes
    size_t loopLength;  // bytes; 2 means no loop
};

SampleHeader sampleHeader(const std::vector<uint8_t>& bytes, int slot) {
    const size_t at = 20 + 30 * slot;
    return {2 * size_t{word(bytes, at + 22)}, bytes[at + 24], bytes[at + 25],
            2 * size_t{word(bytes, at + 26)}, 2 * size_t{word(bytes, at + 28)}};
}

struct Cell {
    int sample;
    int period;
    int effect;
    int param;
};

Cell cellAt(const std::vector<uint8_t>& bytes, int pattern, int row, int channel) {
    const size_t at = HEADER_BYTES + PATTERN_BYTES * pattern + 16 * row + 4 * channel;
    return {(bytes[at] & 0xF0) | (bytes[at + 2] >> 4), (bytes[at] & 0x0F) << 8 | bytes[at + 1],
            bytes[at + 2] & 0x0F, bytes[at + 3]};
}

// A small module the encoder accepts: a one-shot and a looped sample, one pattern, one position.
Module smallModule() {
    Module module;
    module.title = "test";
    ModuleSample shot;
    shot.name = "shot";
    shot.data = {0, 0, 40, -40, 20, -20};
    ModuleSample tone;
    tone.name = "tone";
    tone.data = std::vector<int8_t>(32, 50);
    tone.loopStart = 16;
    tone.loopLength = 16;
    module.samples = {shot, tone};
    module.patterns.resize(1);
    module.patterns[0][0][0] = {1, 13, 0xF, 0x06};
    module.patterns[0][0][1] = {2, 25, 0xF, 0x7D};
    module.order = {0};
    return module;
}

std::string hex(const std::array<uint8_t, 4>& bytes) {
    char text[12];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

TEST(ModuleEncoderTest, CellsPackSampleNibblesAndPeriodHighBits) {
    EXPECT_EQ(hex(packModuleCell({1, 13, 0, 0})), "01 AC 10 00");        // sample 1, C-2
    EXPECT_EQ(hex(packModuleCell({18, 34, 0xC, 0x20})), "10 7F 2C 20");  // sample 18, A-3, C20
    EXPECT_EQ(hex(packModuleCell({0, 0, 0xF, 0x7D})), "00 00 0F 7D");    // tempo only
    EXPECT_EQ(hex(packModuleCell({31, 1, 0xA, 0x02})), "13 58 FA 02");   // sample 31, C-1, A02
    EXPECT_EQ(modulePeriod(36), 113);
    EXPECT_EQ(modulePeriod(37), 0);
}

TEST(ModuleEncoderTest, LayoutPutsEveryPartAtItsOffset) {
    const std::vector<uint8_t> bytes = encodeModule(smallModule());
    ASSERT_EQ(bytes.size(), 1084u + 1024u + 6u + 32u);
    EXPECT_EQ(std::string(bytes.begin() + 1080, bytes.begin() + 1084), "M.K.");
    EXPECT_EQ(bytes[950], 1);
    EXPECT_EQ(bytes[951], 0x7F);
    // Sample 2: 16 words long, loop from word 8 for 8 words, big-endian.
    EXPECT_EQ(std::string(bytes.begin() + 50 + 22, bytes.begin() + 50 + 30),
              std::string("\x00\x10\x00\x40\x00\x08\x00\x08", 8));
    // Sample 3 is unused: all zero but a repeat length of one word.
    EXPECT_EQ(bytes[80 + 28], 0);
    EXPECT_EQ(bytes[80 + 29], 1);
    EXPECT_EQ(hex({bytes[1084], bytes[1085], bytes[1086], bytes[1087]}), "01 AC 1F 06");
    EXPECT_EQ(static_cast<int8_t>(bytes[1084 + 1024 + 2]), 40);
    EXPECT_EQ(bytes.back(), 50);
}

TEST(ModuleEncoderTest, RefusesModulesThatPlayDifferentlyElsewhere) {
    EXPECT_EQ(checkModule(smallModule()), "");
    const auto refuses = [](void (*spoil)(Module&)) {
        Module module = smallModule();
        spoil(module);
        return !checkModule(module).empty() && encodeModule(module).empty();
    };
    EXPECT_TRUE(refuses([](Module& m) { m.samples[1].loopLength = 20; }));  // loop past the end
    EXPECT_TRUE(refuses([](Module& m) { m.samples[1].loopStart = 8; }));    // bytes after the loop end
    EXPECT_TRUE(refuses([](Module& m) { m.samples[0].data[1] = 5; }));      // one-shot not silent at first
    EXPECT_TRUE(refuses([](Module& m) { m.samples[1].volume = 65; }));
    EXPECT_TRUE(refuses([](Module& m) { m.patterns[0][5][2] = {0, 0, 0x8, 0x40}; }));
    EXPECT_TRUE(refuses([](Module& m) { m.patterns[0][5][2] = {0, 0, 0xF, 0x00}; }));
    EXPECT_TRUE(refuses([](Module& m) { m.patterns[0][5][2] = {3, 13, 0, 0}; }));  // no such sample
    EXPECT_TRUE(refuses([](Module& m) { m.patterns[0][5][2] = {0, 0, 0xD, 0x64}; }));
    EXPECT_TRUE(refuses([](Module& m) { m.patterns[0][0][1].param = 0x05; }));  // no tempo on the first row
    EXPECT_TRUE(refuses([](Module& m) { m.patterns.resize(2); }));              // a pattern never played
    EXPECT_TRUE(refuses([](Module& m) { m.order = {0, 1}; }));  // a pattern that does not exist
}

class ModuleFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        bytes = readModule();
        ASSERT_GT(bytes.size(), HEADER_BYTES) << "data/ruvadodad.mod is missing or cut short";
        songLength = bytes[950];
        patterns = 1 + *std::max_element(bytes.begin() + 952, bytes.begin() + 952 + 128);
    }
    std::vector<uint8_t> bytes;
    int songLength = 0;
    int patterns = 0;
};

TEST_F(ModuleFileTest, HeaderLayoutAndSizeAddUp) {
    EXPECT_EQ(std::string(bytes.begin() + 1080, bytes.begin() + 1084), "M.K.");
    EXPECT_LE(bytes.size(), 64u * 1024u);
    ASSERT_GE(songLength, 1);
    ASSERT_LE(songLength, 128);
    EXPECT_EQ(bytes[951], 0x7F) << "restart byte: the song wraps to its first position";
    EXPECT_LE(patterns, 64);
    // Unplayed order entries still count towards the stored patterns, so they must stay 0; and every
    // stored pattern is played, or it costs 1 KiB for nothing.
    std::vector<bool> played(patterns, false);
    for (int i = 0; i < 128; ++i) {
        if (i >= songLength) {
            EXPECT_EQ(bytes[952 + i], 0) << "order entry " << i;
        } else {
            played[bytes[952 + i]] = true;
        }
    }
    EXPECT_EQ(std::count(played.begin(), played.end(), false), 0);
    size_t sampleBytes = 0;
    for (int slot = 0; slot < 31; ++slot) sampleBytes += sampleHeader(bytes, slot).bytes;
    EXPECT_EQ(bytes.size(), HEADER_BYTES + PATTERN_BYTES * patterns + sampleBytes);
}

TEST_F(ModuleFileTest, SamplesFollowTheLoopRules) {
    size_t data = HEADER_BYTES + PATTERN_BYTES * patterns;
    int used = 0;
    for (int slot = 0; slot < 31; ++slot) {
        SCOPED_TRACE("sample " + std::to_string(slot + 1));
        const SampleHeader s = sampleHeader(bytes, slot);
        EXPECT_EQ(s.finetune, 0u);
        EXPECT_LE(s.volume, 64u);
        EXPECT_LT(s.bytes, 65536u);
        if (s.bytes <= 2) {
            EXPECT_EQ(s.loopLength, 2u) << "unused slots keep a repeat length of one word";
        } else if (s.loopLength <= 2) {
            // ProTracker loops the first word after a one-shot ends: it must be silent.
            ASSERT_LE(data + 2, bytes.size());
            EXPECT_EQ(bytes[data], 0);
            EXPECT_EQ(bytes[data + 1], 0);
            ++used;
        } else {
            EXPECT_GE(s.loopLength, 4u);
            EXPECT_EQ(s.loopStart + s.loopLength, s.bytes) << "a loop ends its sample";
            EXPECT_FALSE(s.loopStart == 0 && s.loopLength <= 8 && s.bytes > s.loopLength)
                << "a tiny loop at the start reads as a broken header";
            ++used;
        }
        data += s.bytes;
    }
    EXPECT_GE(used, 6) << "drums, bass, chords and lead need several instruments";
}

TEST_F(ModuleFileTest, CellsUseOnlyTableNotesAndSafeEffects) {
    bool speedSet = false;
    bool tempoSet = false;
    const int first = bytes[952];
    for (int p = 0; p < patterns; ++p) {
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 4; ++c) {
                SCOPED_TRACE("pattern " + std::to_string(p) + " row " + std::to_string(r) + " channel " +
                             std::to_string(c + 1));
                const Cell cell = cellAt(bytes, p, r, c);
                if (cell.period != 0) {
                    EXPECT_NE(std::find(PERIODS.begin(), PERIODS.end(), cell.period), PERIODS.end());
                }
                if (cell.sample != 0) {
                    EXPECT_GT(sampleHeader(bytes, cell.sample - 1).bytes, 2u);
                }
                EXPECT_NE(cell.effect, 0x8) << "8xx is panning in some players";
                switch (cell.effect) {
                    case 0xF:
                        EXPECT_NE(cell.param, 0) << "F00 halts some players";
                        break;
                    case 0xC:
                        EXPECT_LE(cell.param, 64);
                        break;
                    case 0xB:
                        EXPECT_LT(cell.param, songLength);
                        break;
                    case 0xD:
                        EXPECT_LE((cell.param >> 4) * 10 + (cell.param & 0xF), 63);
                        break;
                    case 0xA:
                        EXPECT_TRUE((cell.param >> 4) == 0 || (cell.param & 0xF) == 0)
                            << "both slide nibbles set";
                        break;
                    default:
                        break;
                }
                if (p == first && r == 0 && cell.effect == 0xF) {
                    speedSet |= cell.param < 0x20;
                    tempoSet |= cell.param >= 0x20;
                }
            }
        }
    }
    EXPECT_TRUE(speedSet && tempoSet) << "the first row sets both speed and tempo";
}

// The intro's player setup: 44100 Hz stereo, Amiga resampler, no dither; the whole song once.
class ModulePlaybackTest : public ::testing::Test {
protected:
    static void recordLog(const char* message, void* user) {
        static_cast<std::vector<std::string>*>(user)->push_back(message ? message : "");
    }

    void SetUp() override {
        bytes = readModule();
        ASSERT_FALSE(bytes.empty());
        int error = 0;
        mod = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), recordLog, &log, nullptr,
                                                 nullptr, &error, nullptr, nullptr);
        ASSERT_NE(mod, nullptr) << "libopenmpt error " << error;
        openmpt_module_ctl_set_boolean(mod, "render.resampler.emulate_amiga", 1);
        openmpt_module_ctl_set_integer(mod, "dither", 0);
    }
    void TearDown() override {
        if (mod) openmpt_module_destroy(mod);
    }

    // Renders until the song ends, noting each channel's loudest VU reading and how many blocks
    // it sounded in.
    void renderSong() {
        openmpt_module_set_repeat_count(mod, 0);
        std::vector<float> block(2 * BLOCK);
        for (;;) {
            const size_t count = openmpt_module_read_interleaved_float_stereo(mod, RATE, BLOCK, block.data());
            if (count == 0) break;
            frames += count;
            for (size_t i = 0; i < 2 * count; ++i) {
                peak = std::max(peak, static_cast<double>(std::fabs(block[i])));
                sumSquares += static_cast<double>(block[i]) * block[i];
            }
            for (int c = 0; c < 4; ++c) {
                const float vu = openmpt_module_get_current_channel_vu_mono(mod, c);
                loudest[c] = std::max(loudest[c], vu);
                if (vu > 0.01f) ++soundingBlocks[c];
            }
            ++blocks;
        }
    }

    static constexpr size_t BLOCK = 1024;
    std::vector<uint8_t> bytes;
    std::vector<std::string> log;
    openmpt_module* mod = nullptr;
    size_t frames = 0;
    size_t blocks = 0;
    double peak = 0.0;
    double sumSquares = 0.0;
    std::array<float, 4> loudest{};
    std::array<size_t, 4> soundingBlocks{};
};

TEST_F(ModulePlaybackTest, LoadsAsAFourChannelProTrackerModuleWithoutWarnings) {
    EXPECT_EQ(openmpt_module_get_num_channels(mod), 4);
    const char* type = openmpt_module_get_metadata(mod, "type");
    const char* tracker = openmpt_module_get_metadata(mod, "tracker");
    const char* warnings = openmpt_module_get_metadata(mod, "warnings");
    EXPECT_STREQ(type, "mod");
    // Read as anything older, the player would ignore pattern-break rows and time the song differently.
    EXPECT_NE(std::string(tracker).find("ProTracker"), std::string::npos) << tracker;
    EXPECT_STREQ(warnings, "");
    openmpt_free_string(type);
    openmpt_free_string(tracker);
    openmpt_free_string(warnings);
    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(ModulePlaybackTest, PlaysAtLeastAMinuteBeforeItRepeats) {
    EXPECT_GE(openmpt_module_get_duration_seconds(mod), 60.0);
}

TEST_F(ModulePlaybackTest, RendersItsWholeLengthNeitherClippedNorWhispering) {
    const double duration = openmpt_module_get_duration_seconds(mod);
    renderSong();
    // The render agrees with the reported length, give or take the last notes' tails.
    EXPECT_GE(frames, static_cast<size_t>(duration * RATE));
    EXPECT_LE(frames, static_cast<size_t>((duration + 1.0) * RATE));
    ASSERT_GT(frames, 0u);
    const double peakDb = 20.0 * std::log10(peak);
    const double rmsDb = 10.0 * std::log10(sumSquares / (2.0 * frames));
    EXPECT_LT(peakDb, -0.5);
    EXPECT_GT(rmsDb, -24.0);
}

TEST_F(ModulePlaybackTest, EveryChannelPlaysNotes) {
    renderSong();
    ASSERT_GT(blocks, 0u);
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c + 1));
        EXPECT_GT(loudest[c], 0.1f);
        // More than a stray note: each part sounds through at least half of the song.
        EXPECT_GT(soundingBlocks[c], blocks / 2);
    }
}

TEST_F(ModulePlaybackTest, LoopsBackToItsStartWithoutSilence) {
    openmpt_module_set_repeat_count(mod, -1);
    const double duration = openmpt_module_get_duration_seconds(mod);
    // Play up to a second past the end, then the first second of the second pass: it must sound.
    std::vector<float> block(2 * RATE);
    size_t played = 0;
    while (played < static_cast<size_t>((duration + 1.0) * RATE)) {
        const size_t count = openmpt_module_read_interleaved_float_stereo(mod, RATE, RATE, block.data());
        ASSERT_EQ(count, static_cast<size_t>(RATE)) << "playback stopped at " << played / RATE << " s";
        played += count;
    }
    EXPECT_EQ(openmpt_module_get_current_order(mod), 0);
    double energy = 0.0;
    for (float v : block) energy += static_cast<double>(v) * v;
    EXPECT_GT(10.0 * std::log10(energy / block.size()), -40.0);
}

}  // namespace
