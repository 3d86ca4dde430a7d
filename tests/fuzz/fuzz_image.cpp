// fuzz_image.cpp: loadImageStream over a read-only memory stream, PNG, BMP and TGA through one entry.
//
// Besides crashes and sanitizer reports it checks what the loader promises: the result says whether the
// surface holds a picture, every row of that picture is there, the stream stays the caller's and open,
// a load leaves nothing allocated behind, and no load takes more memory than its input could honestly
// describe.
#include <cstdlib>
#include <cstring>

#include "allocation_watch.h"
#include "binfile.h"
#include "fuzz_input.h"
#include "fuzz_surface.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

namespace {

// Deflate inflates at most 1032-fold and a pixel takes at least one bit of inflated data, which
// becomes at most one byte of surface: an honest PNG needs no more than 8 × 1032 surface bytes per
// input byte. RLE BMP data paints at most 128 one-byte pixels a byte. Other BMP and TGA pixels are
// stored raw: 1-bit BMP rows grow 8-fold, padding adds the rest.
constexpr int64_t PNG_BYTES_PER_INPUT_BYTE = 8 * 1032;
constexpr int64_t RLE_BYTES_PER_INPUT_BYTE = 128;
constexpr int64_t RAW_BYTES_PER_INPUT_BYTE = 8;
// The decoders' own state on top: libpng's structures, zlib's window and row buffers, SDL's reader.
constexpr int64_t DECODER_STATE_BYTES = 256 * 1024;
// What a finished load may leave behind: one-time state such as SDL's error buffer.
constexpr int64_t LEFT_BEHIND_BYTES = 4 * 1024;

int64_t bytesPerInputByte(const uint8_t* data, size_t size) {
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return PNG_BYTES_PER_INPUT_BYTE;
    // A BMP with a Windows info header (not the 12-byte OS/2 one) and RLE8 (1) or RLE4 (2) compression.
    auto u32 = [data](int at) {
        return static_cast<uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16) |
               static_cast<uint32_t>(data[at + 3]) << 24;
    };
    if (size >= 34 && data[0] == 'B' && data[1] == 'M' && u32(14) != 12 && (u32(30) == 1 || u32(30) == 2))
        return RLE_BYTES_PER_INPUT_BYTE;
    return RAW_BYTES_PER_INPUT_BYTE;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) return 0;
    static AllocationWatch watch;
    InputStream input(data, size);

    watch.start();
    {
        _vktSurface surface;
        const int loaded = loadImageStream(surface, &input.stream, SURFACE_SOFTWARE, 0);
        const int64_t limit =
            DECODER_STATE_BYTES + static_cast<int64_t>(size) * bytesPerInputByte(data, size);
        if (watch.peak() > limit) {
            std::fprintf(stderr, "\nload of %zu bytes took %lld bytes at its peak (limit %lld)\n", size,
                         static_cast<long long>(watch.peak()), static_cast<long long>(limit));
            FUZZ_CHECK(watch.peak() <= limit);
        }
        FUZZ_CHECK(loaded == (surface.surface != nullptr ? 1 : 0));
        // The stream is the caller's: still open, over the same block.
        FUZZ_CHECK(input.stream.mode == (BINFILE_READ | BINFILE_SEEK) &&
                   input.stream.length == static_cast<int>(size));
        if (loaded) {
            FUZZ_CHECK(surface.width() > 0 && surface.height() > 0);
            touchPixels(surface);
            // The intro converts what it loads; every decoded layout must convert.
            FUZZ_CHECK(surface.convert(_vktFormat(FORMAT_XRGB8888)) == 1);
            touchPixels(surface);
        }
    }
    // Whatever happened, the picture and the decoder's state are gone again.
    if (watch.inUse() > LEFT_BEHIND_BYTES) {
        std::fprintf(stderr, "\nload left %lld bytes allocated\n", static_cast<long long>(watch.inUse()));
        FUZZ_CHECK(watch.inUse() <= LEFT_BEHIND_BYTES);
    }
    return 0;
}
