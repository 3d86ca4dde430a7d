// binfile.cpp: the stream interface, and its disk-file and memory-block kinds.
#include "binfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diag.h"

namespace {

// A transfer of count bytes at position is safe only when the count is not negative and the end
// offset still fits in 32 bits; anything else moves nothing.
bool transferFits(int32_t position, int count) {
    return count >= 0 && count <= INT32_MAX - position;
}

}  // namespace

// ---- binfile: do-nothing sources, and everything else in terms of them ----

binfile::~binfile() {
    mode = 0;
    position = 0;
    length = 0;
}

void binfile::close() {
    mode = 0;
    position = 0;
    length = 0;
}

int binfile::read(void*, int) {
    return 0;
}
int binfile::write(const void*, int) {
    return 0;
}
int binfile::seek(int) {
    return position;
}
int binfile::resize(int) {
    return length;
}

int binfile::readExact(void* buffer, int count) {
    return read(buffer, count) == count ? 1 : 0;
}
int binfile::writeExact(const void* buffer, int count) {
    return write(buffer, count) == count ? 1 : 0;
}

// Computed in 64 bits so that a large delta clamps instead of wrapping.
int binfile::seekRelative(int delta) {
    int64_t target = static_cast<int64_t>(position) + delta;
    if (target < INT32_MIN) target = INT32_MIN;
    if (target > INT32_MAX) target = INT32_MAX;
    return seek(static_cast<int>(target));
}

int binfile::seekFromEnd(int delta) {
    int64_t target = static_cast<int64_t>(length) + delta;
    if (target < INT32_MIN) target = INT32_MIN;
    if (target > INT32_MAX) target = INT32_MAX;
    return seek(static_cast<int>(target));
}

int binfile::tell() {
    return position;
}
int binfile::size() {
    return length;
}
int binfile::eof() {
    return position == length ? 1 : 0;
}

// The typed values assemble their bytes least significant first, so they read the same on any host.
uint8_t binfile::getU8() {
    uint8_t bytes[1] = {0};
    read(bytes, 1);
    return bytes[0];
}

