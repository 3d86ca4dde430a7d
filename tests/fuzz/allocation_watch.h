// allocation_watch.h: heap bytes in use and their peak over a stretch of code, from the sanitizer's hooks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"

// Without AddressSanitizer (the replay build) nothing is counted and every figure reads 0.
class AllocationWatch {
public:
    // Installs the hooks once per process; from then on every allocation and release is counted.
    AllocationWatch();
    // Starts a stretch: the peak restarts from what is in use now.
    void start();
    // Bytes in use now, and the most that was in use since start(), both above the start.
    int64_t inUse() const;
    int64_t peak() const;
    static bool counting();

private:
    int64_t startBytes = 0;
};
