// sdlptc_imageloader.cpp: the PNG (libpng), BMP (SDL) and TGA decoders, the two loaders and BMP saving.
#include "sdlptc_imageloader.h"

#include <SDL.h>
#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "binfile.h"
#include "diag.h"
#include "sdlptc_imageloader_adapters.h"
#include "sdlptc_surface.h"

namespace {

using StreamDecoder = int (*)(binfile*, _vktSurface&);
using FileDecoder = int (*)(const char*, _vktSurface&);

// Runs one stream decoder over a disk file; the file is closed on every path.
int decodeFile(const char* path, _vktSurface& surface, StreamDecoder decoder) {
    surface.free();
    if (!path) return 0;
    sbinfile file;
    if (!file.open(path, OPEN_READ)) return 0;
    const int result = decoder(&file, surface);
    file.close();
    return result;
}

// The decoders in their fixed order, each from a fresh start; a failed attempt leaves nothing behind.
template <class Source>
int loadWithDecoders(_vktSurface& surface, Source source, int (*const decoders[3])(Source, _vktSurface&),
                     int memoryKind) {
    surface.free();
    for (int i = 0; i < 3; ++i) {
        if (decoders[i](source, surface)) break;
        surface.free();
    }
    // On an empty surface recreate does nothing; when it fails, the software picture stays.
    if (memoryKind == SURFACE_HARDWARE) surface.recreate(SURFACE_HARDWARE, 0);
    return surface.surface != nullptr;
}

bool pixelsWithinCeiling(int64_t width, int64_t height) {
    return width * height <= IMAGE_PIXELS_MAX;
}

// ---- PNG ----

// Deflate inflates at most 1032-fold, and every PNG row inflates to a filter byte and its samples in
// whole bytes, so an honest picture has height × (1 + row bytes) ≤ 1032 × stream bytes (interlacing
// only adds rows). Checking that before the surface exists keeps a forged header from buying memory it
// cannot fill; counting bits alone would let a one-pixel-wide column claim 16 times its rows.
constexpr uint64_t PNG_INFLATE_RATIO = 1032;
constexpr uint64_t PNG_INFLATE_BITS_PER_BYTE = 8 * PNG_INFLATE_RATIO;
// libpng's own default cap on either side, kept as the upper bound of ours.
constexpr uint64_t PNG_SIDE_MAX = 1000000;
// Ancillary chunks are all ignored here; libpng still buffers some of them, so bound how many and how big.
constexpr png_uint_32 PNG_CHUNK_CACHE_MAX = 128;
constexpr uint64_t PNG_CHUNK_MALLOC_MIN = 64 * 1024;
constexpr uint64_t PNG_CHUNK_MALLOC_MAX = 8000000;  // libpng's default

// What the error path has to undo; it lives outside the frame that calls setjmp.
struct PngCleanup {
    png_bytep* rows;         // from checkedCalloc while the image is read
    bool locked;             // the surface is locked
    uint64_t allocationMax;  // bytes: the largest block libpng may take, 0 until the stream is known
};

// libpng's allocations, refused above the cap: a chunk longer than the chunk limit is only a warning
// to libpng, which would then allocate it whole. Plain malloc, as libpng has to see the refusal.
png_voidp pngCappedMalloc(png_structp png, png_alloc_size_t size) {
    const auto* cleanup = static_cast<const PngCleanup*>(png_get_mem_ptr(png));
    if (cleanup && cleanup->allocationMax != 0 && size > cleanup->allocationMax) return nullptr;
    return malloc(size);
}

void pngFree(png_structp, png_voidp block) {
    free(block);
}

// The 256 colours of an 8-bit picture: a palette image's PNG entries (entry i becomes entry i), a grey
// image's ramp (entry i is i × 0x010101), black elsewhere. False when a palette chunk has no entries.
bool pngColours(png_structp png, png_infop info, int colourType, SDL_Color (&colours)[_vktPalette::ENTRIES]) {
    for (SDL_Color& colour : colours) colour = SDL_Color{0, 0, 0, 0};
    if (png_get_valid(png, info, PNG_INFO_PLTE)) {
        png_colorp entries = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &entries, &count) || !entries) return false;
        if (count > _vktPalette::ENTRIES) count = _vktPalette::ENTRIES;
        for (int i = 0; i < count; ++i)
            colours[i] = SDL_Color{entries[i].red, entries[i].green, entries[i].blue, 0};
    }
    // Grey samples of 1, 2 or 4 bits keep their raw values and so index the ramp's darkest entries.
    if (colourType == PNG_COLOR_TYPE_GRAY)
        for (int i = 0; i < _vktPalette::ENTRIES; ++i)
            colours[i] = SDL_Color{Uint8(i), Uint8(i), Uint8(i), 0};
    return true;
}

