// fuzz_surface.h: the check the picture targets run on every decoded surface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "binfile.h"
#include "fuzz_input.h"
#include "sdlptc_surface.h"

// The input as a read-only memory stream over a copy of its bytes, so that they stay unchanged whatever
// a loader does; the copy goes when the stream does.
class InputStream {
public:
    InputStream(const uint8_t* data, size_t size)
        : copy(static_cast<uint8_t*>(std::malloc(size ? size : 1))) {
        if (size) std::memcpy(copy, data, size);
        stream.open(copy, static_cast<int>(size), 0);
    }
    ~InputStream() {
        stream.close();
        std::free(copy);
    }
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

private:
    uint8_t* copy;

public:
    mbinfile stream;
};

// Reads every byte of every row, so a picture smaller than its size says is a sanitizer finding.
inline uint32_t touchPixels(_vktSurface& surface) {
    const auto* pixels = static_cast<const uint8_t*>(surface.lock());
    FUZZ_CHECK(pixels != nullptr);
    const int rowBytes = surface.width() * surface.bytesPerPixel();
    FUZZ_CHECK(rowBytes <= surface.pitch());
    uint32_t sum = 0;
    for (int y = 0; y < surface.height(); ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * surface.pitch();
        for (int x = 0; x < rowBytes; ++x) sum += row[x];
    }
    surface.unlock();
    return sum;
}
