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

}  // namespace
