// image_resource.cpp: pictures decoded straight from the resource store's bytes.
#include <climits>

#include "binfile.h"
#include "resources.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

int loadImageResourceIn(const ResourceEntry* table, int32_t count, _vktSurface& surface, const char* name,
                        int memoryKind, int options) {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!findResourceIn(table, count, RESOURCE_TYPE, name, &bytes, &size)) return 0;
    if (!bytes || size == 0 || size > INT_MAX) return 0;

    // Read-only and borrowed: the store's bytes live as long as the process.
    mbinfile stream;
    stream.open(const_cast<uint8_t*>(bytes), static_cast<int>(size), 0);
    loadImageStream(surface, &stream, memoryKind, options);
    stream.close();
    return surface.surface != nullptr;
}

int loadImageResource(_vktSurface& surface, const char* name, int memoryKind, int options) {
    return loadImageResourceIn(embeddedResourceTable, embeddedResourceCount, surface, name, memoryKind,
                               options);
}
