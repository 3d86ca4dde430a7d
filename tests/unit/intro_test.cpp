// Tests of the intro's whole run inside the test process, on its virtual run with a fixed seed.
#include "virtual_run.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "sdl_fixture.h"
#include "sdlptc_surface.h"

namespace {

constexpr int AUDIO_FRAMES = 1764;  // stereo frames of music per picture frame
constexpr int FADE_FRAMES = 62;
constexpr int LOOP_FRAMES = 20;  // Escape is read by the loop frame after these

size_t hashBytes(const void* bytes, size_t size) {
    return std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(bytes), size));
}

// Every presented picture and the music played with it, as hashes in presentation order.
struct RunRecord {
    std::vector<size_t> pictures;
    std::vector<size_t> music;
};

// One run with seed 5: b at the first loop frame (the sprite takes random places), space at the fifth.
RunRecord recordRun() {
    RunRecord record;
    VirtualRun run(RunScript{5, LOOP_FRAMES, {{0, SDLK_b}, {5, SDLK_SPACE}}},
                   [&record](const _vktSurface& shown, const int16_t* music) {
                       const std::vector<uint8_t> pixels = pixelBytes(shown.surface);
                       record.pictures.push_back(hashBytes(pixels.data(), pixels.size()));
                       record.music.push_back(hashBytes(music, 2 * AUDIO_FRAMES * sizeof music[0]));
                   });
    EXPECT_TRUE(run.start());
    while (run.advance()) {
    }
    EXPECT_FALSE(run.failed());
    run.finish();
    return record;
}

// Nothing of the first run carries over: the effect's angle, the zoom and spin, the ramp's position, the
// page being typed and the sprite all start again from their start values.
TEST(IntroRunTest, ASecondRunInOneProcessShowsAndPlaysWhatTheFirstDid) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const RunRecord first = recordRun();
    const RunRecord second = recordRun();
    ASSERT_EQ(first.pictures.size(), static_cast<size_t>(FADE_FRAMES + LOOP_FRAMES + FADE_FRAMES));
    ASSERT_EQ(second.pictures.size(), first.pictures.size());
    for (size_t i = 0; i < first.pictures.size(); ++i) {
        ASSERT_EQ(second.pictures[i], first.pictures[i]) << "frame " << i;
        ASSERT_EQ(second.music[i], first.music[i]) << "music of frame " << i;
    }
}

}  // namespace
