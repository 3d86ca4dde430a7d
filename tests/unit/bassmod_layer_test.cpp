// The module-player library layer over libopenmpt: rendering, volume, pause, looping, syncs, damaged
// modules, and the real SDL output through the disk driver.
#include "bassmod.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr uint32_t LOAD_FLAGS = BASS_MUSIC_RAMP | BASS_MUSIC_LOOP | BASS_MUSIC_POSRESET;
constexpr int SONG_ROWS = 8;  // at speed 6, tempo 125: 0.96 s a loop
constexpr double SONG_SECONDS = SONG_ROWS * 0.12;
// ProTracker periods.
constexpr int PERIOD_C1 = 856;
constexpr int PERIOD_C2 = 428;
constexpr int PERIOD_C3 = 214;
// The layer's notes (0 = C-0) of those periods.
constexpr int NOTE_C1 = 48;
constexpr int NOTE_C2 = 60;
constexpr int NOTE_C3 = 72;

// A four-channel "M.K." module built byte by byte: two looped 64-byte samples (a square and a saw) and
// one pattern of 8 rows (a pattern break ends it):
//   row 0: channel 0 sample 1 C-2, channel 1 sample 2 C-3
//   row 4: channel 0 C-1 without instrument (plays sample 1 again), channel 2 sample 2 C-1 under
//          tone portamento (slides, starts nothing)
//   row 7: channel 3 pattern break
std::vector<uint8_t> buildModule() {
    constexpr size_t HEADER = 1084, PATTERN = 64 * 4 * 4, SAMPLE = 64;
    std::vector<uint8_t> module(HEADER + PATTERN + 2 * SAMPLE, 0);
    std::memcpy(module.data(), "layer test", 10);
    for (int sample = 0; sample < 2; ++sample) {
        uint8_t* header = &module[20 + 30 * sample];
        header[23] = SAMPLE / 2;  // length in words, big-endian
        header[25] = 64;          // volume
        header[29] = SAMPLE / 2;  // loop of the whole sample
    }
    module[950] = 1;    // song length
    module[951] = 127;  // restart byte
    std::memcpy(&module[1080], "M.K.", 4);
    auto cell = [&](int row, int channel, int period, int sample, int effect, int parameter) {
        uint8_t* c = &module[HEADER + row * 16 + channel * 4];
        c[0] = static_cast<uint8_t>((sample & 0xF0) | (period >> 8));
        c[1] = static_cast<uint8_t>(period & 0xFF);
        c[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | effect);
        c[3] = static_cast<uint8_t>(parameter);
    };
    cell(0, 0, PERIOD_C2, 1, 0, 0);
    cell(0, 1, PERIOD_C3, 2, 0, 0);
    cell(4, 0, PERIOD_C1, 0, 0, 0);
    cell(4, 2, PERIOD_C1, 2, 0x3, 0x10);
    cell(SONG_ROWS - 1, 3, 0, 0, 0xD, 0);
    for (size_t i = 0; i < SAMPLE; ++i) {
        module[HEADER + PATTERN + i] = static_cast<uint8_t>(i < SAMPLE / 2 ? 100 : -100);
        module[HEADER + PATTERN + SAMPLE + i] = static_cast<uint8_t>(static_cast<int>(i) * 4 - 128);
    }
    return module;
}

using Frames = std::vector<int16_t>;  // interleaved stereo

Frames render(int frames) {
    Frames out(2 * static_cast<size_t>(frames), 0x5555);
    EXPECT_EQ(BASSMOD_Render(out.data(), frames), 1);
    return out;
}

Frames renderSeconds(double seconds) {
    return render(static_cast<int>(seconds * RATE));
}

double rms(const int16_t* samples, size_t count) {
    if (!count) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(count));
}

double rms(const Frames& frames) {
    return rms(frames.data(), frames.size());
}

