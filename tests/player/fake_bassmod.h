// fake_bassmod.h: a recording stand-in for the module-player library layer and the resource store,
// linked into the player tests in place of the real ones.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bassmod.h"

struct FakeBassMod {
    // Every call in order, written as "Name(arguments)"; pointers are kept apart below.
    std::vector<std::string> calls;
    // Results the fake answers with.
    uint32_t version = BASSMOD_VERSION;
    int initResult = 1;
    int loadResult = 1;
    int playResult = 1;
    int pauseResult = 1;
    int volumeResult = 1;
    uint32_t syncResult = 42;
    int removeSyncResult = 1;
    // What the last load and sync calls were handed.
    const void* loadedFile = nullptr;
    std::string loadedPath;
    BASSMOD_SYNCPROC syncCallback = nullptr;
    void* syncUser = nullptr;
    // Resources the fake store holds, by exact name; the store is asked with "RT_RCDATA" only.
    std::map<std::string, std::vector<uint8_t>> resources;
};

// Reset before each test.
extern FakeBassMod fake;
