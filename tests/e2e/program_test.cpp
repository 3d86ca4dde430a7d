// The real program under the dummy video driver: its output, exit status, video-mode fallback and
// music, ended by the signals a user's terminal sends.
#include <gtest/gtest.h>
#include <signal.h>

#include "program_runner.h"
#include "user_run.h"

namespace {

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

TEST(ProgramTest, SigtermEndsARunWithConsistentStatistics) {
    ProgramRun run = headlessRun();
    run.signals = {{OPENING_FADE_SECONDS + 4.6, SIGTERM}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    Statistics statistics = parseStatistics(result.out);
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
    EXPECT_EQ(result.out, START_LINES + "\n\n\n\n frames: 0\n MAX_FPS: 25\n fps: 0.000\n\n\n");
}

TEST(ProgramTest, FallsBackTo16BitsWhen32AreRefused) {
    ProgramRun run = refusingRun("32");
    run.signals = {{OPENING_FADE_SECONDS + 1.0, SIGTERM}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_GT(parseStatistics(result.out).frames, 0) << result.out;
}

TEST(ProgramTest, RefusingEveryModeEndsWithTheVideoModeMessage) {
    ProgramResult result = runProgram(refusingRun("all"));
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, FIRST_LINE);
    EXPECT_NE(result.err.find("can't set 320x200 16/32bpp video mode!\n"), std::string::npos) << result.err;
}

// Without a display SDL would fall back to a driver that shows nothing; the intro must not run unseen.
TEST(ProgramTest, NoDisplayEndsWithTheVideoModeMessage) {
    ProgramRun run = headlessRun();
    run.environment = {{"SDL_AUDIODRIVER", "dummy"}};
    run.unset.push_back("SDL_VIDEODRIVER");
    run.timeoutSeconds = 10.0;
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, FIRST_LINE);
    EXPECT_NE(result.err.find("can't set 320x200 16/32bpp video mode!\n"), std::string::npos) << result.err;
}

TEST(ProgramTest, NoSoundDeviceEndsWithThePlayerMessage) {
    ProgramRun run = headlessRun();
    run.environment = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "no-such-driver"}};
    ProgramResult result = runProgram(run);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, START_LINES);
    EXPECT_NE(result.err.find("can't initialize player!\n"), std::string::npos) << result.err;
}

TEST(ProgramTest, MusicStartsAfterTheOpeningFade) {
    const std::string folder = makeTempDirectory();
    ProgramRun run = headlessRun();
    run.environment = {{"SDL_VIDEODRIVER", "dummy"},
                       {"SDL_AUDIODRIVER", "disk"},
                       {"SDL_DISKAUDIOFILE", folder + "/audio.raw"}};
    run.workingDirectory = folder;
    run.signals = {{OPENING_FADE_SECONDS + 3.0, SIGTERM}};
    ProgramResult result = runProgram(run);
    const Audio audio = readAudio(folder + "/audio.raw");
    removeTree(folder);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The disk driver writes in real time from the moment the player opens it, just before the fade.
    ASSERT_GT(audio.seconds(), OPENING_FADE_SECONDS + 2.0);
    EXPECT_EQ(audio.rms(0.0, OPENING_FADE_SECONDS - 0.3), 0.0);
    EXPECT_GT(audio.rms(OPENING_FADE_SECONDS + 0.5, OPENING_FADE_SECONDS + 2.0), 0.05);
}

}  // namespace
