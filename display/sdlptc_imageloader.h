// sdlptc_imageloader.h: PNG, BMP and uncompressed TGA pictures into surfaces, and BMP saving.
#pragma once
#include <cstdint>

class _vktSurface;
class binfile;
struct ResourceEntry;

// The most pixels a decoder makes a surface for, whatever the format: larger pictures are refused before
// any of their memory is taken. The intro's pictures are at most 256 x 256 on a 320 x 200 screen; 2048 x
// 2048 (or any shape of that area) is 64 times that, and at 32 bits, the format everything loaded is
// converted to, 16 MiB: affordable twice over while a conversion holds source and result, and all a
// forged header can make the loader spend.
inline constexpr int64_t IMAGE_PIXELS_MAX = int64_t{2048} * 2048;

// Try PNG, BMP, then TGA; 1 when the surface holds a picture afterwards. A stream stays the caller's.
int loadImageFile(_vktSurface& surface, const char* path, int memoryKind, int options);
int loadImageStream(_vktSurface& surface, binfile* stream, int memoryKind, int options);
// 1 when written; an existing file is replaced; an empty surface writes nothing.
int saveBMP(const _vktSurface& surface, const char* path);

// The decoders: each starts at the beginning of its input and leaves the surface empty on failure.
int loadPNGFile(const char* path, _vktSurface& surface);
int loadPNGStream(binfile* stream, _vktSurface& surface);
int loadBMPFile(const char* path, _vktSurface& surface);
int loadBMPStream(binfile* stream, _vktSurface& surface);
int loadTGAFile(const char* path, _vktSurface& surface);
int loadTGAStream(binfile* stream, _vktSurface& surface);

// Decodes the picture resource of the program's store into surface; 1 when the surface holds a picture
// afterwards. A missing or empty resource leaves the surface as it was.
int loadImageResource(_vktSurface& surface, const char* name, int memoryKind, int options);
// loadImageResource over a resource table of the caller's with count entries; same rules and results.
int loadImageResourceIn(const ResourceEntry* table, int32_t count, _vktSurface& surface, const char* name,
                        int memoryKind, int options);
