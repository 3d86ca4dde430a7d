// Tests of the picture distortion effect against the sine tables and a closed-form reference.
#include "distort.h"

#include "frame_loop.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int W = DISTORT_WIDTH;
constexpr int H = DISTORT_HEIGHT;

// Every texel holds its own coordinates, v × 256 + u, so a pixel says which texel it shows.
std::vector<uint32_t> coordinateTexture() {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t i = 0; i < texture.size(); ++i) texture[i] = i;
    return texture;
}

int texelU(uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}
int texelV(uint32_t pixel) {
    return static_cast<int>(pixel >> 8);
}

int64_t floorMod(int64_t a, int64_t m) {
    return ((a % m) + m) % m;
}
int64_t floorDiv(int64_t a, int64_t m) {
    return (a - floorMod(a, m)) / m;
}

// The frame in closed form: row r starts at the sum of the row steps before it and pixel x sits at
// start + x × step, all in exact 64-bit arithmetic and with floor division for the texel.
std::vector<uint32_t> referenceFrame(const DistortEffect& tables, int theta, float zoom, int pixelTwist,
                                     int rowTwist, const std::vector<uint32_t>& texture) {
    auto sine = [&](int64_t angle) { return int64_t{tables.sineTable[floorMod(angle, 1024)]}; };
    auto cosine = [&](int64_t angle) { return int64_t{tables.cosineTable[floorMod(angle, 1024)]}; };
    auto zoomed = [&](int64_t entry) {
        return int64_t{static_cast<int32_t>(static_cast<float>(entry) * zoom)};
    };

    const int64_t du0 = zoomed(cosine(theta)), dv0 = zoomed(sine(theta));
    const int64_t ru0 = zoomed(cosine(theta + 256)), rv0 = zoomed(sine(theta + 256));
    const int64_t u0 = 32768 - 160 * du0 - 100 * ru0;
    const int64_t v0 = 32768 - 160 * dv0 - 100 * rv0;

    std::vector<uint32_t> frame(W * H);
    for (int r = 0; r < H; ++r) {
        const bool scanTurned = pixelTwist != 0 && r > 0;
        const int64_t du = scanTurned ? cosine(theta + int64_t{r} * pixelTwist) : du0;
        const int64_t dv = scanTurned ? sine(theta + int64_t{r} * pixelTwist) : dv0;
        int64_t startU = u0, startV = v0;
        for (int k = 0; k < r; ++k) {
            const bool pathTurned = rowTwist != 0 && k > 0;
            startU += pathTurned ? cosine(theta + int64_t{k} * rowTwist + 256) : ru0;
            startV += pathTurned ? sine(theta + int64_t{k} * rowTwist + 256) : rv0;
        }
        for (int x = 0; x < W; ++x) {
            const int64_t tu = floorMod(floorDiv(startU + x * du, 256), 256);
            const int64_t tv = floorMod(floorDiv(startV + x * dv, 256), 256);
            frame[r * W + x] = texture[tv * 256 + tu];
        }
    }
    return frame;
}

class DistortTest : public ::testing::Test {
protected:
    void SetUp() override { effect.buildSineTables(256.0f); }

    // One frame from a fresh angle of 0, so the frame is drawn at angle step & 1023.
    std::vector<uint32_t> frameAt(int angleStep, float zoom, int pixelTwist, int rowTwist) {
        effect.effectAngle = 0;
        std::vector<uint32_t> frame(W * H, 0xDEADBEEF);
        effect.distortPicture(frame.data(), texture.data(), angleStep, zoom, pixelTwist, rowTwist);
        return frame;
    }

    DistortEffect effect;
    std::vector<uint32_t> texture = coordinateTexture();
};