bool silent(const Frames& frames) {
    for (int16_t sample : frames)
        if (sample) return false;
    return true;
}

// Well above silence: the test song at full volume measures in the thousands.
constexpr double PLAYING_RMS = 1000.0;

// The layer without output: everything is rendered through BASSMOD_Render.
class LayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(BASSMOD_Init(BASSMOD_DEVICE_NONE, RATE, 0), 1); }
    void TearDown() override { BASSMOD_Free(); }

    void loadSong(uint32_t flags = LOAD_FLAGS) {
        ASSERT_EQ(BASSMOD_MusicLoad(1, song.data(), 0, song.size(), flags), 1);
    }

    std::vector<uint8_t> song = buildModule();
};

TEST_F(LayerTest, LoadedModuleWaitsSilentlyUntilPlayThenSounds) {
    loadSong();
    EXPECT_TRUE(silent(renderSeconds(0.5)));
    ASSERT_EQ(BASSMOD_MusicPlay(), 1);
    EXPECT_GT(rms(renderSeconds(1.0)), PLAYING_RMS);
}

TEST_F(LayerTest, HalfVolumeGivesHalfTheAmplitude) {
    loadSong();
    BASSMOD_MusicPlay();
    Frames full = renderSeconds(1.0);
    loadSong();
    BASSMOD_SetVolume(50);
    BASSMOD_MusicPlay();
    Frames half = renderSeconds(1.0);
    ASSERT_EQ(full.size(), half.size());
    // The gain was set while nothing sounded, so it applies from the first frame.
    for (size_t i = 0; i < full.size(); ++i) ASSERT_NEAR(half[i], full[i] * 0.5, 1.0) << "sample " << i;
    EXPECT_NEAR(rms(half) / rms(full), 0.5, 0.01);
}

TEST_F(LayerTest, VolumeChangesRampOverAFewMilliseconds) {
    loadSong();
    BASSMOD_MusicPlay();
    Frames reference = renderSeconds(0.3);
    loadSong();
    BASSMOD_MusicPlay();
    const size_t before = 2 * static_cast<size_t>(0.2 * RATE);
    Frames played = renderSeconds(0.2);
    BASSMOD_SetVolume(0);
    Frames faded = renderSeconds(0.1);
    ASSERT_EQ(played, Frames(reference.begin(), reference.begin() + before));
    // Down from 1 in even steps to 0 within 5 ms, then silence: no jump to make a click.
    const double rampFrames = 0.005 * RATE;
    for (size_t frame = 0; frame < faded.size() / 2; ++frame) {
        const double gain = std::max(0.0, 1.0 - (frame + 1) / rampFrames);
        for (size_t side = 0; side < 2; ++side) {
            const size_t i = 2 * frame + side;
            ASSERT_NEAR(faded[i], reference[before + i] * gain, 1.0) << "frame " << frame;
        }
    }
    EXPECT_TRUE(silent(Frames(faded.begin() + 2 * 300, faded.end())));

    BASSMOD_SetVolume(100);
    Frames back = render(400);
    EXPECT_LT(std::abs(back[0]), 200);  // starts near zero, not at full level
    EXPECT_GT(rms(Frames(back.begin() + 2 * 250, back.end())), PLAYING_RMS);
}

TEST_F(LayerTest, VolumeZeroAndPauseAreSilent) {
    loadSong();
    BASSMOD_SetVolume(0);
    BASSMOD_MusicPlay();
    EXPECT_TRUE(silent(renderSeconds(0.5)));
    BASSMOD_SetVolume(100);
    BASSMOD_MusicPause();
    EXPECT_TRUE(silent(renderSeconds(0.5)));
    EXPECT_EQ(BASSMOD_SetVolume(101), 0);
}

