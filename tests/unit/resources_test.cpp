// The resource store: name matching over a table of our own, and the table built from data/.
#include "resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const uint8_t kPicture[] = {0x89, 'P', 'N', 'G', 0};
const uint8_t kModule[] = {'M', '.', 'K', '.', 0};
const uint8_t kOther[] = {1, 2, 3, 0};

const ResourceEntry kTable[] = {
    {"RT_RCDATA", "DATA\\PIC.PNG", kPicture, 4},
    {"RT_RCDATA", "DATA\\TUNE.MOD", kModule, 4},
    {"RT_ICON", "DATA\\ICON.PNG", kOther, 3},
    {nullptr, nullptr, nullptr, 0},
};

class ResourceTableTest : public ::testing::Test {
protected:
    int find(const char* type, const char* name) {
        bytes = nullptr;
        size = 0;
        return findResourceIn(kTable, 3, type, name, &bytes, &size);
    }
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
};

TEST_F(ResourceTableTest, NamesAndTypesMatchWithoutRegardToAsciiCase) {
    ASSERT_EQ(find("RT_RCDATA", "data\\tune.mod"), 1);
    EXPECT_EQ(bytes, kModule);
    EXPECT_EQ(size, 4u);
    ASSERT_EQ(find("rt_rcdata", "DaTa\\PiC.pNg"), 1);
    EXPECT_EQ(bytes, kPicture);
    EXPECT_EQ(find(RESOURCE_TYPE, "DATA\\PIC.PNG"), 1);
}

TEST_F(ResourceTableTest, NothingElseIsNormalised) {
    for (const char* name : {"data/pic.png", "DATA\\\\PIC.PNG", "\\DATA\\PIC.PNG", "DATA\\PIC.PNG ",
                             "PIC.PNG", "DATA\\PIC.PN", "DATA\\PIC.PNGX", "", "DATA\\ICON.PNG"}) {
        EXPECT_EQ(find(RESOURCE_TYPE, name), 0) << name;
        EXPECT_EQ(bytes, nullptr) << "a miss stores nothing";
    }
    EXPECT_EQ(find("RT_ICON", "DATA\\PIC.PNG"), 0);  // the right name under another type
    EXPECT_EQ(find("RT_RCDATA ", "DATA\\PIC.PNG"), 0);
    EXPECT_EQ(find("RT_ICON", "data\\icon.png"), 1);
    EXPECT_EQ(find(nullptr, "DATA\\PIC.PNG"), 0);
    EXPECT_EQ(find(RESOURCE_TYPE, nullptr), 0);
    EXPECT_EQ(findResourceIn(kTable, 1, RESOURCE_TYPE, "DATA\\TUNE.MOD", &bytes, &size), 0);  // counted
}

// ---- the table compiled into the program ----

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files of data/ that the embedder takes, by their lower-case leaf names.
std::vector<fs::path> embeddableFiles() {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(DOVOZ1_SOURCE_DIR) / "data";
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && (extension == ".png" || extension == ".mod"))
            files.push_back(entry.path());
    }
    return files;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

TEST(EmbeddedResourceTest, TableEndsWithAnEmptyEntry) {
    ASSERT_GE(embeddedResourceCount, 0);
    EXPECT_EQ(embeddedResourceTable[embeddedResourceCount].name, nullptr);
    EXPECT_EQ(static_cast<size_t>(embeddedResourceCount), embeddableFiles().size());
}

TEST(EmbeddedResourceTest, EveryDataFileIsFoundByItsLowerCaseNameWithItsExactBytes) {
    const std::vector<fs::path> files = embeddableFiles();
    if (files.empty()) GTEST_SKIP() << "data/ holds no pictures or modules yet";
    for (const fs::path& file : files) {
        const std::string leaf = lowerAscii(file.filename().string());
        const std::string name = "data\\" + leaf;
        const uint8_t* bytes = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(findResource("RT_RCDATA", name.c_str(), &bytes, &size), 1) << name;
        const std::string expected = readFile(file);
        ASSERT_EQ(size, expected.size()) << name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), expected) << name;
        EXPECT_EQ(bytes[size], 0) << name << ": the bytes are followed by a 0";
        EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u) << name;

        const uint8_t* other = nullptr;
        EXPECT_EQ(findResource("RT_RCDATA", ("data/" + leaf).c_str(), &other, &size), 0) << name;
        EXPECT_EQ(findResource("RT_ICON", name.c_str(), &other, &size), 0) << name;
        EXPECT_EQ(other, nullptr);
    }
}

}  // namespace
