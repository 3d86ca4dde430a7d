// frame_loop.h: the frame loop and its scheduler: keys, random timers, zoom and spin, a frame every 40 ms.
#pragma once
#include <cstdint>

#include "colour_ramp.h"
#include "distort.h"
#include "platform.h"
#include "scroller.h"

class _vktPTC;
class _vktSurface;
class VolumeControl;

inline constexpr uint32_t FRAME_MS = 40;  // one frame at most every 40 ms: 25 frames per second
inline constexpr int INTRO_WIDTH = 320;   // the work surfaces and the display
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

// The loop over the intro's frames. It holds the intro's state (scheduler, effect, colour ramp, scroller),
// so that each run starts afresh, and borrows the rest; it draws into current, presents it and swaps.
class FrameLoop {
public:
    // Builds the effect's tables, the colour ramp and the scroller's tables; the scheduler keeps its start
    // values until it is armed.
    FrameLoop(Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
              _vktSurface& picture, _vktSurface& fontSheet, _vktSurface& textSurface, _vktSurface& sprite,
              VolumeControl& music);

    // Frames until a quit key has been read; then endTime is set and the closing fade has run.
    void run();
    // One frame, waiting out its 40 ms. 0 after a quit key (endTime set, closing fade played, nothing
    // drawn), 1 to go on.
    int runFrame();
    // The drawing of one frame into current: effect, raster rows, sprite, text.
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
    Scheduler scheduler;
    DistortEffect effect;
    ColourRamp colourRamp;
    Scroller scroller;
    _vktSurface* current;    // drawn this frame
    _vktSurface* other;      // drawn next frame
    int32_t frameCount = 0;  // completed frames
    uint32_t endTime = 0;    // clock value (ms) when the quit key was read
};
