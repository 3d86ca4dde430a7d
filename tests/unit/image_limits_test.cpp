// Pictures whose pixels cannot be in their stream, or that pass the loader's pixel ceiling: refused
// before their memory is taken, while every picture within the ceiling that SDL or libpng can really read
// still loads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>

#include "binfile.h"
#include "sdl_fixture.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

namespace {

#ifdef __SANITIZE_ADDRESS__
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
int64_t heapNow = 0;
int64_t heapHighest = 0;
void onMalloc(const volatile void*, size_t size) {
    heapNow += static_cast<int64_t>(size);
    if (heapNow > heapHighest) heapHighest = heapNow;
}
void onFree(const volatile void* pointer) {
    if (pointer) heapNow -= static_cast<int64_t>(__sanitizer_get_allocated_size(pointer));
}
#endif

// The most heap in use above the start of a stretch. Only the sanitizer build can count it; elsewhere
// available() is false and the memory half of a test is skipped.
class HeapPeak {
public:
    HeapPeak() {
#ifdef __SANITIZE_ADDRESS__
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
        (void)installed;
        start = heapNow;
        heapHighest = heapNow;
#endif
    }
    static bool available() {
#ifdef __SANITIZE_ADDRESS__
        return true;
#else
        return false;
#endif
    }
    int64_t bytes() const {
#ifdef __SANITIZE_ADDRESS__
        return heapHighest - start;
#else
        return 0;
#endif
    }

private:
    [[maybe_unused]] int64_t start = 0;
};

// What refusing a picture may cost: the decoder's own bookkeeping, never the picture.
constexpr int64_t SMALL_PEAK = 64 * 1024;

void expectSmallPeak(const HeapPeak& peak) {
    if (!HeapPeak::available()) return;
    EXPECT_LT(peak.bytes(), SMALL_PEAK);
}

void putU16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}
void putU32(std::string& out, uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

// A BMP with a 40-byte info header, a black palette for up to 8 bits, and the given pixel data.
std::string bmp(int32_t width, int32_t height, int bits, uint32_t compression, const std::string& data) {
    const uint32_t paletteBytes = bits <= 8 ? 4u << bits : 0;
    const uint32_t offset = 14 + 40 + paletteBytes;
    std::string out = "BM";
    putU32(out, offset + static_cast<uint32_t>(data.size()));
    putU32(out, 0);
    putU32(out, offset);
    putU32(out, 40);
    putU32(out, static_cast<uint32_t>(width));
    putU32(out, static_cast<uint32_t>(height));
    putU16(out, 1);
    putU16(out, static_cast<uint32_t>(bits));
    putU32(out, compression);
    putU32(out, static_cast<uint32_t>(data.size()));
    putU32(out, 2835);
    putU32(out, 2835);
    putU32(out, 0);
    putU32(out, 0);
    out.append(paletteBytes, '\0');
    return out + data;
}

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2;

// RLE data that leaves most of a 600 x 600 picture unpainted: per band of rows a run, a stretch of
// absolute pixels (padded to a word), a delta to the right and up, a long run and an end of line; the
// end of the picture comes long before its top row.
std::string sparseRle(bool fourBits) {
    std::string data;
    auto put = [&data](std::initializer_list<int> bytes) {
        for (int byte : bytes) data += static_cast<char>(byte);
    };
    for (int band = 0; band < 40; ++band) {
        put({10, fourBits ? 0x12 : band + 1});
        if (fourBits)
            put({0, 5, 0x34, 0x56, 0x70, 0});
        else
            put({0, 3, band, 0x80, 0xFF, 0});
        put({0, 2, 3 * band % 200, 7});
        put({255, fourBits ? 0x9A : 0xC0});
        put({0, 0});
    }
    put({0, 0, 0, 1});
    return data;
}

// A blank 1-bit grey picture, as libpng writes it at its best compression.
std::string pngBlank(uint32_t width, uint32_t height) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp writer, png_bytep data, png_size_t count) {
            static_cast<std::string*>(png_get_io_ptr(writer))
                ->append(reinterpret_cast<const char*>(data), count);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    const std::vector<png_byte> row((width + 7) / 8, 0);
    for (uint32_t y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string regressionInput(const std::string& name) {
    std::ifstream in(std::string(DOVOZ1_SOURCE_DIR) + "/tests/fuzz/regressions/image/" + name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ImageLimitsTest : public SdlTest {
protected:
    int load(int (*decoder)(binfile*, _vktSurface&), std::string bytes) {
        held = std::move(bytes);
        stream.open(held.data(), static_cast<int>(held.size()), 0);
        return decoder(&stream, surface);
    }
    std::string held;
    mbinfile stream;
    _vktSurface surface;
};

TEST_F(ImageLimitsTest, BmpRowsMissingFromTheStreamAreRefusedBeforeTheSurfaceExists) {
    HeapPeak peak;
    // 2000 x 2000 true-colour pixels promised, one row given: SDL would clear 12 MB first.
    EXPECT_EQ(load(loadBMPStream, bmp(2000, 2000, 24, BI_RGB, std::string(6000, '\x7f'))), 0);
    EXPECT_EQ(surface.surface, nullptr);
    expectSmallPeak(peak);
    // Top-down pictures (negative height) count their rows the same way.
    EXPECT_EQ(load(loadBMPStream, bmp(2000, -2000, 24, BI_RGB, std::string(6000, '\x7f'))), 0);
}

TEST_F(ImageLimitsTest, BmpWhoseLastRowLacksItsPaddingStillLoadsWhereSdlReadsIt) {
    // SDL reads 1, 2 and 4-bit rows byte by byte and forgives missing padding at the very end.
    ASSERT_EQ(load(loadBMPStream, bmp(3, 2, 4, BI_RGB, std::string("\x12\x30\x00\x00\x45\x60", 6))), 1);
    EXPECT_EQ(surface.width(), 3);
    EXPECT_EQ(surface.height(), 2);
    // Bottom-up: the last stored row is the top one.
    EXPECT_EQ(readPixel(surface.surface, 0, 0), 4u);
    EXPECT_EQ(readPixel(surface.surface, 2, 1), 3u);
    ASSERT_EQ(load(loadBMPStream, bmp(9, 2, 1, BI_RGB, std::string("\xff\x80\x00\x00\x55\x00", 6))), 1);
    EXPECT_EQ(surface.width(), 9);
}

TEST_F(ImageLimitsTest, RleBmpLoadsHoweverFewPixelsItsDataPaints) {
    const std::string endOfBitmap("\x00\x01", 2);
    // 256 and 272 blank pixels from two bytes: end-of-picture leaves the rest unpainted.
    EXPECT_EQ(load(loadBMPStream, bmp(16, 16, 8, BI_RLE8, endOfBitmap)), 1);
    EXPECT_EQ(load(loadBMPStream, bmp(16, 17, 8, BI_RLE8, endOfBitmap)), 1);
    EXPECT_EQ(surface.height(), 17);
    // 360000 pixels from a few hundred bytes of end-of-line, delta and early end-of-picture codes load
    // from a file exactly as SDL reads them.
    const std::string path = ::testing::TempDir() + "image_limits_sparse.bmp";
    for (const bool fourBits : {false, true}) {
        const std::string file =
            bmp(600, 600, fourBits ? 4 : 8, fourBits ? BI_RLE4 : BI_RLE8, sparseRle(fourBits));
        ASSERT_LT(file.size(), 2048u);
        std::ofstream(path, std::ios::binary) << file;
        ASSERT_EQ(loadImageFile(surface, path.c_str(), SURFACE_SOFTWARE, 0), 1) << SDL_GetError();
        SDL_Surface* direct = SDL_LoadBMP(path.c_str());
        ASSERT_NE(direct, nullptr);
        EXPECT_TRUE(samePicture(surface.surface, direct)) << (fourBits ? "RLE4" : "RLE8");
        // Painted pixels, so the comparison is not between two blank pictures.
        EXPECT_EQ(readPixel(direct, 0, 599), 1u);
        EXPECT_EQ(readPixel(direct, 1, 599), fourBits ? 2u : 1u);
        SDL_FreeSurface(direct);
    }
    std::remove(path.c_str());
}

TEST_F(ImageLimitsTest, PicturesAboveThePixelCeilingAreRefusedBeforeTheSurfaceExists) {
    ASSERT_EQ(IMAGE_PIXELS_MAX, 2048 * 2048);
    const std::string endOfBitmap("\x00\x01", 2);
    EXPECT_EQ(load(loadBMPStream, bmp(2048, 2048, 8, BI_RLE8, endOfBitmap)), 1);
    // Valid pictures one row past the ceiling: a blank RLE BMP, a blank PNG, a TGA with all its pixels.
    std::string rle = bmp(2048, 2049, 8, BI_RLE8, endOfBitmap);
    std::string png = pngBlank(2049, 2048);
    std::string tga("\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12);
    putU16(tga, 2049);
    putU16(tga, 2048);
    tga += "\x08\x20";
    tga.append(2049 * 2048, '\x01');
    std::string fuzzFound = regressionInput("bmp-rle8-end-of-bitmap-only.bmp");  // 4000 x 4000, blank

    HeapPeak peak;
    EXPECT_EQ(load(loadBMPStream, std::move(rle)), 0);
    EXPECT_EQ(load(loadBMPStream, std::move(fuzzFound)), 0);
    EXPECT_EQ(surface.surface, nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(load(loadPNGStream, std::move(png)), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("larger than the loader takes"),
              std::string::npos);
    EXPECT_EQ(surface.surface, nullptr);
    EXPECT_EQ(load(loadTGAStream, std::move(tga)), 0);
    EXPECT_EQ(surface.surface, nullptr);
    expectSmallPeak(peak);
}

TEST_F(ImageLimitsTest, PngChunkLongerThanItsStreamIsNeverAllocated) {
    // An 85-byte PNG whose sPLT chunk claims 4.3 MB: libpng only warns that it passes the chunk limit.
    const std::string png = regressionInput("png-splt-longer-than-stream.png");
    ASSERT_EQ(png.size(), 85u);
    HeapPeak peak;
    EXPECT_EQ(load(loadPNGStream, png), 0);
    EXPECT_EQ(surface.surface, nullptr);
    expectSmallPeak(peak);
}

TEST_F(ImageLimitsTest, PngRowsCountTheirFilterBytesAndWholeBytes) {
    // 65535 rows of one 1-bit pixel from 68 bytes: the rows alone inflate to 131070 bytes, twice what
    // 68 bytes of deflate can give, although the pixels' bits would fit.
    HeapPeak peak;
    EXPECT_EQ(load(loadPNGStream, regressionInput("png-one-bit-column-taller-than-its-data.png")), 0);
    EXPECT_EQ(surface.surface, nullptr);
    expectSmallPeak(peak);
    // An honest column of 30000 rows, deflated as far as zlib goes, still loads.
    const std::string column = pngBlank(1, 30000);
    ASSERT_LT(column.size(), 200u);
    ASSERT_EQ(load(loadPNGStream, column), 1);
    EXPECT_EQ(surface.width(), 1);
    EXPECT_EQ(surface.height(), 30000);
}

TEST_F(ImageLimitsTest, TgaPixelsBeyondTheStreamAreRefusedBeforeTheSurfaceExists) {
    // 18-byte header: 1000 x 1000 true colour at 24 bits, then a single pixel.
    std::string tga("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12);
    putU16(tga, 1000);
    putU16(tga, 1000);
    tga += "\x18\x20";
    tga += "\x01\x02\x03";
    HeapPeak peak;
    EXPECT_EQ(load(loadTGAStream, tga), 0);
    EXPECT_EQ(surface.surface, nullptr);
    expectSmallPeak(peak);
    // With all its pixels it loads.
    std::string whole = tga.substr(0, 12);
    putU16(whole, 2);
    putU16(whole, 1);
    whole += "\x18\x20";
    whole += "\x01\x02\x03\x04\x05\x06";
    EXPECT_EQ(load(loadTGAStream, whole), 1);
}

}  // namespace