// The picture's surface as create() makes it for SURFACE_SOFTWARE without options, except that an 8-bit
// surface gets no palette here: create() would write an all-black one, and the decoder writes the final
// one right after.
bool createPngSurface(_vktSurface& surface, int width, int height, const _vktFormat& format) {
    surface.free();
    surface.surface = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, format.bits(), format.redMask(),
                                           format.greenMask(), format.blueMask(), format.alphaMask());
    return surface.surface != nullptr;
}

// Everything after the recovery point. Any libpng error leaves through longjmp, so no object with a
// destructor may be alive here when libpng is called.
void decodePng(png_structp png, png_infop info, binfile* stream, _vktSurface& surface, PngCleanup& cleanup) {
    const uint64_t streamBytes = stream->size() > 0 ? static_cast<uint64_t>(stream->size()) : 0;
    const uint64_t bitBudget = PNG_INFLATE_BITS_PER_BYTE * streamBytes;
    const uint64_t sideMax = bitBudget < PNG_SIDE_MAX ? bitBudget : PNG_SIDE_MAX;
    png_set_user_limits(png, static_cast<png_uint_32>(sideMax), static_cast<png_uint_32>(sideMax));
    png_set_chunk_cache_max(png, PNG_CHUNK_CACHE_MAX);
    // No chunk can be longer than the stream that holds it.
    const uint64_t chunkMax = streamBytes < PNG_CHUNK_MALLOC_MIN   ? PNG_CHUNK_MALLOC_MIN
                              : streamBytes > PNG_CHUNK_MALLOC_MAX ? PNG_CHUNK_MALLOC_MAX
                                                                   : streamBytes;
    png_set_chunk_malloc_max(png, static_cast<png_alloc_size_t>(chunkMax));
    // No buffer of an honest picture is larger than a row of bitBudget one-byte pixels.
    cleanup.allocationMax = bitBudget > chunkMax ? bitBudget : chunkMax;
    png_set_mem_fn(png, &cleanup, pngCappedMalloc, pngFree);

    png_set_read_fn(png, stream, pngReadFromStream);
    png_set_sig_bytes(png, 4);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);

    const uint64_t rowBytes =
        1 + (static_cast<uint64_t>(width) * png_get_channels(png, info) * bitDepth + 7) / 8;
    if (rowBytes * height > PNG_INFLATE_RATIO * streamBytes)
        png_error(png, "\npng: image larger than its data");
    if (!pixelsWithinCeiling(width, height)) png_error(png, "\npng: image larger than the loader takes");

    switch (bitDepth) {
        case 16:
            png_set_strip_16(png);
            break;
        case 1:
        case 2:
        case 4:
            png_set_packing(png);
            break;
        case 8:
            break;
        default:
            png_error(png, "\npng: bad image bit depth");
    }
    if (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(png);
    // Interlaced pictures are read whole; libpng 1.6 wants that said before the update, else it complains.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    uint16_t formatId = 0;
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            formatId = FORMAT_INDEX8;
            break;
        case PNG_COLOR_TYPE_RGB:
            formatId = FORMAT_RGB888;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            formatId = FORMAT_XRGB8888;
            break;
        default:
            png_error(png, "\npng: bad image color type");
    }
    if (!createPngSurface(surface, static_cast<int>(width), static_cast<int>(height), _vktFormat(formatId)))
        png_error(png, "\npng: error initializing surface");
    SDL_Color colours[_vktPalette::ENTRIES];
    if (!pngColours(png, info, colourType, colours)) png_error(png, "\npng: error locking palette");
    // A true-colour picture may carry a suggested palette; it has nowhere to go.
    if (surface.surface->format->palette) SDL_SetColors(surface.surface, colours, 0, _vktPalette::ENTRIES);

    if (png_get_rowbytes(png, info) > static_cast<size_t>(surface.pitch()))
        png_error(png, "\npng: image pitch too short");
    auto* pixels = static_cast<png_bytep>(surface.lock());
    if (!pixels) png_error(png, "\npng: error locking surface");
    cleanup.locked = true;

    cleanup.rows = static_cast<png_bytep*>(checkedCalloc(static_cast<int32_t>(height),
                                                         static_cast<int32_t>(sizeof(png_bytep)), __FILE__,
                                                         __LINE__, "png_row_pointers"));
    const size_t pitch = static_cast<size_t>(surface.pitch());
    for (png_uint_32 y = 0; y < height; ++y) cleanup.rows[y] = pixels + y * pitch;
    png_read_image(png, cleanup.rows);
    checkedFree(cleanup.rows, __FILE__, __LINE__);
    cleanup.rows = nullptr;
    surface.unlock();
    cleanup.locked = false;
    png_read_end(png, info);
}

