// fuzz_binfile.cpp: operation sequences on memory and disk streams, each result checked against a model.
//
// Input: a kind byte, the initial contents, then operations until the input ends. Every transfer uses a
// buffer of exactly the size the model expects, so a stream that moves a byte too many overflows it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "binfile.h"
#include "diag.h"
#include "fuzz_input.h"

namespace {

enum Kind {
    KIND_FIXED_READ,      // the caller's block, read only
    KIND_FIXED_WRITABLE,  // the caller's block, writable in place
    KIND_FIXED_OWNED,     // a block the stream releases on close
    KIND_FIXED_NULL,      // no block: an empty stream whatever the size says
    KIND_GROWABLE,        // a heap block the stream grows and hands back
    KIND_FILE_READ,
    KIND_FILE_UPDATE,
    KIND_FILE_CREATE,
    KIND_FILE_CREATE_NEW,
    KIND_FILE_MISSING,  // opening a file that is not there fails
    KIND_FILE_BAD_MODE,
    KIND_COUNT
};

constexpr int MAX_INITIAL = 2048;  // bytes of initial contents
constexpr int MAX_SMALL = 6000;    // largest ordinary count, offset or length the harness asks for
constexpr int MAX_OPERATIONS = 2000;

// What the stream should be: its bytes, position and abilities.
struct Model {
    std::vector<uint8_t> bytes;
    int32_t position = 0;
    bool canRead = false, canWrite = false, canSeek = false, canGrow = false;

    int32_t length() const { return static_cast<int32_t>(bytes.size()); }

    // What a stream's owner finds after the close: the contents at that moment.
    std::vector<uint8_t> contents() const { return closedContents ? *closedContents : bytes; }
    std::shared_ptr<std::vector<uint8_t>> closedContents;

    void close() {
        if (canRead || canWrite) closedContents = std::make_shared<std::vector<uint8_t>>(bytes);
        bytes.clear();
        position = 0;
        canRead = canWrite = canSeek = canGrow = false;
    }
    // Mirrors the streams' guard: a count that is negative or would carry the end past 32 bits moves nothing.
    bool fits(int count) const { return count >= 0 && count <= INT32_MAX - position; }

    int expectRead(int count) const {
        if (!canRead || !fits(count)) return 0;
        return std::min(count, length() - position);
    }
    int read(uint8_t* out, int count) {
        int n = expectRead(count);
        if (n > 0) std::memcpy(out, bytes.data() + position, static_cast<size_t>(n));
        position += n;
        return n;
    }
    int expectWrite(int count) const {
        if (!canWrite || !fits(count)) return 0;
        if (canGrow) return count;
        return std::min(count, length() - position);
    }
    int write(const uint8_t* in, int count) {
        int n = expectWrite(count);
        if (n == 0) return 0;
        if (position + n > length()) bytes.resize(static_cast<size_t>(position + n), 0);
        std::memcpy(bytes.data() + position, in, static_cast<size_t>(n));
        position += n;
        return n;
    }
    int seek(int offset) {
        if (!canSeek) return position;
        position = std::clamp(offset, 0, length());
        return position;
    }
    int resize(int newLength) {
        if (!canGrow) return length();
        bytes.resize(static_cast<size_t>(std::max(newLength, 0)), 0);
        position = std::min(position, length());
        return length();
    }
};

int clampTo32(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A transfer count: mostly small, sometimes hostile. Growing streams would really allocate a huge count,
// so they get only the hostile values that must move nothing.
int chooseCount(FuzzInput& in, const Model& model) {
    const uint8_t pick = in.u8();
    switch (pick % 8) {
        case 0:
            return -1 - in.u8();
        case 1:
            return INT32_MIN;
        case 2:
            // Just past what the 32-bit end allows; at position 0 every count fits, and a growing
            // stream would take INT32_MAX for real.
            if (model.position > 0) return INT32_MAX - model.position + 1;
            return model.canGrow ? -2 : INT32_MAX;
        case 3:
            if (model.canGrow) return in.u8() % 9;
            return INT32_MAX - model.position;
        case 4:
        case 5:
            return in.u8() % 9;  // the sizes of the typed values and their neighbours
        default:
            return in.u16() % MAX_SMALL;
    }
}

int chooseOffset(FuzzInput& in) {
    const uint8_t pick = in.u8();
    switch (pick % 8) {
        case 0:
            return -1 - in.u16();
        case 1:
            return INT32_MIN;
        case 2:
            return INT32_MAX;
        default:
            return in.u16() % MAX_SMALL;
    }
}

int chooseDelta(FuzzInput& in) {
    const uint8_t pick = in.u8();
    switch (pick % 8) {
        case 0:
            return INT32_MIN;
        case 1:
            return INT32_MAX;
        default:
            return static_cast<int16_t>(in.u16()) % MAX_SMALL;
    }
}

int chooseLength(FuzzInput& in, const Model& model) {
    const uint8_t pick = in.u8();
    switch (pick % 8) {
        case 0:
            return -1 - in.u8();
        case 1:
            return INT32_MIN;
        case 2:
            return model.canGrow ? 0 : INT32_MAX;
        default:
            return in.u16() % MAX_SMALL;
    }
}

// A block of exactly count bytes (none for a negative count), outside which every access is a finding.
std::unique_ptr<uint8_t[]> transferBlock(int count) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(std::max(count, 0))]());
}

