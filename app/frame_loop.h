// frame_loop.h: the frame loop and its scheduler: keys, random timers, zoom and spin, a frame every FRAME_MS.
#pragma once
#include <cstdint>
#include <optional>

#include "colour_ramp.h"
#include "distort.h"
#include "fade.h"
#include "platform.h"
#include "scroller.h"

class _vktPTC;
class _vktSurface;
class VolumeControl;

inline constexpr int INTRO_WIDTH = 320;  // the work surfaces and the display
inline constexpr int INTRO_HEIGHT = 200;
inline constexpr int EFFECT_MODES = 8;
inline constexpr int SPRITE_SHOW_FRAMES = 100;  // frames the sprite stays up once popped
inline constexpr int SPIN_FRAMES = 20;          // frames between changes of spinSpeed
inline constexpr int SPIN_LIMIT = 8;            // spinSpeed turns once it passes ±8
inline constexpr int PINNED_SPIN = 3;           // spinSpeed in the twisting modes
inline constexpr const char* SCREENSHOT_FILE = "screenshot.bmp";

// An effect mode's twists for distortPicture, in table units per row.
struct ModeTwist {
    int32_t pixelTwist;
    int32_t rowTwist;
};
inline constexpr ModeTwist modeTable[EFFECT_MODES] = {{0, 0}, {1, 0},  {0, 1},  {1, 1},
                                                      {2, 2}, {-2, 2}, {2, -2}, {3, 0}};

// What distortPicture gets this frame.
struct EffectParameters {
    int32_t angleStep;  // table units, twice spinSpeed
    float zoom;
    int32_t pixelTwist;
    int32_t rowTwist;
};

// The scheduler's state with its start values; the frame loop holds the intro's.
struct Scheduler {
    int32_t effectMode = 0;      // 0..7, row of modeTable; set when armed
    float zoom = 1.0f;           // texels per screen pixel
    int32_t zoomRising = 1;      // 1: +0.05 per frame; 0: −0.2 per frame
    int32_t spinSpeed = -8;      // half the angle step; never 0 when handed on
    int32_t spinRising = 1;      // 1: spinSpeed counts up; 0: down
    int32_t spinCountdown = 20;  // frames until spinSpeed changes
    int32_t spriteFrames = 0;    // frames the sprite is still drawn
    int32_t spriteX = 0;         // sprite position on the work surface
    int32_t spriteY = 0;
    uint32_t spriteDeadline = 0;  // clock value (ms) after which the sprite pops up
    uint32_t modeDeadline = 0;    // clock value (ms) after which effectMode advances
};

// A fresh random value r as r × (1/32767 in single precision): 0 up to just below 1.
double randomUnit(Platform& platform);

// Sets both deadlines from the clock and picks the first mode (0..6), in that order.
void armScheduler(Platform& platform, Scheduler& scheduler);
// effectMode + 1, from 7 back to 0.
void advanceEffectMode(Scheduler& scheduler);
// Shows the sprite for 100 frames at a random place where it lies wholly inside the 320×200 frame.
void popSprite(Platform& platform, Scheduler& scheduler, int spriteWidth, int spriteHeight);
// The sprite timer, then the mode timer; each fires once its deadline has passed and sets the next.
void runTimers(Platform& platform, Scheduler& scheduler, int spriteWidth, int spriteHeight);
// Zoom and spin for one frame, pinned to 1.0 and 3 in the twisting modes; the effect's parameters.
EffectParameters stepMotion(Scheduler& scheduler);

// The loop over the intro's frames, then its closing fade, one frame per call. It holds the intro's state
// (scheduler, effect, colour ramp, scroller), so that each run starts afresh, and borrows the rest; it
// draws into the current work surface, presents it and swaps. Nothing in it waits: its caller calls
// again once the frame's time is over.
class FrameLoop {
public:
    // Builds the effect's tables, the colour ramp and the scroller's tables; the scheduler keeps its start
    // values until it is armed.
    FrameLoop(Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
              _vktSurface& picture, _vktSurface& fontSheet, _vktSurface& textSurface, _vktSurface& sprite,
              VolumeControl& music);

    // The next frame: one of the loop, or once a quit key has been read (endTime set, nothing drawn for
    // the loop) one of the closing fade. True with a frame presented, the next due at nextFrameDue();
    // false once the closing fade has run out or a quit key cut it short, and at every call after that.
    bool advance();
    // FRAME_MS after the start of the frame last presented.
    uint32_t nextFrameDue() const { return due; }

    // Completed loop frames.
    int32_t frameCount() const { return frames; }
    // The clock value (ms) when the quit key was read; 0 before.
    uint32_t endTime() const { return quitTime; }
    // The work surface the next loop frame draws on.
    const _vktSurface& current() const { return *drawn; }
    // The intro's state, for arming and for setting a scene.
    Scheduler& scheduler() { return schedule; }
    Scroller& scroller() { return typewriter; }
    const ColourRamp& colourRamp() const { return ramp; }

private:
    // One frame of the loop; false after a quit key.
    bool loopFrame();
    // The drawing of one frame into the current surface: effect, raster rows, sprite, text.
    void drawFrame(const EffectParameters& parameters);

    // Borrowed: the context, the console, the pictures and surfaces, the music.
    Platform& platform;
    _vktPTC& console;
    _vktSurface& picture;
    _vktSurface& fontSheet;
    _vktSurface& textSurface;
    _vktSurface& sprite;
    VolumeControl& music;
    // The intro's own state.
    Scheduler schedule;
    DistortEffect pictureEffect;
    ColourRamp ramp;
    Scroller typewriter;
    _vktSurface* drawn;           // drawn this frame
    _vktSurface* spare;           // drawn next frame
    std::optional<Fade> closing;  // from the quit key on
    bool over = false;            // the closing fade has ended
    int32_t frames = 0;           // completed loop frames
    uint32_t quitTime = 0;        // clock value (ms) when the quit key was read
    uint32_t due = 0;             // clock value (ms) when the next frame is due
};
