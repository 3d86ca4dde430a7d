// The module player over a recording fake of the library layer: which calls it makes, in which order
// and with which arguments, and what its status says afterwards.
#include "bassmod_player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_bassmod.h"

namespace {

using Calls = std::vector<std::string>;

const char* const MODULE_NAME = "data\\ruvadodad.mod";
const char* const LOAD_FROM_FILE = "MusicLoad(0,0,0,0x105)";

void noSync(uint32_t, uint32_t, void*) {}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeBassMod();
        fake.resources[MODULE_NAME] = std::vector<uint8_t>(12812, 0x11);
    }
    // The calls since the last look.
    Calls takeCalls() {
        Calls calls;
        calls.swap(fake.calls);
        return calls;
    }
};

TEST_F(PlayerTest, ConstructionFreesChecksTheVersionAndOpensTheDefaultOutput) {
    _vktBassModPlayer player;
    EXPECT_EQ(takeCalls(), (Calls{"Free()", "GetVersion()", "Init(-1,44100,0)"}));
    EXPECT_EQ(player.status, 1);
}

TEST_F(PlayerTest, ForeignVersionIsTreatedAsNoLibrary) {
    fake.version = 0x00020400;
    _vktBassModPlayer player;
    EXPECT_EQ(takeCalls(), (Calls{"Free()", "GetVersion()"}));
    EXPECT_EQ(player.status, 0);
    EXPECT_EQ(player.play(), 0);
    EXPECT_EQ(player.setVolume(50), 0);
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(PlayerTest, InitFailureAndRetry) {
    fake.initResult = 0;
    _vktBassModPlayer player;
    EXPECT_EQ(player.status, 0);
    takeCalls();
    fake.initResult = 7;
    // A nonzero answer counts as success and status is 1, whatever the number.
    EXPECT_EQ(player.init(), 1);
    EXPECT_EQ(player.status, 1);
    EXPECT_EQ(takeCalls(), (Calls{"Free()", "GetVersion()", "Init(-1,44100,0)"}));
}

TEST_F(PlayerTest, ShutdownReleaseAndDestructorFreeTheLibrary) {
    {
        _vktBassModPlayer player;
        takeCalls();
        EXPECT_EQ(player.shutdown(), 1);
        EXPECT_EQ(player.status, 0);
        player.init();
        EXPECT_EQ(player.release(), 1);
        EXPECT_EQ(player.status, 0);
        EXPECT_EQ(takeCalls(), (Calls{"Free()", "Free()", "GetVersion()", "Init(-1,44100,0)", "Free()"}));
    }
    EXPECT_EQ(takeCalls(), (Calls{"Free()"}));
}

TEST_F(PlayerTest, VolumeIsClampedAndOnlySentWhileUsable) {
    _vktBassModPlayer player;
    takeCalls();
    fake.volumeResult = 5;
    EXPECT_EQ(player.setVolume(150), 5);
    EXPECT_EQ(player.setVolume(-5), 5);
    EXPECT_EQ(player.setVolume(37), 5);
    EXPECT_EQ(takeCalls(), (Calls{"SetVolume(100)", "SetVolume(0)", "SetVolume(37)"}));
    EXPECT_EQ(player.status, 1);

    fake.volumeResult = 0;
    EXPECT_EQ(player.setVolume(20), 0);
    EXPECT_EQ(player.status, 1);  // the library's refusal does not touch status

    player.invalidate();
    takeCalls();
    EXPECT_EQ(player.setVolume(80), 0);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(player.status, 0);
}

TEST_F(PlayerTest, PlayAndPauseBeforeInitDoNothing) {
    fake.initResult = 0;
    _vktBassModPlayer player;
    takeCalls();
    EXPECT_EQ(player.play(), 0);
    EXPECT_EQ(player.pause(), 0);
    EXPECT_EQ(player.stop(), 0);
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(PlayerTest, LoadFileFreesThenLoadsLoopingFromThePath) {
    _vktBassModPlayer player;
    takeCalls();
    fake.loadResult = 9;
    EXPECT_EQ(player.loadFile("music/song.mod"), 9);
    EXPECT_EQ(player.status, 9);
    EXPECT_EQ(takeCalls(), (Calls{"MusicFree()", LOAD_FROM_FILE}));
    EXPECT_EQ(fake.loadedPath, "music/song.mod");

    fake.loadResult = 0;
    EXPECT_EQ(player.loadFile("missing.mod"), 0);
    EXPECT_EQ(player.status, 0);
    // A load is tried even while status is 0, and a good one makes the player usable again.
    fake.loadResult = 1;
    EXPECT_EQ(player.loadFile("music/song.mod"), 1);
    EXPECT_EQ(player.status, 1);
}

TEST_F(PlayerTest, LoadResourceHandsOverTheBytesWithTheirRealSize) {
    _vktBassModPlayer player;
    takeCalls();
    EXPECT_EQ(player.loadResource(MODULE_NAME), 1);
    EXPECT_EQ(takeCalls(), (Calls{"MusicFree()", "findResource(RT_RCDATA,data\\ruvadodad.mod)",
                                  "MusicLoad(1,0,12812,0x105)"}));
    EXPECT_EQ(fake.loadedFile, fake.resources[MODULE_NAME].data());
}

TEST_F(PlayerTest, MissingResourceLeavesStatusZeroAndPlayDoesNothing) {
    _vktBassModPlayer player;
    takeCalls();
    EXPECT_EQ(player.loadResource("data\\nothing.mod"), 0);
    EXPECT_EQ(player.status, 0);
    EXPECT_EQ(takeCalls(), (Calls{"MusicFree()", "findResource(RT_RCDATA,data\\nothing.mod)"}));
    EXPECT_EQ(player.play(), 0);
    EXPECT_EQ(player.playResource("data\\nothing.mod"), 0);
    EXPECT_EQ(player.loadResource(nullptr), 0);
    for (const std::string& call : takeCalls()) EXPECT_EQ(call.find("MusicPlay"), std::string::npos);
}

TEST_F(PlayerTest, PlayResourceLoadsThenPlaysOnlyWhenTheLoadWorked) {
    _vktBassModPlayer player;
    takeCalls();
    fake.playResult = 3;
    EXPECT_EQ(player.playResource(MODULE_NAME), 3);
    EXPECT_EQ(takeCalls(), (Calls{"MusicFree()", "findResource(RT_RCDATA,data\\ruvadodad.mod)",
                                  "MusicLoad(1,0,12812,0x105)", "MusicPlay()"}));
    fake.loadResult = 0;
    EXPECT_EQ(player.playFile("bad.mod"), 0);
    EXPECT_EQ(takeCalls(), (Calls{"MusicFree()", LOAD_FROM_FILE}));
}

TEST_F(PlayerTest, PauseThenPlayResumesAndStatusFollowsTheLibrary) {
    _vktBassModPlayer player;
    player.loadResource(MODULE_NAME);
    takeCalls();
    EXPECT_EQ(player.play(), 1);
    EXPECT_EQ(player.pause(), 1);
    EXPECT_EQ(player.play(), 1);
    EXPECT_EQ(player.stop(), 1);
    EXPECT_EQ(takeCalls(), (Calls{"MusicPlay()", "MusicPause()", "MusicPlay()", "MusicPause()"}));
    EXPECT_NE(player.status, 0);

    // A refused play leaves the player unusable until the next load or init.
    fake.playResult = 0;
    EXPECT_EQ(player.play(), 0);
    EXPECT_EQ(player.pause(), 0);
    EXPECT_EQ(takeCalls(), (Calls{"MusicPlay()"}));
}

TEST_F(PlayerTest, InstrumentSyncPacksNoteAndInstrument) {
    _vktBassModPlayer player;
    takeCalls();
    EXPECT_EQ(player.setInstrumentSync(noSync, 0, 200), 42u);
    EXPECT_EQ(player.setInstrumentSync(noSync, 0, -3), 42u);
    EXPECT_EQ(player.setInstrumentSync(noSync, 5, 60), 42u);
    EXPECT_EQ(player.setInstrumentSync(noSync, 2, -1), 42u);
    EXPECT_EQ(takeCalls(), (Calls{"MusicSetSync(1,0x00770001)", "MusicSetSync(1,0xffff0001)",
                                  "MusicSetSync(1,0x003c0006)", "MusicSetSync(1,0xffff0003)"}));
    EXPECT_EQ(fake.syncCallback, &noSync);

    // Syncs go to the library whatever the status, and leave it as it was.
    player.invalidate();
    fake.syncResult = 0;
    fake.removeSyncResult = 0;
    EXPECT_EQ(player.setInstrumentSync(noSync, 1, 10), 0u);
    EXPECT_EQ(player.removeSync(42), 0);
    EXPECT_EQ(takeCalls(), (Calls{"MusicSetSync(1,0x000a0002)", "MusicRemoveSync(42)"}));
    EXPECT_EQ(player.status, 0);
}

}  // namespace