TEST_F(DistortTest, TablesHoldTheUnitCircleIn88FixedPoint) {
    EXPECT_EQ(effect.sineTable[0], 0);
    EXPECT_EQ(effect.sineTable[1], 1);
    EXPECT_EQ(effect.sineTable[2], 3);
    EXPECT_EQ(effect.sineTable[3], 4);
    EXPECT_EQ(effect.sineTable[128], 181);
    EXPECT_EQ(effect.sineTable[256], 256);
    EXPECT_EQ(effect.sineTable[512], 0);
    EXPECT_EQ(effect.sineTable[768], -256);
    EXPECT_EQ(effect.cosineTable[0], 256);
    EXPECT_EQ(effect.cosineTable[256], 0);
    EXPECT_EQ(effect.cosineTable[512], -256);
    EXPECT_EQ(effect.cosineTable[768], 0);
    for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
        ASSERT_EQ(effect.cosineTable[i], effect.sineTable[(i + 256) % 1024]) << "entry " << i;
        ASSERT_GE(effect.sineTable[i], -256);
        ASSERT_LE(effect.sineTable[i], 256);
    }
    // Truncation toward zero keeps the two halves mirrored.
    for (int i = 1; i < 512; ++i)
        ASSERT_EQ(effect.sineTable[1024 - i], -effect.sineTable[i]) << "entry " << i;
}

TEST_F(DistortTest, TablesScaleWithTheAmplitude) {
    effect.buildSineTables(100.0f);
    EXPECT_EQ(effect.sineTable[256], 100);
    EXPECT_EQ(effect.sineTable[128], 70);
    EXPECT_EQ(effect.cosineTable[512], -100);
}

TEST_F(DistortTest, UnitZoomAtAngleZeroShowsThePictureCentred) {
    const auto frame = frameAt(0, 1.0f, 0, 0);
    for (int r = 0; r < H; ++r) {
        for (int x = 0; x < W; ++x) {
            const uint32_t pixel = frame[r * W + x];
            ASSERT_EQ(texelU(pixel), (x - 32 + 256) % 256) << x << "," << r;
            ASSERT_EQ(texelV(pixel), (r + 28) % 256) << x << "," << r;
        }
    }
    EXPECT_EQ(frame[100 * W + 160], 128u * 256 + 128);
}

TEST_F(DistortTest, ZeroZoomFillsTheScreenWithTheCentreTexel) {
    for (int step : {0, 77, 600}) {
        const auto frame = frameAt(step, 0.0f, 0, 0);
        for (uint32_t pixel : frame) ASSERT_EQ(pixel, 128u * 256 + 128) << "angle " << step;
    }
}

TEST_F(DistortTest, NegativeZoomTurnsThePictureByHalfATurn) {
    for (int angle : {0, 100, 613}) {
        const auto positive = frameAt(angle, 1.7f, 0, 0);
        const auto negative = frameAt(angle, -1.7f, 0, 0);
        for (int r = 1; r < H; ++r) {
            for (int x = 1; x < W; ++x) {
                ASSERT_EQ(negative[r * W + x], positive[(H - r) * W + (W - x)])
                    << x << "," << r << " angle " << angle;
            }
        }
    }
}

TEST_F(DistortTest, AngleStaysInOneTurnForAnyStep) {
    std::vector<uint32_t> frame(W * H);
    const int32_t steps[] = {-1, -1025, 1023, 1024, 5000, INT32_MIN, INT32_MAX, -7};
    int64_t expected = 0;
    for (int32_t step : steps) {
        effect.distortPicture(frame.data(), texture.data(), step, 1.0f, 0, 0);
        expected = floorMod(expected + step, 1024);
        ASSERT_GE(effect.effectAngle, 0);
        ASSERT_LE(effect.effectAngle, 1023);
        ASSERT_EQ(effect.effectAngle, expected) << "after step " << step;
    }
}

TEST_F(DistortTest, AngleCarriesOverFromFrameToFrame) {
    std::vector<uint32_t> frame(W * H);
    effect.distortPicture(frame.data(), texture.data(), 300, 1.0f, 0, 0);
    effect.distortPicture(frame.data(), texture.data(), 300, 1.0f, 1, 1);
    EXPECT_EQ(effect.effectAngle, 600);
    EXPECT_EQ(frame, referenceFrame(effect, 600, 1.0f, 1, 1, texture));
}