// The frame that holds the recovery point: only its arguments, none changed after setjmp.
int decodePngRecovering(png_structp png, png_infop info, binfile* stream, _vktSurface& surface,
                        PngCleanup& cleanup) {
    if (setjmp(png_jmpbuf(png))) {
        checkedFree(cleanup.rows, __FILE__, __LINE__);
        cleanup.rows = nullptr;
        if (cleanup.locked) surface.unlock();
        cleanup.locked = false;
        return 0;
    }
    decodePng(png, info, stream, surface, cleanup);
    return 1;
}

// ---- TGA ----

constexpr int TGA_HEADER_BYTES = 18;
constexpr int TGA_PALETTE_ENTRIES = 256;

struct TgaHeader {
    int idLength;
    int mapType;
    int imageType;
    int mapFirst;
    int mapLength;
    int mapEntryBits;
    int width;
    int height;
    int depth;
    int descriptor;
};

TgaHeader parseTgaHeader(const uint8_t* b) {
    auto u16 = [b](int at) { return b[at] | (b[at + 1] << 8); };
    return {b[0], b[1], b[2], u16(3), u16(5), b[7], u16(12), u16(14), b[16], b[17]};
}

// Pixel layouts by depth: the stored bytes are already these formats' little-endian pixels.
bool tgaFormat(int bits, uint16_t* formatId) {
    switch (bits) {
        case 8:
            *formatId = FORMAT_INDEX8;
            return true;
        case 16:
            *formatId = FORMAT_RGB555;
            return true;
        case 24:
            *formatId = FORMAT_RGB888;
            return true;
        case 32:
            *formatId = FORMAT_XRGB8888;
            return true;
        default:
            return false;
    }
}

// Colour-map entries are true colour: 16, 24 or 32 bits.
bool tgaMapFormat(int bits, uint16_t* formatId) {
    return bits != 8 && tgaFormat(bits, formatId);
}

// Reads the colour map through a one-row surface of its entry layout and converts that to 0x00RRGGBB.
// Stored entries fill palette entries first .. first + length - 1.
int loadTgaColourMap(binfile* stream, const TgaHeader& header, int mapOffset, uint16_t mapFormatId,
                     _vktSurface& surface) {
    _vktSurface entries(header.mapLength, 1, _vktFormat(mapFormatId), SURFACE_SOFTWARE, 0);
    auto* pixels = static_cast<uint8_t*>(entries.lock());
    if (!pixels) return 0;
    const int bytes = header.mapLength * header.mapEntryBits / 8;
    const bool read = stream->seek(mapOffset) == mapOffset && stream->readExact(pixels, bytes);
    entries.unlock();
    if (!read || !entries.convert(_vktFormat(FORMAT_XRGB8888))) return 0;

    auto* converted = static_cast<const uint32_t*>(entries.lock());
    if (!converted) return 0;
    uint32_t colours[TGA_PALETTE_ENTRIES] = {};
    for (int i = 0; i < header.mapLength; ++i) colours[header.mapFirst + i] = converted[i] & 0x00FFFFFF;
    entries.unlock();
    _vktPalette palette;
    palette.load(colours);
    return surface.setPalette(palette);
}

// Copies the pixel rows, top to bottom or bottom to top as the descriptor says.
int readTgaRows(binfile* stream, const TgaHeader& header, int pixelOffset, _vktSurface& surface) {
    auto* pixels = static_cast<uint8_t*>(surface.lock());
    if (!pixels) return 0;
    const int rowBytes = header.width * (header.depth / 8);
    const bool topDown = (header.descriptor & 0x20) != 0;
    bool ok = rowBytes <= surface.pitch() && stream->seek(pixelOffset) == pixelOffset;
    for (int row = 0; ok && row < header.height; ++row) {
        const int y = topDown ? row : header.height - 1 - row;
        ok = stream->readExact(pixels + static_cast<size_t>(y) * surface.pitch(), rowBytes);
    }
    surface.unlock();
    return ok;
}

