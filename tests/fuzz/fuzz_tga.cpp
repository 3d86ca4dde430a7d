// fuzz_tga.cpp: the TGA decoder alone, over a read-only memory stream.
//
// A header that promises more pixel bytes than the stream holds must be refused before the picture is
// allocated; an accepted picture is complete, in the size and depth its header gives.
#include <cstdlib>
#include <cstring>

#include "allocation_watch.h"
#include "binfile.h"
#include "fuzz_input.h"
#include "fuzz_surface.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

namespace {

constexpr size_t HEADER_BYTES = 18;
// A refused picture may cost no more than small bookkeeping.
constexpr int64_t REFUSED_PEAK_BYTES = 4 * 1024;
// An accepted one: its surface, whose rows are padded to 4 bytes (4-fold for one 8-bit pixel a row),
// and the colour map's work surfaces.
constexpr int64_t ACCEPTED_BYTES_PER_INPUT_BYTE = 4;
constexpr int64_t COLOUR_MAP_BYTES = 64 * 1024;

struct Header {
    int idLength, mapType, imageType, mapLength, mapEntryBits, width, height, depth;
};

Header readHeader(const uint8_t* b) {
    auto u16 = [b](int at) { return b[at] | b[at + 1] << 8; };
    return {b[0], b[1], b[2], u16(5), b[7], u16(12), u16(14), b[16]};
}

// True when the header's pixels cannot all be in the input, whatever else is wrong with it.
bool promisesTooMuch(const uint8_t* data, size_t size) {
    if (size < HEADER_BYTES) return false;
    const Header h = readHeader(data);
    if (h.depth % 8 != 0) return false;
    const int64_t mapBytes = h.mapType ? int64_t{h.mapLength} * ((h.mapEntryBits + 7) / 8) : 0;
    const int64_t need =
        int64_t{HEADER_BYTES} + h.idLength + mapBytes + int64_t{h.width} * h.height * (h.depth / 8);
    return need > static_cast<int64_t>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) return 0;
    static AllocationWatch watch;
    InputStream input(data, size);

    watch.start();
    {
        _vktSurface surface;
        const int loaded = loadTGAStream(&input.stream, surface);
        FUZZ_CHECK(loaded == (surface.surface != nullptr ? 1 : 0));
        if (promisesTooMuch(data, size)) {
            FUZZ_CHECK(!loaded);
            if (watch.peak() > REFUSED_PEAK_BYTES) {
                std::fprintf(stderr, "\nrefused picture took %lld bytes\n",
                             static_cast<long long>(watch.peak()));
                FUZZ_CHECK(watch.peak() <= REFUSED_PEAK_BYTES);
            }
        }
        FUZZ_CHECK(watch.peak() <=
                   COLOUR_MAP_BYTES + static_cast<int64_t>(size) * ACCEPTED_BYTES_PER_INPUT_BYTE);
        if (loaded) {
            const Header h = readHeader(data);
            FUZZ_CHECK(surface.width() == h.width && surface.height() == h.height);
            FUZZ_CHECK(int64_t{h.width} * h.height <= IMAGE_PIXELS_MAX);
            FUZZ_CHECK(surface.bitsPerPixel() == h.depth || (h.depth == 16 && surface.bitsPerPixel() == 15));
            touchPixels(surface);
        }
    }
    FUZZ_CHECK(watch.inUse() <= REFUSED_PEAK_BYTES);
    return 0;
}
