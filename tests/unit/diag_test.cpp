// Messages and checked allocation: exact texts, and the exit on failure.
#include "diag.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// Captures what a message function writes into a memory stream.
class MessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        out = open_memstream(&outText, &outSize);
        err = open_memstream(&errText, &errSize);
        setMessageStreams(out, err);
    }
    void TearDown() override {
        setMessageStreams(stdout, stderr);
        fclose(out);
        fclose(err);
        ::free(outText);
        ::free(errText);
    }
    // The streams are flushed by the message functions themselves, so the buffers are current.
    std::string output() const { return std::string(outText, outSize); }
    std::string errors() const { return std::string(errText, errSize); }

    FILE* out = nullptr;
    FILE* err = nullptr;
    char* outText = nullptr;
    char* errText = nullptr;
    size_t outSize = 0;
    size_t errSize = 0;
};

TEST_F(MessageTest, PrintWritesTheTextAsIsAndFlushes) {
    print("\n frames: %d", 250);
    EXPECT_EQ(output(), "\n frames: 250");
    EXPECT_EQ(errors(), "");
}

TEST_F(MessageTest, WarningAndErrorPrefixTheirStreams) {
    warning("%s", "x");
    error(" bad %d", 7);
    EXPECT_EQ(output(), "\n Warning:x");
    EXPECT_EQ(errors(), "\n Error: bad 7");
}

// Limits the address space so that a large request really fails inside the death test's child.
// AddressSanitizer has reserved terabytes for its shadow memory already, so there the limit sits
// above what the process holds.
void limitMemory() {
    rlim_t bytes = 512u << 20;
#ifdef __SANITIZE_ADDRESS__
    long pages = 0;
    if (FILE* statm = fopen("/proc/self/statm", "r")) {
        if (fscanf(statm, "%ld", &pages) != 1) pages = 0;
        fclose(statm);
    }
    bytes += static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
#endif
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
}

constexpr int32_t kHuge = 1 << 30;

TEST(CheckedAllocationDeathTest, EachWrapperNamesItsRequest) {
    EXPECT_EXIT(
        (limitMemory(), checkedMalloc(kHuge, "a.cpp", 12, "blk")), ::testing::ExitedWithCode(1),
        "^\n Error:\n memory mallocation \\(1073741824 bytes\\) error: \"blk\", file: a.cpp, line: 12$");
    EXPECT_EXIT(
        (limitMemory(), checkedCalloc(2, kHuge, "b.cpp", 3, "rows")), ::testing::ExitedWithCode(1),
        "^\n Error:\n memory callocation \\(1073741824 bytes\\) error: \"rows\", file: b.cpp, line: 3$");
    EXPECT_EXIT(
        (limitMemory(), checkedNew(kHuge)), ::testing::ExitedWithCode(1),
        "^\n Error:\n memory new-allocation \\(1073741824 bytes\\) error: \"unknown\", file: unknown, "
        "line: -1$");
    EXPECT_EXIT((limitMemory(), checkedNewArray(kHuge, "c.cpp", 9, "arr")), ::testing::ExitedWithCode(1),
                "new-allocation \\(1073741824 bytes\\) error: \"arr\", file: c.cpp, line: 9$");
}

TEST(CheckedAllocationDeathTest, ReallocOfNullBlockIsAFailure) {
    EXPECT_EXIT(checkedRealloc(nullptr, 64, "d.cpp", 5, "grow"), ::testing::ExitedWithCode(1),
                "^\n Error:\n memory re-allocation \\(64 bytes\\) error: \"grow\", file: d.cpp, line: 5$");
}

TEST(CheckedAllocationTest, CallocZeroFillsAndReleasesAcceptNull) {
    auto* block = static_cast<unsigned char*>(checkedCalloc(1, 1024, __FILE__, __LINE__, "zeros"));
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(block[i], 0) << i;
    block = static_cast<unsigned char*>(checkedRealloc(block, 4096, __FILE__, __LINE__, "grow"));
    block[4095] = 1;
    checkedFree(block, __FILE__, __LINE__);
    checkedFree(nullptr, __FILE__, __LINE__);
    checkedDelete(nullptr);
    checkedDeleteArray(nullptr);
}

}  // namespace
