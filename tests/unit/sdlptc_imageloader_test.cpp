// The image loader: the sample corpus against its reference decodes, then the decoders' own rules on
// hand-made files (TGA layouts, forged sizes, libpng's error path, the SDL_RWops adapter, saving).
#include "sdlptc_imageloader.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "binfile.h"
#include "interpose_SDL_CreateRGBSurface.h"
#include "sdl_fixture.h"
#include "sdlptc_console.h"
#include "sdlptc_imageloader_adapters.h"
#include "sdlptc_surface.h"

namespace {

const std::string kTestData = DOVOZ1_TESTDATA_DIR;

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// One row of a folder's ref/EXPECTED.tsv.
struct Sample {
    std::string folder, file, expected, format, compare;
    std::string path() const { return kTestData + "/" + folder + "/" + file; }
    std::string refDir() const { return kTestData + "/" + folder + "/ref/"; }
};

std::vector<Sample> readSamples() {
    std::vector<Sample> samples;
    for (const char* folder : {"pngsuite", "tga", "bmp/g", "bmp/q", "bmp/b"}) {
        std::ifstream table(kTestData + "/" + folder + "/ref/EXPECTED.tsv");
        std::string line;
        std::getline(table, line);  // column names
        while (std::getline(table, line)) {
            std::vector<std::string> cells;
            std::stringstream row(line);
            for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
            if (cells.size() < 5) continue;
            samples.push_back({folder, cells[0], cells[2], cells[3], cells[4]});
        }
    }
    return samples;
}

// A reference decode: width and height, then B, G, R, A per pixel, rows top to bottom.
struct Reference {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> bgra;
};

bool readReference(const std::string& path, Reference& ref) {
    const std::vector<uint8_t> bytes = readBytes(path);
    if (bytes.size() < 8) return false;
    memcpy(&ref.width, bytes.data(), 4);
    memcpy(&ref.height, bytes.data() + 4, 4);
    ref.bgra.assign(bytes.begin() + 8, bytes.end());
    return ref.bgra.size() == size_t{ref.width} * ref.height * 4;
}

enum class Compare { Exact, Rgb, Top5 };

// Compares an XRGB8888 surface with a reference; the top byte counts only with checkTop.
::testing::AssertionResult matchesReference(_vktSurface& surface, const Reference& ref, Compare how,
                                            bool checkTop) {
    if (surface.width() != static_cast<int>(ref.width) || surface.height() != static_cast<int>(ref.height))
        return ::testing::AssertionFailure() << "size " << surface.width() << "x" << surface.height();
    const uint32_t mask = how == Compare::Top5 ? 0xF8F8F8 : 0xFFFFFF;
    const auto* pixels = static_cast<const uint8_t*>(surface.lock());
    int mismatches = 0;
    std::string first;
    for (uint32_t y = 0; y < ref.height; ++y) {
        for (uint32_t x = 0; x < ref.width; ++x) {
            uint32_t got;
            memcpy(&got, pixels + y * surface.pitch() + x * 4, 4);
            const uint8_t* r = &ref.bgra[(size_t{y} * ref.width + x) * 4];
            const uint32_t want = r[2] << 16 | r[1] << 8 | r[0];
            const bool same = ((got ^ want) & mask) == 0 && (!checkTop || (got >> 24) == r[3]);
            if (!same && mismatches++ == 0) {
                std::ostringstream where;
                where << "(" << x << "," << y << ") got " << std::hex << got << " want " << want << " alpha "
                      << int{r[3]};
                first = where.str();
            }
        }
    }
    surface.unlock();
    if (mismatches) return ::testing::AssertionFailure() << mismatches << " pixels differ, first " << first;
    return ::testing::AssertionSuccess();
}

// Bytes per pixel and masks of a preset (SDL calls RGB555 15 bits, the preset 16).
bool hasLayout(const _vktSurface& surface, uint16_t presetId) {
    const _vktFormat want(presetId);
    const _vktFormat got = surface.format();
    return surface.bytesPerPixel() == want.bytes() && got.redMask() == want.redMask() &&
           got.greenMask() == want.greenMask() && got.blueMask() == want.blueMask() &&
           got.alphaMask() == want.alphaMask();
}

// Builders for hand-made files.
void putU16(std::vector<uint8_t>& out, int value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

std::vector<uint8_t> tgaHeader(int idLength, int mapType, int imageType, int mapFirst, int mapLength,
                               int mapBits, int width, int height, int depth, int descriptor) {
    std::vector<uint8_t> out = {uint8_t(idLength), uint8_t(mapType), uint8_t(imageType)};
    putU16(out, mapFirst);
    putU16(out, mapLength);
    out.push_back(mapBits);
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, width);
    putU16(out, height);
    out.push_back(depth);
    out.push_back(descriptor);
    return out;
}

uint32_t crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void pngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    const uint32_t length = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((length >> shift) & 0xFF);
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const uint32_t crc = crc32(body.data(), body.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((crc >> shift) & 0xFF);
}

// Loads bytes through a memory stream, as pictures from resources are loaded.
int loadBytes(_vktSurface& surface, std::vector<uint8_t>& bytes, int (*decoder)(binfile*, _vktSurface&)) {
    mbinfile stream;
    stream.open(bytes.data(), static_cast<int>(bytes.size()), 0);
    const int result = decoder(&stream, surface);
    stream.close();
    return result;
}

int loadAnyBytes(_vktSurface& surface, std::vector<uint8_t>& bytes) {
    return loadBytes(surface, bytes, [](binfile* stream, _vktSurface& target) {
        return loadImageStream(target, stream, SURFACE_SOFTWARE, 0);
    });
}

class ImageLoaderTest : public SdlTest {
protected:
    void TearDown() override {
        createSurfaceRefusedCall = 0;
        SdlTest::TearDown();
    }

