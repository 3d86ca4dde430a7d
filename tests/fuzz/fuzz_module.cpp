// fuzz_module.cpp: modules from memory through the player's library layer: load, sync, play, render, free.
//
// The layer runs without a sound device, so every frame comes from BASSMOD_Render on this thread.
#include <cstring>
#include <vector>

#include "bassmod.h"
#include "fuzz_input.h"

namespace {

// How the intro loads its module: ramping, looping, from the top.
constexpr uint32_t LOAD_FLAGS = BASS_MUSIC_RAMP | BASS_MUSIC_LOOP | BASS_MUSIC_POSRESET;
constexpr int RENDER_CHUNK = 1000;  // an odd size, so chunks straddle the layer's sync steps
constexpr int RENDER_CHUNKS = 6;

struct SyncLog {
    int calls = 0;
};

void onInstrument(uint32_t, uint32_t data, void* user) {
    // The note is 0..119 and the channel one the module has.
    FUZZ_CHECK((data & 0xFFFF) <= 119);
    FUZZ_CHECK((data >> 16) < 256);
    ++static_cast<SyncLog*>(user)->calls;
}

bool silent(const std::vector<int16_t>& frames) {
    for (int16_t sample : frames) {
        if (sample != 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = BASSMOD_Init(BASSMOD_DEVICE_NONE, 44100, 0) == 1;
    FUZZ_CHECK(ready);
    if (size > UINT32_MAX) return 0;
    std::vector<int16_t> frames(2 * RENDER_CHUNK);

    if (!BASSMOD_MusicLoad(1, data, 0, static_cast<uint32_t>(size), LOAD_FLAGS)) {
        // A refused module leaves nothing loaded and nothing to hear.
        FUZZ_CHECK(BASSMOD_MusicPlay() == 0);
        FUZZ_CHECK(BASSMOD_Render(frames.data(), RENDER_CHUNK) == 1);
        FUZZ_CHECK(silent(frames));
        return 0;
    }
    SyncLog log;
    // Any note of instrument 1, and C-2 of instrument 2: the intro's kind of sync.
    const uint32_t anyNote = BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, 0xFFFF0001u, onInstrument, &log);
    const uint32_t oneNote = BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, (60u << 16) | 2u, onInstrument, &log);
    FUZZ_CHECK(anyNote != 0 && oneNote != 0 && anyNote != oneNote);
    FUZZ_CHECK(BASSMOD_MusicPlay() == 1);
    for (int i = 0; i < RENDER_CHUNKS; ++i) {
        if (i == 2) FUZZ_CHECK(BASSMOD_SetVolume(40) == 1);
        if (i == 3) FUZZ_CHECK(BASSMOD_MusicRemoveSync(oneNote) == 1);
        FUZZ_CHECK(BASSMOD_Render(frames.data(), RENDER_CHUNK - i) == 1);
    }
    FUZZ_CHECK(BASSMOD_MusicPause() == 1);
    FUZZ_CHECK(BASSMOD_Render(frames.data(), RENDER_CHUNK) == 1);
    FUZZ_CHECK(silent(frames));
    FUZZ_CHECK(BASSMOD_SetVolume(100) == 1);
    FUZZ_CHECK(BASSMOD_MusicFree() == 1);
    FUZZ_CHECK(BASSMOD_MusicRemoveSync(anyNote) == 0);
    return 0;
}
