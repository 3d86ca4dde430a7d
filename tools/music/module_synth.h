// module_synth.h: the module's instruments, synthesised from sines and seeded noise.
#pragma once
#include "module_format.h"

// The note every drum is written at: its sample was made for the rate that note plays at.
inline constexpr int SYNTH_DRUM_NOTE = 25;  // C-3, about 16574 samples per second

// The pitch (MIDI number) that note C-1 sounds at for each pitched instrument. C-1 plays 4144
// samples per second, so a cycle of 2^n bytes sounds a C about 17 cents flat and one of 3 * 2^n
// bytes an F about 20 cents flat: close enough to play together. Longer cycles played at higher
// notes push the Amiga's mirror images of a sound up and out of hearing.
inline constexpr int SYNTH_BASS_BASE = 17;   // 192-byte cycle: C-1 sounds F0
inline constexpr int SYNTH_PAD_BASE = 36;    // 64-byte root cycle: C-1 sounds C2
inline constexpr int SYNTH_PLUCK_BASE = 41;  // 48-byte cycle: C-1 sounds F2
inline constexpr int SYNTH_LEAD_BASE = 48;   // 32-byte cycle: C-1 sounds C3

// Drums: one-shot samples that start with two zero bytes.
ModuleSample synthKick();
ModuleSample synthSnare();
ModuleSample synthClosedHat();
ModuleSample synthOpenHat();

// A plucked saw bass that settles into a looped mellow last cycle.
ModuleSample synthBass();
// A one-shot bell-like pluck for arpeggios.
ModuleSample synthPluck();
// A soft chorused triad with its octave, in just intonation, swelling in and then looped.
ModuleSample synthPad(bool minor);
// A pulse lead whose width sweeps slowly; the whole sample is its loop.
ModuleSample synthLead();