    // A surface that already holds a picture, to see that failures release it.
    static void fillWithPicture(_vktSurface& surface) {
        ASSERT_EQ(surface.create(4, 4, _vktFormat(FORMAT_XRGB8888), SURFACE_SOFTWARE, 0), 1);
    }
};

// ---- The corpus ----

class SampleTest : public ImageLoaderTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(SampleTest, LoadsOrIsRefusedAsExpected) {
    const Sample& sample = GetParam();
    const bool sdlVerdict = sample.expected.rfind("sdl: ", 0) == 0;
    const bool refused = sample.expected == "reject" || sample.expected.rfind("sdl: reject", 0) == 0;

    _vktSurface surface;
    fillWithPicture(surface);
    const int loaded = loadImageFile(surface, sample.path().c_str(), SURFACE_SOFTWARE, 0);
    EXPECT_EQ(loaded, surface.surface != nullptr);
    if (refused) {
        EXPECT_EQ(loaded, 0);
        EXPECT_EQ(surface.surface, nullptr);
        return;
    }
    if (sample.expected == "undefined") return;  // either verdict; it must only not crash
    ASSERT_EQ(loaded, 1);

    // The stream form reads the same bytes into the same picture.
    std::vector<uint8_t> bytes = readBytes(sample.path());
    _vktSurface fromStream;
    ASSERT_EQ(loadAnyBytes(fromStream, bytes), 1);
    EXPECT_TRUE(samePicture(surface.surface, fromStream.surface));

    if (sdlVerdict) {
        // Through the RWops adapter, SDL must see exactly what its own file reader sees.
        SDL_Surface* direct = SDL_LoadBMP(sample.path().c_str());
        EXPECT_TRUE(samePicture(surface.surface, direct));
        SDL_FreeSurface(direct);
    } else if (sample.format == "INDEX8") {
        EXPECT_EQ(surface.bitsPerPixel(), 8);
        EXPECT_NE(surface.surface->format->palette, nullptr);
    } else {
        const uint16_t preset = sample.format == "RGB888"   ? FORMAT_RGB888
                                : sample.format == "RGB555" ? FORMAT_RGB555
                                                            : FORMAT_XRGB8888;
        EXPECT_TRUE(hasLayout(surface, preset)) << sample.format;
    }

