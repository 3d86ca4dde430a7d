// Streams: clamping, short transfers, little-endian values, growth, open modes, and hostile counts.
#include "binfile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

const std::string kTen = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x7f";

std::string tempPath(const std::string& leaf) {
    return ::testing::TempDir() + "binfile_" + std::to_string(getpid()) + "_" + leaf;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t heapInUse() {
    return mallinfo2().uordblks;
}

// Caps the address space a little above what the process uses, so that a large reallocation really
// fails; the old cap comes back on destruction.
class AddressSpaceCap {
public:
    AddressSpaceCap() {
        getrlimit(RLIMIT_AS, &saved);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit capped = saved;
        capped.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (256u << 20);
        setrlimit(RLIMIT_AS, &capped);
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &saved); }

private:
    rlimit saved{};
};

// The two kinds over the same ten bytes, for the behaviour they share.
struct MemoryKind {
    std::string bytes = kTen;
    mbinfile stream;
    MemoryKind() { stream.open(bytes.data(), static_cast<int>(bytes.size()), 0); }
};

struct DiskKind {
    std::string path = tempPath("shared");
    sbinfile stream;
    DiskKind() {
        writeFile(path, kTen);
        stream.open(path.c_str(), OPEN_UPDATE);
    }
    ~DiskKind() {
        stream.close();
        unlink(path.c_str());
    }
};

template <class Kind>
class StreamKindTest : public ::testing::Test {
protected:
    Kind kind;
    binfile& stream = kind.stream;
};

using Kinds = ::testing::Types<MemoryKind, DiskKind>;
TYPED_TEST_SUITE(StreamKindTest, Kinds);

TYPED_TEST(StreamKindTest, SeekClampsToTheStream) {
    binfile& s = this->stream;
    ASSERT_EQ(s.size(), 10);
    EXPECT_EQ(s.seek(-5), 0);
    EXPECT_EQ(s.seek(25), 10);
    EXPECT_EQ(s.seekRelative(-3), 7);
    EXPECT_EQ(s.seekFromEnd(-4), 6);
    EXPECT_EQ(s.seekRelative(INT_MAX), 10);
    EXPECT_EQ(s.seekFromEnd(INT_MIN), 0);
    EXPECT_EQ(s.tell(), 0);
}

TYPED_TEST(StreamKindTest, ReadCutsAtTheEndAndSetsEof) {
    binfile& s = this->stream;
    s.seek(6);
    EXPECT_EQ(s.eof(), 0);
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(s.read(buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 8), "\x07\x08\x09\x7f####");
    EXPECT_EQ(s.tell(), 10);
    EXPECT_EQ(s.eof(), 1);
    EXPECT_EQ(s.read(buffer, 1), 0);
    s.seek(6);
    EXPECT_EQ(s.readExact(buffer, 5), 0);
}

TYPED_TEST(StreamKindTest, TypedValuesAreLittleEndianAndZeroFilledWhenShort) {
    binfile& s = this->stream;
    EXPECT_EQ(s.getU32(), 0x04030201u);
    EXPECT_EQ(s.getU16(), 0x0605u);
    EXPECT_EQ(s.getU8(), 0x07u);
    int ok = -1;
    EXPECT_EQ(s.readU16(&ok), 0x0908u);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(s.getU16(), 0x007fu);  // one byte left: the high half stays zero
    s.seek(9);
    EXPECT_EQ(s.readU16(&ok), 0x007fu);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(s.readU32(&ok), 0u);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(s.readU8(&ok), 0u);
    EXPECT_EQ(ok, 0);
}

TYPED_TEST(StreamKindTest, NegativeCountsMoveNothing) {
    binfile& s = this->stream;
    s.seek(3);
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(s.read(buffer, -1), 0);
    EXPECT_EQ(s.read(buffer, INT_MIN), 0);
    EXPECT_EQ(s.write(buffer, -1), 0);
    EXPECT_EQ(std::string(buffer, 4), "####");
    EXPECT_EQ(s.tell(), 3);
    EXPECT_EQ(s.size(), 10);
}

TYPED_TEST(StreamKindTest, ClosedStreamDoesNothing) {
    binfile& s = this->stream;
    s.close();
    char buffer[2] = {'#', '#'};
    EXPECT_EQ(s.mode, 0u);
    EXPECT_EQ(s.read(buffer, 2), 0);
    EXPECT_EQ(s.write(buffer, 2), 0);
    EXPECT_EQ(s.seek(5), 0);
    EXPECT_EQ(s.resize(5), 0);
    EXPECT_EQ(s.eof(), 1);
    EXPECT_EQ(s.writeU16(7), 0);
    s.close();  // twice is harmless
}

// ---- memory streams ----

