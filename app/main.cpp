// main.cpp: the intro's entry function; it reads no command line and no environment.
#include <cstdlib>

#include "intro.h"
#include "quit_request.h"

int main() {
    installQuitSignals();
    Intro intro{IntroSettings{}};
    // A failure has shown its message; the process ends at once, releasing nothing.
    if (!intro.start()) std::exit(1);
    // Between frames the thread sleeps to just before the deadline, then reads the clock.
    const Clock clock = systemClock();
    while (intro.advance()) waitUntil(clock, intro.nextFrameDue());
    if (intro.failed()) std::exit(1);
    intro.finish();
    return 0;
}