    Compare how = Compare::Exact;
    std::string refName = sample.file + ".ref";
    if (sample.compare == "rgb") {
        how = Compare::Rgb;
    } else if (sample.compare == "top5") {
        how = Compare::Top5;
    } else if (sample.compare == "expected") {
        refName = sample.file + ".expected.ref";
    } else if (sample.compare.rfind("ref:", 0) == 0) {
        how = Compare::Rgb;
        refName = sample.compare.substr(4);
    } else if (sample.compare != "exact") {
        return;  // no pixels to compare
    }
    Reference ref;
    ASSERT_TRUE(readReference(sample.refDir() + refName, ref)) << refName;
    // The alpha byte travels in the top byte only where the picture is XRGB8888 from the file itself.
    const bool checkTop = how == Compare::Exact && sample.format == "XRGB8888";
    ASSERT_EQ(surface.convert(_vktFormat(FORMAT_XRGB8888)), 1);
    EXPECT_TRUE(matchesReference(surface, ref, how, checkTop));
}

std::string sampleName(const ::testing::TestParamInfo<Sample>& info) {
    std::string name = info.param.folder + "_" + info.param.file;
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, SampleTest, ::testing::ValuesIn(readSamples()), sampleName);

TEST(SampleTableTest, CorpusIsPresent) {
    EXPECT_GE(readSamples().size(), 230u) << "samples expected in " << kTestData;
}

// ---- PNG ----

TEST_F(ImageLoaderTest, PngPaletteAndGreyRamp) {
    _vktSurface palette;
    ASSERT_EQ(loadPNGFile((kTestData + "/pngsuite/basn3p01.png").c_str(), palette), 1);
    const _vktPalette colours = palette.palette();
    EXPECT_EQ(colours.entries()[0], 0xEEFF22u);  // the file's two entries, then black
    EXPECT_EQ(colours.entries()[1], 0x2266FFu);
    for (int i = 2; i < _vktPalette::ENTRIES; ++i) ASSERT_EQ(colours.entries()[i], 0u) << i;

    _vktSurface grey;
    ASSERT_EQ(loadPNGFile((kTestData + "/pngsuite/basn0g01.png").c_str(), grey), 1);
    const _vktPalette ramp = grey.palette();
    for (int i = 0; i < _vktPalette::ENTRIES; ++i) ASSERT_EQ(ramp.entries()[i], i * 0x010101u) << i;
    const auto* pixels = static_cast<const uint8_t*>(grey.lock());
    int ones = 0;
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            ASSERT_LE(pixels[y * grey.pitch() + x], 1);
            ones += pixels[y * grey.pitch() + x];
        }
    }
    grey.unlock();
    EXPECT_GT(ones, 0);
}

TEST_F(ImageLoaderTest, PngErrorsReachStandardErrorAndEmptyTheSurface) {
    std::vector<uint8_t> truncated = readBytes(kTestData + "/pngsuite/basn2c08.png");
    truncated.resize(93);  // halfway through the only IDAT chunk
    struct Case {
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {readBytes(kTestData + "/pngsuite/basn4a08.png"), "libpng error: \npng: bad image color type"},
        {truncated, "libpng error: \npng: fatal error reading png file!"},
    };
    for (Case& c : cases) {
        _vktSurface surface;
        fillWithPicture(surface);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(loadBytes(surface, c.bytes, loadPNGStream), 0);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(c.message), std::string::npos) << c.message;
        EXPECT_EQ(surface.surface, nullptr);
        EXPECT_EQ(surface.lockCount, 0);  // a lock taken before the error is given back
    }

    // Interlaced pictures need libpng's interlace handling; without it libpng complains.
    _vktSurface interlaced;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadPNGFile((kTestData + "/pngsuite/basi2c08.png").c_str(), interlaced), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ImageLoaderTest, PngErrorPathLeaksNothing) {
    // The error comes from inside png_read_image, after the row table and the lock.
    std::vector<uint8_t> bytes = readBytes(kTestData + "/pngsuite/basn2c08.png");
    bytes.resize(93);
    auto loadFailing = [&bytes](int times) {
        for (int i = 0; i < times; ++i) {
            _vktSurface surface;
            ::testing::internal::CaptureStderr();
            loadBytes(surface, bytes, loadPNGStream);
            ::testing::internal::GetCapturedStderr();
        }
    };
    loadFailing(5);
    const size_t before = mallinfo2().uordblks;
    loadFailing(200);
    const size_t after = mallinfo2().uordblks;
    // The row table alone is 256 bytes a time; the decoder state is kilobytes.
    EXPECT_LT(after, before + 8 * 1024) << "heap grew by " << after - before;
}

