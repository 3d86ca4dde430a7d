// resources.h: the resource store compiled into the program, and pictures loaded from it.
#pragma once
#include <cstdint>

class _vktSurface;

// The type name every blob of the program is stored under.
inline constexpr const char* RESOURCE_TYPE = "RT_RCDATA";

// Finds a blob by type name and resource name, ignoring ASCII letter case (the backslash is an
// ordinary character). On a hit stores the bytes, valid for the life of the process, and their size,
// and returns 1; otherwise 0 and nothing stored.
int findResource(const char* type, const char* name, const uint8_t** bytes, uint32_t* size);

// Decodes the picture resource into surface; 1 when the surface holds a picture afterwards.
// A missing or empty resource leaves the surface as it was.
int loadImageResource(_vktSurface& surface, const char* name, int memoryKind, int options);
