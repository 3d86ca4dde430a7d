// intro.h: the intro's whole run, shared by the program and its capture: start-up, opening fade, frame
// loop with the closing fade, and shut-down.
#pragma once
#include <cstdint>
#include <functional>

#include "bassmod.h"
#include "platform.h"

// What a run may set differently; the defaults are the program's own.
struct IntroSettings {
    // BASSMOD_DEVICE_DEFAULT plays through SDL audio; with BASSMOD_DEVICE_NONE nothing sounds and the
    // music is taken out with BASSMOD_Render.
    int musicDevice = BASSMOD_DEVICE_DEFAULT;
    // Seeds the random source with seed rather than the calendar time.
    bool fixedSeed = false;
    uint32_t seed = 1;
    // Called once the music plays, the scheduler is armed and startTime is taken, right before the
    // first frame reads its key; empty calls nothing.
    std::function<void()> beforeFrameLoop;
};

// Runs the intro on the platform given (the system's own by default), whose generator it seeds as the
// settings say: 0 after a normal run, also after a quit during the opening fade. A start-up failure shows
// its message through the console and ends the process with status 1. The intro's state lives in the
// run, so each run starts from the same state.
int runIntro(const IntroSettings& settings, Platform platform = Platform{});
