// sdlptc_format.h: pixel layouts (presets and custom masks) and the 0x00RRGGBB colour helpers.
#pragma once
#include <cstdint>

struct SDL_PixelFormat;

// Preset ids for setPreset(); ids outside 1000..1018 select FORMAT_XRGB8888.
inline constexpr uint16_t FORMAT_XRGB8888 = 1000;  // 32 bits 0x00RRGGBB: every work surface
inline constexpr uint16_t FORMAT_ARGB8888 = 1001;
inline constexpr uint16_t FORMAT_XBGR8888 = 1002;
inline constexpr uint16_t FORMAT_ABGR8888 = 1003;
inline constexpr uint16_t FORMAT_BGRX8888 = 1004;
inline constexpr uint16_t FORMAT_BGRA8888 = 1005;
inline constexpr uint16_t FORMAT_RGBX8888 = 1006;
inline constexpr uint16_t FORMAT_RGBA8888 = 1007;
inline constexpr uint16_t FORMAT_RGB888 = 1008;
inline constexpr uint16_t FORMAT_BGR888 = 1009;
inline constexpr uint16_t FORMAT_RGB565 = 1010;
inline constexpr uint16_t FORMAT_BGR565 = 1011;
inline constexpr uint16_t FORMAT_RGB555 = 1012;
inline constexpr uint16_t FORMAT_ARGB1555 = 1013;
inline constexpr uint16_t FORMAT_BGR555 = 1014;
inline constexpr uint16_t FORMAT_ABGR1555 = 1015;
inline constexpr uint16_t FORMAT_INDEX8 = 1016;  // the three 8-bit presets differ only in the palette
inline constexpr uint16_t FORMAT_GREY8 = 1017;   // a new surface receives: black, grey ramp, 3-3-2 cube
inline constexpr uint16_t FORMAT_RGB332 = 1018;
inline constexpr uint16_t FORMAT_CUSTOM = 1019;  // a layout given by masks or taken from SDL

// A pixel layout: a plain value of six fields.
class _vktFormat {
public:
    explicit _vktFormat(uint16_t presetId = FORMAT_XRGB8888) { setPreset(presetId); }
    _vktFormat(uint16_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
        setMasks(bits, red, green, blue, alpha);
    }

    // Never fails: an id outside the preset table becomes FORMAT_XRGB8888.
    void setPreset(uint16_t presetId);
    // Stores the values unchanged under FORMAT_CUSTOM.
    void setMasks(uint16_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);
    // Copies bits and masks of an SDL layout under FORMAT_CUSTOM.
    void fromSDL(const SDL_PixelFormat* sdlFormat);
    // FORMAT_CUSTOM with 0 bits and no masks: the format of an empty surface or a closed console.
    static _vktFormat empty() { return _vktFormat(0, 0, 0, 0, 0); }

    uint16_t id() const { return id_; }
    uint16_t bits() const { return bits_; }
    uint16_t bytes() const { return bits_ >> 3; }  // 15 bits give 1, 24 give 3
    uint32_t redMask() const { return redMask_; }
    uint32_t greenMask() const { return greenMask_; }
    uint32_t blueMask() const { return blueMask_; }
    uint32_t alphaMask() const { return alphaMask_; }

    // 1 when all six fields agree.
    int identical(const _vktFormat& other) const;
    // Same layout: bits and masks agree, whatever the ids.
    bool operator==(const _vktFormat& other) const;
    bool operator!=(const _vktFormat& other) const { return !(*this == other); }

private:
    uint16_t id_;
    uint16_t bits_;
    uint32_t redMask_;
    uint32_t greenMask_;
    uint32_t blueMask_;
    uint32_t alphaMask_;
};

// (r << 16) | (g << 8) | b, arguments not masked.
inline uint32_t packRGB(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}
// Splits 0x00RRGGBB; the top byte is ignored.
inline void unpackRGB(uint32_t colour, int* r, int* g, int* b) {
    *r = (colour >> 16) & 0xFF;
    *g = (colour >> 8) & 0xFF;
    *b = colour & 0xFF;
}