TEST(MemoryStreamTest, WritesNeedWritableAndStopAtTheEndOfAFixedBlock) {
    std::string bytes = kTen;
    mbinfile stream;
    stream.open(bytes.data(), 10, 0);
    EXPECT_EQ(stream.write("abcd", 4), 0);
    EXPECT_EQ(stream.mode, BINFILE_READ | BINFILE_SEEK);

    stream.open(bytes.data(), 10, MEMFILE_WRITABLE);
    stream.seek(6);
    EXPECT_EQ(stream.write("ABCDEFGH", 8), 4);
    EXPECT_EQ(stream.size(), 10);
    EXPECT_EQ(stream.resize(20), 10);
    stream.seek(0);
    stream.putU16(0x1234).putU32(0xcafebabe);
    EXPECT_EQ(bytes, std::string("\x34\x12\xbe\xba\xfe\xca\x41\x42\x43\x44", 10));
    stream.close();
    EXPECT_EQ(bytes.size(), 10u);  // a borrowed block is left alone by close
}

TEST(MemoryStreamTest, HugeOffsetsNeverReachOutsideTheBlock) {
    // The claimed length is a lie: any byte moved here would be far outside the eight real ones.
    char real[8] = {};
    mbinfile stream;
    stream.open(real, INT_MAX, MEMFILE_WRITABLE);
    ASSERT_EQ(stream.seek(INT_MAX - 2), INT_MAX - 2);
    char buffer[8];
    EXPECT_EQ(stream.read(buffer, 8), 0);
    EXPECT_EQ(stream.write(buffer, 8), 0);
    EXPECT_EQ(stream.tell(), INT_MAX - 2);

    mbinfile broken;
    broken.open(real, -4, 0);
    EXPECT_EQ(broken.size(), 0);
    EXPECT_EQ(broken.read(buffer, 4), 0);
}

TEST(MemoryStreamTest, OwnedBlockIsReleasedByCloseAndByDestruction) {
    size_t before = heapInUse();
    {
        mbinfile stream;
        stream.open(malloc(1 << 16), 1 << 16, MEMFILE_OWNED);
        EXPECT_GE(heapInUse(), before + (1 << 16));
        stream.close();
        EXPECT_LT(heapInUse(), before + (1 << 16));
        stream.open(malloc(1 << 16), 1 << 16, MEMFILE_OWNED);
    }
    EXPECT_LT(heapInUse(), before + (1 << 16));
}

TEST(MemoryStreamTest, GrowableStreamGrowsFromNothingAndShrinksOnClose) {
    uint8_t* data = nullptr;
    int32_t size = 0;
    mbinfile stream;
    ASSERT_EQ(stream.openGrowable(&data, &size, 16), 1);
    EXPECT_EQ(stream.mode, BINFILE_READ | BINFILE_WRITE | BINFILE_SEEK | BINFILE_GROW);
    EXPECT_EQ(stream.write("hello", 5), 5);
    EXPECT_EQ(stream.capacity, 21);
    EXPECT_EQ(size, 5);
    ASSERT_EQ(data, stream.block);
    for (int i = 5; i < 21; ++i) EXPECT_EQ(data[i], 0) << "byte " << i;
    EXPECT_EQ(stream.writeU32(0x11223344), 1);
    stream.close();
    EXPECT_EQ(size, 9);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 9), "hello\x44\x33\x22\x11");
    free(data);
}

TEST(MemoryStreamTest, ResizeClampsPositionAndZeroesWhatItUncovers) {
    auto* data = static_cast<uint8_t*>(malloc(10));
    memcpy(data, kTen.data(), 10);
    int32_t size = 10;
    {
        mbinfile stream;
        stream.openGrowable(&data, &size, 0);
        stream.seek(5);
        EXPECT_EQ(stream.resize(3), 3);
        EXPECT_EQ(stream.tell(), 3);
        EXPECT_EQ(size, 3);
        EXPECT_EQ(stream.resize(8), 8);  // within the capacity: no new block, but no stale bytes
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 8), std::string("\x01\x02\x03\0\0\0\0\0", 8));
        EXPECT_EQ(stream.resize(-7), 0);
        EXPECT_EQ(stream.tell(), 0);
        EXPECT_EQ(size, 0);
        stream.write("\x05\x06", 2);
    }  // destruction closes: the caller sees the final block
    EXPECT_EQ(size, 2);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 2), "\x05\x06");
    free(data);
}

TEST(MemoryStreamTest, FailedGrowthKeepsBlockLengthAndPosition) {
    auto* data = static_cast<uint8_t*>(malloc(4));
    memcpy(data, "abcd", 4);
    int32_t size = 4;
    mbinfile stream;
    stream.openGrowable(&data, &size, INT_MAX / 2);  // every growth asks for a gigabyte
    stream.seek(2);
    int result, written, exact;
    {
        AddressSpaceCap cap;
        result = stream.resize(INT_MAX);
        written = stream.write("XYZW", 4);
        exact = stream.writeU32(1);
    }
    EXPECT_EQ(result, 4);
    EXPECT_EQ(written, 2);  // only what fits
    EXPECT_EQ(exact, 0);
    EXPECT_EQ(stream.block, data);
    EXPECT_EQ(stream.capacity, 4);
    EXPECT_EQ(stream.tell(), 4);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), "abXY");
    stream.close();
    free(data);
}

// ---- disk streams ----

class DiskStreamTest : public ::testing::Test {
protected:
    void TearDown() override {
        stream.close();
        unlink(path.c_str());
    }
    std::string path = tempPath("disk");
    sbinfile stream;
};

