// image.cpp: small readers for the three picture files the end-to-end tests look at.
#include "image.h"

#include <png.h>

#include <bit>
#include <fstream>
#include <iterator>

namespace {

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
}

uint32_t little(const std::vector<unsigned char>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

uint32_t big(const std::vector<unsigned char>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = value << 8 | bytes[at + i];
    return value;
}

// The 8-bit channel under mask, widened or narrowed from the mask's own width.
uint32_t channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t value = (pixel & mask) >> shift;
    return bits >= 8 ? value >> (bits - 8) : value * 255 / ((1u << bits) - 1);
}

uint32_t rgb(uint32_t pixel, uint32_t red, uint32_t green, uint32_t blue) {
    return channel(pixel, red) << 16 | channel(pixel, green) << 8 | channel(pixel, blue);
}

}  // namespace

Image readBmp(const std::string& path) {
    const std::vector<unsigned char> bytes = readBytes(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return {};
    const uint32_t dataOffset = little(bytes, 10, 4);
    const uint32_t headerSize = little(bytes, 14, 4);
    const int32_t width = static_cast<int32_t>(little(bytes, 18, 4));
    const int32_t signedHeight = static_cast<int32_t>(little(bytes, 22, 4));
    const uint32_t bits = little(bytes, 28, 2);
    const uint32_t compression = little(bytes, 30, 4);
    const int32_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (width <= 0 || height <= 0 || (bits != 24 && bits != 32)) return {};
    uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
    // Bit-field masks follow a 40-byte header and sit at the same place inside the longer ones.
    if (compression == 3 && bits == 32 && headerSize >= 40 && bytes.size() >= 66) {
        red = little(bytes, 54, 4), green = little(bytes, 58, 4), blue = little(bytes, 62, 4);
    } else if (compression != 0) {
        return {};
    }
    const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) / 4 * 4;
    if (dataOffset + stride * height > bytes.size()) return {};
    Image image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        const size_t row = dataOffset + stride * (signedHeight < 0 ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = little(bytes, row + static_cast<size_t>(x) * bits / 8, bits / 8);
            image.pixels[static_cast<size_t>(y) * width + x] = rgb(pixel, red, green, blue);
        }
    }
    return image;
}

Image readXwd(const std::string& path) {
    const std::vector<unsigned char> bytes = readBytes(path);
    if (bytes.size() < 100) return {};
    // The header is always written most significant byte first; the pixels in the server's order.
    const uint32_t headerSize = big(bytes, 0, 4);
    const uint32_t format = big(bytes, 8, 4);
    const int width = static_cast<int>(big(bytes, 16, 4));
    const int height = static_cast<int>(big(bytes, 20, 4));
    const uint32_t byteOrder = big(bytes, 28, 4);
    const uint32_t bits = big(bytes, 44, 4);
    const uint32_t stride = big(bytes, 48, 4);
    const uint32_t red = big(bytes, 56, 4), green = big(bytes, 60, 4), blue = big(bytes, 64, 4);
    const uint32_t colours = big(bytes, 76, 4);
    const size_t data = headerSize + static_cast<size_t>(colours) * 12;
    if (format != 2 || (bits != 24 && bits != 32) || width <= 0 || height <= 0 ||
        data + static_cast<size_t>(stride) * height > bytes.size()) {
        return {};
    }
    Image image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t at = data + static_cast<size_t>(stride) * y + static_cast<size_t>(x) * bits / 8;
            const uint32_t pixel = byteOrder == 0 ? little(bytes, at, bits / 8) : big(bytes, at, bits / 8);
            image.pixels[static_cast<size_t>(y) * width + x] = rgb(pixel, red, green, blue);
        }
    }
    return image;
}

Image readPng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return {};
    png.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgbBytes(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgbBytes.data(), 0, nullptr)) {
        png_image_free(&png);
        return {};
    }
    const int width = static_cast<int>(png.width);
    const int height = static_cast<int>(png.height);
    Image image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] =
            uint32_t{rgbBytes[3 * i]} << 16 | uint32_t{rgbBytes[3 * i + 1]} << 8 | rgbBytes[3 * i + 2];
    }
    return image;
}