int decodeTga(binfile* stream, _vktSurface& surface) {
    if (!stream || stream->seek(0) != 0) return 0;
    uint8_t bytes[TGA_HEADER_BYTES];
    if (!stream->readExact(bytes, TGA_HEADER_BYTES)) return 0;
    const TgaHeader header = parseTgaHeader(bytes);
    if (header.imageType != 1 && header.imageType != 2) return 0;
    uint16_t formatId = 0;
    if (!tgaFormat(header.depth, &formatId)) return 0;

    // The file holds the header, the image ID, the colour map, then the pixels.
    const bool hasMap = header.mapType != 0 && header.mapLength != 0;
    const int mapOffset = TGA_HEADER_BYTES + header.idLength;
    uint16_t mapFormatId = 0;
    int mapBytes = 0;
    if (hasMap) {
        if (header.mapFirst + header.mapLength > TGA_PALETTE_ENTRIES) return 0;
        if (!tgaMapFormat(header.mapEntryBits, &mapFormatId)) return 0;
        mapBytes = header.mapLength * header.mapEntryBits / 8;
    }
    const int pixelOffset = mapOffset + mapBytes;
    // A header that promises more pixels than the stream holds, or than the loader takes, is refused
    // before anything is allocated.
    const int64_t pixelBytes = int64_t{header.width} * header.height * (header.depth / 8);
    if (pixelOffset + pixelBytes > stream->size()) return 0;
    if (!pixelsWithinCeiling(header.width, header.height)) return 0;

    if (!surface.create(header.width, header.height, _vktFormat(formatId), SURFACE_SOFTWARE, 0)) return 0;
    // A true-colour picture has no palette to receive a map, so its map is only skipped.
    if (hasMap && header.depth == 8 && !loadTgaColourMap(stream, header, mapOffset, mapFormatId, surface))
        return 0;
    return readTgaRows(stream, header, pixelOffset, surface);
}

// ---- BMP ----

constexpr int BMP_HEADERS_READ = 34;            // the file header and the info header up to its compression
constexpr uint32_t BMP_CORE_HEADER_BYTES = 12;  // OS/2 1.x: 16-bit sides and no compression field
constexpr uint32_t BMP_RLE8 = 1;
constexpr uint32_t BMP_RLE4 = 2;

// SDL's reader makes the whole surface from the header's sizes before it reads a pixel, so a forged
// header would buy memory the stream can never fill. Says why when the picture has more pixels than the
// loader takes, or when raw rows cannot all be in the stream: each takes its padded stride (SDL forgives
// a last row without its padding). RLE data has no such bound: its end-of-line, delta and end-of-picture
// codes leave any number of pixels unpainted. Anything else, including what is not a BMP or sizes SDL
// refuses itself, is left to SDL (null). The stream is back at its start afterwards.
const char* bmpRefusal(binfile* stream) {
    uint8_t bytes[BMP_HEADERS_READ] = {};
    const int got = stream->read(bytes, BMP_HEADERS_READ);
    stream->seek(0);
    if (got < 2 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
    auto u16 = [&bytes](int at) { return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [&u16](int at) { return u16(at) | u16(at + 2) << 16; };
    const uint32_t pixelOffset = u32(10);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (u32(14) == BMP_CORE_HEADER_BYTES) {
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else {
        width = static_cast<int32_t>(u32(18));
        height = static_cast<int32_t>(u32(22));
        bits = u16(28);
        compression = u32(30);
    }
    if (width <= 0 || height == 0) return nullptr;
    if (height < 0) height = -height;
    if (!pixelsWithinCeiling(width, height)) return "BMP picture larger than the loader takes";
    if (compression == BMP_RLE8 || compression == BMP_RLE4) return nullptr;
    // An offset of 0 makes SDL read the pixels straight after the headers; the whole stream bounds them.
    const int64_t available = int64_t{stream->size()} - pixelOffset;
    const int64_t rowBits = width * (bits > 0 ? bits : 1);
    const int64_t stride = (rowBits + 31) / 32 * 4;
    const int64_t lastRow = (rowBits + 7) / 8;
    const bool fits = lastRow <= available && height - 1 <= (available - lastRow) / stride;
    return fits ? nullptr : "BMP picture larger than its data";
}

}  // namespace

int loadImageFile(_vktSurface& surface, const char* path, int memoryKind, int /*options: reserved*/) {
    static constexpr FileDecoder decoders[3] = {loadPNGFile, loadBMPFile, loadTGAFile};
    return loadWithDecoders<const char*>(surface, path, decoders, memoryKind);
}

int loadImageStream(_vktSurface& surface, binfile* stream, int memoryKind, int /*options: reserved*/) {
    static constexpr StreamDecoder decoders[3] = {loadPNGStream, loadBMPStream, loadTGAStream};
    return loadWithDecoders<binfile*>(surface, stream, decoders, memoryKind);
}

int saveBMP(const _vktSurface& surface, const char* path) {
    if (!surface.surface || !path) return 0;
    SDL_RWops* file = SDL_RWFromFile(path, "wb");
    if (!file) return 0;
    return SDL_SaveBMP_RW(surface.surface, file, 1) >= 0;
}

int loadPNGFile(const char* path, _vktSurface& surface) {
    return decodeFile(path, surface, loadPNGStream);
}

int loadPNGStream(binfile* stream, _vktSurface& surface) {
    surface.free();
    if (!stream || stream->seek(0) != 0) return 0;
    png_byte signature[4];
    if (stream->read(signature, 4) != 4 || png_sig_cmp(signature, 0, 4) != 0) return 0;

    // libpng 1.6 accepts only its own version string.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return 0;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return 0;
    }
    PngCleanup cleanup{nullptr, false, 0};
    const int result = decodePngRecovering(png, info, stream, surface, cleanup);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!result) surface.free();
    return result;
}

