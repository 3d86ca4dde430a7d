// sdlptc_palette.cpp: palette storage, comparison and the two built-in palettes.
#include "sdlptc_palette.h"

#include <cstring>

#include "diag.h"

namespace {
constexpr int32_t kBytes = _vktPalette::ENTRIES * 4;
}

_vktPalette::_vktPalette() : lockCount_(0) {
    data = static_cast<uint32_t*>(checkedCalloc(1, kBytes, __FILE__, __LINE__, "_vktPalette::Data"));
}

_vktPalette::_vktPalette(const _vktPalette& source) : _vktPalette() {
    if (source.data) memcpy(data, source.data, kBytes);
}

_vktPalette::~_vktPalette() {
    release();
}

_vktPalette& _vktPalette::operator=(const _vktPalette& source) {
    if (data && source.data && this != &source) memcpy(data, source.data, kBytes);
    return *this;
}

void _vktPalette::release() {
    checkedFree(data, __FILE__, __LINE__);
    data = nullptr;
}

uint32_t* _vktPalette::lock() {
    if (!data) return nullptr;
    ++lockCount_;
    return data;
}

void _vktPalette::unlock() {
    if (lockCount_ > 0) --lockCount_;
}

int _vktPalette::load(const uint32_t* entries) {
    if (!entries || !data) return 0;
    memcpy(lock(), entries, kBytes);
    unlock();
    return 1;
}

int _vktPalette::save(uint32_t* entries) const {
    if (!entries || !data) return 0;
    memcpy(entries, data, kBytes);
    return 1;
}

bool _vktPalette::operator==(const _vktPalette& other) const {
    return data && other.data && memcmp(data, other.data, kBytes) == 0;
}

int _vktPalette::makeGrey() {
    uint32_t* entry = lock();
    if (!entry) return 0;
    for (uint32_t i = 0; i < ENTRIES; ++i) entry[i] = i * 0x010101u;
    unlock();
    return 1;
}

int _vktPalette::makeRGB332() {
    uint32_t* entry = lock();
    if (!entry) return 0;
    for (uint32_t i = 0; i < ENTRIES; ++i) {
        uint32_t red = ((i >> 5) & 7) * 255 / 7;
        uint32_t green = ((i >> 2) & 7) * 255 / 7;
        uint32_t blue = (i & 3) * 255 / 3;
        entry[i] = red * 0x10000 + green * 0x100 + blue;
    }
    unlock();
    return 1;
}
