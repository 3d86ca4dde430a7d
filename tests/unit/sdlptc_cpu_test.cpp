// Processor variants: the fastest detected from the processor, every slower one runnable, unknown ones
// refused, and a family's choice changed only to a variant that runs.
#include "sdlptc_cpu.h"

#include <gtest/gtest.h>

namespace {

TEST(CpuVariant, TheBestVariantIsTheProcessorsFastest) {
#if CPU_VARIANT_AVX2_BUILT
    EXPECT_EQ(bestCpuVariant(), __builtin_cpu_supports("avx2") ? CPU_VARIANT_AVX2 : CPU_VARIANT_BASELINE);
#else
    EXPECT_EQ(bestCpuVariant(), CPU_VARIANT_BASELINE);
#endif
}

TEST(CpuVariant, EveryVariantUpToTheBestRunsAndNoOther) {
    EXPECT_EQ(cpuRunsVariant(CPU_VARIANT_BASELINE), 1);
    EXPECT_EQ(cpuRunsVariant(bestCpuVariant()), 1);
    EXPECT_EQ(cpuRunsVariant(CPU_VARIANT_AVX2), bestCpuVariant() == CPU_VARIANT_AVX2 ? 1 : 0);
    EXPECT_EQ(cpuRunsVariant(-1), 0);
    EXPECT_EQ(cpuRunsVariant(CPU_VARIANT_AVX2 + 1), 0);
}

TEST(CpuVariant, AChoiceChangesOnlyToAVariantThatRuns) {
    int choice = bestCpuVariant();
    EXPECT_EQ(selectCpuVariant(choice, 7), 0);
    EXPECT_EQ(choice, bestCpuVariant());
    EXPECT_EQ(selectCpuVariant(choice, CPU_VARIANT_BASELINE), 1);
    EXPECT_EQ(choice, CPU_VARIANT_BASELINE);
    EXPECT_EQ(selectCpuVariant(choice, CPU_VARIANT_AVX2), cpuRunsVariant(CPU_VARIANT_AVX2));
    EXPECT_EQ(choice, bestCpuVariant());
}

}  // namespace
