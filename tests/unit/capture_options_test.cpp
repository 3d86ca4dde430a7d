// Tests of dovoz1-capture's command line: numbers, key names, key times on the loop's frames.
#include "capture_options.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses a command line given as words after the program name.
bool parse(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptionsTest, DefaultsAreSixtySecondsSeedOneNoKeysNoVideo) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"out"}, options, error)) << error;
    EXPECT_EQ(options.outDir, "out");
    EXPECT_EQ(options.loopFrames, 1500);
    EXPECT_EQ(options.seed, 1u);
    EXPECT_TRUE(options.keys.empty());
    EXPECT_TRUE(options.video.empty());
    EXPECT_FALSE(options.help);
}

TEST(CaptureOptionsTest, EveryOptionInBothSpellings) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--seconds", "2.5", "--seed=4294967295", "dir", "--keys=1:b", "--video", "v.mp4"},
                      options, error))
        << error;
    EXPECT_EQ(options.outDir, "dir");
    EXPECT_EQ(options.loopFrames,
              63);  // 2.5 s is 62.5 frames: the loop ends with the frame that starts after
    EXPECT_EQ(options.seed, 4294967295u);
    ASSERT_EQ(options.keys.size(), 1u);
    EXPECT_EQ(options.keys[0].frame, 25);
    EXPECT_EQ(options.keys[0].key, SDLK_b);
    EXPECT_EQ(options.video, "v.mp4");
}

// A key is read by the first frame that starts at or after its time; same-frame keys keep their order.
TEST(CaptureOptionsTest, KeysLandOnTheFrameStartingAtOrAfterTheirTime) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse(
        {"o", "--seconds", "60", "--keys", "30:space,12:b,0:s,0.001:q,0.04:B,12.02:x,60:enter,12:close"},
        options, error))
        << error;
    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {0, SDLK_s},   {1, SDLK_q},       {1, SDLK_b},        {300, SDLK_b}, {300, SCRIPT_KEY_CLOSE},
        {301, SDLK_x}, {750, SDLK_SPACE}, {1500, SDLK_RETURN}};
    ASSERT_EQ(options.keys.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(options.keys[i].frame, expected[i].first) << i;
        EXPECT_EQ(options.keys[i].key, expected[i].second) << i;
    }
}

TEST(CaptureOptionsTest, KeyNames) {
    int32_t key = 0;
    const std::vector<std::pair<std::string, int32_t>> names = {
        {"space", SDLK_SPACE},   {"SPACE", SDLK_SPACE}, {"enter", SDLK_RETURN},      {"return", SDLK_RETURN},
        {"escape", SDLK_ESCAPE}, {"Esc", SDLK_ESCAPE},  {"close", SCRIPT_KEY_CLOSE}, {"Q", SDLK_q},
        {"1", SDLK_1},           {":", SDLK_COLON}};
    for (const auto& [name, expected] : names) {
        ASSERT_TRUE(keyFromName(name, key)) << name;
        EXPECT_EQ(key, expected) << name;
    }
    for (const std::string name : {"", " ", "\t", "spacebar", "bb", "\x7f", "\xc3\xa9"})
        EXPECT_FALSE(keyFromName(name, key)) << name;
}

TEST(CaptureOptionsTest, SecondsAreWholeMillisecondsOfPlainDecimals) {
    int64_t ms = -1;
    const std::vector<std::pair<std::string, int64_t>> good = {
        {"0", 0},     {"12", 12000}, {"2.5", 2500}, {".25", 250},
        {"3.", 3000}, {"0.0004", 0}, {"0.0006", 1}, {"21600", 21600000}};
    for (const auto& [text, expected] : good) {
        ASSERT_TRUE(parseSeconds(text, ms)) << text;
        EXPECT_EQ(ms, expected) << text;
    }
    for (const std::string text :
         {"", ".", "-1", "+1", "1e3", "0x10", "inf", "nan", "1.2.3", "1,5", " 1", "21600.001"})
        EXPECT_FALSE(parseSeconds(text, ms)) << text;
    EXPECT_EQ(frameAtMs(0), 0);
    EXPECT_EQ(frameAtMs(1), 1);
    EXPECT_EQ(frameAtMs(40), 1);
    EXPECT_EQ(frameAtMs(41), 2);
}

TEST(CaptureOptionsTest, MistakesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"a", "b"},
        {""},
        {"o", "--seconds"},
        {"o", "--seconds", "-3"},
        {"o", "--seconds", "21601"},
        {"o", "--seed", "-1"},
        {"o", "--seed", "4294967296"},
        {"o", "--seed", "12x"},
        {"o", "--keys", "b"},
        {"o", "--keys", "1:b,"},
        {"o", "--keys", "x:b"},
        {"o", "--keys", "1:bee"},
        {"o", "--seconds", "2", "--keys", "2.001:b"},
        {"o", "--keys", "61:b"},
        {"o", "--video="},
        {"o", "--frames", "3"},
    };
    for (const auto& words : mistakes) {
        CaptureOptions options;
        std::string error;
        std::string line;
        for (const auto& word : words) line += "[" + word + "]";
        EXPECT_FALSE(parse(words, options, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
        EXPECT_EQ(error.find('\n'), std::string::npos) << line;
    }
}

TEST(CaptureOptionsTest, HelpNeedsNoOutputDirectory) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"-h"}, options, error));
    EXPECT_TRUE(options.help);
    ASSERT_TRUE(parse({"out", "--seconds", "3", "--help"}, options, error));
    EXPECT_TRUE(options.help);
}

}  // namespace
