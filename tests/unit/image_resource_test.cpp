// Pictures from resources: lookup rules, what a miss leaves behind, and independence of the results.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources.h"
#include "sdl_fixture.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::vector<uint8_t> kPicture = readBytes(std::string(DOVOZ1_TESTDATA_DIR) + "/pngsuite/basn3p08.png");
const uint8_t kBroken[] = "not a picture in any format";

const ResourceEntry kTable[] = {
    {RESOURCE_TYPE, "DATA\\SPRITE.PNG", kPicture.data(), static_cast<uint32_t>(kPicture.size())},
    {RESOURCE_TYPE, "DATA\\EMPTY.PNG", kBroken, 0},
    {RESOURCE_TYPE, "DATA\\BROKEN.PNG", kBroken, sizeof kBroken - 1},
    {"RT_BITMAP", "DATA\\BITMAP.PNG", kPicture.data(), static_cast<uint32_t>(kPicture.size())},
};
constexpr int32_t kCount = 4;

int load(_vktSurface& surface, const char* name) {
    return loadImageResourceIn(kTable, kCount, surface, name, SURFACE_SOFTWARE, 0);
}

class ImageResourceTest : public SdlTest {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        ASSERT_EQ(kPicture.size(), 1286u);
    }
};

TEST_F(ImageResourceTest, NamesMatchWithoutCaseButOnlyUnderTheirType) {
    _vktSurface surface;
    ASSERT_EQ(load(surface, "data\\sprite.png"), 1);
    EXPECT_EQ(surface.width(), 32);
    EXPECT_EQ(surface.bitsPerPixel(), 8);

    // A miss of any kind leaves the picture that was there.
    SDL_Surface* before = surface.surface;
    const uint8_t firstPixel = *static_cast<uint8_t*>(surface.lock());
    surface.unlock();
    for (const char* name : {"data/sprite.png", "data\\bitmap.png", "data\\missing.png", "data\\empty.png"}) {
        EXPECT_EQ(load(surface, name), 0) << name;
        EXPECT_EQ(surface.surface, before) << name;
    }
    EXPECT_EQ(*static_cast<uint8_t*>(surface.lock()), firstPixel);
    surface.unlock();
    EXPECT_EQ(loadImageResourceIn(kTable, kCount, surface, nullptr, SURFACE_SOFTWARE, 0), 0);
    EXPECT_EQ(surface.surface, before);
}

TEST_F(ImageResourceTest, FoundButUndecodableEmptiesTheSurface) {
    _vktSurface surface;
    ASSERT_EQ(load(surface, "DATA\\SPRITE.PNG"), 1);
    EXPECT_EQ(load(surface, "data\\broken.png"), 0);
    EXPECT_EQ(surface.surface, nullptr);
}

TEST_F(ImageResourceTest, LoadingTwiceGivesIndependentSurfaces) {
    const std::vector<uint8_t> untouched = kPicture;
    _vktSurface first, second;
    ASSERT_EQ(load(first, "data\\sprite.png"), 1);
    ASSERT_EQ(load(second, "data\\sprite.png"), 1);
    ASSERT_NE(first.surface, second.surface);
    ASSERT_NE(first.lock(), second.lock());
    first.unlock();
    second.unlock();

    const std::vector<uint8_t> secondPixels(
        static_cast<uint8_t*>(second.surface->pixels),
        static_cast<uint8_t*>(second.surface->pixels) + second.pitch() * second.height());
    memset(first.lock(), 0xAB, first.pitch() * first.height());
    first.unlock();
    EXPECT_EQ(memcmp(second.surface->pixels, secondPixels.data(), secondPixels.size()), 0);
    EXPECT_EQ(kPicture, untouched);
}

// The program's own store: its three pictures decode as the files in data/ do.
TEST_F(ImageResourceTest, TheProgramsPicturesLoadFromItsStore) {
    struct Case {
        const char* name;
        const char* file;
        int width, height;
        uint32_t firstEntry;
    } cases[] = {
        {"data\\pic1_256x256.png", "pic1_256x256.png", 256, 256, 0},
        {"data\\fonts.png", "fonts.png", 234, 34, 0x003C3C},
        {"data\\vozuz.png", "vozuz.png", 134, 136, 0xFF00FF},
    };
    for (const Case& c : cases) {
        const std::string path = std::string(DOVOZ1_SOURCE_DIR) + "/data/" + c.file;
        _vktSurface fromStore, fromFile;
        ASSERT_EQ(loadImageResource(fromStore, c.name, SURFACE_SOFTWARE, 0), 1) << c.name;
        ASSERT_EQ(loadPNGFile(path.c_str(), fromFile), 1) << path;
        EXPECT_EQ(fromStore.width(), c.width);
        EXPECT_EQ(fromStore.height(), c.height);
        EXPECT_EQ(fromStore.bitsPerPixel(), 8);
        EXPECT_EQ(pixelBytes(fromStore.surface), pixelBytes(fromFile.surface)) << c.name;
        EXPECT_TRUE(fromStore.palette() == fromFile.palette()) << c.name;
        if (c.firstEntry) {
            EXPECT_EQ(fromStore.palette().entries()[0], c.firstEntry) << c.name;
        }

        // A second load is a picture of its own; the stored bytes stay as the file's.
        _vktSurface again;
        ASSERT_EQ(loadImageResource(again, c.name, SURFACE_SOFTWARE, 0), 1);
        EXPECT_NE(again.surface, fromStore.surface);
        const uint8_t* bytes = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(findResource(RESOURCE_TYPE, c.name, &bytes, &size), 1);
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), readBytes(path)) << c.name;
    }

    _vktSurface surface;
    EXPECT_EQ(loadImageResource(surface, "data/fonts.png", SURFACE_SOFTWARE, 0), 0);
    EXPECT_EQ(loadImageResource(surface, "data\\ruvadodad.mod", SURFACE_SOFTWARE, 0), 0);
    EXPECT_EQ(surface.surface, nullptr);
}

}  // namespace
