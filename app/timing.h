// timing.h: the intro's pace: one frame every 40 ms, and the music that plays during one.
#pragma once
#include <cstdint>

#include "bassmod.h"

inline constexpr uint32_t FRAME_MS = 40;                   // one frame at most every 40 ms
inline constexpr int FRAMES_PER_SECOND = 1000 / FRAME_MS;  // 25: the most the intro shows
inline constexpr int FRAME_SAMPLES =
    static_cast<int>(MUSIC_RATE) * FRAME_MS / 1000;  // stereo sample frames per frame

// The time a frame handled at now (at or past its deadline due) is given on a clock that ticks with a
// display's refreshes, such as a page's animation frames: the deadline itself when now is less than one
// frame past it, so that the frames stay on the FRAME_MS grid, 25 a second at any refresh rate; now when
// it is further behind (a page in a hidden tab), so that nothing is made up.
inline uint32_t gridFrameTime(uint32_t now, uint32_t due) {
    return now - due < FRAME_MS ? due : now;
}
