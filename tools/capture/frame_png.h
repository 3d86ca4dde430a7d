// frame_png.h: one presented frame as an 8-bit RGB PNG, written for speed rather than size.
#pragma once
#include <SDL.h>

#include <string>

// zlib level 1 and no row filter. On the intro's busy frames filters cost time and even grow the files:
// a 60 s capture took 8.6 s for 114 MB this way, 8.7 s for 150 MB with the Sub filter, 16.9 s for
// 101 MB at level 3, and 31 s for 163 MB with libpng's defaults.
inline constexpr int FRAME_PNG_LEVEL = 1;

// Writes the surface's pixels (any SDL pixel format; alpha is dropped) to path, not interlaced, with no
// time stamp, so equal frames give equal files. True on success; false with the reason in error, and no
// file left at path.
bool writeFramePng(const std::string& path, const SDL_Surface* surface, std::string& error);
