// bassmod.h: the module-player library layer: one tracker module at a time, decoded by libopenmpt and
// played through SDL audio at 44100 Hz, 16-bit stereo. Results are 1 (true) or 0 (false) unless said.
#pragma once
#include <cstdint>

// Version word the player checks before initialising.
inline constexpr uint32_t BASSMOD_VERSION = 0x00070000;

// Flags of BASSMOD_MusicLoad.
inline constexpr uint32_t BASS_MUSIC_RAMP = 0x1;  // volume ramping
inline constexpr uint32_t BASS_MUSIC_LOOP = 0x4;  // loop for ever
inline constexpr uint32_t BASS_MUSIC_POSRESET = 0x100;

// Sync type of BASSMOD_MusicSetSync: an instrument (counted from 1) played with a note; parameter is
// the note (-1 for any) in the high 16 bits and the instrument in the low 16 bits.
inline constexpr uint32_t BASS_SYNC_MUSICINST = 1;

// Called from the audio thread when a sync fires.
using BASSMOD_SYNCPROC = void (*)(uint32_t handle, uint32_t data, void* user);

uint32_t BASSMOD_GetVersion();
// device -1 is the default output. 0 when there is no audio device.
int BASSMOD_Init(int device, uint32_t frequency, uint32_t flags);
int BASSMOD_Free();
// From memory (mem 1: file is the bytes, length their size) or a path (mem 0). Frees the previous
// module. The module is left paused at its start.
int BASSMOD_MusicLoad(int mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags);
int BASSMOD_MusicFree();
// Starts or resumes where it paused.
int BASSMOD_MusicPlay();
int BASSMOD_MusicPause();
// 0..100, applied smoothly.
int BASSMOD_SetVolume(uint32_t volume);
// The sync handle, 0 on failure.
uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t parameter, BASSMOD_SYNCPROC callback, void* user);
int BASSMOD_MusicRemoveSync(uint32_t sync);
