// program_runner.cpp: child processes with pipes, signals on a schedule and a hard timeout.
#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void drain(int& fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

ProgramResult runProgram(const ProgramRun& run) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
    std::vector<char*> argv{const_cast<char*>(run.path.c_str())};
    for (const auto& argument : run.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own process group, so that whatever it leaves behind can be found and ended.
        setpgid(0, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        for (const auto& name : run.unset) unsetenv(name.c_str());
        for (const auto& [name, value] : run.environment) setenv(name.c_str(), value.c_str(), 1);
        if (!run.workingDirectory.empty() && chdir(run.workingDirectory.c_str()) != 0) _exit(126);
        execv(run.path.c_str(), argv.data());
        _exit(127);
    }
    if (pid < 0) return {};
    setpgid(pid, pid);  // also here: whichever of the two runs first, the group exists before any kill
    close(outPipe[1]);
    close(errPipe[1]);
    int outFd = outPipe[0];
    int errFd = errPipe[0];
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    fcntl(errFd, F_SETFL, O_NONBLOCK);

    ProgramResult result;
    const auto start = std::chrono::steady_clock::now();
    size_t nextSignal = 0;
    size_t nextAction = 0;
    bool terminated = false;
    int status = 0;
    bool exited = false;
    while (!exited) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        poll(fds, 2, 20);
        if (outFd >= 0 && (fds[0].revents & (POLLIN | POLLHUP))) drain(outFd, result.out);
        if (errFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) drain(errFd, result.err);
        const double elapsed = secondsSince(start);
        if (result.markerSeconds < 0 &&
            (run.marker.empty() || result.out.find(run.marker) != std::string::npos ||
             result.err.find(run.marker) != std::string::npos)) {
            result.markerSeconds = run.marker.empty() ? 0.0 : elapsed;
        }
        const double sinceMarker = result.markerSeconds < 0 ? -1.0 : elapsed - result.markerSeconds;
        while (nextSignal < run.signals.size() && sinceMarker >= run.signals[nextSignal].first) {
            kill(pid, run.signals[nextSignal].second);
            result.signalSeconds.push_back(secondsSince(start));
            ++nextSignal;
        }
        // One action per turn, so that the pipes are read and the clock is looked at in between.
        if (nextAction < run.actions.size() && sinceMarker >= run.actions[nextAction].first) {
            result.actionSeconds.push_back(secondsSince(start));
            run.actions[nextAction].second();
            ++nextAction;
        }
        if (!terminated && elapsed > run.timeoutSeconds) {
            result.timedOut = true;
            terminated = true;
            kill(pid, SIGTERM);
        }
        if (terminated && elapsed > run.timeoutSeconds + 2.0) kill(-pid, SIGKILL), kill(pid, SIGKILL);
        exited = waitpid(pid, &status, WNOHANG) == pid;
    }
    result.endSeconds = secondsSince(start);
    // The group outlives its leader only if the program started something that is still running.
    if (kill(-pid, 0) == 0) {
        result.leftProcesses = true;
        kill(-pid, SIGKILL);
    }
    // What is still in the pipes; a process that escaped the group could hold them open, so not for ever.
    const auto ended = std::chrono::steady_clock::now();
    while ((outFd >= 0 || errFd >= 0) && secondsSince(ended) < 2.0) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        poll(fds, 2, 20);
        if (outFd >= 0 && (fds[0].revents & (POLLIN | POLLHUP))) drain(outFd, result.out);
        if (errFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) drain(errFd, result.err);
    }
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::string makeTempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dovoz1-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
