// The real program under the dummy video driver: its output, exit status, video-mode fallback and
// music, ended by the signals a user's terminal sends.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>

#include "program_runner.h"

namespace {

const std::string kStartLines = "\n KVL dovoz1...init ok!\n           ...video init ok!";
constexpr double kOpeningFadeSeconds = 62 * 0.040;

ProgramRun headlessRun() {
    ProgramRun run;
    run.path = DOVOZ1_PROGRAM;
    run.environment = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};
    run.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    return run;
}

ProgramRun refusingRun(const char* bits) {
    ProgramRun run = headlessRun();
    run.environment.emplace_back("LD_PRELOAD", DOVOZ1_REFUSE_MODES_LIBRARY);
    run.environment.emplace_back("DOVOZ1_REFUSE_BITS", bits);
    return run;
}

struct Statistics {
    int frames = -1;
    double fps = -1;
};

// The whole standard output of a run that got past start-up: the two start-up lines and the five
// statistics messages, nothing else.
Statistics parseOutput(const std::string& out) {
    static const std::regex shape(
        "\n KVL dovoz1\\.\\.\\.init ok!\n           \\.\\.\\.video init ok!\n\n\n\n frames: (\\d+)\n "
        "MAX_FPS: "
        "25\n fps: (\\d+\\.\\d{3})\n\n\n");
    std::smatch match;
    Statistics statistics;
    if (std::regex_match(out, match, shape)) {
        statistics.frames = std::stoi(match[1]);
        statistics.fps = std::stod(match[2]);
    }
    return statistics;
}

TEST(ProgramTest, SigtermEndsARunWithConsistentStatistics) {
    ProgramRun run = headlessRun();
    run.signals = {{kOpeningFadeSeconds + 4.6, SIGTERM}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    Statistics statistics = parseOutput(result.out);
    ASSERT_GT(statistics.frames, 0) << result.out;
    // Over 4 s and more of frames the rate sits at the 25 fps cap.
    EXPECT_GE(statistics.fps, 24.5);
    EXPECT_LE(statistics.fps, 25.05);
    // The frames agree with the time the loop ran (about 4.6 s, give or take start-up jitter).
    EXPECT_NEAR(statistics.frames, 4.6 * 25, 15);
}

TEST(ProgramTest, SigintDuringTheOpeningFadeSkipsTheLoop) {
    ProgramRun run = headlessRun();
    run.signals = {{1.0, SIGINT}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, kStartLines + "\n\n\n\n frames: 0\n MAX_FPS: 25\n fps: 0.000\n\n\n");
}

TEST(ProgramTest, FallsBackTo16BitsWhen32AreRefused) {
    ProgramRun run = refusingRun("32");
    run.signals = {{kOpeningFadeSeconds + 1.0, SIGTERM}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_GT(parseOutput(result.out).frames, 0) << result.out;
}

TEST(ProgramTest, RefusingEveryModeEndsWithTheVideoModeMessage) {
    ProgramResult result = runProgram(refusingRun("all"));
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "\n KVL dovoz1...init ok!");
    EXPECT_NE(result.err.find("can't set 320x200 16/32bpp video mode!\n"), std::string::npos) << result.err;
}

TEST(ProgramTest, NoSoundDeviceEndsWithThePlayerMessage) {
    ProgramRun run = headlessRun();
    run.environment = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "no-such-driver"}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, kStartLines);
    EXPECT_NE(result.err.find("can't initialize player!\n"), std::string::npos) << result.err;
}

// RMS of the signed 16-bit stereo samples between two times, as a fraction of full scale.
double rms(const std::vector<int16_t>& samples, double fromSeconds, double toSeconds) {
    const size_t from = static_cast<size_t>(fromSeconds * 44100) * 2;
    const size_t to = std::min(samples.size(), static_cast<size_t>(toSeconds * 44100) * 2);
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0.0;
}

TEST(ProgramTest, MusicStartsAfterTheOpeningFade) {
    const std::string folder = makeTempDirectory();
    ProgramRun run = headlessRun();
    run.environment = {{"SDL_VIDEODRIVER", "dummy"},
                       {"SDL_AUDIODRIVER", "disk"},
                       {"SDL_DISKAUDIOFILE", folder + "/audio.raw"}};
    run.workingDirectory = folder;
    run.signals = {{kOpeningFadeSeconds + 3.0, SIGTERM}};
    ProgramResult result = runProgram(run);
    std::ifstream file(folder + "/audio.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    removeTree(folder);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The disk driver writes in real time from the moment the player opens it, just before the fade.
    ASSERT_GT(samples.size(), size_t(44100 * 2 * (kOpeningFadeSeconds + 2.0)));
    EXPECT_EQ(rms(samples, 0.0, kOpeningFadeSeconds - 0.3), 0.0);
    EXPECT_GT(rms(samples, kOpeningFadeSeconds + 0.5, kOpeningFadeSeconds + 2.0), 0.05);
}

}  // namespace
