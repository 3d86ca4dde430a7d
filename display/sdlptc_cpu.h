// sdlptc_cpu.h: processor-specific variants of the kernels (the blits' row loops, the resize samplers,
// the intro's effect). The processor is asked once, here; each kernel family keeps its own choice, starts
// on the fastest variant the processor runs and may be set to a slower one, so that tests and benchmarks
// run every variant on a machine that has the fastest.
#pragma once

// The variants, slowest first; a processor that runs one runs every one before it. Every variant of a
// family gives exactly the same result.
inline constexpr int CPU_VARIANT_BASELINE = 0;  // plain C++: every processor
inline constexpr int CPU_VARIANT_AVX2 = 1;      // AVX2 (gathers, masked stores): x86 processors that have it

// Whether this build holds AVX2 code at all; kernels guard their AVX2 variants with it.
#if defined(__x86_64__) || defined(__i386__)
#define CPU_VARIANT_AVX2_BUILT 1
#else
#define CPU_VARIANT_AVX2_BUILT 0
#endif

// The fastest variant this processor runs.
int bestCpuVariant();
// 1 when this processor runs variant; 0 for it and for unknown variants otherwise.
int cpuRunsVariant(int variant);
// A family's choice: sets choice to variant and returns 1 when the processor runs it; else 0, no change.
int selectCpuVariant(int& choice, int variant);
