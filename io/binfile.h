// binfile.h: typed little-endian byte streams over disk files (sbinfile) and memory blocks (mbinfile).
#pragma once
#include <cstdint>

// Mode bits of an open stream; 0 means closed.
inline constexpr uint32_t BINFILE_READ = 1;
inline constexpr uint32_t BINFILE_WRITE = 2;
inline constexpr uint32_t BINFILE_SEEK = 4;
inline constexpr uint32_t BINFILE_GROW = 8;  // the stream may change its length

// Options of mbinfile::open.
inline constexpr int MEMFILE_WRITABLE = 1;
inline constexpr int MEMFILE_OWNED = 2;  // closing releases the block

// Open modes of sbinfile::open.
inline constexpr int OPEN_READ = 0;        // existing file, read only
inline constexpr int OPEN_UPDATE = 1;      // existing file, read and write
inline constexpr int OPEN_CREATE = 2;      // create or truncate, read and write, new files 0600
inline constexpr int OPEN_CREATE_NEW = 3;  // create, fail if it exists, read and write, 0600

// The stream interface. Slots 1-5 are the source operations each kind supplies; the rest are written
// once here in terms of them, so a kind changes all of them by supplying its five. A plain binfile is
// a closed stream that moves nothing.
class binfile {
public:
    binfile() = default;
    binfile(const binfile&) = delete;
    binfile& operator=(const binfile&) = delete;
    virtual ~binfile();

    virtual void close();
    // Bytes moved; 0 when the mode does not allow it or the count is negative.
    virtual int read(void* buffer, int count);
    virtual int write(const void* buffer, int count);
    // The new position, clamped to 0..length.
    virtual int seek(int offset);
    // The resulting length.
    virtual int resize(int newLength);

    virtual int readExact(void* buffer, int count);
    virtual int writeExact(const void* buffer, int count);
    virtual int seekRelative(int delta);
    virtual int seekFromEnd(int delta);
    virtual int tell();
    virtual int size();
    virtual int eof();
    // Bytes the stream did not deliver read as zero.
    virtual uint8_t getU8();
    virtual uint16_t getU16();
    virtual uint32_t getU32();
    // Failure is ignored; the stream comes back for chaining.
    virtual binfile& putU8(uint8_t value);
    virtual binfile& putU16(uint16_t value);
    virtual binfile& putU32(uint32_t value);
    // Success (1 or 0) goes through ok.
    virtual uint8_t readU8(int* ok);
    virtual uint16_t readU16(int* ok);
    virtual uint32_t readU32(int* ok);
    virtual int writeU8(uint8_t value);
    virtual int writeU16(uint16_t value);
    virtual int writeU32(uint32_t value);

    uint32_t mode = 0;     // BINFILE_* bits; 0 when closed
    int32_t position = 0;  // byte offset, kept within 0..length
    int32_t length = 0;    // bytes in the stream
};

// A stream over a disk file, through a POSIX descriptor.
class sbinfile : public binfile {
public:
    sbinfile() = default;
    ~sbinfile() override;
    // 1 when opened; a bad mode code or a refused open leaves the stream closed.
    int open(const char* path, int openMode);
    void close() override;
    int read(void* buffer, int count) override;
    int write(const void* buffer, int count) override;
    int seek(int offset) override;
    int resize(int newLength) override;

    int handle = -1;  // valid while mode is nonzero
};

// A stream over a memory block: a fixed block of the caller's (borrowed unless MEMFILE_OWNED), or a
// growable heap block described by two variables of the caller's that the stream keeps current.
class mbinfile : public binfile {
public:
    mbinfile() = default;
    ~mbinfile() override;
    // Always 1. Readable and seekable; writable with MEMFILE_WRITABLE; never grows.
    int open(void* block, int size, int options);
    // Always 1. Readable, writable, seekable and growable over *dataRef of *sizeRef bytes (may be null
    // and 0); growth reserves growBy extra bytes. Closing shrinks the block to its length.
    int openGrowable(uint8_t** dataRef, int32_t* sizeRef, int growBy);
    void close() override;
    int read(void* buffer, int count) override;
    int write(const void* buffer, int count) override;
    int seek(int offset) override;
    int resize(int newLength) override;

    uint8_t* block = nullptr;
    int32_t* sizeRef = nullptr;   // growable: the caller's length variable, kept equal to length
    uint8_t** dataRef = nullptr;  // growable: the caller's block variable, updated when the block moves
    int32_t capacity = 0;         // growable: bytes allocated
    int32_t growBy = 0;           // growable: extra bytes reserved on each growth
    int32_t ownsBlock = 0;        // fixed: closing releases the block
};