TEST_F(ImageLoaderTest, PngForgedSizeCreatesNoSurfaceAndARefusedSurfaceFails) {
    // 20000 × 20000 grey pixels announced in a file of about a hundred bytes.
    std::vector<uint8_t> forged = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    pngChunk(forged, "IHDR", {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 0, 0, 0, 0});
    pngChunk(forged, "IDAT", {0x78, 0x9C, 0x63, 0, 0, 0, 1, 0, 1});
    pngChunk(forged, "IEND", {});

    createSurfaceFlags.clear();
    _vktSurface surface;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadBytes(surface, forged, loadPNGStream), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("\npng: image larger than its data"),
              std::string::npos);
    EXPECT_EQ(surface.surface, nullptr);
    EXPECT_TRUE(createSurfaceFlags.empty());

    // A refused surface is a libpng error like any other.
    createSurfaceRefusedCall = 1;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadPNGFile((kTestData + "/pngsuite/basn2c08.png").c_str(), surface), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("\npng: error initializing surface"),
              std::string::npos);
    EXPECT_EQ(createSurfaceRefusedCall, 0);
}

// ---- BMP and the RWops adapter ----

TEST_F(ImageLoaderTest, BmpLoadsFromAStreamThePngAttemptAlreadyRead) {
    const std::string path = kTestData + "/bmp/g/rgb24.bmp";
    std::vector<uint8_t> bytes = readBytes(path);
    mbinfile stream;
    stream.open(bytes.data(), static_cast<int>(bytes.size()), 0);
    _vktSurface surface;
    EXPECT_EQ(loadPNGStream(&stream, surface), 0);
    EXPECT_EQ(stream.tell(), 4);
    EXPECT_EQ(loadImageStream(surface, &stream, SURFACE_SOFTWARE, 0), 1);
    SDL_Surface* direct = SDL_LoadBMP(path.c_str());
    EXPECT_TRUE(samePicture(surface.surface, direct));
    SDL_FreeSurface(direct);
    // The stream stays the caller's, open.
    EXPECT_NE(stream.mode, 0u);
    stream.close();
}

TEST_F(ImageLoaderTest, RwopsAdapterMapsWhenceAndReportsShortReadsAsNothingRead) {
    uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    mbinfile stream;
    stream.open(bytes, 10, 0);
    SDL_RWops rwops;
    memset(&rwops, 0, sizeof rwops);
    rwops.hidden.unknown.data1 = &stream;

    EXPECT_EQ(rwSeek(&rwops, 3, RW_SEEK_SET), 3);
    EXPECT_EQ(rwSeek(&rwops, 2, RW_SEEK_CUR), 5);
    EXPECT_EQ(rwSeek(&rwops, -4, RW_SEEK_END), 6);
    EXPECT_EQ(rwSeek(&rwops, 1, 9), 1);  // an unknown whence seeks from the start
    uint8_t got[4] = {};
    EXPECT_EQ(rwRead(&rwops, got, 2, 2), 2);
    EXPECT_EQ(memcmp(got, "\x01\x02\x03\x04", 4), 0);
    EXPECT_EQ(rwSeek(&rwops, 7, RW_SEEK_SET), 7);
    EXPECT_EQ(rwRead(&rwops, got, 2, 2), 0);  // three bytes left: an error, not one item
    EXPECT_EQ(rwRead(&rwops, got, 1, 0), 0);

    rwops.hidden.unknown.data1 = nullptr;
    EXPECT_EQ(rwSeek(&rwops, 0, RW_SEEK_SET), -1);
    EXPECT_EQ(rwRead(&rwops, got, 1, 1), 0);
    stream.close();
}

