// contact_sheet.cpp: composes the pictures of data/ into one review image: the picture tiled, two
// frames of the intro's look (turned, twisted, with text and sprite), the sprite, the icon, the font.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "png_writer.h"

namespace {

// A picture as 0xAARRGGBB words.
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[y * width + x]; }
};

bool readPng(const std::string& path, Image& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_BGRA;  // little-endian words read as 0xAARRGGBB
    image.width = png.width, image.height = png.height;
    image.pixels.assign(png.width * png.height, 0);
    return png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr) != 0;
}

struct Canvas {
    int width, height;
    std::vector<uint32_t> pixels;
    Canvas(int w, int h, uint32_t fill) : width(w), height(h), pixels(w * h, fill) {}
    void put(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[y * width + x] = c;
    }
};

// Copies src scaled by a whole factor; a pixel equal to key (when given) or with alpha below half is
// left out, and partial alpha blends over what is there.
void place(Canvas& canvas, const Image& src, int left, int top, int scale, const uint32_t* key = nullptr) {
    for (int y = 0; y < src.height * scale; ++y)
        for (int x = 0; x < src.width * scale; ++x) {
            uint32_t c = src.at(x / scale, y / scale);
            if (key && (c & 0xFFFFFF) == *key) continue;
            uint32_t a = c >> 24;
            if (a == 0) continue;
            uint32_t& d = canvas.pixels[(top + y) * canvas.width + left + x];
            auto mix = [&](int shift) {
                return ((((c >> shift) & 255) * a + ((d >> shift) & 255) * (255 - a)) / 255) << shift;
            };
            d = 0xFF000000 | mix(16) | mix(8) | mix(0);
        }
}

// The intro's picture mapping: rows scanned along a turning direction, wrapping the 256×256 tile.
Image distortedFrame(const Image& picture, int angle, double zoom, int pixelTwist, int rowTwist) {
    int sine[1024], cosine[1024];
    for (int i = 0; i < 1024; ++i) {
        double a = i * 0.006135923151542565;
        sine[i] = static_cast<int>(256.0 * std::sin(a));
        cosine[i] = static_cast<int>(256.0 * std::cos(a));
    }
    Image frame{320, 200, std::vector<uint32_t>(320 * 200)};
    int theta = angle & 1023, phi = (theta + 256) & 1023;
    int du = static_cast<int>(cosine[theta] * float(zoom)), dv = static_cast<int>(sine[theta] * float(zoom));
    int ru = static_cast<int>(cosine[phi] * float(zoom)), rv = static_cast<int>(sine[phi] * float(zoom));
    int rowU = 32768 - 160 * du - 100 * ru, rowV = 32768 - 160 * dv - 100 * rv;
    int pixelAngle = theta, rowAngle = theta;
    for (int r = 0; r < 200; ++r) {
        int u = rowU, v = rowV;
        for (int x = 0; x < 320; ++x, u += du, v += dv)
            frame.pixels[r * 320 + x] = picture.at((u >> 8) & 255, (v >> 8) & 255);
        if (pixelTwist) {
            pixelAngle += pixelTwist;
            du = cosine[pixelAngle & 1023], dv = sine[pixelAngle & 1023];
        }
        rowU += ru, rowV += rv;
        if (rowTwist) {
            rowAngle += rowTwist;
            ru = cosine[(rowAngle + 256) & 1023], rv = sine[(rowAngle + 256) & 1023];
        }
    }
    return frame;
}

// The scroller's cell of a sign in the font sheet.
void glyphCell(unsigned char code, int& x, int& y) {
    static const char ROW2_TAIL[] = "0:;?!.,'/\\()[]-=+";
    static const char ROW3[] = "\"_@$%^& ";
    x = y = 0;
    if (code >= 'A' && code <= 'Z')
        x = 9 * (code - 'A');
    else if (code >= 'a' && code <= 'z')
        x = 9 * (code - 'a'), y = 9;
    else if (code >= '1' && code <= '9')
        x = 9 * (code - '1'), y = 18;
    else if (const char* p = code ? std::strchr(ROW2_TAIL, code) : nullptr)
        x = 9 * (9 + int(p - ROW2_TAIL)), y = 18;
    else if (const char* q = code ? std::strchr(ROW3, code) : nullptr)
        x = 9 * int(q - ROW3), y = 27;
}

// A text page of 8 lines, centred as the intro places it, glyphs keyed on the sheet's background.
void drawText(Image& frame, const Image& font, const char* const lines[8]) {
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 20 && lines[row][col]; ++col) {
            unsigned char c = lines[row][col];
            if (c == ' ') continue;
            int gx, gy;
            glyphCell(c, gx, gy);
            for (int y = 0; y < 8 && gy + y < font.height; ++y)
                for (int x = 0; x < 8; ++x) {
                    uint32_t p = font.at(gx + x, gy + y);
                    if ((p & 0xFFFFFF) == 0x003C3C) continue;
                    frame.pixels[(64 + row * 9 + y) * 320 + 70 + col * 9 + x] = p;
                }
        }
}

void drawSprite(Image& frame, const Image& sprite, int left, int top) {
    for (int y = 0; y < sprite.height; ++y)
        for (int x = 0; x < sprite.width; ++x) {
            uint32_t p = sprite.at(x, y);
            if ((p & 0xFFFFFF) != 0xFF00FF) frame.pixels[(top + y) * 320 + left + x] = p;
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s data-dir output.png\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    Image picture, font, sprite, icon;
    if (!readPng(dir + "/pic1_256x256.png", picture) || !readPng(dir + "/fonts.png", font) ||
        !readPng(dir + "/vozuz.png", sprite) || !readPng(dir + "/icon.png", icon)) {
        std::fprintf(stderr, "%s: cannot read the pictures in %s\n", argv[0], argv[1]);
        return 1;
    }
    const char* const title[8] = {"", "   KVL presents:", "", "    intro no. 1",
                                  "", "     \"dovoz1\"",  "", "    version 1.0"};
    const char* const help[8] = {"  Keys (and more):",   "", "q, ESC, enter...quit", "space....change mode",
                                 "s.........screenshot", "", "Find hidden part:)))", "[x] = 2+2; @ $% ^&_"};
    // The intro draws the sprite first and the text over it.
    Image frameA = distortedFrame(picture, 70, 1.35, 0, 0);
    drawSprite(frameA, sprite, 180, 60);
    drawText(frameA, font, title);
    Image frameB = distortedFrame(picture, 300, 1.0, 1, 1);
    drawSprite(frameB, sprite, 8, 6);
    drawText(frameB, font, help);

    const int margin = 16;
    Canvas canvas(margin * 3 + 512 + 640, margin * 4 + 400 * 2 + 34 * 3, 0xFF202024);
    for (int ty = 0; ty < 2; ++ty)
        for (int tx = 0; tx < 2; ++tx) place(canvas, picture, margin + 256 * tx, margin + 256 * ty, 1);
    int right = margin * 2 + 512;
    place(canvas, frameA, right, margin, 2);
    place(canvas, frameB, right, margin * 2 + 400, 2);
    place(canvas, sprite, margin, margin * 2 + 512, 2);
    place(canvas, icon, margin + 268 + margin, margin * 2 + 512, 2);
    place(canvas, icon, margin + 268 + margin, margin * 3 + 512 + 128, 1);
    place(canvas, font, margin, margin * 3 + 800, 3);

    std::vector<uint8_t> rgba;
    for (uint32_t c : canvas.pixels)
        rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
    if (!writeRgbaPng(argv[2], canvas.width, canvas.height, rgba)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