TEST_F(DistortTest, TwistedScansAfterTheFirstRowStepOneTexel) {
    // A twist of a whole turn keeps every direction at angle 0, so only the step lengths differ.
    const auto scans = frameAt(0, 2.0f, 1024, 0);
    for (int x = 1; x < W; ++x) ASSERT_EQ((texelU(scans[x]) - texelU(scans[x - 1]) + 256) % 256, 2) << x;
    for (int r = 1; r < H; ++r) {
        for (int x = 1; x < W; ++x) {
            ASSERT_EQ((texelU(scans[r * W + x]) - texelU(scans[r * W + x - 1]) + 256) % 256, 1)
                << x << "," << r;
        }
    }

    const auto rows = frameAt(0, 2.0f, 0, 1024);
    EXPECT_EQ((texelV(rows[W]) - texelV(rows[0]) + 256) % 256, 2);
    for (int r = 2; r < H; ++r)
        ASSERT_EQ((texelV(rows[r * W]) - texelV(rows[(r - 1) * W]) + 256) % 256, 1) << r;
}

TEST_F(DistortTest, LastRowWithTwistThreeScansAlong597TableUnitsFurther) {
    for (int angle : {0, 300}) {
        const auto frame = frameAt(angle, 1.0f, 3, 0);
        // Over 256 pixels a step of (du, dv) in 8.8 moves exactly (du, dv) texels.
        const uint32_t first = frame[199 * W], later = frame[199 * W + 256];
        const int direction = (angle + 597) % 1024;
        EXPECT_EQ((texelU(later) - texelU(first) + 256) % 256, floorMod(effect.cosineTable[direction], 256));
        EXPECT_EQ((texelV(later) - texelV(first) + 256) % 256, floorMod(effect.sineTable[direction], 256));
    }
}

TEST_F(DistortTest, WritesEveryPixelAndNothingBeyond) {
    std::vector<uint32_t> frame(W * H + 64, 0xDEADBEEF);
    effect.distortPicture(frame.data(), texture.data(), 5, 1.0f, 2, -2);
    for (int i = 0; i < W * H; ++i) ASSERT_LT(frame[i], 65536u) << i;
    for (int i = W * H; i < W * H + 64; ++i) ASSERT_EQ(frame[i], 0xDEADBEEF) << i;
}

TEST_F(DistortTest, NullPixelsDrawNothing) {
    std::vector<uint32_t> frame(W * H, 7);
    effect.distortPicture(nullptr, texture.data(), 0, 1.0f, 0, 0);
    effect.distortPicture(frame.data(), nullptr, 0, 1.0f, 0, 0);
    for (uint32_t pixel : frame) ASSERT_EQ(pixel, 7u);
}

// Every mode of the intro, at several angles and zooms, against the closed-form frame.
class DistortModeTest : public DistortTest,
                        public ::testing::WithParamInterface<std::tuple<int, int, float>> {};

TEST_P(DistortModeTest, MatchesTheClosedFormFrame) {
    const auto [mode, angle, zoom] = GetParam();
    const ModeTwist twist = modeTable[mode];
    const auto frame = frameAt(angle, zoom, twist.pixelTwist, twist.rowTwist);
    const auto expected =
        referenceFrame(effect, angle & 1023, zoom, twist.pixelTwist, twist.rowTwist, texture);
    for (int i = 0; i < W * H; ++i) {
        ASSERT_EQ(frame[i], expected[i]) << "pixel " << i % W << "," << i / W;
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, DistortModeTest,
                         ::testing::Combine(::testing::Range(0, EFFECT_MODES),
                                            ::testing::Values(0, 37, 300, 777, -6),
                                            ::testing::Values(1.0f, 0.37f, 2.5f, -1.3f, 10.05f)));

// The row kernels: each the closed-form frame on its own, and all of them the same frame for any steps.
class DistortKernelTest : public DistortTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        DistortTest::SetUp();
        if (!selectDistortVariant(GetParam())) GTEST_SKIP() << "this processor lacks kernel " << GetParam();
    }
    void TearDown() override { selectDistortVariant(bestCpuVariant()); }
};

TEST_P(DistortKernelTest, EveryModeMatchesTheClosedFormFrame) {
    for (int mode = 0; mode < EFFECT_MODES; ++mode) {
        // 230, 256 and 777 run near the picture's vertical, where rows are drawn in groups.
        for (int angle : {0, 37, 230, 256, 300, 777}) {
            for (float zoom : {1.0f, 0.02f, 10.05f, -1.3f}) {
                const ModeTwist twist = modeTable[mode];
                const auto frame = frameAt(angle, zoom, twist.pixelTwist, twist.rowTwist);
                ASSERT_EQ(frame,
                          referenceFrame(effect, angle, zoom, twist.pixelTwist, twist.rowTwist, texture))
                    << "mode " << mode << " angle " << angle << " zoom " << zoom;
            }
        }
    }
}

