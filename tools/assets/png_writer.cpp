// png_writer.cpp: libpng's writing interface behind two calls.
#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace {

// Only plain data lives in this frame: libpng leaves it by longjmp on error.
bool writePng(const char* path, int width, int height, int colourType, const uint8_t* pixels, int rowBytes,
              const png_color* palette, int paletteSize) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::remove(path);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, palette, paletteSize);
    // Fixed settings, so the bytes depend on the pixels alone; palette images compress best unfiltered.
    // The palette images are the intro's pictures, decoded at every start before the first frame: in
    // stored blocks they inflate at memory speed (the big picture about 0.4 ms sooner), for some 35 KB
    // more in the program. The icon is for desktops and stays compressed.
    png_set_compression_level(png, palette ? 0 : 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, palette ? PNG_FILTER_NONE : PNG_ALL_FILTERS);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, pixels + static_cast<size_t>(y) * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        std::remove(path);
        return false;
    }
    return true;
}

bool sizeFits(int width, int height, size_t bytes, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
    return bytes == static_cast<size_t>(width) * height * bytesPerPixel;
}

}  // namespace

bool writeIndexedPng(const std::string& path, int width, int height, const std::vector<uint8_t>& pixels,
                     const std::vector<Rgb>& palette) {
    if (!sizeFits(width, height, pixels.size(), 1)) return false;
    if (palette.empty() || palette.size() > 256) return false;
    for (uint8_t index : pixels)
        if (index >= palette.size()) return false;
    std::vector<png_color> entries;
    for (const Rgb& c : palette) entries.push_back(png_color{c.r, c.g, c.b});
    return writePng(path.c_str(), width, height, PNG_COLOR_TYPE_PALETTE, pixels.data(), width, entries.data(),
                    static_cast<int>(entries.size()));
}

bool writeRgbaPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (!sizeFits(width, height, rgba.size(), 4)) return false;
    return writePng(path.c_str(), width, height, PNG_COLOR_TYPE_RGB_ALPHA, rgba.data(), width * 4, nullptr,
                    0);
}
