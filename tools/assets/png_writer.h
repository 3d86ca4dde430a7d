// png_writer.h: writes palette and RGBA PNG files through libpng, the same bytes on every run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// 8-bit palette PNG, not interlaced, no time stamp. pixels holds width × height indices row by row;
// palette holds 1..256 entries and every index must lie inside it. True on success; on failure
// false, and no file is left at path.
bool writeIndexedPng(const std::string& path, int width, int height, const std::vector<uint8_t>& pixels,
                     const std::vector<Rgb>& palette);

// 8-bit RGBA PNG, not interlaced; rgba holds width × height × 4 bytes row by row. As above.
bool writeRgbaPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);
