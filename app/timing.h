// timing.h: the intro's pace: one frame every 40 ms, and the music that plays during one.
#pragma once
#include <cstdint>

#include "bassmod.h"

inline constexpr uint32_t FRAME_MS = 40;                   // one frame at most every 40 ms
inline constexpr int FRAMES_PER_SECOND = 1000 / FRAME_MS;  // 25: the most the intro shows
inline constexpr int FRAME_SAMPLES =
    static_cast<int>(MUSIC_RATE) * FRAME_MS / 1000;  // stereo sample frames per frame
