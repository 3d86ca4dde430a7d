// virtual_run.h: the intro on a virtual clock, with scripted keys and its music rendered per frame: the
// run that dovoz1-capture records, the page's test mode compares and the tests examine.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "intro.h"
#include "timing.h"

inline constexpr int32_t SCRIPT_KEY_CLOSE = -1;  // a request to close the window, read as Escape

// A key pressed at a time of the frame loop, which begins when the music starts.
struct ScriptedKey {
    int32_t frame;  // the loop frame that reads it, from 0
    int32_t key;    // SDL key symbol, or SCRIPT_KEY_CLOSE
};

// True for the keys that end the intro: the quit keys and SCRIPT_KEY_CLOSE.
bool scriptKeyQuits(int32_t key);

// What a virtual run plays: its seed, how long the loop runs, and its keys.
struct RunScript {
    uint32_t seed = 1;
    int32_t loopFrames = 0;         // loop frames drawn before Escape ends the loop
    std::vector<ScriptedKey> keys;  // ordered by frame; of several in one frame the last acts
};

// Called after every presented frame with the surface shown and the music of its time: FRAME_SAMPLES
// stereo sample frames, interleaved.
using FrameSink = std::function<void(const _vktSurface& shown, const int16_t* music)>;

// The intro on a clock that moves to each frame's deadline, so a frame follows the last at once. Keys
// are queued as SDL events right before the loop frame that reads them; the music plays on no device
// and is rendered frame by frame. The video driver is the caller's to choose (SDL_VIDEODRIVER).
class VirtualRun {
public:
    VirtualRun(const RunScript& script, FrameSink sink);

    // The intro's start-up; false after a failure, whose message has been shown.
    bool start();
    // One frame, as Intro::advance; then the clock moves to the next frame's deadline and the next
    // frame's keys are queued. False once the intro is over.
    bool advance();
    bool failed() const { return intro.failed(); }
    // The statistics, as Intro::finish.
    void finish() { intro.finish(); }
    // Ends the run early: Escape at the next frame, whose closing fade still plays. True when that
    // shortens the run; false once the loop's end is on its way already.
    bool stop();

private:
    enum class Phase {
        Opening,  // the opening fade: scripted keys wait
        Loop,     // loopFrame is the next frame to read keys
        Closing,  // a quit key is on its way or read: nothing more is queued
    };

    void presented(const _vktSurface& shown);
    void loopStarting();
    void queueKeys();

    RunScript script;
    FrameSink sink;
    std::vector<int16_t> music = std::vector<int16_t>(2 * FRAME_SAMPLES);
    uint32_t now = 0;  // the virtual clock, in milliseconds
    Phase phase = Phase::Opening;
    bool stopping = false;
    int32_t loopFrame = 0;
    size_t nextKey = 0;
    Intro intro;
};
