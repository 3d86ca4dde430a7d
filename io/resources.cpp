// resources.cpp: lookup in the resource tables built into the program.
#include "resources.h"

namespace {

// ASCII letters only: the names are plain ASCII, and a locale must not change what matches.
char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (asciiLower(*a) != asciiLower(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

int findResourceIn(const ResourceEntry* table, int32_t count, const char* type, const char* name,
                   const uint8_t** bytes, uint32_t* size) {
    if (!table || !type || !name) return 0;
    for (int32_t i = 0; i < count; ++i) {
        const ResourceEntry& entry = table[i];
        if (!entry.type || !entry.name || !entry.bytes) continue;
        if (!sameName(entry.type, type) || !sameName(entry.name, name)) continue;
        if (bytes) *bytes = entry.bytes;
        if (size) *size = entry.size;
        return 1;
    }
    return 0;
}

int findResource(const char* type, const char* name, const uint8_t** bytes, uint32_t* size) {
    return findResourceIn(embeddedResourceTable, embeddedResourceCount, type, name, bytes, size);
}