TEST_F(LayerTest, ResumeContinuesWhereItPaused) {
    loadSong();
    BASSMOD_MusicPlay();
    Frames straight = renderSeconds(2.0);

    loadSong();
    BASSMOD_MusicPlay();
    Frames first = renderSeconds(0.7);
    ASSERT_EQ(BASSMOD_MusicPause(), 1);
    EXPECT_TRUE(silent(renderSeconds(0.4)));
    ASSERT_EQ(BASSMOD_MusicPlay(), 1);
    Frames second = render(static_cast<int>(straight.size() / 2 - first.size() / 2));
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_EQ(first.size(), straight.size());
    // libopenmpt rounds a few samples at the song's loop point differently when its reads are cut
    // elsewhere; a lost or repeated stretch would differ by far more.
    for (size_t i = 0; i < straight.size(); ++i) ASSERT_NEAR(first[i], straight[i], 1) << "sample " << i;
    EXPECT_TRUE(
        std::equal(first.begin(), first.begin() + static_cast<long>(SONG_SECONDS * RATE), straight.begin()));
}

TEST_F(LayerTest, SongLoopsPastItsEndWithoutAGap) {
    loadSong();
    BASSMOD_MusicPlay();
    Frames music = renderSeconds(3 * SONG_SECONDS + 0.2);
    const size_t window = 2 * RATE / 100;  // 10 ms
    for (size_t start = 0; start + window <= music.size(); start += window)
        ASSERT_GT(rms(&music[start], window), PLAYING_RMS / 4) << "at " << start / 2 << " frames";
}

TEST_F(LayerTest, SongWithoutLoopStopsAtItsEndAndPlayStartsItAgain) {
    loadSong(BASS_MUSIC_RAMP);
    BASSMOD_MusicPlay();
    Frames song = renderSeconds(SONG_SECONDS + 0.5);
    EXPECT_GT(rms(song.data(), 2 * RATE / 2), PLAYING_RMS);
    const size_t end = 2 * static_cast<size_t>((SONG_SECONDS + 0.2) * RATE);
    EXPECT_TRUE(silent(Frames(song.begin() + end, song.end())));
    ASSERT_EQ(BASSMOD_MusicPlay(), 1);
    EXPECT_GT(rms(renderSeconds(0.5)), PLAYING_RMS);
}