// Bytes to write: from the input, padded with a fixed pattern, in a block of exactly what should move.
std::unique_ptr<uint8_t[]> writeSource(FuzzInput& in, int count) {
    auto buffer = transferBlock(count);
    size_t taken = 0;
    const uint8_t* from = in.bytes(static_cast<size_t>(std::max(count, 0)), &taken);
    if (taken > 0) std::memcpy(buffer.get(), from, taken);
    for (size_t i = taken; i < static_cast<size_t>(std::max(count, 0)); ++i)
        buffer[i] = static_cast<uint8_t>(i * 7);
    return buffer;
}

uint32_t littleEndian(const uint8_t* bytes, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

void checkState(binfile& stream, const Model& model) {
    FUZZ_CHECK(stream.position == model.position);
    FUZZ_CHECK(stream.length == model.length());
    FUZZ_CHECK(stream.tell() == model.position);
    FUZZ_CHECK(stream.size() == model.length());
    FUZZ_CHECK(stream.eof() == (model.position == model.length() ? 1 : 0));
    FUZZ_CHECK((stream.mode != 0) == (model.canRead || model.canWrite));
}

// One operation from the input on both the stream and the model; false once the stream was closed.
bool step(FuzzInput& in, binfile& stream, Model& model) {
    const uint8_t op = in.u8();
    const int width = 1 << (op / 14 % 3);  // 1, 2 or 4 bytes for the typed values
    switch (op % 14) {
        case 0: {
            const int count = chooseCount(in, model);
            const int expected = model.expectRead(count);
            auto got = transferBlock(expected);
            auto want = transferBlock(expected);
            FUZZ_CHECK(stream.read(got.get(), count) == expected);
            model.read(want.get(), count);
            FUZZ_CHECK(expected == 0 ||
                       std::memcmp(got.get(), want.get(), static_cast<size_t>(expected)) == 0);
            break;
        }
        case 1: {
            const int count = chooseCount(in, model);
            const int expected = model.expectWrite(count);
            auto source = writeSource(in, expected);
            FUZZ_CHECK(stream.write(source.get(), count) == expected);
            model.write(source.get(), count);
            break;
        }
        case 2: {
            const int count = chooseCount(in, model);
            const int expected = model.expectRead(count);
            auto got = transferBlock(expected);
            FUZZ_CHECK(stream.readExact(got.get(), count) == (expected == count ? 1 : 0));
            model.read(got.get(), count);
            break;
        }
        case 3: {
            const int count = chooseCount(in, model);
            const int expected = model.expectWrite(count);
            auto source = writeSource(in, expected);
            FUZZ_CHECK(stream.writeExact(source.get(), count) == (expected == count ? 1 : 0));
            model.write(source.get(), count);
            break;
        }
        case 4: {
            const int offset = chooseOffset(in);
            FUZZ_CHECK(stream.seek(offset) == model.seek(offset));
            break;
        }
        case 5: {
            const int delta = chooseDelta(in);
            const int target = clampTo32(int64_t{model.position} + delta);
            FUZZ_CHECK(stream.seekRelative(delta) == model.seek(target));
            break;
        }
        case 6: {
            const int delta = chooseDelta(in);
            const int target = clampTo32(int64_t{model.length()} + delta);
            FUZZ_CHECK(stream.seekFromEnd(delta) == model.seek(target));
            break;
        }
        case 7: {
            const int newLength = chooseLength(in, model);
            FUZZ_CHECK(stream.resize(newLength) == model.resize(newLength));
            break;
        }
        case 8: {
            uint8_t want[4] = {0, 0, 0, 0};
            model.read(want, width);
            const uint32_t value = width == 1   ? stream.getU8()
                                   : width == 2 ? stream.getU16()
                                                : stream.getU32();
            FUZZ_CHECK(value == littleEndian(want, width));
            break;
        }
        case 9: {
            uint8_t want[4] = {0, 0, 0, 0};
            const int n = model.read(want, width);
            int ok = -1;
            const uint32_t value = width == 1   ? stream.readU8(&ok)
                                   : width == 2 ? stream.readU16(&ok)
                                                : stream.readU32(&ok);
            FUZZ_CHECK(value == littleEndian(want, width));
            FUZZ_CHECK(ok == (n == width ? 1 : 0));
            break;
        }
        case 10: {
            const uint32_t value = in.u32();
            const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
            const int n = model.write(bytes, width);
            const int done = width == 1   ? stream.writeU8(static_cast<uint8_t>(value))
                             : width == 2 ? stream.writeU16(static_cast<uint16_t>(value))
                                          : stream.writeU32(value);
            FUZZ_CHECK(done == (n == width ? 1 : 0));
            break;
        }
        case 11: {
            const uint32_t value = in.u32();
            const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
            model.write(bytes, width);
            binfile& back = width == 1   ? stream.putU8(static_cast<uint8_t>(value))
                            : width == 2 ? stream.putU16(static_cast<uint16_t>(value))
                                         : stream.putU32(value);
            FUZZ_CHECK(&back == &stream);
            break;
        }
        case 12:
            // Rare on purpose: everything after a close is the closed stream's do-nothing behaviour.
            if (in.u8() < 8) {
                stream.close();
                model.close();
                checkState(stream, model);
                return false;
            }
            break;
        default:
            break;
    }
    checkState(stream, model);
    return true;
}

void runOperations(FuzzInput& in, binfile& stream, Model& model) {
    checkState(stream, model);
    bool open = true;
    for (int i = 0; i < MAX_OPERATIONS && !in.empty(); ++i) {
        if (!step(in, stream, model)) open = false;
        // A closed stream must stay inert whatever is asked of it.
        if (!open) FUZZ_CHECK(stream.mode == 0);
    }
}

std::vector<uint8_t> initialBytes(FuzzInput& in) {
    const int wanted = in.u16() % (MAX_INITIAL + 1);
    size_t taken = 0;
    const uint8_t* from = in.bytes(static_cast<size_t>(wanted), &taken);
    return std::vector<uint8_t>(from, from + taken);
}

void fuzzFixed(FuzzInput& in, Kind kind) {
    std::vector<uint8_t> initial = initialBytes(in);
    std::vector<uint8_t> block = initial;
    Model model;
    model.bytes = initial;
    model.canRead = model.canSeek = true;
    mbinfile stream;
    switch (kind) {
        case KIND_FIXED_READ:
            FUZZ_CHECK(stream.open(block.data(), static_cast<int>(block.size()), 0) == 1);
            break;
        case KIND_FIXED_WRITABLE:
            model.canWrite = true;
            FUZZ_CHECK(stream.open(block.data(), static_cast<int>(block.size()), MEMFILE_WRITABLE) == 1);
            break;
        case KIND_FIXED_OWNED: {
            // The stream frees this block with the checked release; a zero-byte block is not allowed.
            if (model.bytes.empty()) model.bytes.push_back(0);
            auto* owned =
                static_cast<uint8_t*>(checkedMalloc(model.length(), __FILE__, __LINE__, "fuzz block"));
            std::memcpy(owned, model.bytes.data(), model.bytes.size());
            model.canWrite = true;
            FUZZ_CHECK(stream.open(owned, model.length(), MEMFILE_OWNED | MEMFILE_WRITABLE) == 1);
            break;
        }
        default:
            // A size without a block describes nothing.
            model.bytes.clear();
            FUZZ_CHECK(stream.open(nullptr, static_cast<int>(initial.size()) + 1, MEMFILE_WRITABLE) == 1);
            model.canWrite = true;
            break;
    }
    FUZZ_CHECK(stream.mode == (BINFILE_READ | BINFILE_SEEK | (model.canWrite ? BINFILE_WRITE : 0)));
    runOperations(in, stream, model);
    // Writes land in the caller's block in place; it never moves or changes size.
    if (kind == KIND_FIXED_WRITABLE) FUZZ_CHECK(block == model.contents());
    if (kind == KIND_FIXED_READ) FUZZ_CHECK(block == initial);
    stream.close();
}

void fuzzGrowable(FuzzInput& in) {
    const uint8_t options = in.u8();
    std::vector<uint8_t> initial = initialBytes(in);
    uint8_t* data = nullptr;
    int32_t size = static_cast<int32_t>(initial.size());
    if (!initial.empty() || (options & 1)) {
        data = static_cast<uint8_t*>(malloc(initial.size()));
        if (!initial.empty()) std::memcpy(data, initial.data(), initial.size());
    }
    // A block variable that is null with a size claims nothing.
    if (!data && (options & 2)) size = 40;
    const int growBy = (options & 4) ? -static_cast<int>(in.u8()) : in.u16() % 3000;

    Model model;
    model.bytes = initial;
    model.canRead = model.canWrite = model.canSeek = model.canGrow = true;
    bool closed = false;
    {
        mbinfile stream;
        FUZZ_CHECK(stream.openGrowable(&data, &size, growBy) == 1);
        checkState(stream, model);
        for (int i = 0; i < MAX_OPERATIONS && !in.empty(); ++i) {
            if (!step(in, stream, model)) closed = true;
            // The caller's two variables follow every change while the stream is open.
            if (!closed) {
                FUZZ_CHECK(size == stream.length);
                FUZZ_CHECK(data == stream.block);
                FUZZ_CHECK(stream.capacity >= stream.length);
            } else {
                FUZZ_CHECK(stream.mode == 0);
            }
        }
        // Left open on purpose half the time: the destructor must hand the block back the same way.
        if (options & 8) stream.close();
    }
    const std::vector<uint8_t> contents = model.contents();
    FUZZ_CHECK(size == static_cast<int32_t>(contents.size()));
    if (size == 0) {
        FUZZ_CHECK(data == nullptr);
    } else {
        FUZZ_CHECK(data != nullptr);
        FUZZ_CHECK(std::memcmp(data, contents.data(), contents.size()) == 0);
#ifdef DOVOZ1_ASAN
        // Closing trims the block to the stream's length.
        FUZZ_CHECK(__sanitizer_get_allocated_size(data) == static_cast<size_t>(size));
#endif
    }
    free(data);
}

std::string scratchDirectory() {
    static std::string directory;
    if (directory.empty()) {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/dovoz1_fuzz_XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) std::abort();
        directory = name.data();
        // The folder goes when the process ends normally; a crash leaves it for inspection.
        atexit([] {
            unlink((directory + "/stream").c_str());
            rmdir(directory.c_str());
        });
    }
    return directory;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

void fuzzFile(FuzzInput& in, Kind kind) {
    std::vector<uint8_t> initial = initialBytes(in);
    const std::string path = scratchDirectory() + "/stream";
    unlink(path.c_str());
    if (kind != KIND_FILE_CREATE_NEW && kind != KIND_FILE_MISSING) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) std::abort();
        if (!initial.empty()) std::fwrite(initial.data(), 1, initial.size(), file);
        std::fclose(file);
    }

    Model model;
    sbinfile stream;
    int openMode = OPEN_READ;
    bool opens = true;
    switch (kind) {
        case KIND_FILE_READ:
            model.bytes = initial;
            model.canRead = model.canSeek = true;
            break;
        case KIND_FILE_UPDATE:
            model.bytes = initial;
            openMode = OPEN_UPDATE;
            break;
        case KIND_FILE_CREATE:
            openMode = OPEN_CREATE;
            break;
        case KIND_FILE_CREATE_NEW:
            openMode = OPEN_CREATE_NEW;
            break;
        case KIND_FILE_MISSING:
            opens = false;
            break;
        default:
            openMode = 4 + in.u8();
            opens = false;
            break;
    }
    if (openMode != OPEN_READ) model.canRead = model.canWrite = model.canSeek = model.canGrow = opens;
    FUZZ_CHECK(stream.open(path.c_str(), openMode) == (opens ? 1 : 0));
    if (!opens) FUZZ_CHECK(stream.mode == 0 && stream.handle == -1);
    runOperations(in, stream, model);
    stream.close();
    model.close();
    FUZZ_CHECK(stream.handle == -1);
    if (opens && openMode != OPEN_READ) FUZZ_CHECK(fileBytes(path) == model.contents());
    if (kind == KIND_FILE_READ) FUZZ_CHECK(fileBytes(path) == initial);
    if (kind == KIND_FILE_CREATE_NEW) {
        // A file the stream made is the user's alone; a truncated one keeps its mode.
        struct stat info;
        FUZZ_CHECK(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0600);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const Kind kind = static_cast<Kind>(in.u8() % KIND_COUNT);
    switch (kind) {
        case KIND_FIXED_READ:
        case KIND_FIXED_WRITABLE:
        case KIND_FIXED_OWNED:
        case KIND_FIXED_NULL:
            fuzzFixed(in, kind);
            break;
        case KIND_GROWABLE:
            fuzzGrowable(in);
            break;
        default:
            fuzzFile(in, kind);
            break;
    }
    return 0;
}
