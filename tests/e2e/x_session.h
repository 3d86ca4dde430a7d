// x_session.h: a private X server (Xvfb) with a minimal window manager, for running the program as a
// user would: a real window, real key presses, a capture of the screen.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "image.h"

class XSession {
public:
    // Starts Xvfb on a free display with the given screen size (black root window, no cursor), then
    // evilwm on it. When either does not start, the session is not running and error() says why.
    XSession(int width = 1280, int height = 800);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    // Why the session is not running: which server failed, how it ended and what it printed.
    const std::string& error() const { return error_; }
    // Presses and releases a key (xdotool key names: Escape, Return, space, q, b, s).
    bool pressKey(const std::string& key) const;
    // Asks the focused window to close, through the window manager.
    bool closeWindows() const;
    // The whole screen as a PNG file.
    bool captureScreen(const std::string& pngPath) const;
    // The whole screen as it is now; empty if the capture failed.
    Image grabScreen() const;

private:
    bool run(const std::vector<std::string>& command) const;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string display_;
    std::string error_;
    std::string serverLog_;
    std::string windowManagerLog_;
};

// Runs a command to its end with DISPLAY set (empty: unchanged); true when it exits with status 0.
bool runCommand(const std::vector<std::string>& command, const std::string& display);
