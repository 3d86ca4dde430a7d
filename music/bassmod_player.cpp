// bassmod_player.cpp: the intro's module player over the library layer.
#include "bassmod_player.h"

#include <algorithm>

#include "resources.h"

namespace {

// Ramping, looping for ever, position reset.
constexpr uint32_t PLAYER_LOAD_FLAGS = BASS_MUSIC_RAMP | BASS_MUSIC_LOOP | BASS_MUSIC_POSRESET;

}  // namespace

_vktBassModPlayer::_vktBassModPlayer() : status(0) {
    init();
}

_vktBassModPlayer::~_vktBassModPlayer() {
    BASSMOD_Free();
    status = 0;
}

int _vktBassModPlayer::init() {
    BASSMOD_Free();
    status = 0;
    // Another version is treated as no library at all.
    if (BASSMOD_GetVersion() != BASSMOD_VERSION) return status;
    status = BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, MUSIC_RATE, 0) ? 1 : 0;
    return status;
}

int _vktBassModPlayer::shutdown() {
    BASSMOD_Free();
    status = 0;
    return 1;
}

int _vktBassModPlayer::release() {
    return shutdown();
}

int _vktBassModPlayer::loadFile(const char* path) {
    BASSMOD_MusicFree();
    status = BASSMOD_MusicLoad(0, path, 0, 0, PLAYER_LOAD_FLAGS);
    return status;
}

int _vktBassModPlayer::loadResource(const char* name) {
    BASSMOD_MusicFree();
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!name || !findResource(RESOURCE_TYPE, name, &bytes, &size)) {
        status = 0;
        return status;
    }
    // The block's real size goes along, so the decoder never reads past its end.
    status = BASSMOD_MusicLoad(1, bytes, 0, size, PLAYER_LOAD_FLAGS);
    return status;
}

int _vktBassModPlayer::playFile(const char* path) {
    loadFile(path);
    return play();
}

int _vktBassModPlayer::playResource(const char* name) {
    loadResource(name);
    return play();
}

int _vktBassModPlayer::play() {
    if (!status) return status;
    status = BASSMOD_MusicPlay();
    return status;
}

int _vktBassModPlayer::pause() {
    if (!status) return status;
    status = BASSMOD_MusicPause();
    return status;
}

int _vktBassModPlayer::stop() {
    return pause();
}

int _vktBassModPlayer::setVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!status) return 0;
    return BASSMOD_SetVolume(static_cast<uint32_t>(percent));
}

void _vktBassModPlayer::invalidate() {
    status = 0;
}

uint32_t _vktBassModPlayer::setInstrumentSync(BASSMOD_SYNCPROC callback, int instrument, int note) {
    const int16_t clampedNote = static_cast<int16_t>(std::clamp(note, -1, 119));
    const uint32_t parameter = (static_cast<uint32_t>(static_cast<uint16_t>(clampedNote)) << 16) |
                               static_cast<uint16_t>(instrument + 1);
    return BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, parameter, callback, nullptr);
}

int _vktBassModPlayer::removeSync(uint32_t sync) {
    return BASSMOD_MusicRemoveSync(sync);
}

_vktBassModPlayer::_vktBassModPlayer(int device) : status(0) {
    init(device);
}

int _vktBassModPlayer::init(int device) {
    BASSMOD_Free();
    status = 0;
    if (BASSMOD_GetVersion() != BASSMOD_VERSION) return status;
    status = BASSMOD_Init(device, MUSIC_RATE, 0) ? 1 : 0;
    return status;
}
