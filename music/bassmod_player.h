// bassmod_player.h: the intro's module player, a thin object over the module-player library layer.
#pragma once
#include <cstdint>

#include "bassmod.h"

class _vktBassModPlayer {
public:
    // Runs init(); test status afterwards.
    _vktBassModPlayer();
    // Runs init(device); BASSMOD_DEVICE_NONE gives a player whose music is only rendered on request.
    explicit _vktBassModPlayer(int device);
    // Frees the library.
    ~_vktBassModPlayer();
    _vktBassModPlayer(const _vktBassModPlayer&) = delete;
    _vktBassModPlayer& operator=(const _vktBassModPlayer&) = delete;

    // Frees the library, checks its version and opens the default output at MUSIC_RATE; status.
    int init();
    // The same on a device of BASSMOD_Init: BASSMOD_DEVICE_DEFAULT, or BASSMOD_DEVICE_NONE, where nothing
    // sounds and BASSMOD_Render takes the music out; status.
    int init(int device);
    // Frees the library; status 0; returns 1.
    int shutdown();
    int release();
    // One module at a time: each load frees the previous one. Loaded modules loop; status.
    int loadFile(const char* path);
    int loadResource(const char* name);
    int playFile(const char* path);
    int playResource(const char* name);
    // Do nothing while status is 0; status.
    int play();
    int pause();
    int stop();
    // Clamps to 0..100; the library's result, or 0 while status is 0 (status unchanged).
    int setVolume(int percent);
    void invalidate();
    // Instruments count from 0 here; the note is clamped to -1..119. The sync handle.
    uint32_t setInstrumentSync(BASSMOD_SYNCPROC callback, int instrument, int note);
    int removeSync(uint32_t sync);

    int32_t status;  // 0: library unusable or the last load, play or pause failed
};
