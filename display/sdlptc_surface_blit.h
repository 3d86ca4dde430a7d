// sdlptc_surface_blit.h: which variant the row loops of the direct blits (keyed, and 32 to 16 bits) run.
#pragma once

// A CPU_VARIANT_… of sdlptc_cpu.h; blits start with the fastest this processor runs.
int blitVariant();
// Uses that variant from now on: 1 when the processor runs it, else 0 and no change.
int selectBlitVariant(int variant);
