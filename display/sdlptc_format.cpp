// sdlptc_format.cpp: the preset table and format comparisons.
#include "sdlptc_format.h"

#include <SDL.h>

namespace {

struct Preset {
    uint16_t bits;
    uint32_t red, green, blue, alpha;
};

// Rows for ids 1000..1018, in id order.
constexpr Preset kPresets[] = {
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},           // XRGB8888
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},  // ARGB8888
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},           // XBGR8888
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},  // ABGR8888
    {32, 0x0000FF00, 0x00FF0000, 0xFF000000, 0},           // BGRX8888
    {32, 0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF},  // BGRA8888
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0},           // RGBX8888
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},  // RGBA8888
    {24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},           // RGB888
    {24, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},           // BGR888
    {16, 0xF800, 0x07E0, 0x001F, 0},                       // RGB565
    {16, 0x001F, 0x07E0, 0xF800, 0},                       // BGR565
    {16, 0x7C00, 0x03E0, 0x001F, 0},                       // RGB555
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000},                  // ARGB1555
    {16, 0x001F, 0x03E0, 0x7C00, 0},                       // BGR555
    {16, 0x001F, 0x03E0, 0x7C00, 0x8000},                  // ABGR1555
    {8, 0, 0, 0, 0},                                       // INDEX8
    {8, 0, 0, 0, 0},                                       // GREY8
    {8, 0, 0, 0, 0},                                       // RGB332
};

}  // namespace

void _vktFormat::setPreset(uint16_t presetId) {
    if (presetId < FORMAT_XRGB8888 || presetId > FORMAT_RGB332) presetId = FORMAT_XRGB8888;
    const Preset& p = kPresets[presetId - FORMAT_XRGB8888];
    id_ = presetId;
    bits_ = p.bits;
    redMask_ = p.red;
    greenMask_ = p.green;
    blueMask_ = p.blue;
    alphaMask_ = p.alpha;
}

void _vktFormat::setMasks(uint16_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    id_ = FORMAT_CUSTOM;
    bits_ = bits;
    redMask_ = red;
    greenMask_ = green;
    blueMask_ = blue;
    alphaMask_ = alpha;
}

void _vktFormat::fromSDL(const SDL_PixelFormat* sdlFormat) {
    if (!sdlFormat) {
        setMasks(0, 0, 0, 0, 0);
        return;
    }
    setMasks(sdlFormat->BitsPerPixel, sdlFormat->Rmask, sdlFormat->Gmask, sdlFormat->Bmask, sdlFormat->Amask);
}

int _vktFormat::identical(const _vktFormat& other) const {
    return id_ == other.id_ && *this == other;
}

bool _vktFormat::operator==(const _vktFormat& other) const {
    return bits_ == other.bits_ && redMask_ == other.redMask_ && greenMask_ == other.greenMask_ &&
           blueMask_ == other.blueMask_ && alphaMask_ == other.alphaMask_;
}
