// fuzz_image.cpp: loadImageStream over a read-only memory stream, PNG, BMP and TGA through one entry.
//
// Besides crashes and sanitizer reports it checks what the loader promises: the result says whether the
// surface holds a picture, every row of that picture is there, the stream stays the caller's and open,
// a load leaves nothing allocated behind, no picture passes the loader's pixel ceiling, and no load takes
// more memory than its input could honestly describe.
#include <cstdint>
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
// input byte. Raw BMP and TGA pixels are stored as they are: 1-bit BMP rows grow 8-fold, padding adds
// the rest. RLE BMP data promises nothing (its escape codes leave any number of pixels unpainted): only
// the loader's pixel ceiling bounds it, at up to 4 bytes a pixel (a one-byte pixel in a row padded to
// 4), held twice while SDL 1.2's surface is made from SDL 2's.
constexpr int64_t PNG_BYTES_PER_INPUT_BYTE = 8 * 1032;
constexpr int64_t RAW_BYTES_PER_INPUT_BYTE = 8;
constexpr int64_t RLE_PICTURE_BYTES = 2 * 4 * IMAGE_PIXELS_MAX;
// The decoders' own state on top: libpng's structures, zlib's window and row buffers, SDL's reader.
constexpr int64_t DECODER_STATE_BYTES = 256 * 1024;
// What a finished load may leave behind: one-time state such as SDL's error buffer.
constexpr int64_t LEFT_BEHIND_BYTES = 4 * 1024;

// Little-endian 32 bits at `at`, zero past the end of a short input: the loader reads a BMP's headers
// into a zero-filled buffer, so a file cut inside them still tells its compression.
uint32_t u32At(const uint8_t* data, size_t size, int at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        const size_t index = static_cast<size_t>(at + i);
        value = value << 8 | (index < size ? data[index] : 0u);
    }
    return value;
}

bool isPng(const uint8_t* data, size_t size) {
    return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// A BMP with a Windows info header (not the 12-byte OS/2 one).
bool isWindowsBmp(const uint8_t* data, size_t size) {
    return size >= 2 && data[0] == 'B' && data[1] == 'M' && u32At(data, size, 14) != 12;
}

int64_t memoryLimit(const uint8_t* data, size_t size) {
    const auto bytes = static_cast<int64_t>(size);
    if (isPng(data, size)) return DECODER_STATE_BYTES + bytes * PNG_BYTES_PER_INPUT_BYTE;
    // RLE8 (1) or RLE4 (2) compression.
    if (isWindowsBmp(data, size) && (u32At(data, size, 30) == 1 || u32At(data, size, 30) == 2))
        return DECODER_STATE_BYTES + RLE_PICTURE_BYTES;
    return DECODER_STATE_BYTES + bytes * RAW_BYTES_PER_INPUT_BYTE;
}

// The pixels a Windows BMP or a PNG header promises; 0 for anything else.
int64_t promisedPixels(const uint8_t* data, size_t size) {
    auto big32 = [data](int at) {
        return int64_t{data[at]} << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
    };
    if (isPng(data, size) && size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        // Sides past 2^31 - 1 are not PNG's, and their product would not fit: more than any ceiling.
        const int64_t width = big32(16);
        const int64_t height = big32(20);
        return width > INT32_MAX || height > INT32_MAX ? INT64_MAX : width * height;
    }
    if (!isWindowsBmp(data, size)) return 0;
    const int64_t width = static_cast<int32_t>(u32At(data, size, 18));
    const int64_t height = static_cast<int32_t>(u32At(data, size, 22));
    return width > 0 ? width * (height < 0 ? -height : height) : 0;
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
        const int64_t limit = memoryLimit(data, size);
        if (watch.peak() > limit) {
            std::fprintf(stderr, "\nload of %zu bytes took %lld bytes at its peak (limit %lld)\n", size,
                         static_cast<long long>(watch.peak()), static_cast<long long>(limit));
            FUZZ_CHECK(watch.peak() <= limit);
        }
        FUZZ_CHECK(loaded == (surface.surface != nullptr ? 1 : 0));
        // No picture beyond the ceiling is taken, nor more than the refusal's bookkeeping spent on one.
        FUZZ_CHECK(int64_t{surface.width()} * surface.height() <= IMAGE_PIXELS_MAX);
        if (!loaded && promisedPixels(data, size) > IMAGE_PIXELS_MAX)
            FUZZ_CHECK(watch.peak() <= DECODER_STATE_BYTES);
        // The stream is the caller's: still open, over the same block.
        FUZZ_CHECK(input.stream.mode == (BINFILE_READ | BINFILE_SEEK) &&
                   input.stream.length == static_cast<int>(size));
        if (loaded) {
            FUZZ_CHECK(surface.width() > 0 && surface.height() > 0);
            touchPixels(surface);
            // The intro converts what it loads; every decoded layout must convert. SDL 1.2 makes no
            // surface 16384 pixels wide or 65536 high, though its BMP reader reads pictures of that
            // size: those convert where no new surface is needed (a 32-bit picture already in the work
            // layout), and otherwise fail and leave the picture as it was.
            const bool convertible = surface.width() < 16384 && surface.height() < 65536;
            const int width = surface.width();
            const int height = surface.height();
            const int converted = surface.convert(_vktFormat(FORMAT_XRGB8888));
            FUZZ_CHECK(converted == 1 || !convertible);
            FUZZ_CHECK(surface.width() == width && surface.height() == height);
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
