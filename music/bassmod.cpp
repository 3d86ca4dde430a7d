// bassmod.cpp: the module-player library layer over libopenmpt and SDL audio.
#include "bassmod.h"

#include <SDL.h>
#include <dlfcn.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "diag.h"

namespace {

constexpr int OUTPUT_SAMPLES = 1024;  // frames per SDL buffer: 23 ms at MUSIC_RATE
// Frames rendered between two looks at the current row. A ProTracker tick lasts at least 9.8 ms (tempo
// 255), so 128 frames (2.9 ms at MUSIC_RATE) never step over a row.
constexpr int SYNC_CHUNK = 128;
constexpr double VOLUME_RAMP_SECONDS = 0.005;  // a full 0..100 volume change takes this long
constexpr int MAX_CHANNELS = 256;
// libopenmpt's effect numbers of tone portamento (3xx, 5xy): a note under them slides, it does not start.
constexpr uint8_t EFFECT_TONEPORTAMENTO = 4;
constexpr uint8_t EFFECT_TONEPORTAVOL = 6;

struct OpenMpt {
    decltype(&openmpt_module_create_from_memory2) createFromMemory;
    decltype(&openmpt_module_destroy) destroy;
    decltype(&openmpt_module_set_repeat_count) setRepeatCount;
    decltype(&openmpt_module_set_render_param) setRenderParam;
    decltype(&openmpt_module_ctl_set_boolean) ctlSetBoolean;  // both ctls only tune the sound: may be null
    decltype(&openmpt_module_ctl_set_integer) ctlSetInteger;
    decltype(&openmpt_module_read_interleaved_stereo) readInterleavedStereo;
    decltype(&openmpt_module_set_position_order_row) setPositionOrderRow;
    decltype(&openmpt_module_get_current_order) getCurrentOrder;
    decltype(&openmpt_module_get_current_row) getCurrentRow;
    decltype(&openmpt_module_get_current_pattern) getCurrentPattern;
    decltype(&openmpt_module_get_num_channels) getNumChannels;
    decltype(&openmpt_module_get_pattern_row_channel_command) getPatternRowChannelCommand;
    decltype(&openmpt_log_func_silent) logSilent;
    decltype(&openmpt_error_func_ignore) errorIgnore;
};

#ifdef BASSMOD_OPENMPT_LINKED

// The web build links libopenmpt in: a browser has no shared libraries to open.
const OpenMpt* openMpt() {
    static const OpenMpt linked{openmpt_module_create_from_memory2,
                                openmpt_module_destroy,
                                openmpt_module_set_repeat_count,
                                openmpt_module_set_render_param,
                                openmpt_module_ctl_set_boolean,
                                openmpt_module_ctl_set_integer,
                                openmpt_module_read_interleaved_stereo,
                                openmpt_module_set_position_order_row,
                                openmpt_module_get_current_order,
                                openmpt_module_get_current_row,
                                openmpt_module_get_current_pattern,
                                openmpt_module_get_num_channels,
                                openmpt_module_get_pattern_row_channel_command,
                                openmpt_log_func_silent,
                                openmpt_error_func_ignore};
    return &linked;
}

#else

// libopenmpt, opened when the first module is made rather than when the program starts: loading and
// linking it and the codec libraries it pulls in is start-up time the intro's first frame need not wait
// for, since its module loads beside the opening fade.
constexpr const char* OPENMPT_LIBRARY = "libopenmpt.so.0";

template <typename Function>
bool bindSymbol(void* library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(library, name));
    return slot != nullptr;
}

OpenMpt bindOpenMpt(void* library, bool& complete) {
    OpenMpt t{};
    complete = bindSymbol(library, "openmpt_module_create_from_memory2", t.createFromMemory) &&
               bindSymbol(library, "openmpt_module_destroy", t.destroy) &&
               bindSymbol(library, "openmpt_module_set_repeat_count", t.setRepeatCount) &&
               bindSymbol(library, "openmpt_module_set_render_param", t.setRenderParam) &&
               bindSymbol(library, "openmpt_module_read_interleaved_stereo", t.readInterleavedStereo) &&
               bindSymbol(library, "openmpt_module_set_position_order_row", t.setPositionOrderRow) &&
               bindSymbol(library, "openmpt_module_get_current_order", t.getCurrentOrder) &&
               bindSymbol(library, "openmpt_module_get_current_row", t.getCurrentRow) &&
               bindSymbol(library, "openmpt_module_get_current_pattern", t.getCurrentPattern) &&
               bindSymbol(library, "openmpt_module_get_num_channels", t.getNumChannels) &&
               bindSymbol(library, "openmpt_module_get_pattern_row_channel_command",
                          t.getPatternRowChannelCommand) &&
               bindSymbol(library, "openmpt_log_func_silent", t.logSilent) &&
               bindSymbol(library, "openmpt_error_func_ignore", t.errorIgnore);
    bindSymbol(library, "openmpt_module_ctl_set_boolean", t.ctlSetBoolean);
    bindSymbol(library, "openmpt_module_ctl_set_integer", t.ctlSetInteger);
    return t;
}

