// frame_png.cpp: frames through libpng.
#include "frame_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng reports through these; the message is kept for the caller instead of being printed.
struct PngFailure {
    std::jmp_buf jump;
    std::string message;
};

void onPngError(png_structp png, png_const_charp message) {
    PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    failure->message = message;
    std::longjmp(failure->jump, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// One row as R, G, B bytes; the intro's own 0x00RRGGBB layout is copied directly.
void rowToRgb(const SDL_Surface* surface, int y, uint8_t* rgb) {
    const SDL_PixelFormat* format = surface->format;
    const uint8_t* row =
        static_cast<const uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
    if (format->BytesPerPixel == 4 && format->Rmask == 0xFF0000 && format->Gmask == 0xFF00 &&
        format->Bmask == 0xFF) {
        const uint32_t* pixels = reinterpret_cast<const uint32_t*>(row);
        for (int x = 0; x < surface->w; ++x) {
            rgb[3 * x] = static_cast<uint8_t>(pixels[x] >> 16);
            rgb[3 * x + 1] = static_cast<uint8_t>(pixels[x] >> 8);
            rgb[3 * x + 2] = static_cast<uint8_t>(pixels[x]);
        }
        return;
    }
    const int bytes = format->BytesPerPixel;
    for (int x = 0; x < surface->w; ++x) {
        uint32_t value = 0;
        std::memcpy(&value, row + x * bytes, static_cast<size_t>(bytes));
        SDL_GetRGB(value, const_cast<SDL_PixelFormat*>(format), &rgb[3 * x], &rgb[3 * x + 1],
                   &rgb[3 * x + 2]);
    }
}

// Everything that may longjmp lives here, with no objects that need destructors.
bool encode(FILE* file, const SDL_Surface* surface, uint8_t* rgb, PngFailure& failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    if (!png) {
        failure.message = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        failure.message = "out of memory";
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(failure.jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, FRAME_PNG_LEVEL);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(surface->w), static_cast<png_uint_32>(surface->h), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < surface->h; ++y) {
        rowToRgb(surface, y, rgb);
        png_write_row(png, rgb);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writeFramePng(const std::string& path, const SDL_Surface* surface, std::string& error) {
    if (!surface || !surface->pixels || surface->w <= 0 || surface->h <= 0) {
        error = "no picture to write";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(surface->w) * 3);
    PngFailure failure;
    bool written = encode(file, surface, rgb.data(), failure);
    if (!written) error = path + ": " + failure.message;
    // A full disk often shows only when the buffered bytes go out.
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushError = errno;
    if (std::fclose(file) != 0 && written && flushed) {
        written = false;
        error = path + ": " + std::strerror(errno);
    }
    if (written && !flushed) {
        written = false;
        error = path + ": " + std::strerror(flushError);
    }
    if (!written) std::remove(path.c_str());
    return written;
}
