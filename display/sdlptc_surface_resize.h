// sdlptc_surface_resize.h: which variant the row sampler behind _vktSurface::resize runs.
#pragma once
#include "sdlptc_cpu.h"

// Both variants of the sampler pick exactly the same pixels; the AVX2 one gathers eight 4-byte pixels at
// a time. Other pixel sizes always use the baseline.

// A CPU_VARIANT_… of sdlptc_cpu.h; resize starts with the fastest this processor runs.
int resizeVariant();
// Uses that variant from now on: 1 when the processor runs it, else 0 and no change.
int selectResizeVariant(int variant);