// The library's entry points, or null when it cannot be opened or lacks one; opened once per process
// (safe from any thread), never closed.
const OpenMpt* openMpt() {
    static const OpenMpt* const table = []() -> const OpenMpt* {
        void* library = dlopen(OPENMPT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        static OpenMpt bound;
        bool complete = false;
        bound = bindOpenMpt(library, complete);
        return complete ? &bound : nullptr;
    }();
    return table;
}

#endif

struct Sync {
    uint32_t handle;
    int instrument;  // from 1
    int note;        // 0..119, -1 for any
    BASSMOD_SYNCPROC callback;
    void* user;
};

// Everything the audio thread reads. Changed by the main thread under SDL_LockAudio, except the
// volume target and the play flag, which are atomics.
struct Player {
    bool initialised = false;
    bool deviceOpen = false;
    int32_t rate = MUSIC_RATE;
    openmpt_module* module = nullptr;
    std::atomic<int> volume{100};      // target, 0..100
    std::atomic<bool> playing{false};  // false: paused
    float gain = 1.0f;                 // current gain, 0..1, moving towards volume / 100
    bool ended = false;                // a song without loop ran out
    int32_t lastOrder = -1;            // the row last scanned for syncs
    int32_t lastRow = -1;
    uint8_t channelInstrument[MAX_CHANNELS] = {};  // last instrument per channel, 0 for none
    std::vector<Sync> syncs;
    uint32_t nextSyncHandle = 1;
};

Player player;

// Without a device, what SDL's audio lock does: a load on a helper thread may install its module while
// another thread renders through BASSMOD_Render.
std::mutex offlineLock;

// Holds SDL's audio lock while the device is open, the offline lock otherwise.
class AudioLock {
public:
    AudioLock() : device(player.deviceOpen) {
        if (device) {
            SDL_LockAudio();
        } else {
            offlineLock.lock();
        }
    }
    ~AudioLock() {
        if (device) {
            SDL_UnlockAudio();
        } else {
            offlineLock.unlock();
        }
    }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;

private:
    bool device;
};

// Moves the gain towards the target a step per frame, so a volume change never clicks. At full volume
// the samples pass unchanged.
void applyGain(int16_t* stereo, size_t frames, float target) {
    const float step = static_cast<float>(1.0 / (VOLUME_RAMP_SECONDS * player.rate));
    for (size_t i = 0; i < frames; ++i) {
        if (player.gain < target) {
            player.gain = std::min(target, player.gain + step);
        } else if (player.gain > target) {
            player.gain = std::max(target, player.gain - step);
        }
        if (player.gain >= 1.0f) continue;
        stereo[2 * i] = static_cast<int16_t>(std::lrint(stereo[2 * i] * player.gain));
        stereo[2 * i + 1] = static_cast<int16_t>(std::lrint(stereo[2 * i + 1] * player.gain));
    }
}

// Fires the syncs of a row the song has just reached. Each channel keeps its last instrument, as a
// note without one plays the channel's previous instrument.
void scanRowForSyncs() {
    openmpt_module* module = player.module;
    const OpenMpt& mpt = *openMpt();  // a module exists, so the library is open
    int32_t order = mpt.getCurrentOrder(module);
    int32_t row = mpt.getCurrentRow(module);
    if (order == player.lastOrder && row == player.lastRow) return;
    player.lastOrder = order;
    player.lastRow = row;
    int32_t pattern = mpt.getCurrentPattern(module);
    int32_t channels = std::min(mpt.getNumChannels(module), MAX_CHANNELS);
    for (int32_t channel = 0; channel < channels; ++channel) {
        uint8_t instrument =
            mpt.getPatternRowChannelCommand(module, pattern, row, channel, OPENMPT_MODULE_COMMAND_INSTRUMENT);
        uint8_t note =
            mpt.getPatternRowChannelCommand(module, pattern, row, channel, OPENMPT_MODULE_COMMAND_NOTE);
        uint8_t effect =
            mpt.getPatternRowChannelCommand(module, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
        if (instrument) player.channelInstrument[channel] = instrument;
        // libopenmpt's notes are 1..120; above are note cut, key off and fade.
        if (note < 1 || note > 120) continue;
        if (effect == EFFECT_TONEPORTAMENTO || effect == EFFECT_TONEPORTAVOL) continue;
        int played = note - 1;
        for (const Sync& sync : player.syncs) {
            if (sync.instrument != player.channelInstrument[channel]) continue;
            if (sync.note >= 0 && sync.note != played) continue;
            sync.callback(sync.handle, static_cast<uint32_t>(played) | (static_cast<uint32_t>(channel) << 16),
                          sync.user);
        }
    }
}

// The one renderer, for the audio callback and BASSMOD_Render; the caller holds the audio lock.
void renderLocked(int16_t* stereo, int frames) {
    const float target = static_cast<float>(player.volume.load(std::memory_order_relaxed)) / 100.0f;
    if (!player.module || !player.playing.load(std::memory_order_relaxed) || player.ended) {
        std::memset(stereo, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
        // Nothing sounds, so the gain may jump.
        player.gain = target;
        return;
    }
    int done = 0;
    while (done < frames) {
        const int chunk = std::min(frames - done, SYNC_CHUNK);
        int16_t* out = stereo + 2 * done;
        const size_t rendered =
            openMpt()->readInterleavedStereo(player.module, player.rate, static_cast<size_t>(chunk), out);
        applyGain(out, rendered, target);
        done += static_cast<int>(rendered);
        if (rendered < static_cast<size_t>(chunk)) {
            player.ended = true;
            std::memset(stereo + 2 * done, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames - done));
            return;
        }
        scanRowForSyncs();
    }
}

void audioCallback(void*, Uint8* stream, int length) {
    renderLocked(reinterpret_cast<int16_t*>(stream), length / 4);
}

// Takes the module out under the lock, so the audio thread never renders a destroyed one.
void freeModule() {
    openmpt_module* module;
    {
        AudioLock lock;
        module = player.module;
        player.module = nullptr;
        player.playing = false;
        player.syncs.clear();
    }
    if (module) openMpt()->destroy(module);
}

// Null when the library is missing or the bytes are no module.
openmpt_module* createModule(const void* bytes, size_t size) {
    const OpenMpt* mpt = openMpt();
    if (!mpt) return nullptr;
    return mpt->createFromMemory(bytes, size, mpt->logSilent, nullptr, mpt->errorIgnore, nullptr, nullptr,
                                 nullptr, nullptr);
}

// Reads length bytes from offset (0: to the end) and decodes them; null on any failure.
openmpt_module* loadFromPath(const char* path, uint32_t offset, uint32_t length) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    openmpt_module* module = nullptr;
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
    // Devices and pipes have no size; a module must be a whole file.
    if (end > 0 && offset < static_cast<unsigned long>(end)) {
        unsigned long available = static_cast<unsigned long>(end) - offset;
        unsigned long size = length ? std::min<unsigned long>(length, available) : available;
        if (size <= 0x7FFFFFFF && std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0) {
            void* block = checkedMalloc(static_cast<int32_t>(size), __FILE__, __LINE__, "module file");
            if (std::fread(block, 1, size, file) == size) module = createModule(block, size);
            checkedFree(block, __FILE__, __LINE__);
        }
    }
    std::fclose(file);
    return module;
}

}  // namespace

