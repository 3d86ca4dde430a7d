// x_session.cpp: Xvfb and evilwm as child processes, and the X tools the tests drive them with.
#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

extern char** environ;

namespace {

// Starts a command with DISPLAY set (empty: unchanged). Its standard error goes to errorPath when one is
// given, else to the test's log.
pid_t spawn(const std::vector<std::string>& command, const std::string& display, int keepFd = -1,
            const std::string& errorPath = {}) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (std::string(*entry).rfind("DISPLAY=", 0) != 0) environment.emplace_back(*entry);
    }
    if (!display.empty()) environment.push_back("DISPLAY=" + display);
    std::vector<char*> argv;
    for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    // The X tools are quiet when they work; what they say otherwise goes to the test's log.
    if (keepFd < 0) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
    if (!errorPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// "exit status N" or "killed by signal N" for a child that has ended, "" for one still running.
std::string endedHow(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return {};
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// A file for a child's standard error, removed when the session ends.
std::string makeErrorFile(const char* name) {
    std::string path = std::string("/tmp/dovoz1-") + name + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return {};
    close(fd);
    return path;
}

}  // namespace

bool runCommand(const std::vector<std::string>& command, const std::string& display) {
    pid_t pid = spawn(command, display);
    if (pid < 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

XSession::XSession(int width, int height) {
    serverLog_ = makeErrorFile("xvfb");
    windowManagerLog_ = makeErrorFile("evilwm");
    int fds[2];
    if (serverLog_.empty() || windowManagerLog_.empty() || pipe(fds) != 0) {
        error_ = "no temporary files for the X session";
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // Xvfb picks a free display and writes its number to the inherited descriptor.
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int log = open(serverLog_.c_str(), O_WRONLY | O_TRUNC);
        if (log >= 0) dup2(log, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", "-br", "-nocursor", static_cast<char*>(nullptr));
        dprintf(2, "cannot run Xvfb: %s", strerror(errno));
        _exit(127);
    }
    close(fds[1]);
    server_ = pid;
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        const std::string how = endedHow(server_);
        error_ = "Xvfb did not start (" + (how.empty() ? "no display within 10 s" : how) +
                 "): " + fileText(serverLog_);
        stop(server_);
        server_ = -1;
        return;
    }
    display_ = ":" + number;
    windowManager_ = spawn({"evilwm"}, display_, -1, windowManagerLog_);
    // The window manager is ready once it owns the root window's events; a short wait is enough. One
    // that cannot start (no font, another manager running) ends within that wait.
    for (int i = 0; i < 50 && !runCommand({"xdotool", "getdisplaygeometry"}, display_); ++i) usleep(20000);
    usleep(200000);
    const std::string how = windowManager_ < 0 ? "could not be run" : endedHow(windowManager_);
    if (!how.empty()) {
        error_ = "evilwm did not start (" + how + "): " + fileText(windowManagerLog_);
        windowManager_ = -1;
        display_.clear();
    }
}

XSession::~XSession() {
    stop(windowManager_);
    stop(server_);
    if (!serverLog_.empty()) unlink(serverLog_.c_str());
    if (!windowManagerLog_.empty()) unlink(windowManagerLog_.c_str());
}

bool XSession::run(const std::vector<std::string>& command) const {
    return runCommand(command, display_);
}

bool XSession::pressKey(const std::string& key) const {
    return run({"xdotool", "key", key});
}

// evilwm closes the focused window on Ctrl+Alt+Escape by sending it WM_DELETE_WINDOW, as a close
// button would.
bool XSession::closeWindows() const {
    return run({"xdotool", "key", "ctrl+alt+Escape"});
}

bool XSession::captureScreen(const std::string& pngPath) const {
    return run({"sh", "-c", "xwd -root -silent | convert xwd:- '" + pngPath + "'"});
}

Image XSession::grabScreen() const {
    char path[] = "/tmp/dovoz1-screen-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    Image screen;
    if (run({"xwd", "-root", "-silent", "-out", path})) screen = readXwd(path);
    unlink(path);
    return screen;
}
