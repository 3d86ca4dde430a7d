// The runner the program tests rely on: a hung program must be ended and reported, and a process
// left behind must be noticed, or the checks built on them would pass for the wrong reason. Likewise
// an X session whose window manager died must say so, not let the scenarios run without it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "program_runner.h"
#include "x_session.h"

namespace {

TEST(ProgramRunnerTest, TimeoutEndsAProgramThatIgnoresSigterm) {
    ProgramRun run;
    run.path = "/bin/sh";
    run.arguments = {"-c", "trap '' TERM; echo started; sleep 30"};
    run.timeoutSeconds = 0.5;
    const ProgramResult result = runProgram(run);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.signal, SIGKILL);
    EXPECT_EQ(result.exitStatus, -1);
    EXPECT_EQ(result.out, "started\n");
    EXPECT_LT(result.endSeconds, 10.0);
}

TEST(ProgramRunnerTest, NoticesAndEndsAProcessLeftBehind) {
    ProgramRun run;
    run.path = "/bin/sh";
    run.arguments = {"-c", "sleep 30 >/dev/null 2>&1 & exit 3"};
    const ProgramResult result = runProgram(run);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_TRUE(result.leftProcesses);
}

TEST(ProgramRunnerTest, ActionsCountFromTheMarker) {
    bool acted = false;
    ProgramRun run;
    run.path = "/bin/sh";
    run.arguments = {"-c", "sleep 0.3; echo ready >&2; sleep 0.5"};
    run.marker = "ready";
    run.actions = {{0.1, [&acted] { acted = true; }}};
    const ProgramResult result = runProgram(run);
    EXPECT_TRUE(acted);
    ASSERT_EQ(result.actionSeconds.size(), 1u);
    EXPECT_GE(result.markerSeconds, 0.3);
    EXPECT_GE(result.actionSeconds[0], result.markerSeconds + 0.1);
    EXPECT_EQ(result.exitStatus, 0);
}

// As evilwm ends on a machine without its default font.
TEST(XSessionTest, AWindowManagerThatCannotStartIsReportedWithItsMessage) {
    const std::string bin = makeTempDirectory();
    ASSERT_FALSE(bin.empty());
    {
        std::ofstream script(bin + "/evilwm");
        script << "#!/bin/sh\necho \"couldn't find a font to use: try starting with -fn fontname\" >&2\nexit "
                  "1\n";
    }
    chmod((bin + "/evilwm").c_str(), 0755);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    const XSession session(320, 200);
    setenv("PATH", path.c_str(), 1);
    removeTree(bin);

    EXPECT_FALSE(session.running());
    EXPECT_EQ(
        session.error(),
        "evilwm did not start (exit status 1): couldn't find a font to use: try starting with -fn fontname");
}

}  // namespace
