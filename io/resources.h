// resources.h: the resource store compiled into the program.
#pragma once
#include <cstdint>

// The type name every blob of the program is stored under.
inline constexpr const char* RESOURCE_TYPE = "RT_RCDATA";

// Finds a blob by type name and resource name, ignoring ASCII letter case (the backslash is an
// ordinary character). On a hit stores the bytes, valid for the life of the process, and their size,
// and returns 1; otherwise 0 and nothing stored.
int findResource(const char* type, const char* name, const uint8_t** bytes, uint32_t* size);

// One blob of a resource table. The bytes are followed by a 0 byte not counted in size.
struct ResourceEntry {
    const char* type;      // type name, e.g. "RT_RCDATA"
    const char* name;      // stored upper case, e.g. "DATA\\FONTS.PNG"
    const uint8_t* bytes;  // 16-byte aligned, read-only
    uint32_t size;         // bytes, without the trailing 0
};

// The table built into the program from the files in data/: embeddedResourceCount entries, then an
// entry of nulls that ends it (so the table exists even when data/ holds nothing).
extern const ResourceEntry embeddedResourceTable[];
extern const int32_t embeddedResourceCount;

// findResource over a table of the caller's with count entries; same matching and results.
int findResourceIn(const ResourceEntry* table, int32_t count, const char* type, const char* name,
                   const uint8_t** bytes, uint32_t* size);
