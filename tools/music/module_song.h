// module_song.h: the intro's music: its samples, sections, chords, melodies and drum grooves.
#pragma once
#include <string>

#include "module_format.h"

inline constexpr int SONG_SPEED = 6;    // ticks per row
inline constexpr int SONG_TEMPO = 125;  // beats per minute in ProTracker's timer mode: 20 ms ticks

// Builds the whole module. On a composing mistake (a note outside an instrument's range, two
// effects in one cell, a bar that does not add up to 16 rows) it returns false and names the
// mistake in problem.
bool composeSong(Module& module, std::string& problem);