// ---- TGA ----

TEST_F(ImageLoaderTest, TgaTopDownAndBottomUpGiveTheSamePicture) {
    for (const char* kind : {"p", "rgba"}) {
        _vktSurface bottomUp, topDown;
        const std::string stem = kTestData + "/tga/200x32_" + kind;
        ASSERT_EQ(loadTGAFile((stem + "_bl_raw.tga").c_str(), bottomUp), 1) << kind;
        ASSERT_EQ(loadTGAFile((stem + "_tl_raw.tga").c_str(), topDown), 1) << kind;
        EXPECT_TRUE(samePicture(bottomUp.surface, topDown.surface)) << kind;
    }

    // 2 × 2 in 24 bits: stored bottom-up, the first row in the file is the picture's last.
    const uint8_t rows[] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    std::vector<uint8_t> bottomUp = tgaHeader(0, 0, 2, 0, 0, 0, 2, 2, 24, 0x00);
    bottomUp.insert(bottomUp.end(), rows, rows + 12);
    std::vector<uint8_t> topDown = tgaHeader(0, 0, 2, 0, 0, 0, 2, 2, 24, 0x20);
    topDown.insert(topDown.end(), rows + 6, rows + 12);
    topDown.insert(topDown.end(), rows, rows + 6);
    _vktSurface a, b;
    ASSERT_EQ(loadBytes(a, bottomUp, loadTGAStream), 1);
    ASSERT_EQ(loadBytes(b, topDown, loadTGAStream), 1);
    EXPECT_TRUE(hasLayout(a, FORMAT_RGB888));
    EXPECT_EQ(static_cast<const uint8_t*>(a.lock())[0], 3);
    a.unlock();
    EXPECT_TRUE(samePicture(a.surface, b.surface));
}

TEST_F(ImageLoaderTest, TgaColourMapOf20SixteenBitEntries) {
    // Pure channels expand exactly; the rest keep their five bits on top; the top bit is ignored.
    std::vector<uint16_t> map = {0x0000, 0x7C00, 0x03E0, 0x001F, 0x7FFF, 0xFC00};
    while (map.size() < 20) {
        const int v = static_cast<int>(map.size());
        map.push_back(static_cast<uint16_t>(v << 10 | (31 - v) << 5 | (v + 3)));
    }
    std::vector<uint8_t> file = tgaHeader(0, 1, 1, 0, 20, 16, 4, 5, 8, 0x20);
    for (uint16_t entry : map) putU16(file, entry);
    for (int i = 0; i < 20; ++i) file.push_back(static_cast<uint8_t>(i));

    _vktSurface surface;
    ASSERT_EQ(loadBytes(surface, file, loadTGAStream), 1);
    ASSERT_TRUE(hasLayout(surface, FORMAT_INDEX8));
    const _vktPalette palette = surface.palette();
    const uint32_t* entries = palette.entries();
    const uint32_t exact[] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF0000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(entries[i], exact[i]) << i;
    for (int i = 6; i < 20; ++i) {
        const uint32_t top5 = (map[i] >> 10 & 31) << 19 | (map[i] >> 5 & 31) << 11 | (map[i] & 31) << 3;
        EXPECT_EQ(entries[i] & 0xF8F8F8, top5) << i;
    }
    for (int i = 20; i < _vktPalette::ENTRIES; ++i) ASSERT_EQ(entries[i], 0u) << i;
    const auto* pixels = static_cast<const uint8_t*>(surface.lock());
    EXPECT_EQ(pixels[surface.pitch() * 4 + 3], 19);
    surface.unlock();
}

TEST_F(ImageLoaderTest, TgaMapAfterImageIdAndFromItsFirstIndex) {
    // The ID comes first, then the map, whose entries start at its first index (39 here).
    struct Case {
        const char* file;
        Compare how;
    } cases[] = {{"cmap_offset.tga", Compare::Exact}, {"p_16.tga", Compare::Top5}};
    for (const Case& c : cases) {
        _vktSurface surface;
        ASSERT_EQ(loadTGAFile((kTestData + "/tga/" + c.file).c_str(), surface), 1) << c.file;
        Reference ref;
        ASSERT_TRUE(readReference(kTestData + "/tga/ref/" + c.file + ".ref", ref));
        ASSERT_EQ(surface.convert(_vktFormat(FORMAT_XRGB8888)), 1);
        EXPECT_TRUE(matchesReference(surface, ref, c.how, false)) << c.file;
    }
}

