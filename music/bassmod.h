// bassmod.h: the module-player library layer: one tracker module at a time, decoded by libopenmpt and
// played through SDL audio at MUSIC_RATE, 16-bit stereo. Results are 1 (true) or 0 (false) unless said.
// Calls come from one thread at a time, except that BASSMOD_Render may run while another thread loads
// a module; the music is rendered on SDL's audio thread.
#pragma once
#include <cstdint>

// Version word the player checks before initialising.
inline constexpr uint32_t BASSMOD_VERSION = 0x00010000;  // this layer, 1.0

// The music's sample rate, Hz: what the intro's player opens and what the layer mixes at before that.
inline constexpr uint32_t MUSIC_RATE = 44100;

// Devices of BASSMOD_Init: the default output (1 means the same), or none, where the music is only
// rendered on request through BASSMOD_Render.
inline constexpr int BASSMOD_DEVICE_DEFAULT = -1;
inline constexpr int BASSMOD_DEVICE_NONE = 0;

// Flags of BASSMOD_MusicLoad.
inline constexpr uint32_t BASS_MUSIC_RAMP = 0x1;  // libopenmpt's default volume ramping; none without it
inline constexpr uint32_t BASS_MUSIC_LOOP = 0x4;  // loop for ever; without it the song stops at its end
inline constexpr uint32_t BASS_MUSIC_POSRESET = 0x100;  // accepted; a load always starts from the top

// Sync type of BASSMOD_MusicSetSync: an instrument (counted from 1) played with a note; parameter is
// the note (-1 for any) in the high 16 bits and the instrument in the low 16 bits. Notes count from
// 0 (C-0) to 119 (B-9) in libopenmpt's octaves, where ProTracker's C-1 is 48.
inline constexpr uint32_t BASS_SYNC_MUSICINST = 1;

// Called on the thread that renders (SDL's audio thread, or the caller of BASSMOD_Render) when a
// channel starts the instrument with the note, at the start of that row. data: the note in the low
// 16 bits, the channel (from 0) in the high 16 bits. It must not call back into this layer.
using BASSMOD_SYNCPROC = void (*)(uint32_t handle, uint32_t data, void* user);

uint32_t BASSMOD_GetVersion();
// Opens the device (BASSMOD_DEVICE_DEFAULT or BASSMOD_DEVICE_NONE) at frequency Hz, 8000..192000;
// flags are ignored. 0 when already initialised or when there is no audio device.
int BASSMOD_Init(int device, uint32_t frequency, uint32_t flags);
// Closes the output and frees the module and its syncs; 0 when not initialised.
int BASSMOD_Free();
// From memory (mem 1: the module is length bytes at file + offset; length 0 fails, as the block's end
// would be unknown) or a path (mem 0: from offset, length bytes or 0 for the rest of the file). Frees
// the previous module even when this load fails. The module is left paused at its start.
int BASSMOD_MusicLoad(int mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags);
// Frees the module and its syncs; 0 when none was loaded.
int BASSMOD_MusicFree();
// Starts or resumes where it paused; a song that stopped at its end starts again. 0 without a module.
int BASSMOD_MusicPlay();
// 0 without a module.
int BASSMOD_MusicPause();
// 0..100, linear in amplitude, reached over a few milliseconds; 0 above 100 or before init.
int BASSMOD_SetVolume(uint32_t volume);
// The sync handle, 0 on failure (no module, another type, instrument 0, note outside -1..119, no
// callback). Freeing the module removes its syncs.
uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t parameter, BASSMOD_SYNCPROC callback, void* user);
// 0 for an unknown handle.
int BASSMOD_MusicRemoveSync(uint32_t sync);
// Renders frames of the current state into stereo (interleaved left, right) with the same pause,
// volume and sync handling as the output; silence when nothing plays. For offline capture and tests
// (with BASSMOD_DEVICE_NONE; with an open device the frames are taken from the output). 0 before
// init or for a missing buffer or negative count.
int BASSMOD_Render(int16_t* stereo, int frames);