uint32_t BASSMOD_GetVersion() {
    return BASSMOD_VERSION;
}

int BASSMOD_Init(int device, uint32_t frequency, uint32_t) {
    if (player.initialised) return 0;
    if (device != BASSMOD_DEVICE_DEFAULT && device != BASSMOD_DEVICE_NONE && device != 1) return 0;
    if (frequency < 8000 || frequency > 192000) return 0;
    player.rate = static_cast<int32_t>(frequency);
    player.volume = 100;
    player.gain = 1.0f;
    player.playing = false;
    if (device != BASSMOD_DEVICE_NONE) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return 0;
        SDL_AudioSpec spec;
        std::memset(&spec, 0, sizeof spec);
        spec.freq = player.rate;
        spec.format = AUDIO_S16SYS;
        spec.channels = 2;
        spec.samples = OUTPUT_SAMPLES;
        spec.callback = audioCallback;
        // No obtained spec: SDL converts to the device's format itself.
        if (SDL_OpenAudio(&spec, nullptr) < 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return 0;
        }
        player.deviceOpen = true;
        // The device runs from now on and plays silence until a module plays.
        SDL_PauseAudio(0);
    }
    player.initialised = true;
    return 1;
}

int BASSMOD_Free() {
    if (!player.initialised) return 0;
    if (player.deviceOpen) {
        // Closed before the module goes, so the callback is not running when it is destroyed.
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        player.deviceOpen = false;
    }
    freeModule();
    player.initialised = false;
    return 1;
}

