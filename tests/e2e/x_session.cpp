// x_session.cpp: Xvfb and evilwm as child processes, and the X tools the tests drive them with.
#include "x_session.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern char** environ;

namespace {

pid_t spawn(const std::vector<std::string>& command, const std::string& display, int keepFd = -1) {
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

}  // namespace

bool runCommand(const std::vector<std::string>& command, const std::string& display) {
    pid_t pid = spawn(command, display);
    if (pid < 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

XSession::XSession(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // Xvfb picks a free display and writes its number to the inherited descriptor.
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", "-br", "-nocursor", static_cast<char*>(nullptr));
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
        stop(server_);
        server_ = -1;
        return;
    }
    display_ = ":" + number;
    windowManager_ = spawn({"evilwm"}, display_);
    // The window manager is ready once it owns the root window's events; a short wait is enough.
    for (int i = 0; i < 50 && !runCommand({"xdotool", "getdisplaygeometry"}, display_); ++i) usleep(20000);
    usleep(200000);
}

XSession::~XSession() {
    stop(windowManager_);
    stop(server_);
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
