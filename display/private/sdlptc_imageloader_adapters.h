// sdlptc_imageloader_adapters.h: the loader's bridges from a binfile to libpng and to SDL_RWops. Only the
// loader (and its tests) see them, so libpng stays out of every other unit's headers.
#pragma once
#include <SDL.h>
#include <png.h>

// libpng's read function over the binfile given as its I/O pointer.
void pngReadFromStream(png_structp decoder, png_bytep destination, png_size_t count);
// The SDL_RWops callbacks over the binfile in hidden.unknown.data1.
int rwSeek(SDL_RWops* rwops, int offset, int whence);
int rwRead(SDL_RWops* rwops, void* destination, int itemSize, int itemCount);
