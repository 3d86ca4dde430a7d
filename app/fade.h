// fade.h: the grey flash that opens and closes the intro, with the closing volume ramp.
#pragma once
#include <cstdint>

class _vktPTC;
class _vktSurface;
class _vktBassModPlayer;
struct Platform;

// Directions of a Fade: both draw the same frames; FADE_OUT also ramps the music down.
inline constexpr int FADE_IN = 0;
inline constexpr int FADE_OUT = 1;

inline constexpr int FADE_STEP = 8;         // grey change per frame
inline constexpr int FADE_VOLUME_STEP = 2;  // volume change per frame of FADE_OUT, in percent

// What a fade needs of the music: its volume, 0..100.
class VolumeControl {
public:
    virtual ~VolumeControl() = default;
    virtual void setVolume(int percent) = 0;
};

// The intro's module player as a VolumeControl.
class PlayerVolume : public VolumeControl {
public:
    explicit PlayerVolume(_vktBassModPlayer& player) : player(player) {}
    void setVolume(int percent) override;

private:
    _vktBassModPlayer& player;  // borrowed
};

// The grey sequence: 8, 16, …, 248, then 247, 239, …, 7.
class FadeGreys {
public:
    // The next grey, or -1 once the sequence is over.
    constexpr int next() {
        counter += FADE_STEP;
        if (counter <= 255) return counter;
        level -= FADE_STEP;
        return level < 0 ? -1 : level;
    }

private:
    int counter = 0;  // rising half: 8 per frame
    int level = 255;  // falling half, once counter has passed 255
};

// Frames a fade shows when no key cuts it short.
inline constexpr int FADE_FRAMES = [] {
    FadeGreys greys;
    int frames = 0;
    while (greys.next() >= 0) ++frames;
    return frames;
}();

// What one pass of a fade did.
enum class FadePass {
    Presented,  // a grey frame is shown; the next pass is due at nextFrameDue()
    Finished,   // the sequence is over: nothing drawn
    Cut,        // a quit key was read: nothing drawn
};

// One fade: FADE_FRAMES uniform grey frames, one per pass, drawn into first and second in turn and presented
// on their console. The caller's surfaces are left in the order given; other keys than the quit keys are read
// and dropped.
class Fade {
public:
    Fade(_vktPTC& console, _vktSurface& first, _vktSurface& second, VolumeControl& music, int direction);

    // Reads the keys, sets the deadline a frame (FRAME_MS) on, sets the volume (FADE_OUT), and draws and
    // presents the next grey.
    FadePass pass(const Platform& platform);
    // When the frame of the last Presented pass has had its time.
    uint32_t nextFrameDue() const { return due; }

private:
    _vktPTC& console;      // borrowed
    _vktSurface* shown;    // borrowed: drawn at the next pass
    _vktSurface* next;     // borrowed
    VolumeControl& music;  // borrowed
    int direction;
    FadeGreys greys;
    int volume = 100;  // FADE_OUT: percent sent at the next pass, 0 once below
    uint32_t due = 0;
};