TEST_F(ImageLoaderTest, TgaTrueColourSkipsAColourMap) {
    std::vector<uint8_t> file = tgaHeader(0, 1, 2, 0, 3, 24, 2, 1, 24, 0x20);
    file.insert(file.end(), 9, 0xEE);  // the unused map
    for (uint8_t byte : {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}) file.push_back(byte);
    _vktSurface surface;
    ASSERT_EQ(loadBytes(surface, file, loadTGAStream), 1);
    EXPECT_TRUE(hasLayout(surface, FORMAT_RGB888));
    EXPECT_EQ(memcmp(surface.lock(), "\x10\x20\x30\x40\x50\x60", 6), 0);
    surface.unlock();
}

TEST_F(ImageLoaderTest, TgaRefusals) {
    std::vector<uint8_t> longMap = tgaHeader(0, 1, 1, 0, 300, 24, 1, 1, 8, 0);
    longMap.insert(longMap.end(), 300 * 3 + 1, 0);
    std::vector<uint8_t> depth15 = tgaHeader(0, 0, 2, 0, 0, 0, 1, 1, 15, 0);
    depth15.insert(depth15.end(), 2, 0);
    std::vector<uint8_t> rle = tgaHeader(0, 0, 10, 0, 0, 0, 1, 1, 24, 0);
    rle.insert(rle.end(), 4, 0);
    std::vector<uint8_t> shortRows = tgaHeader(0, 0, 2, 0, 0, 0, 4, 4, 32, 0);
    shortRows.insert(shortRows.end(), 4 * 4 * 4 - 1, 0);
    std::vector<uint8_t> headerOnly = tgaHeader(0, 0, 2, 0, 0, 0, 1, 1, 24, 0);
    headerOnly.pop_back();
    for (std::vector<uint8_t>* bytes : {&longMap, &depth15, &rle, &shortRows, &headerOnly}) {
        _vktSurface surface;
        fillWithPicture(surface);
        EXPECT_EQ(loadBytes(surface, *bytes, loadTGAStream), 0) << bytes->size();
        EXPECT_EQ(surface.surface, nullptr);
    }
}

TEST_F(ImageLoaderTest, TgaForgedSizeCreatesNoSurfaceAndRefusedSurfacesFail) {
    // 16000 × 65535 pixels of 4 bytes (4 GB) promised by a 30-byte file.
    std::vector<uint8_t> forged = tgaHeader(0, 0, 2, 0, 0, 0, 16000, 65535, 32, 0);
    forged.insert(forged.end(), 12, 0);
    createSurfaceFlags.clear();
    _vktSurface surface;
    EXPECT_EQ(loadBytes(surface, forged, loadTGAStream), 0);
    EXPECT_TRUE(createSurfaceFlags.empty());

    // Refusing the picture or its colour map's temporary surface fails the whole decode.
    for (int call : {1, 2}) {
        createSurfaceRefusedCall = call;
        EXPECT_EQ(loadTGAFile((kTestData + "/tga/200x32_p_bl_raw.tga").c_str(), surface), 0) << call;
        EXPECT_EQ(surface.surface, nullptr);
        EXPECT_EQ(createSurfaceRefusedCall, 0);
    }
}

// ---- Saving, the loaders' modes and the loading constructors ----

