// fuzz_input.h: reading choices out of a fuzz input, and the check that ends a run on a wrong result.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define DOVOZ1_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DOVOZ1_ASAN 1
#endif
#endif

#ifdef DOVOZ1_ASAN
// From the sanitizer runtime's allocator interface (g++ does not ship its header).
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

// The libFuzzer entry point every target defines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Takes values off the front of the input; an exhausted input reads as zeros, so every input is valid.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    bool empty() const { return left_ == 0; }
    size_t left() const { return left_; }

    uint8_t u8() {
        if (left_ == 0) return 0;
        --left_;
        return *data_++;
    }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }

    // Up to count bytes straight from the input; fewer when it runs out.
    const uint8_t* bytes(size_t count, size_t* taken) {
        *taken = count < left_ ? count : left_;
        const uint8_t* start = data_;
        data_ += *taken;
        left_ -= *taken;
        return start;
    }

private:
    const uint8_t* data_;
    size_t left_;
};

// A result that contradicts the stream's documented behaviour is a finding like a crash: say what
// differed and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                           \
    do {                                                                                                \
        if (!(condition)) {                                                                             \
            std::fprintf(stderr, "\nfuzz check failed: %s at %s:%d\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                               \
        }                                                                                               \
    } while (0)