TEST_F(LayerTest, DamagedModulesFailToLoadAndLeaveNothingLoaded) {
    std::vector<std::vector<uint8_t>> damaged;
    damaged.emplace_back(song.begin(), song.begin() + 1000);  // cut inside the header
    damaged.push_back(song);
    std::memcpy(&damaged.back()[1080], "XXXX", 4);
    damaged.emplace_back(4096, 0xA5);
    for (const auto& bytes : damaged) {
        loadSong();
        EXPECT_EQ(BASSMOD_MusicLoad(1, bytes.data(), 0, bytes.size(), LOAD_FLAGS), 0);
        // The failed load has freed the previous module as well.
        EXPECT_EQ(BASSMOD_MusicPlay(), 0);
        EXPECT_TRUE(silent(render(1000)));
    }
    // A block without its length is refused rather than read past its end.
    EXPECT_EQ(BASSMOD_MusicLoad(1, song.data(), 0, 0, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(1, nullptr, 0, 100, LOAD_FLAGS), 0);
}

TEST_F(LayerTest, LoadsFromAPathAndAtAnOffset) {
    char directory[] = "/tmp/bassmod_testXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string path = std::string(directory) + "/song.mod";
    {
        std::ofstream file(path, std::ios::binary);
        file.write("junk", 4);
        file.write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
    }
    loadSong();
    BASSMOD_MusicPlay();
    Frames fromMemory = renderSeconds(0.5);

    ASSERT_EQ(BASSMOD_MusicLoad(0, path.c_str(), 4, 0, LOAD_FLAGS), 1);
    BASSMOD_MusicPlay();
    EXPECT_EQ(renderSeconds(0.5), fromMemory);
    ASSERT_EQ(BASSMOD_MusicLoad(0, path.c_str(), 4, static_cast<uint32_t>(song.size()), LOAD_FLAGS), 1);
    // From the file's start the signature is in the wrong place.
    EXPECT_EQ(BASSMOD_MusicLoad(0, path.c_str(), 0, 0, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(0, path.c_str(), 4, 600, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(0, path.c_str(), 1 << 20, 0, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(0, (path + ".missing").c_str(), 0, 0, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(0, directory, 0, 0, LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(0, "/dev/zero", 0, 0, LOAD_FLAGS), 0);
    std::remove(path.c_str());
    rmdir(directory);
}

struct SyncRecord {
    uint32_t handle;
    uint32_t data;
    int position;  // frames rendered when it fired, to the test's rendering chunk
};

struct SyncLog {
    std::vector<SyncRecord> fired;
    int position = 0;
};

void recordSync(uint32_t handle, uint32_t data, void* user) {
    auto* log = static_cast<SyncLog*>(user);
    log->fired.push_back(SyncRecord{handle, data, log->position});
}

uint32_t syncParameter(int instrument, int note) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(note)) << 16) | static_cast<uint16_t>(instrument);
}

TEST_F(LayerTest, InstrumentSyncsFireWhenTheirNoteStarts) {
    loadSong();
    SyncLog log;
    const uint32_t anyNoteOfFirst =
        BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(1, -1), recordSync, &log);
    const uint32_t c3OfSecond =
        BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(2, NOTE_C3), recordSync, &log);
    const uint32_t c1OfSecond =
        BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(2, NOTE_C1), recordSync, &log);
    ASSERT_NE(anyNoteOfFirst, 0u);
    ASSERT_NE(c3OfSecond, 0u);
    ASSERT_NE(c1OfSecond, 0u);
    BASSMOD_MusicPlay();
    const int chunk = 441;  // 10 ms
    const int loops = 2;
    for (; log.position < static_cast<int>(loops * SONG_SECONDS * RATE) - chunk; log.position += chunk)
        render(chunk);

    // Each loop: the first instrument on row 0 (C-2, channel 0) and on row 4 (C-1 without instrument,
    // channel 0); the second with C-3 on row 0 (channel 1). Its tone portamento on row 4 starts nothing.
    ASSERT_EQ(log.fired.size(), 3u * loops);
    for (int loop = 0; loop < loops; ++loop) {
        const SyncRecord* row0 = &log.fired[3 * loop];
        // Channels are scanned in order.
        EXPECT_EQ(row0[0].handle, anyNoteOfFirst);
        EXPECT_EQ(row0[0].data, static_cast<uint32_t>(NOTE_C2));
        EXPECT_EQ(row0[1].handle, c3OfSecond);
        EXPECT_EQ(row0[1].data, static_cast<uint32_t>(NOTE_C3) | (1u << 16));
        EXPECT_EQ(row0[2].handle, anyNoteOfFirst);
        EXPECT_EQ(row0[2].data, static_cast<uint32_t>(NOTE_C1));
        // Rows last 0.12 s: each sync fires within one 10 ms chunk of its row's start.
        const double loopStart = loop * SONG_SECONDS * RATE;
        EXPECT_NEAR(row0[0].position, loopStart, chunk);
        EXPECT_NEAR(row0[2].position, loopStart + 4 * 0.12 * RATE, chunk);
    }

    ASSERT_EQ(BASSMOD_MusicRemoveSync(anyNoteOfFirst), 1);
    EXPECT_EQ(BASSMOD_MusicRemoveSync(anyNoteOfFirst), 0);
    log.fired.clear();
    renderSeconds(SONG_SECONDS);
    ASSERT_EQ(log.fired.size(), 1u);
    EXPECT_EQ(log.fired[0].handle, c3OfSecond);
}

