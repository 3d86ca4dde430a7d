// quit_request.cpp: the quit signals' handlers and the count of requests they leave for the intro.
#include "quit_request.h"

#include <signal.h>

#include <atomic>

#include "sdlptc_console.h"

namespace {

// Signals not yet read as a quit key. The handlers only add to it and the intro's thread alone takes
// from it; a lock-free atomic is safe to change inside a handler.
std::atomic<int> pendingQuits{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onQuitSignal(int) {
    pendingQuits.fetch_add(1);
}

}  // namespace

void installQuitSignals() {
    // SDL turns SIGINT and SIGTERM into its quit event only where their handler is still the default one
    // when it starts, and when it shuts down it resets only a handler of its own; so with these in place
    // first, SDL never installs its own, however often the console restarts it. One signal is then one
    // request: SDL's quit event as well would read as a second quit key and cut the closing fade short.
    // Nor does the request depend on SDL's events, which stop when its event loop fails.
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    action.sa_flags = SA_RESTART;  // output and file writes under way go on
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int readIntroKey(_vktPTC& console) {
    if (pendingQuits.load() > 0) {
        pendingQuits.fetch_sub(1);
        return KEY_ESCAPE;
    }
    return console.readKey();
}
