// colour_ramp.cpp: the colour ramp and the raster rows.
#include "colour_ramp.h"

#include "sdlptc_surface.h"

namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

}  // namespace

void ColourRamp::build() {
    for (uint32_t k = 0; k < 256; ++k) {
        colours[0 * 256 + k] = rgb(k, 0, 0);
        colours[1 * 256 + k] = rgb(255 - k, k, 0);
        colours[2 * 256 + k] = rgb(0, 255 - k, k);
        colours[3 * 256 + k] = rgb(0, k, 255);
        colours[4 * 256 + k] = rgb(k, 255, 255);
        colours[5 * 256 + k] = rgb(255, 255, 255 - k);
        colours[6 * 256 + k] = rgb(255, 255 - k, 0);
        colours[7 * 256 + k] = rgb(255 - k, 0, 0);
    }
}

void ColourRamp::paintRasterRows(uint32_t* pixels, int width, int height, int pitch) {
    if (!pixels || width <= 0 || height <= 0) return;
    constexpr unsigned mask = COLOUR_RAMP_SIZE - 1;
    rampOffset = (rampOffset + RAMP_OFFSET_STEP) & mask;
    const unsigned offset = static_cast<unsigned>(rampOffset);

    for (int x = 0; x < width; ++x) {
        pixels[x] = colours[(offset + RAMP_PIXEL_STRIDE * static_cast<unsigned>(x)) & mask];
    }
    // The bottom row is the top row mirrored; on a 1-pixel-high surface it overwrites the top row.
    uint32_t* bottom = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                                   static_cast<intptr_t>(height - 1) * pitch);
    for (int k = 0; k < width; ++k) {
        bottom[width - 1 - k] = colours[(offset + RAMP_PIXEL_STRIDE * static_cast<unsigned>(k)) & mask];
    }
}

void ColourRamp::drawRasterRows(_vktSurface& surface) {
    // The ramp holds 32-bit pixel values: writing them into a surface of another depth would overrun it.
    if (surface.bytesPerPixel() != 4) return;
    const int width = surface.width();
    const int height = surface.height();
    const int pitch = surface.pitch();
    void* pixels = surface.lock();
    paintRasterRows(static_cast<uint32_t*>(pixels), width, height, pitch);
    if (pixels) surface.unlock();
}