TEST_F(LayerTest, SyncsNeedAModuleAndGoWithIt) {
    SyncLog log;
    EXPECT_EQ(BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(1, -1), recordSync, &log), 0u);
    loadSong();
    EXPECT_EQ(BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(0, -1), recordSync, &log), 0u);
    EXPECT_EQ(BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(1, 120), recordSync, &log), 0u);
    const uint32_t sync = BASSMOD_MusicSetSync(BASS_SYNC_MUSICINST, syncParameter(1, -1), recordSync, &log);
    ASSERT_NE(sync, 0u);
    // A new load frees the module and its syncs.
    loadSong();
    BASSMOD_MusicPlay();
    renderSeconds(SONG_SECONDS);
    EXPECT_TRUE(log.fired.empty());
    EXPECT_EQ(BASSMOD_MusicRemoveSync(sync), 0);
}

TEST(LayerLifecycleTest, CallsBeforeInitFailAndFreeTakesTheModule) {
    int16_t buffer[64];
    std::vector<uint8_t> song = buildModule();
    EXPECT_EQ(BASSMOD_Free(), 0);
    EXPECT_EQ(BASSMOD_MusicLoad(1, song.data(), 0, song.size(), LOAD_FLAGS), 0);
    EXPECT_EQ(BASSMOD_Render(buffer, 32), 0);

    ASSERT_EQ(BASSMOD_Init(BASSMOD_DEVICE_NONE, RATE, 0), 1);
    EXPECT_EQ(BASSMOD_Init(BASSMOD_DEVICE_NONE, RATE, 0), 0);
    ASSERT_EQ(BASSMOD_MusicLoad(1, song.data(), 0, song.size(), LOAD_FLAGS), 1);
    BASSMOD_MusicPlay();
    EXPECT_EQ(BASSMOD_Free(), 1);
    ASSERT_EQ(BASSMOD_Init(BASSMOD_DEVICE_NONE, RATE, 0), 1);
    EXPECT_EQ(BASSMOD_MusicPlay(), 0);
    EXPECT_EQ(BASSMOD_Free(), 1);
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name(name) {
        const char* old = std::getenv(name);
        hadOld = old != nullptr;
        if (hadOld) oldValue = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (hadOld) {
            setenv(name, oldValue.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    const char* name;
    bool hadOld = false;
    std::string oldValue;
};

TEST(LayerOutputTest, WithoutAnAudioDeviceInitFailsCleanly) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    EXPECT_EQ(BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, RATE, 0), 0);
    EXPECT_EQ(BASSMOD_Free(), 0);
    // Nothing was left half open.
    ASSERT_EQ(BASSMOD_Init(BASSMOD_DEVICE_NONE, RATE, 0), 1);
    EXPECT_EQ(BASSMOD_Free(), 1);
}

TEST(LayerOutputTest, DiskDriverRecordsTheMusicPlayedThroughSdl) {
    char directory[] = "/tmp/bassmod_diskXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string path = std::string(directory) + "/audio.raw";
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", path);
    std::vector<uint8_t> song = buildModule();

    ASSERT_EQ(BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, RATE, 0), 1);
    ASSERT_EQ(BASSMOD_MusicLoad(1, song.data(), 0, song.size(), LOAD_FLAGS), 1);
    ASSERT_EQ(BASSMOD_MusicPlay(), 1);
    // The disk driver writes in real time; wait for half a second of music, or give up after ten.
    const auto written = [&] {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        return in ? static_cast<long>(in.tellg()) : 0L;
    };
    for (int i = 0; i < 200 && written() < RATE * 4 / 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(BASSMOD_Free(), 1);

    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), static_cast<size_t>(RATE * 4 / 2));
    // 16-bit little-endian stereo; the last quarter second is certainly music.
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    const size_t quarter = RATE / 4 * 2;
    EXPECT_GT(rms(&samples[samples.size() - quarter], quarter), PLAYING_RMS);
    std::remove(path.c_str());
    rmdir(directory);
}

}  // namespace
