// sdl_fixture.h: the fixture for tests that need SDL (headless video and audio, SDL started and stopped
// around every test), and raw pixel access for checking what landed in a surface.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

class SdlTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_GE(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    void TearDown() override { SDL_Quit(); }
};

// The raw value of pixel (x, y) of a software surface with 1 to 4 bytes per pixel (little-endian).
inline uint32_t readPixel(const SDL_Surface* surface, int x, int y) {
    const int bytes = surface->format->BytesPerPixel;
    const uint8_t* at = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch + x * bytes;
    uint32_t value = 0;
    memcpy(&value, at, static_cast<size_t>(bytes));
    return value;
}

inline void writePixel(SDL_Surface* surface, int x, int y, uint32_t value) {
    const int bytes = surface->format->BytesPerPixel;
    uint8_t* at = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * bytes;
    memcpy(at, &value, static_cast<size_t>(bytes));
}

// The pixel bytes of every row without the padding, for comparing whole pictures.
inline std::vector<uint8_t> pixelBytes(const SDL_Surface* surface) {
    std::vector<uint8_t> bytes;
    if (!surface) return bytes;
    const size_t rowBytes = static_cast<size_t>(surface->w) * surface->format->BytesPerPixel;
    for (int y = 0; y < surface->h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
        bytes.insert(bytes.end(), row, row + rowBytes);
    }
    return bytes;
}

// Raw rows (width × bytes per pixel each) and palette of two surfaces are equal.
inline ::testing::AssertionResult samePicture(SDL_Surface* a, SDL_Surface* b) {
    if (!a || !b) return ::testing::AssertionFailure() << "missing surface";
    const SDL_PixelFormat* fa = a->format;
    const SDL_PixelFormat* fb = b->format;
    if (a->w != b->w || a->h != b->h || fa->BitsPerPixel != fb->BitsPerPixel || fa->Rmask != fb->Rmask ||
        fa->Gmask != fb->Gmask || fa->Bmask != fb->Bmask || fa->Amask != fb->Amask)
        return ::testing::AssertionFailure() << "geometry or layout differs";
    if (pixelBytes(a) != pixelBytes(b)) return ::testing::AssertionFailure() << "pixels differ";
    if (!fa->palette != !fb->palette) return ::testing::AssertionFailure() << "palette on one side only";
    if (fa->palette &&
        (fa->palette->ncolors != fb->palette->ncolors ||
         memcmp(fa->palette->colors, fb->palette->colors, sizeof(SDL_Color) * fa->palette->ncolors) != 0))
        return ::testing::AssertionFailure() << "palettes differ";
    return ::testing::AssertionSuccess();
}
