// fake_bassmod.cpp: every call of the library layer, recorded. Defining all of them here keeps the
// linker from taking the real layer out of the library.
#include "fake_bassmod.h"

#include <cstdarg>
#include <cstdio>

#include "resources.h"

FakeBassMod fake;

namespace {

std::string format(const char* text, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* text, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, text);
    std::vsnprintf(buffer, sizeof buffer, text, arguments);
    va_end(arguments);
    return buffer;
}

}  // namespace

uint32_t BASSMOD_GetVersion() {
    fake.calls.push_back("GetVersion()");
    return fake.version;
}

int BASSMOD_Init(int device, uint32_t frequency, uint32_t flags) {
    fake.calls.push_back(format("Init(%d,%u,%u)", device, frequency, flags));
    return fake.initResult;
}

int BASSMOD_Free() {
    fake.calls.push_back("Free()");
    return 1;
}

int BASSMOD_MusicLoad(int mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags) {
    fake.calls.push_back(format("MusicLoad(%d,%u,%u,0x%x)", mem, offset, length, flags));
    fake.loadedFile = file;
    fake.loadedPath = (!mem && file) ? static_cast<const char*>(file) : "";
    return fake.loadResult;
}

int BASSMOD_MusicFree() {
    fake.calls.push_back("MusicFree()");
    return 1;
}

int BASSMOD_MusicPlay() {
    fake.calls.push_back("MusicPlay()");
    return fake.playResult;
}

int BASSMOD_MusicPause() {
    fake.calls.push_back("MusicPause()");
    return fake.pauseResult;
}

int BASSMOD_SetVolume(uint32_t volume) {
    fake.calls.push_back(format("SetVolume(%u)", volume));
    return fake.volumeResult;
}

uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t parameter, BASSMOD_SYNCPROC callback, void* user) {
    fake.calls.push_back(format("MusicSetSync(%u,0x%08x)", type, parameter));
    fake.syncCallback = callback;
    fake.syncUser = user;
    return fake.syncResult;
}

int BASSMOD_MusicRemoveSync(uint32_t sync) {
    fake.calls.push_back(format("MusicRemoveSync(%u)", sync));
    return fake.removeSyncResult;
}

int BASSMOD_Render(int16_t*, int frames) {
    fake.calls.push_back(format("Render(%d)", frames));
    return 0;
}

int findResource(const char* type, const char* name, const uint8_t** bytes, uint32_t* size) {
    fake.calls.push_back(format("findResource(%s,%s)", type, name));
    if (std::string(type) != RESOURCE_TYPE) return 0;
    auto found = fake.resources.find(name);
    if (found == fake.resources.end()) return 0;
    *bytes = found->second.data();
    *size = static_cast<uint32_t>(found->second.size());
    return 1;
}
