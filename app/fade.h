// fade.h: the grey flash that opens and closes the intro, with the closing volume ramp.
#pragma once
#include <cstdint>

class _vktPTC;
class _vktSurface;
class _vktBassModPlayer;
struct Platform;

// Directions of fade(): both draw the same frames; FADE_OUT also ramps the music down.
inline constexpr int FADE_IN = 0;
inline constexpr int FADE_OUT = 1;

inline constexpr uint32_t FADE_FRAME_MS = 40;  // milliseconds per fade frame
inline constexpr int FADE_STEP = 8;            // grey change per frame
inline constexpr int FADE_VOLUME_STEP = 2;     // volume change per frame of FADE_OUT, in percent

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

    _vktBassModPlayer& player;  // borrowed
};

// The grey sequence: 8, 16, …, 248, then 247, 239, …, 7.
class FadeGreys {
public:
    // The next grey, or -1 once the sequence is over.
    int next();

    int counter = 0;  // rising half: 8 per frame
    int level = 255;  // falling half, once counter has passed 255
};

// Shows 62 uniform grey frames of 40 ms on the platform's clock, drawing into first and second in turn
// and presenting each on its console. 1 when it ran to its end, 0 as soon as a quit key is read; other
// keys are dropped. The caller's surfaces are left in the order given.
int fade(const Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
         VolumeControl& music, int direction);
int fade(const Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
         _vktBassModPlayer& player, int direction);
