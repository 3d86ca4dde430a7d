// program_runner.h: runs the real program as a child process with a chosen environment and a timeout.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ProgramResult {
    int exitStatus = -1;  // -1 when the program did not exit by itself
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    std::string out;
    std::string err;
    // Seconds after the start: when it ended, when the marker text appeared (-1: never), and when each
    // signal and action of the run was actually sent or taken (actions may block for a while).
    double endSeconds = 0;
    double markerSeconds = -1;
    std::vector<double> signalSeconds;
    std::vector<double> actionSeconds;
    // Some process of its process group outlived it (they are killed before runProgram returns).
    bool leftProcesses = false;
};

struct ProgramRun {
    std::string path;
    std::vector<std::string> arguments;                            // after the program's own name
    std::vector<std::pair<std::string, std::string>> environment;  // added to (or replacing) the current one
    std::vector<std::string> unset;                                // names removed from the environment
    std::string workingDirectory;
    double timeoutSeconds = 20.0;  // then SIGTERM, and SIGKILL two seconds later
    // Signals to send while it runs: (seconds after start, signal).
    std::vector<std::pair<double, int>> signals;
    // Actions to take while it runs, such as pressing keys: (seconds after start, action).
    std::vector<std::pair<double, std::function<void()>>> actions;
    // When set, the times of signals and actions count from the moment this text first appears on
    // standard output or standard error; if it never appears, none is sent. The timeout still counts
    // from the start.
    std::string marker;
};

ProgramResult runProgram(const ProgramRun& run);

// A fresh empty directory under the system's temporary folder; removed by removeTree.
std::string makeTempDirectory();
void removeTree(const std::string& path);