int loadBMPFile(const char* path, _vktSurface& surface) {
    return decodeFile(path, surface, loadBMPStream);
}

int loadBMPStream(binfile* stream, _vktSurface& surface) {
    surface.free();
    if (!stream) return 0;
    stream->seek(0);
    if (const char* refusal = bmpRefusal(stream)) {
        SDL_SetError("%s", refusal);
        return 0;
    }
    SDL_RWops rwops;
    std::memset(&rwops, 0, sizeof rwops);
    rwops.seek = rwSeek;
    rwops.read = rwRead;
    rwops.hidden.unknown.data1 = stream;
    surface.surface = SDL_LoadBMP_RW(&rwops, 0);
    return surface.surface != nullptr;
}

int loadTGAFile(const char* path, _vktSurface& surface) {
    return decodeFile(path, surface, loadTGAStream);
}

int loadTGAStream(binfile* stream, _vktSurface& surface) {
    surface.free();
    const int result = decodeTga(stream, surface);
    if (!result) surface.free();
    return result;
}

void pngReadFromStream(png_structp decoder, png_bytep destination, png_size_t count) {
    auto* stream = static_cast<binfile*>(png_get_io_ptr(decoder));
    if (!stream) png_error(decoder, "\npng: not valid callback file ptr!");
    if (count > INT_MAX || stream->read(destination, static_cast<int>(count)) != static_cast<int>(count))
        png_error(decoder, "\npng: fatal error reading png file!");
}

int rwSeek(SDL_RWops* rwops, int offset, int whence) {
    auto* stream = rwops ? static_cast<binfile*>(rwops->hidden.unknown.data1) : nullptr;
    if (!stream) return -1;
    switch (whence) {
        case RW_SEEK_CUR:
            return stream->seekRelative(offset);
        case RW_SEEK_END:
            return stream->seekFromEnd(offset);
        default:
            return stream->seek(offset);
    }
}

int rwRead(SDL_RWops* rwops, void* destination, int itemSize, int itemCount) {
    auto* stream = rwops ? static_cast<binfile*>(rwops->hidden.unknown.data1) : nullptr;
    if (!stream) return 0;
    const int64_t bytes = int64_t{itemSize} * itemCount;
    if (itemSize < 0 || itemCount < 0 || bytes > INT_MAX) return 0;
    // A short read is an error, not a partial count, and SDL's BMP reader only sees one as 0: it tests
    // single-byte reads with !SDL_RWread, and SDL 2 underneath takes -1 for a huge unsigned count.
    return stream->read(destination, static_cast<int>(bytes)) == bytes ? itemCount : 0;
}
