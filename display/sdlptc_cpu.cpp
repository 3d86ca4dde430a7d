// sdlptc_cpu.cpp: the one place that asks the processor what it runs.
#include "sdlptc_cpu.h"

namespace {

int detectBestVariant() {
#if CPU_VARIANT_AVX2_BUILT
    // Also asked from static constructors, before the runtime has probed the processor by itself.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return CPU_VARIANT_AVX2;
#endif
    return CPU_VARIANT_BASELINE;
}

}  // namespace

int bestCpuVariant() {
    static const int best = detectBestVariant();
    return best;
}

int cpuRunsVariant(int variant) {
    return variant >= CPU_VARIANT_BASELINE && variant <= bestCpuVariant() ? 1 : 0;
}

int selectCpuVariant(int& choice, int variant) {
    if (!cpuRunsVariant(variant)) return 0;
    choice = variant;
    return 1;
}
