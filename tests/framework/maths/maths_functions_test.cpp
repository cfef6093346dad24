// The fast square root's bit recipe, degree trigonometry and normalisation.
#include "framework/maths/maths_functions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

TEST(MathsFunctionsTest, SqrtFastIsExactWhereTheTablesAre) {
    struct Row {
        float x;
        uint32_t bits;
    };
    const Row rows[] = {
        {0.0f, 0x00000000u},
        {-0.0f, 0x00000000u},
        {1.0f, 0x3F800000u},
        {4.0f, 0x40000000u},
        {16.0f, 0x40800000u},
        {0.25f, 0x3F000000u},
        {2.0f, std::bit_cast<uint32_t>(std::sqrt(2.0f))},
        {8.0f, std::bit_cast<uint32_t>(std::sqrt(8.0f))},
    };
    for (const Row& row : rows)
        EXPECT_EQ(std::bit_cast<uint32_t>(OmSqrtFast(row.x)), row.bits) << row.x;
    EXPECT_FLOAT_EQ(OmSqrtFast(2.0f), 1.4142135f);
}

TEST(MathsFunctionsTest, SqrtFastStaysWithinElevenMantissaBits) {
    for (float x = 0.001f; x < 1.0e6f; x *= 1.37f)
        EXPECT_NEAR(OmSqrtFast(x), std::sqrt(x), std::sqrt(x) * (1.0f / 2048)) << x;
}

TEST(MathsFunctionsTest, TablesHoldRootsLessTheHalfExponent) {
    const uint32_t* odd = OmSqrtTable(true);
    const uint32_t* even = OmSqrtTable(false);
    EXPECT_EQ(odd[0], 0x3F800000u - 0x1FC00000u);
    EXPECT_EQ(even[0], std::bit_cast<uint32_t>(std::sqrt(2.0f)) - 0x20000000u);
    EXPECT_EQ(odd[2047], std::bit_cast<uint32_t>(
                             std::sqrt(std::bit_cast<float>(0x3F800000u + 2047u * 0x1000u))) -
                             0x1FC00000u);
    EXPECT_FLOAT_EQ(OmSinTable()[128], 1.0f);
    EXPECT_FLOAT_EQ(OmCosTable()[0], 1.0f);
    EXPECT_EQ(OmMathsTablesInit(), 0);
}

TEST(MathsFunctionsTest, TrigonometryTakesDegrees) {
    struct Row {
        float (*function)(float);
        float degrees, expected;
    };
    const Row rows[] = {
        {OmSinDeg, 30, 0.5f}, {OmSinDeg, 90, 1}, {OmCosDeg, 0, 1},    {OmCosDeg, 60, 0.5f},
        {OmCosDeg, 180, -1},  {OmTanDeg, 45, 1}, {OmSinDeg, -90, -1}, {OmSinRad, 0, 0},
    };
    for (const Row& row : rows) EXPECT_NEAR(row.function(row.degrees), row.expected, 1e-6f);
    EXPECT_NEAR(OmAtan2(1, -1), 2.3561945f, 1e-6f);
    EXPECT_FLOAT_EQ(OmPow(2, 10), 1024);
}

TEST(MathsFunctionsTest, NormalizeFallsBackToXForATinyVector) {
    OmVector3 out;
    const OmVector3 zero{0, 0, 0}, tiny{1e-19f, 0, 0}, v{3, 0, 4};
    OmVector3Normalize(&out, &zero);
    EXPECT_EQ(out.x, 1);
    EXPECT_EQ(out.y, 0);
    OmVector3Normalize(&out, &tiny);
    EXPECT_EQ(out.x, 1) << "squared length below 1e-36";
    OmVector3Normalize(&out, &v);
    EXPECT_FLOAT_EQ(out.x, 0.6f);
    EXPECT_FLOAT_EQ(out.z, 0.8f);
}

TEST(MathsFunctionsTest, NormalizeFastReturnsTheLength) {
    OmVector3 out;
    const OmVector3 v{3, 0, 4};
    EXPECT_EQ(OmVector3NormalizeFast(&out, &v), 5.0f) << "25 is on the table grid";
    // 1/5 from the bit trick is 0.21875, refined once to 0.1982421875: about 1% short.
    EXPECT_EQ(out.x, 3 * 0.1982421875f);
    EXPECT_EQ(out.z, 4 * 0.1982421875f);
}

} // namespace
