// sdlptc_palette.h: 256-entry colour tables of 0x00RRGGBB values for 8-bit surfaces and the console.
#pragma once
#include <cstdint>

class _vktPalette {
public:
    // All 256 entries black; the storage comes from the checked allocator, so it is always there.
    _vktPalette();
    _vktPalette(const _vktPalette& source);
    ~_vktPalette();
    // Copies the entries when both palettes hold storage; otherwise changes nothing.
    _vktPalette& operator=(const _vktPalette& source);

    // Drops the storage; afterwards every operation treats the palette as empty.
    void release();
    // The entries, counting the nesting; null (not counted) without storage.
    uint32_t* lock();
    void unlock();
    // Copy 256 entries in or out; 0 for a null pointer or a palette without storage.
    int load(const uint32_t* entries);
    int save(uint32_t* entries) const;
    // Equal only when both hold storage and all entries match.
    bool operator==(const _vktPalette& other) const;
    bool operator!=(const _vktPalette& other) const { return !(*this == other); }
    // Entry i = (i, i, i); 0 without storage.
    int makeGrey();
    // The 3-3-2 colour cube: index bits rrrgggbb, levels spread evenly over 0..255; 0 without storage.
    int makeRGB332();

    // Read-only view of the entries for transfers to SDL; null without storage.
    const uint32_t* entries() const { return data; }
    int32_t lockCount() const { return lockCount_; }

    static constexpr int ENTRIES = 256;

private:
    uint32_t* data;  // owned, 256 entries of 0x00RRGGBB, top byte 0
    int32_t lockCount_;
};
