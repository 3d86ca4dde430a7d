// sdlptc_surface_resize.h: the row samplers behind _vktSurface::resize, and which of them is in use.
#pragma once
#include "sdlptc_cpu.h"

// Both samplers pick exactly the same pixels; the AVX2 one gathers eight 4-byte pixels at a time and
// runs only where the processor has AVX2. Other pixel sizes always use the baseline.
inline constexpr int RESIZE_SAMPLER_BASELINE = CPU_VARIANT_BASELINE;
inline constexpr int RESIZE_SAMPLER_AVX2 = CPU_VARIANT_AVX2;

// The fastest sampler this processor runs; resize starts with it.
int bestResizeSampler();
// Uses that sampler from now on: 1 when the processor runs it, else 0 and no change.
int selectResizeSampler(int sampler);
// The sampler in use.
int resizeSampler();
