// Matrix multiply, flags, rotate/scale/translate, invert, orthonormalise and query-rotate.
#include "engine/core/lg_fpu.h"
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

LgMatrix identity() {
    LgMatrix m;
    std::memset(&m, 0, sizeof(m));
    return *LgMatrixSetIdentity(&m);
}

// A general affine matrix: rotated, scaled unevenly, translated.
LgMatrix general() {
    LgMatrix m = identity();
    const LgVector axis = {1.0f, 2.0f, 3.0f};
    const LgVector scale = {2.0f, 0.5f, 3.0f};
    const LgVector move = {4.0f, -5.0f, 6.0f};
    LgMatrixRotate(&m, &axis, 33.0f, LgCombineReplace);
    LgMatrixScale(&m, &scale, LgCombinePostConcat);
    LgMatrixTranslate(&m, &move, LgCombinePostConcat);
    return m;
}

LgVector apply(const LgMatrix& m, LgVector p) {
    LgVectorTransformPoints(&p, &p, 1, &m);
    return p;
}

void expect_near(const LgVector& a, const LgVector& b, float tolerance, const char* what = "") {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

void expect_same_elements(const LgMatrix& a, const LgMatrix& b, float tolerance) {
    expect_near(a.right, b.right, tolerance, "right");
    expect_near(a.up, b.up, tolerance, "up");
    expect_near(a.at, b.at, tolerance, "at");
    expect_near(a.pos, b.pos, tolerance, "pos");
}

class Matrices : public ::testing::Test {
protected:
    StartedEngine engine;
    void SetUp() override { ASSERT_TRUE(engine.ok); }
};

TEST_F(Matrices, MultiplyingByAnIdentityFlaggedMatrixCopiesBitForBit) {
    LgMatrix a = general();
    a.pad1 = 0xdeadbeef;
    const LgMatrix id = identity();
    LgMatrix dst;
    LgMatrixMultiply(&dst, &id, &a);
    EXPECT_EQ(std::memcmp(&dst, &a, sizeof(LgMatrix)), 0);
    LgMatrixMultiply(&dst, &a, &id);
    EXPECT_EQ(std::memcmp(&dst, &a, sizeof(LgMatrix)), 0);
}

TEST_F(Matrices, MultiplyAppliesTheLeftOperandFirst) {
    LgMatrix a = general();
    LgMatrix b = identity();
    const LgVector axis = {0.0f, 1.0f, 0.0f};
    const LgVector move = {1.0f, 2.0f, 3.0f};
    LgMatrixRotate(&b, &axis, 60.0f, LgCombineReplace);
    LgMatrixTranslate(&b, &move, LgCombinePostConcat);
    LgMatrix ab;
    LgMatrixMultiply(&ab, &a, &b);
    const LgVector p = {0.3f, -1.0f, 2.0f};
    expect_near(apply(ab, p), apply(b, apply(a, p)), 1e-4f);
}

TEST_F(Matrices, MultiplyIntoEitherOperandMatchesASeparateDestination) {
    const LgMatrix a = general();
    LgMatrix b = identity();
    const LgVector axis = {1.0f, 0.0f, 1.0f};
    LgMatrixRotate(&b, &axis, 20.0f, LgCombineReplace);
    LgMatrix expected;
    LgMatrixMultiply(&expected, &a, &b);
    LgMatrix intoA = a;
    LgMatrixMultiply(&intoA, &intoA, &b);
    LgMatrix intoB = b;
    LgMatrixMultiply(&intoB, &a, &intoB);
    expect_same_elements(intoA, expected, 0.0f);
    expect_same_elements(intoB, expected, 0.0f);
}

struct FlagCase {
    uint32_t a, b, dstBefore, dstAfter;
};

TEST_F(Matrices, MultiplyKeepsTheOrthonormalMarkOnlyWhenBothOperandsHaveIt) {
    const FlagCase cases[] = {
        {3, 3, 3, 3},       {3, 3, 0, 0},                     // the destination keeps its own bits
        {3, 0, 3, 0},       {0, 3, 3, 0}, {1, 2, 0x20003, 3}, // any nonzero mark counts
        {3, 3, 0x20003, 3},
    };
    for (const FlagCase& c : cases) {
        LgMatrix a = general(), b = general(), dst = identity();
        a.flags = c.a;
        b.flags = c.b;
        dst.flags = c.dstBefore;
        LgMatrixMultiply(&dst, &a, &b);
        EXPECT_EQ(dst.flags, c.dstAfter) << c.a << " " << c.b << " " << c.dstBefore;
    }
}

TEST_F(Matrices, TheDriverMultiplyAgreesWithThePortableOne) {
    const LgMatrix a = general();
    LgMatrix b = general();
    const LgVector axis = {0.0f, 0.0f, 1.0f};
    LgMatrixRotate(&b, &axis, 75.0f, LgCombinePreConcat);
    LgMatrix portable, driver;
    LgMatrixMultiplyPortable(&portable, &a, &b);
    LgMatrixMultiplyAsm(&driver, &a, &b);
    expect_same_elements(driver, portable, 1e-5f);
    LgMatrix id = identity();
    LgMatrixMultiplyAsm(&driver, &a, &id);
    expect_same_elements(driver, a, 0.0f);

    LgMatrixSetMultiplyRoutine(LgMatrixMultiplyAsm);
    LgMatrix installed;
    LgMatrixMultiply(&installed, &a, &b);
    LgMatrixSetMultiplyRoutine(nullptr);
    expect_same_elements(installed, driver = portable, 1e-5f);
    LgFpuSetSingleRoundDown();
    LgFpuRestore();
}

TEST_F(Matrices, RotateFollowsTheRightHandRuleWhateverTheAxisLength) {
    LgMatrix m = identity(), n = identity();
    const LgVector y1 = {0.0f, 1.0f, 0.0f}, y2 = {0.0f, 2.0f, 0.0f};
    ASSERT_EQ(LgMatrixRotate(&m, &y1, 90.0f, LgCombineReplace), &m);
    LgMatrixRotate(&n, &y2, 90.0f, LgCombineReplace);
    expect_same_elements(m, n, 0.0f);
    expect_near(m.right, {0.0f, 0.0f, -1.0f}, 1e-6f, "x turns to -z about y");
    expect_near(m.at, {1.0f, 0.0f, 0.0f}, 1e-6f, "z turns to x about y");
    EXPECT_EQ(m.flags & LgMatrixFlagIdentity, 0u);
    EXPECT_EQ(m.flags & LgMatrixFlagOrthonormal, LgMatrixFlagOrthonormal) << "kept its own flags";
}

TEST_F(Matrices, PreAndPostConcatenationOrderTheTransforms) {
    const LgVector z = {0.0f, 0.0f, 1.0f};
    const LgVector move = {5.0f, 0.0f, 0.0f};
    LgMatrix pre = identity(), post = identity();
    LgMatrixTranslate(&pre, &move, LgCombineReplace);
    LgMatrixRotate(&pre, &z, 90.0f, LgCombinePreConcat); // rotate, then move
    LgMatrixTranslate(&post, &move, LgCombineReplace);
    LgMatrixRotate(&post, &z, 90.0f, LgCombinePostConcat); // move, then rotate
    const LgVector p = {1.0f, 0.0f, 0.0f};
    expect_near(apply(pre, p), {5.0f, 1.0f, 0.0f}, 1e-5f);
    expect_near(apply(post, p), {0.0f, 6.0f, 0.0f}, 1e-5f);

    LgMatrix scaled = identity();
    const LgVector s = {2.0f, 3.0f, 4.0f};
    LgMatrixTranslate(&scaled, &move, LgCombineReplace);
    LgMatrixScale(&scaled, &s, LgCombinePostConcat);
    expect_near(apply(scaled, p), {12.0f, 0.0f, 0.0f}, 0.0f);
    EXPECT_EQ(scaled.flags & 0x20003u, 0u);
    LgMatrixTranslate(&scaled, &move, LgCombinePreConcat);
    expect_near(scaled.pos, {20.0f, 0.0f, 0.0f}, 0.0f);
}

TEST_F(Matrices, AnInvalidCombineTypeChangesNothing) {
    const LgVector axis = {0.0f, 1.0f, 0.0f};
    LgMatrix m = general();
    const LgMatrix before = m;
    EXPECT_EQ(LgMatrixRotate(&m, &axis, 30.0f, 3), nullptr);
    EXPECT_EQ(LgMatrixScale(&m, &axis, 3), nullptr);
    EXPECT_EQ(LgMatrixTranslate(&m, &axis, -1), nullptr);
    EXPECT_EQ(std::memcmp(&m, &before, sizeof(LgMatrix)), 0);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrInvalidArgument}));
}

