// The real program under the dummy video driver: its output, exit status and video-mode fallback.
#include <gtest/gtest.h>

#include <regex>

#include "program_runner.h"

namespace {

const std::string kStartLine = "\n KVL dovoz1...init ok!";

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

TEST(ProgramTest, RefusingEveryModeEndsWithTheVideoModeMessage) {
    ProgramResult result = runProgram(refusingRun("all"));
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, kStartLine);
    EXPECT_NE(result.err.find("can't set 320x200 16/32bpp video mode!\n"), std::string::npos) << result.err;
}

TEST(ProgramTest, RunsAndPrintsItsStatistics) {
    ProgramResult result = runProgram(headlessRun());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, kStartLine + "\n\n\n\n frames: 0\n MAX_FPS: 25\n fps: 0.000\n\n\n");
}

TEST(ProgramTest, FallsBackTo16BitsWhen32AreRefused) {
    ProgramResult result = runProgram(refusingRun("32"));
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind(kStartLine, 0), 0u);
    EXPECT_NE(result.out.find("\n MAX_FPS: 25"), std::string::npos);
}

}  // namespace