uint16_t binfile::getU16() {
    uint8_t bytes[2] = {0, 0};
    read(bytes, 2);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t binfile::getU32() {
    uint8_t bytes[4] = {0, 0, 0, 0};
    read(bytes, 4);
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

binfile& binfile::putU8(uint8_t value) {
    writeU8(value);
    return *this;
}

binfile& binfile::putU16(uint16_t value) {
    writeU16(value);
    return *this;
}

binfile& binfile::putU32(uint32_t value) {
    writeU32(value);
    return *this;
}

uint8_t binfile::readU8(int* ok) {
    uint8_t bytes[1] = {0};
    int done = readExact(bytes, 1);
    if (ok) *ok = done;
    return bytes[0];
}

uint16_t binfile::readU16(int* ok) {
    uint8_t bytes[2] = {0, 0};
    int done = readExact(bytes, 2);
    if (ok) *ok = done;
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t binfile::readU32(int* ok) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    int done = readExact(bytes, 4);
    if (ok) *ok = done;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int binfile::writeU8(uint8_t value) {
    const uint8_t bytes[1] = {value};
    return writeExact(bytes, 1);
}

int binfile::writeU16(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return writeExact(bytes, 2);
}

int binfile::writeU32(uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return writeExact(bytes, 4);
}

// ---- sbinfile ----

sbinfile::~sbinfile() {
    sbinfile::close();
}

int sbinfile::open(const char* path, int openMode) {
    close();
    if (!path) return 0;
    uint32_t newMode = BINFILE_READ | BINFILE_WRITE | BINFILE_SEEK | BINFILE_GROW;
    int flags = O_CLOEXEC;
    switch (openMode) {
        case OPEN_READ:
            flags |= O_RDONLY;
            newMode = BINFILE_READ | BINFILE_SEEK;
            break;
        case OPEN_UPDATE:
            flags |= O_RDWR;
            break;
        case OPEN_CREATE:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case OPEN_CREATE_NEW:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        default:
            return 0;
    }
    int fd;
    do {
        fd = ::open(path, flags, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0;
    // Only a regular file has the fixed length and absolute seeks the stream relies on, and its
    // length must fit the 32-bit fields.
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > INT32_MAX) {
        ::close(fd);
        return 0;
    }
    handle = fd;
    mode = newMode;
    position = 0;
    length = static_cast<int32_t>(info.st_size);
    return 1;
}

void sbinfile::close() {
    if (mode != 0 && handle >= 0) ::close(handle);
    handle = -1;
    binfile::close();
}

// Short reads and interrupted calls are retried; an error ends the transfer with what was moved.
int sbinfile::read(void* buffer, int count) {
    if (!(mode & BINFILE_READ)) return 0;
    if (!transferFits(position, count) || count == 0) return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    int done = 0;
    while (done < count) {
        ssize_t got = ::read(handle, bytes + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<int>(got);
    }
    position += done;
    // The file may have grown behind our back; keep position within the length.
    if (position > length) length = position;
    return done;
}

int sbinfile::write(const void* buffer, int count) {
    if (!(mode & BINFILE_WRITE)) return 0;
    if (!transferFits(position, count)) return 0;
    if (!(mode & BINFILE_GROW) && count > length - position) count = length - position;
    if (count == 0) return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int done = 0;
    while (done < count) {
        ssize_t put = ::write(handle, bytes + done, static_cast<size_t>(count - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<int>(put);
    }
    position += done;
    if (position > length) length = position;
    return done;
}

int sbinfile::seek(int offset) {
    if (!(mode & BINFILE_SEEK)) return position;
    if (offset < 0) offset = 0;
    if (offset > length) offset = length;
    if (offset == position) return position;
    // A refused move leaves the stream where the handle still is.
    if (lseek(handle, offset, SEEK_SET) != offset) return position;
    position = offset;
    return position;
}

int sbinfile::resize(int newLength) {
    if (!(mode & BINFILE_GROW)) return length;
    if (newLength < 0) newLength = 0;
    if (ftruncate(handle, newLength) != 0) return length;
    struct stat info;
    if (fstat(handle, &info) == 0 && info.st_size <= INT32_MAX) length = static_cast<int32_t>(info.st_size);
    off_t offset = lseek(handle, 0, SEEK_CUR);
    if (offset >= 0 && offset <= INT32_MAX) position = static_cast<int32_t>(offset);
    // Truncation leaves the handle's offset where it was, possibly past the new end; bring both back
    // so that position stays within the length.
    if (position > length) {
        position = length;
        lseek(handle, position, SEEK_SET);
    }
    return length;
}

// ---- mbinfile ----

mbinfile::~mbinfile() {
    mbinfile::close();
}

int mbinfile::open(void* newBlock, int size, int options) {
    close();
    // A missing block or a negative size gives an empty stream rather than reads outside memory.
    if (!newBlock || size < 0) size = 0;
    block = static_cast<uint8_t*>(newBlock);
    mode = BINFILE_READ | BINFILE_SEEK;
    if (options & MEMFILE_WRITABLE) mode |= BINFILE_WRITE;
    position = 0;
    length = size;
    ownsBlock = (options & MEMFILE_OWNED) ? 1 : 0;
    sizeRef = nullptr;
    dataRef = nullptr;
    capacity = 0;
    growBy = 0;
    return 1;
}

int mbinfile::openGrowable(uint8_t** newDataRef, int32_t* newSizeRef, int newGrowBy) {
    close();
    if (!newDataRef || !newSizeRef) return 0;
    // A size that cannot describe the block is taken as an empty block.
    if (!*newDataRef || *newSizeRef < 0) *newSizeRef = 0;
    dataRef = newDataRef;
    sizeRef = newSizeRef;
    block = *newDataRef;
    capacity = *newSizeRef;
    length = *newSizeRef;
    growBy = newGrowBy > 0 ? newGrowBy : 0;
    ownsBlock = 0;
    mode = BINFILE_READ | BINFILE_WRITE | BINFILE_SEEK | BINFILE_GROW;
    position = 0;
    return 1;
}

void mbinfile::close() {
    if (mode & BINFILE_GROW) {
        // Hand the caller a block of exactly its length. An empty stream frees its block outright,
        // and a refused shrink keeps the larger block, which is still the caller's.
        if (length == 0) {
            free(*dataRef);
            *dataRef = nullptr;
        } else if (void* shrunk = realloc(*dataRef, static_cast<size_t>(length))) {
            *dataRef = static_cast<uint8_t*>(shrunk);
        }
        *sizeRef = length;
    } else if (mode != 0 && ownsBlock) {
        checkedFree(block, __FILE__, __LINE__);
    }
    block = nullptr;
    sizeRef = nullptr;
    dataRef = nullptr;
    capacity = 0;
    growBy = 0;
    ownsBlock = 0;
    binfile::close();
}

int mbinfile::read(void* buffer, int count) {
    if (!(mode & BINFILE_READ)) return 0;
    if (!transferFits(position, count)) return 0;
    if (count > length - position) count = length - position;
    if (count == 0) return 0;
    memcpy(buffer, block + position, static_cast<size_t>(count));
    position += count;
    return count;
}

int mbinfile::write(const void* buffer, int count) {
    if (!(mode & BINFILE_WRITE)) return 0;
    if (!transferFits(position, count)) return 0;
    if (count > length - position) resize(position + count);
    if (count > length - position) count = length - position;
    if (count == 0) return 0;
    memcpy(block + position, buffer, static_cast<size_t>(count));
    position += count;
    return count;
}

int mbinfile::seek(int offset) {
    if (!(mode & BINFILE_SEEK)) return position;
    if (offset < 0) offset = 0;
    if (offset > length) offset = length;
    position = offset;
    return position;
}

int mbinfile::resize(int newLength) {
    if (!(mode & BINFILE_GROW)) return length;
    if (newLength < 0) newLength = 0;
    if (newLength <= capacity) {
        // Bytes uncovered again after a shrink read as zero, as they do after a growth.
        if (newLength > length) memset(block + length, 0, static_cast<size_t>(newLength - length));
        length = newLength;
    } else {
        int64_t wanted = static_cast<int64_t>(newLength) + growBy;
        int32_t newCapacity = wanted > INT32_MAX ? INT32_MAX : static_cast<int32_t>(wanted);
        // The old block stays valid and the caller's until the new one exists.
        void* grown = realloc(block, static_cast<size_t>(newCapacity));
        if (!grown) return length;
        block = static_cast<uint8_t*>(grown);
        *dataRef = block;
        memset(block + length, 0, static_cast<size_t>(newCapacity - length));
        capacity = newCapacity;
        length = newLength;
    }
    *sizeRef = length;
    if (position > length) position = length;
    return length;
}
