// Table square roots and vector helpers.
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

class Vectors : public ::testing::Test {
protected:
    StartedEngine engine;
    void SetUp() override { ASSERT_TRUE(engine.ok); }
};

// Every table point x in [1, 4) (11 mantissa bits) scaled by 4^k has an exact table root.
TEST_F(Vectors, TableRootsAreExactAtEveryTablePoint) {
    for (uint32_t step = 0; step < 4096; ++step) {
        const float x = std::bit_cast<float>(0x3f800000u + step * 0x1000u);
        const float root = std::sqrt(x);
        const double inverse = 1.0 / std::sqrt(static_cast<double>(x));
        for (int k : {-20, -3, 0, 1, 5, 30}) {
            const float scaled = std::ldexp(x, 2 * k);
            ASSERT_EQ(LgSqrt(scaled), std::ldexp(root, k)) << "x " << x << " k " << k;
            ASSERT_EQ(LgInvSqrt(scaled), std::ldexp(static_cast<float>(inverse), -k))
                << "x " << x << " k " << k;
        }
    }
}

struct RootCase {
    float in;
    float sqrt;
};

TEST_F(Vectors, RootsBetweenTablePointsRoundToTheNearestPoint) {
    const RootCase cases[] = {
        {4.0f, 2.0f},
        {0.25f, 0.5f},
        {0.0f, 0.0f},
        {-0.0f, 0.0f},
        {std::bit_cast<float>(0x3f8007ffu), 1.0f}, // rounds down to 1.0
        {std::bit_cast<float>(0x3f800800u), std::sqrt(std::bit_cast<float>(0x3f801000u))},
        // The last half step below a power of two rounds up into the next exponent.
        {std::nextafter(4.0f, 0.0f), 2.0f},
        {std::nextafter(2.0f, 0.0f), std::sqrt(2.0f)},
        {std::nextafter(1.0f, 0.0f), 1.0f},
    };
    for (const RootCase& c : cases) EXPECT_EQ(LgSqrt(c.in), c.sqrt) << c.in;
    EXPECT_EQ(LgInvSqrt(4.0f), 0.5f);
    EXPECT_EQ(LgInvSqrt(std::nextafter(4.0f, 0.0f)), 0.5f);
}

TEST(VectorsBeforeStart, RootsMatchTheTables) {
    float before[64];
    for (int i = 0; i < 64; ++i) before[i] = LgSqrt(1.7f * static_cast<float>(i) + 0.01f);
    StartedEngine engine;
    ASSERT_TRUE(engine.ok);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(LgSqrt(1.7f * static_cast<float>(i) + 0.01f), before[i]);
}

TEST_F(Vectors, NormalizeGivesAUnitVectorAndTheLength) {
    const LgVector in = {3.0f, 0.0f, 4.0f};
    LgVector out;
    EXPECT_NEAR(LgVectorNormalize(&out, &in), 5.0f, 5e-3f);
    EXPECT_NEAR(out.x, 0.6f, 1e-3f);
    EXPECT_NEAR(out.z, 0.8f, 1e-3f);
    EXPECT_NEAR(LgVectorLength(&in), 5.0f, 5e-3f);
    const LgVector2 v2 = {6.0f, 8.0f};
    EXPECT_NEAR(LgVector2Length(&v2), 10.0f, 1e-2f);
    EXPECT_EQ(recorded_error(), LgErrorNone);
}

TEST_F(Vectors, NormalizingZeroYieldsZeroAndRecordsTheError) {
    const LgVector zero = {0.0f, 0.0f, 0.0f};
    LgVector out = {1.0f, 1.0f, 1.0f};
    EXPECT_EQ(LgVectorNormalize(&out, &zero), 0.0f);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrZeroVector}));
    EXPECT_EQ(LgVectorNormalizeInv(&out, &zero), 0.0f);
}

TEST_F(Vectors, TransformsApplyRotationAndPosition) {
    LgMatrix m;
    LgMatrixSetIdentity(&m);
    m.right = {0.0f, 1.0f, 0.0f}; // x -> y
    m.up = {-1.0f, 0.0f, 0.0f};   // y -> -x
    m.pos = {10.0f, 20.0f, 30.0f};
    LgMatrixMarkChanged(&m);
    LgVector v[2] = {{1.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 3.0f}};
    LgVector points[2];
    LgVectorTransformPoints(points, v, 2, &m);
    EXPECT_EQ(points[0].x, 10.0f);
    EXPECT_EQ(points[0].y, 21.0f);
    EXPECT_EQ(points[1].x, 8.0f);
    EXPECT_EQ(points[1].z, 33.0f);
    LgVectorTransformVectors(v, v, 2, &m); // in place
    EXPECT_EQ(v[0].y, 1.0f);
    EXPECT_EQ(v[1].x, -2.0f);
    EXPECT_EQ(v[1].z, 3.0f);
}

} // namespace