TEST_F(ImageLoaderTest, SaveBmpWritesNothingForAnEmptySurfaceAndLoadsBackIdentical) {
    const std::string path = ::testing::TempDir() + "imageloader_saved.bmp";
    remove(path.c_str());
    _vktSurface empty;
    EXPECT_EQ(saveBMP(empty, path.c_str()), 0);
    EXPECT_FALSE(fileExists(path));

    for (const char* name : {"basn2c08.png", "basn3p08.png", "basn6a08.png"}) {
        std::ofstream(path) << "an older file";  // replaced
        _vktSurface original;
        ASSERT_EQ(loadPNGFile((kTestData + "/pngsuite/" + name).c_str(), original), 1);
        ASSERT_EQ(saveBMP(original, path.c_str()), 1) << name;
        _vktSurface reloaded;
        ASSERT_EQ(loadImageFile(reloaded, path.c_str(), SURFACE_SOFTWARE, 0), 1) << name;
        if (original.bitsPerPixel() == 8) {
            EXPECT_TRUE(samePicture(original.surface, reloaded.surface)) << name;
        }
        ASSERT_EQ(original.convert(_vktFormat(FORMAT_XRGB8888)), 1);
        ASSERT_EQ(reloaded.convert(_vktFormat(FORMAT_XRGB8888)), 1);
        EXPECT_EQ(reloaded.width(), original.width());
        EXPECT_EQ(reloaded.height(), original.height());
        const auto* a = static_cast<const uint8_t*>(original.lock());
        const auto* b = static_cast<const uint8_t*>(reloaded.lock());
        for (int y = 0; y < original.height(); ++y) {
            for (int x = 0; x < original.width(); ++x) {
                uint32_t pa, pb;
                memcpy(&pa, a + y * original.pitch() + x * 4, 4);
                memcpy(&pb, b + y * reloaded.pitch() + x * 4, 4);
                ASSERT_EQ(pa & 0xFFFFFF, pb & 0xFFFFFF) << name << " at " << x << "," << y;
            }
        }
        original.unlock();
        reloaded.unlock();
    }
    remove(path.c_str());
}

TEST_F(ImageLoaderTest, LoadersAndConstructors) {
    const std::string png = kTestData + "/pngsuite/basn2c08.png";
    const std::string missing = kTestData + "/no such picture.png";

    _vktSurface surface;
    fillWithPicture(surface);
    EXPECT_EQ(loadImageFile(surface, missing.c_str(), SURFACE_HARDWARE, 0), 0);
    EXPECT_EQ(surface.surface, nullptr);
    EXPECT_EQ(loadImageFile(surface, png.c_str(), SURFACE_HARDWARE, 0), 1);
    EXPECT_EQ(surface.width(), 32);
    EXPECT_EQ(loadImageStream(surface, nullptr, SURFACE_SOFTWARE, 0), 0);
    EXPECT_EQ(surface.surface, nullptr);

    const _vktSurface fromPath(png.c_str(), SURFACE_SOFTWARE, 0);
    EXPECT_TRUE(hasLayout(fromPath, FORMAT_RGB888));
    EXPECT_EQ(fromPath.console, nullptr);
    std::vector<uint8_t> bytes = readBytes(png);
    mbinfile stream;
    stream.open(bytes.data(), static_cast<int>(bytes.size()), 0);
    const _vktSurface fromStream(&stream, SURFACE_SOFTWARE, 0);
    stream.close();
    EXPECT_TRUE(samePicture(fromPath.surface, fromStream.surface));
    const _vktSurface nothing(missing.c_str(), SURFACE_SOFTWARE, 0);
    EXPECT_EQ(nothing.surface, nullptr);
}

TEST_F(ImageLoaderTest, ConsoleConstructorLoadsOnlyWhileTheConsoleIsOpen) {
    const std::string png = kTestData + "/pngsuite/basn2c08.png";
    _vktPTC console;
    const _vktSurface whileClosed(&console, png.c_str(), SURFACE_SOFTWARE, 0);
    EXPECT_EQ(whileClosed.surface, nullptr);
    EXPECT_EQ(whileClosed.console, nullptr);
    ASSERT_EQ(console.open(320, 200, MODE_RGB32, SCREEN_WINDOW_CURSOR), 1);
    const _vktSurface whileOpen(&console, png.c_str(), SURFACE_SOFTWARE, 0);
    EXPECT_TRUE(hasLayout(whileOpen, FORMAT_RGB888));
    EXPECT_EQ(whileOpen.console, &console);
}

}  // namespace
