// intro.h: the intro's run as a value its caller advances: start-up, then one call per presented frame
// through the opening fade, the frame loop and the closing fade, then the statistics.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "bassmod.h"
#include "bassmod_player.h"
#include "fade.h"
#include "frame_loop.h"
#include "module_load.h"
#include "platform.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"

// What a run may set differently; the defaults are the program's own.
struct IntroSettings {
    // BASSMOD_DEVICE_DEFAULT plays through SDL audio; with BASSMOD_DEVICE_NONE nothing sounds and the
    // music is taken out with BASSMOD_Render.
    int musicDevice = BASSMOD_DEVICE_DEFAULT;
    // Seeds the random source with seed rather than the calendar time.
    bool fixedSeed = false;
    uint32_t seed = 1;
    // Called once the music plays, the scheduler is armed and startTime is taken, right before the
    // first loop frame reads its key (in the call that ends the opening fade); empty calls nothing.
    std::function<void()> beforeFrameLoop;
};

// One run of the intro on a platform (the system's own by default). The caller paces it: start(), then
// advance() until it returns false, each time waiting until nextFrameDue(), then finish(). Nothing in
// it sleeps or waits. Its state lives in the object, so each run starts from the same state.
class Intro {
public:
    explicit Intro(const IntroSettings& settings, Platform platform = Platform{});
    Intro(const Intro&) = delete;
    Intro& operator=(const Intro&) = delete;

    // Start-up: the message streams, the seed, the console, the work surfaces, the pictures, the text
    // surface and the player; the module starts loading. False after a failure: its message has been
    // shown and nothing is released; the caller ends the process with status 1.
    bool start();
    // The next frame of the opening fade, the loop or the closing fade. True with one frame drawn and
    // presented, the next due at nextFrameDue(): FRAME_MS after this one began (a late call is not made
    // up). False once the intro is over: it ended (the closing fade is over, or a quit key cut the opening
    // fade short) or, as failed() says, the module did not load or play (its message shown, as for
    // start).
    bool advance();
    uint32_t nextFrameDue() const { return due; }
    bool failed() const { return phase == Phase::Failed; }
    // After the end: stops and frees the player, prints the statistics and closes the console.
    void finish();

private:
    enum class Phase { Idle, Opening, Loop, Over, Failed };

    // The console shows why; the run is over.
    bool fail(const char* message);
    bool failNamed(const char* format, const char* name);
    // Loads a picture resource and brings it to the work format; false after a failure.
    bool loadPicture(_vktSurface& surface, const char* name);
    // From the end of the opening fade to the loop: the module's load, the music, the scheduler.
    bool enterLoop();

    IntroSettings settings;
    Platform platform;
    Phase phase = Phase::Idle;
    // The run's objects, made in this order by start() and the opening fade's end, and destroyed in the
    // reverse order.
    std::optional<_vktPTC> console;
    _vktSurface surface1;
    _vktSurface surface2;
    _vktSurface picture;
    _vktSurface fontSheet;
    _vktSurface textSurface;
    _vktSurface sprite;
    std::optional<_vktBassModPlayer> player;
    std::optional<ModuleLoad> moduleLoad;
    std::optional<PlayerVolume> music;
    std::optional<Fade> opening;
    std::optional<FrameLoop> loop;
    uint32_t startTime = 0;  // clock value (ms) when the loop began
    uint32_t due = 0;        // clock value (ms) when the next frame is due
};