TEST_F(Matrices, TranslateReplaceIsAnOrthonormalNonIdentity) {
    LgMatrix m = general();
    const LgVector v = {1.0f, 2.0f, 3.0f};
    LgMatrixTranslate(&m, &v, LgCombineReplace);
    EXPECT_EQ(m.flags & 0x20003u, LgMatrixFlagOrthonormal);
    expect_near(m.right, {1.0f, 0.0f, 0.0f}, 0.0f);
    expect_near(m.pos, v, 0.0f);
}

TEST_F(Matrices, InvertUndoesTheMatrix) {
    LgMatrix ortho = identity();
    const LgVector axis = {1.0f, 1.0f, 0.0f};
    const LgVector move = {3.0f, 2.0f, 1.0f};
    LgMatrixRotate(&ortho, &axis, 40.0f, LgCombineReplace);
    LgMatrixTranslate(&ortho, &move, LgCombinePostConcat);
    const LgMatrix cases[] = {ortho, general()};
    for (const LgMatrix& m : cases) {
        LgMatrix inverse = identity();
        inverse.flags = 0;
        LgMatrixInvert(&inverse, &m);
        const LgVector p = {0.7f, -2.0f, 5.0f};
        expect_near(apply(inverse, apply(m, p)), p, 1e-4f);
        LgMatrix inPlace = m;
        LgMatrixInvert(&inPlace, &inPlace);
        expect_same_elements(inPlace, inverse, 0.0f);
    }
    LgMatrix inverse = identity();
    inverse.flags = 0;
    LgMatrixInvert(&inverse, &ortho);
    EXPECT_EQ(inverse.flags, LgMatrixFlagOrthonormal);
}