TEST_P(DistortKernelTest, SteepRowsStartingAtAnyRowMatchTheClosedFormFrame) {
    // With a twist of ±1 a row's direction is the angle plus or minus its number, so the rows that run
    // within about 40 table units of the vertical (256 or 768) form one band whose first row moves one
    // row per angle. These angles start that band at every row from 0 to 128, and run it into the
    // frame's last rows with every number of rows left over, whole groups or not.
    for (int pixelTwist : {1, -1}) {
        for (int angle = 88; angle <= 216; ++angle) {
            const int drawn = pixelTwist > 0 ? angle : (1024 + 512 - angle) & 1023;
            const auto frame = frameAt(drawn, 1.0f, pixelTwist, 0);
            ASSERT_EQ(frame, referenceFrame(effect, drawn, 1.0f, pixelTwist, 0, texture))
                << "angle " << drawn << " twist " << pixelTwist;
        }
    }
    // Row twists turn the row-to-row step while the scan stays steep throughout.
    for (int angle : {250, 262, 770}) {
        const auto frame = frameAt(angle, 0.8f, 0, 3);
        ASSERT_EQ(frame, referenceFrame(effect, angle, 0.8f, 0, 3, texture)) << "angle " << angle;
    }
}

TEST_P(DistortKernelTest, DrawsTheBaselineFrameForAnySteps) {
    // Huge zooms saturate the steps, so every coordinate sum wraps many times along a row.
    DistortEffect baseline;
    baseline.buildSineTables(256.0f);
    std::vector<uint32_t> expected(W * H), frame(W * H);
    const float zooms[] = {0.0f, 0.5f, 3.3f, -7.75f, 1.0e6f, -1.0e9f, 4.0e12f};
    const int32_t twists[] = {0, 1, -3, 511, 1024, INT32_MAX};
    uint32_t seed = 12345;
    for (float zoom : zooms) {
        for (int32_t pixelTwist : twists) {
            seed = seed * 1103515245u + 12345u;
            const int32_t step = static_cast<int32_t>(seed >> 8);
            const int32_t rowTwist = twists[(seed >> 4) % 6];
            ASSERT_TRUE(selectDistortVariant(CPU_VARIANT_BASELINE));
            baseline.distortPicture(expected.data(), texture.data(), step, zoom, pixelTwist, rowTwist);
            ASSERT_TRUE(selectDistortVariant(GetParam()));
            effect.distortPicture(frame.data(), texture.data(), step, zoom, pixelTwist, rowTwist);
            ASSERT_EQ(frame, expected) << "zoom " << zoom << " twists " << pixelTwist << "," << rowTwist;
            ASSERT_EQ(effect.effectAngle, baseline.effectAngle);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, DistortKernelTest,
                         ::testing::Values(CPU_VARIANT_BASELINE, CPU_VARIANT_AVX2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == CPU_VARIANT_AVX2 ? std::string("Avx2")
                                                                   : std::string("Baseline");
                         });

TEST(DistortKernelChoice, TheBestKernelRunsAndUnknownKernelsAreRefused) {
    EXPECT_EQ(distortVariant(), bestCpuVariant());
    EXPECT_TRUE(selectDistortVariant(distortVariant()));
    EXPECT_FALSE(selectDistortVariant(7));
    EXPECT_FALSE(selectDistortVariant(-1));
    EXPECT_EQ(distortVariant(), bestCpuVariant());
    EXPECT_TRUE(selectDistortVariant(CPU_VARIANT_BASELINE));
    EXPECT_EQ(distortVariant(), CPU_VARIANT_BASELINE);
    selectDistortVariant(bestCpuVariant());
    // A processor with AVX2 gets the gathering kernel.
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_EQ(bestCpuVariant(), CPU_VARIANT_AVX2);
    }
}

}  // namespace
