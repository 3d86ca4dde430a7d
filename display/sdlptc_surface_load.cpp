// sdlptc_surface_load.cpp: the constructors of _vktSurface that load a picture from a file or a stream.
#include "sdlptc_console.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"

_vktSurface::_vktSurface(const char* path, int memoryKind, int options)
    : surface(nullptr), console(nullptr), lockCount(0) {
    loadImageFile(*this, path, memoryKind, options);
}

_vktSurface::_vktSurface(binfile* stream, int memoryKind, int options)
    : surface(nullptr), console(nullptr), lockCount(0) {
    loadImageStream(*this, stream, memoryKind, options);
}

_vktSurface::_vktSurface(_vktPTC* console, const char* path, int memoryKind, int options)
    : surface(nullptr), console(nullptr), lockCount(0) {
    if (!console || !console->isOpen) return;
    this->console = console;
    loadImageFile(*this, path, memoryKind, options);
}