TEST_F(DiskStreamTest, OpenModesGiveTheirAccess) {
    EXPECT_EQ(stream.open(path.c_str(), OPEN_READ), 0);
    EXPECT_EQ(stream.open(path.c_str(), OPEN_UPDATE), 0);
    writeFile(path, kTen);

    ASSERT_EQ(stream.open(path.c_str(), OPEN_READ), 1);
    EXPECT_EQ(stream.mode, BINFILE_READ | BINFILE_SEEK);
    EXPECT_EQ(stream.size(), 10);
    EXPECT_EQ(stream.write("x", 1), 0);
    EXPECT_EQ(stream.resize(2), 10);
    EXPECT_TRUE(fcntl(stream.handle, F_GETFD) & FD_CLOEXEC);

    ASSERT_EQ(stream.open(path.c_str(), OPEN_UPDATE), 1);
    EXPECT_EQ(stream.mode, BINFILE_READ | BINFILE_WRITE | BINFILE_SEEK | BINFILE_GROW);
    EXPECT_EQ(stream.size(), 10);

    // A refused open leaves the stream closed, even one that was open before.
    EXPECT_EQ(stream.open(path.c_str(), OPEN_CREATE_NEW), 0);
    EXPECT_EQ(stream.mode, 0u);
    EXPECT_EQ(readFile(path), kTen);
    EXPECT_EQ(stream.open(path.c_str(), 7), 0);
    EXPECT_EQ(stream.open(path.c_str(), -1), 0);
    EXPECT_EQ(stream.open(::testing::TempDir().c_str(), OPEN_READ), 0);  // a folder has no length

    ASSERT_EQ(stream.open(path.c_str(), OPEN_CREATE), 1);
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(readFile(path), "");
}

TEST_F(DiskStreamTest, NewFilesAreForTheOwnerOnly) {
    mode_t savedMask = umask(0);  // so that the mode seen is the one asked for
    struct stat info[2];
    for (int openMode : {OPEN_CREATE, OPEN_CREATE_NEW}) {
        unlink(path.c_str());
        int opened = stream.open(path.c_str(), openMode);
        stream.close();
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(stat(path.c_str(), &info[openMode - OPEN_CREATE]), 0);
    }
    umask(savedMask);
    EXPECT_EQ(info[0].st_mode & 07777, 0600u);
    EXPECT_EQ(info[1].st_mode & 07777, 0600u);
}

TEST_F(DiskStreamTest, WritesGrowTheFileAndCloseReleasesTheHandle) {
    ASSERT_EQ(stream.open(path.c_str(), OPEN_CREATE_NEW), 1);
    stream.putU16(0x1234).putU32(0xcafebabe);
    EXPECT_EQ(stream.writeU8(0x7f), 1);
    EXPECT_EQ(stream.size(), 7);
    EXPECT_EQ(stream.seek(2), 2);
    EXPECT_EQ(stream.write("AB", 2), 2);
    EXPECT_EQ(stream.size(), 7);
    int fd = stream.handle;
    stream.close();
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(readFile(path), "\x34\x12\x41\x42\xfe\xca\x7f");

    {
        sbinfile scoped;
        ASSERT_EQ(scoped.open(path.c_str(), OPEN_READ), 1);
        fd = scoped.handle;
    }
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // destruction closes too
}

TEST_F(DiskStreamTest, ResizeChangesTheFileAndKeepsPositionInside) {
    writeFile(path, kTen);
    ASSERT_EQ(stream.open(path.c_str(), OPEN_UPDATE), 1);
    EXPECT_EQ(stream.resize(16), 16);
    EXPECT_EQ(readFile(path), kTen + std::string(6, '\0'));
    stream.seek(12);
    EXPECT_EQ(stream.resize(4), 4);
    EXPECT_EQ(stream.tell(), 4);
    // The handle must have come back too, or this would land past the end and leave a hole.
    EXPECT_EQ(stream.write("Z", 1), 1);
    EXPECT_EQ(readFile(path), "\x01\x02\x03\x04Z");
    EXPECT_EQ(stream.resize(-3), 0);
    EXPECT_EQ(stream.tell(), 0);
    EXPECT_EQ(readFile(path), "");
}

TEST_F(DiskStreamTest, CountsPastTheLargestOffsetMoveNothing) {
    ASSERT_EQ(stream.open(path.c_str(), OPEN_CREATE), 1);
    if (stream.resize(INT_MAX) != INT_MAX) GTEST_SKIP() << "the temporary folder refuses a 2 GiB sparse file";
    ASSERT_EQ(stream.seek(INT_MAX - 2), INT_MAX - 2);
    char buffer[8] = {};
    EXPECT_EQ(stream.write(buffer, 8), 0);
    EXPECT_EQ(stream.read(buffer, 8), 0);
    EXPECT_EQ(stream.tell(), INT_MAX - 2);
    EXPECT_EQ(stream.size(), INT_MAX);
    EXPECT_EQ(stream.write("ab", 2), 2);  // the last bytes that fit still go
    EXPECT_EQ(stream.size(), INT_MAX);
}

}  // namespace
