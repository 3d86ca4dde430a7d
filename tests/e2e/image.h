// image.h: pictures the end-to-end tests read back: the program's BMP screenshots, X screen dumps (xwd)
// and the PNG files in data/.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom; alpha is dropped

    bool empty() const { return pixels.empty(); }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Each returns an empty image when the file is missing or not in a form it reads.
// Uncompressed 24- or 32-bit BMP (with or without bit-field masks), bottom-up or top-down.
Image readBmp(const std::string& path);
// An xwd dump of a TrueColor screen (ZPixmap, 24 or 32 bits per pixel).
Image readXwd(const std::string& path);
// Any PNG, through libpng.
Image readPng(const std::string& path);
