// allocation_watch.cpp: counting allocations through the sanitizer runtime's malloc and free hooks.
#include "allocation_watch.h"

#include <algorithm>

namespace {

int64_t current = 0;  // bytes allocated since the hooks went in, minus bytes released
int64_t highest = 0;

#ifdef DOVOZ1_ASAN
void onMalloc(const volatile void*, size_t size) {
    current += static_cast<int64_t>(size);
    highest = std::max(highest, current);
}

// Called before the block goes, so its size is still known; blocks from before the hooks count too,
// which only moves the baseline.
void onFree(const volatile void* pointer) {
    if (pointer) current -= static_cast<int64_t>(__sanitizer_get_allocated_size(pointer));
}
#endif

}  // namespace

AllocationWatch::AllocationWatch() {
#ifdef DOVOZ1_ASAN
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
    (void)installed;
#endif
}

void AllocationWatch::start() {
    startBytes = current;
    highest = current;
}

int64_t AllocationWatch::inUse() const {
    return current - startBytes;
}

int64_t AllocationWatch::peak() const {
    return highest - startBytes;
}

bool AllocationWatch::counting() {
#ifdef DOVOZ1_ASAN
    return true;
#else
    return false;
#endif
}
