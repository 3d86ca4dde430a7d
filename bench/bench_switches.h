// bench_switches.h: switches and peer routines shared by the benchmarks.
#pragma once
#include <cstdint>

#include "sdlptc_surface.h"

// While true, SDL_UpdateRect does nothing, so a frame can be timed without presenting it.
extern bool skipScreenUpdates;

// The floor of the effect's loop: 64,000 32-bit loads from a 256 KiB table (65,536 entries) at indices
// (start + i × stride) mod 65536, stored in order, in the instruction set of the given effect kernel.
// With stride 257 each load lands one table row further down and one entry on, as in a rotated scan,
// and the whole table is touched; with 256 the loads walk straight down one column.
void gatherFloor(uint32_t* destination, const uint32_t* table, uint32_t start, uint32_t stride, int kernel);

// A plain floating-point rotozoomer of the 256×256 picture: every pixel computes its texel from the
// angle (table units, 1024 a turn) and zoom (texels per pixel), floors and wraps it.
void naiveFloatRotozoom(uint32_t* destination, const uint32_t* source, int angle, float zoom);

// The intro's three pictures, loaded from the resource store and converted to the work format as at
// start-up; the picture is brought to 256×256.
struct IntroPictures {
    _vktSurface picture;
    _vktSurface fontSheet;
    _vktSurface sprite;
    bool loaded;
};
void loadIntroPictures(IntroPictures& pictures);