TEST_F(Matrices, InvertingASingularMatrixStaysFinite) {
    LgMatrix m = identity();
    m.at = {0.0f, 0.0f, 0.0f};
    LgMatrixMarkChanged(&m);
    LgMatrix inverse;
    inverse.flags = 0;
    LgMatrixInvert(&inverse, &m);
    for (float v : {inverse.right.x, inverse.up.y, inverse.at.z, inverse.pos.x})
        EXPECT_TRUE(std::isfinite(v));
}

TEST_F(Matrices, OrthoNormalizeRepairsDriftAndZeroRows) {
    LgMatrix drifted = general();
    LgMatrix zeroRight = identity(), zeroUp = identity(), zeroAt = identity();
    zeroRight.right = {0.0f, 0.0f, 0.0f};
    zeroUp.up = {0.0f, 0.0f, 0.0f};
    zeroAt.at = {0.0f, 0.0f, 0.0f};
    for (LgMatrix* m : {&drifted, &zeroRight, &zeroUp, &zeroAt}) {
        LgMatrixMarkChanged(m);
        LgMatrix out;
        out.flags = 0x20000;
        LgMatrixOrthoNormalize(&out, m);
        EXPECT_LT(LgMatrixOrthogonalError(&out), 1e-5f);
        EXPECT_LT(LgMatrixNormalError(&out), 1e-5f);
        EXPECT_NEAR(LgMatrixDeterminant(&out), 1.0f, 1e-3f) << "right-handed";
        EXPECT_EQ(out.flags, LgMatrixFlagOrthonormal);
        expect_near(out.pos, m->pos, 0.0f);
    }
    LgMatrix fixed;
    LgMatrixOrthoNormalize(&fixed, &zeroRight);
    expect_near(fixed.right, {1.0f, 0.0f, 0.0f}, 1e-6f, "rebuilt from up x at");
}