int BASSMOD_MusicLoad(int mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags) {
    if (!player.initialised) return 0;
    freeModule();
    if (!file) return 0;
    openmpt_module* module = nullptr;
    if (mem) {
        if (!length) return 0;
        module = createModule(static_cast<const uint8_t*>(file) + offset, length);
    } else {
        module = loadFromPath(static_cast<const char*>(file), offset, length);
    }
    if (!module) return 0;
    const OpenMpt& mpt = *openMpt();
    mpt.setRepeatCount(module, (flags & BASS_MUSIC_LOOP) ? -1 : 0);
    // Both only tune the sound; an older libopenmpt without them still plays.
    if (mpt.ctlSetBoolean) mpt.ctlSetBoolean(module, "render.resampler.emulate_amiga", 1);
    if (mpt.ctlSetInteger) mpt.ctlSetInteger(module, "dither", 0);
    mpt.setRenderParam(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                       (flags & BASS_MUSIC_RAMP) ? -1 : 0);
    AudioLock lock;
    player.module = module;
    player.playing = false;
    player.ended = false;
    player.lastOrder = -1;
    player.lastRow = -1;
    std::memset(player.channelInstrument, 0, sizeof player.channelInstrument);
    return 1;
}

int BASSMOD_MusicFree() {
    if (!player.module) return 0;
    freeModule();
    return 1;
}

int BASSMOD_MusicPlay() {
    if (!player.module) return 0;
    AudioLock lock;
    if (player.ended) {
        openMpt()->setPositionOrderRow(player.module, 0, 0);
        player.ended = false;
        player.lastOrder = -1;
        player.lastRow = -1;
    }
    // Nothing sounded until now, so a volume set meanwhile applies from the first frame.
    if (!player.playing) player.gain = static_cast<float>(player.volume.load()) / 100.0f;
    player.playing = true;
    return 1;
}

int BASSMOD_MusicPause() {
    if (!player.module) return 0;
    player.playing = false;
    return 1;
}

int BASSMOD_SetVolume(uint32_t volume) {
    if (!player.initialised || volume > 100) return 0;
    player.volume = static_cast<int>(volume);
    return 1;
}

uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t parameter, BASSMOD_SYNCPROC callback, void* user) {
    if (!player.module || type != BASS_SYNC_MUSICINST || !callback) return 0;
    const int instrument = static_cast<int>(parameter & 0xFFFF);
    const int note = static_cast<int16_t>(parameter >> 16);
    if (instrument == 0 || note < -1 || note > 119) return 0;
    AudioLock lock;
    const uint32_t handle = player.nextSyncHandle++;
    if (player.nextSyncHandle == 0) player.nextSyncHandle = 1;
    player.syncs.push_back(Sync{handle, instrument, note, callback, user});
    return handle;
}

int BASSMOD_MusicRemoveSync(uint32_t sync) {
    AudioLock lock;
    auto found = std::find_if(player.syncs.begin(), player.syncs.end(),
                              [sync](const Sync& s) { return s.handle == sync; });
    if (found == player.syncs.end()) return 0;
    player.syncs.erase(found);
    return 1;
}

int BASSMOD_Render(int16_t* stereo, int frames) {
    if (!player.initialised || !stereo || frames < 0) return 0;
    AudioLock lock;
    renderLocked(stereo, frames);
    return 1;
}
