// Tests of the module load on a helper thread: the result reaches the caller, the player is usable
// afterwards, and an unfinished load is waited for rather than abandoned.
#include "module_load.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bassmod_player.h"

namespace {

constexpr const char* kModule = "data\\ruvadodad.mod";

// The loudest sample of the next second of music.
int loudestOfNextSecond() {
    std::vector<int16_t> stereo(2 * 44100);
    if (!BASSMOD_Render(stereo.data(), 44100)) return -1;
    int loudest = 0;
    for (int16_t s : stereo) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    return loudest;
}

TEST(ModuleLoad, LoadsOnItsThreadAndThePlayerThenPlaysTheModule) {
    _vktBassModPlayer player(BASSMOD_DEVICE_NONE);
    ASSERT_EQ(player.status, 1);
    ModuleLoad load(player, kModule);
    // The capture tool renders every fade frame while the module loads: silence until it plays.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(loudestOfNextSecond(), 0);
    EXPECT_EQ(load.finish(), 1);
    EXPECT_EQ(load.finish(), 1) << "a second call gives the same result";
    EXPECT_EQ(player.status, 1);
    EXPECT_EQ(player.setVolume(100), 1);
    ASSERT_EQ(player.play(), 1);
    EXPECT_GT(loudestOfNextSecond(), 1000);
}

TEST(ModuleLoad, FailureComesBackFromFinishAndLeavesNothingToPlay) {
    _vktBassModPlayer player(BASSMOD_DEVICE_NONE);
    ASSERT_EQ(player.status, 1);
    ModuleLoad load(player, "data\\missing.mod");
    EXPECT_EQ(load.finish(), 0);
    EXPECT_EQ(player.status, 0);
    EXPECT_EQ(player.play(), 0);
}

TEST(ModuleLoad, AnUnfinishedLoadIsWaitedForWhenItGoes) {
    _vktBassModPlayer player(BASSMOD_DEVICE_NONE);
    ASSERT_EQ(player.status, 1);
    { ModuleLoad load(player, kModule); }
    EXPECT_EQ(player.status, 1);
    EXPECT_EQ(player.play(), 1);
    EXPECT_GT(loudestOfNextSecond(), 1000);
}

}  // namespace