TEST_F(Matrices, ErrorMeasuresOfAKnownMatrix) {
    LgMatrix m = identity();
    m.right = {2.0f, 0.0f, 0.0f};
    m.up = {1.0f, 1.0f, 0.0f};
    LgMatrixMarkChanged(&m);
    EXPECT_EQ(LgMatrixDeterminant(&m), 2.0f);
    EXPECT_EQ(LgMatrixOrthogonalError(&m), 4.0f);    // right.up = 2
    EXPECT_EQ(LgMatrixNormalError(&m), 9.0f + 1.0f); // (4-1)^2 + (2-1)^2
}

struct QueryCase {
    LgVector axis;
    float angle;
    LgVector center; // perpendicular to the axis
    LgVector axisOut;
    float angleOut;
};

TEST_F(Matrices, QueryRotateRecoversAxisAngleAndCentre) {
    const QueryCase cases[] = {
        {{0, 0, 1}, 30.0f, {0, 0, 0}, {0, 0, 1}, 30.0f},
        {{0, 3, 0}, 90.0f, {1, 0, 2}, {0, 1, 0}, 90.0f},
        {{1, 1, 1}, 135.0f, {1, -1, 0}, {0.57735f, 0.57735f, 0.57735f}, 135.0f},
        {{1, 0, 0}, 180.0f, {0, 2, 3}, {1, 0, 0}, 180.0f},
        {{0, 1, 0}, -45.0f, {4, 0, 0}, {0, -1, 0}, 45.0f},
        {{1, 2, 2}, 179.5f, {0, 1, -1}, {1 / 3.0f, 2 / 3.0f, 2 / 3.0f}, 179.5f},
    };
    for (const QueryCase& c : cases) {
        // Rotation about the axis through the centre: move to the origin, rotate, move back.
        LgMatrix m = identity();
        const LgVector away = {-c.center.x, -c.center.y, -c.center.z};
        LgMatrixTranslate(&m, &away, LgCombineReplace);
        LgMatrixRotate(&m, &c.axis, c.angle, LgCombinePostConcat);
        LgMatrixTranslate(&m, &c.center, LgCombinePostConcat);
        LgVector axis, center;
        float angle;
        ASSERT_EQ(LgMatrixQueryRotate(&m, &axis, &angle, &center), &m);
        EXPECT_NEAR(angle, c.angleOut, 2e-3f) << c.angle;
        if (c.angleOut == 180.0f && axis.x < 0.0f) // either direction is the same half turn
            axis = {-axis.x, -axis.y, -axis.z};
        expect_near(axis, c.axisOut, 1e-4f, "axis");
        expect_near(center, c.center, 1e-3f, "centre");

        LgMatrix rebuilt = identity();
        const LgVector back = {-center.x, -center.y, -center.z};
        LgMatrixTranslate(&rebuilt, &back, LgCombineReplace);
        LgMatrixRotate(&rebuilt, &axis, angle, LgCombinePostConcat);
        LgMatrixTranslate(&rebuilt, &center, LgCombinePostConcat);
        expect_same_elements(rebuilt, m, 1e-3f);
    }
}

TEST_F(Matrices, QueryRotateOfNoRotationGivesAZeroAxis) {
    LgMatrix m = identity();
    LgVector axis, center;
    float angle = 1.0f;
    LgMatrixQueryRotate(&m, &axis, &angle, &center);
    EXPECT_EQ(angle, 0.0f);
    expect_near(axis, {0, 0, 0}, 0.0f);
}

} // namespace
