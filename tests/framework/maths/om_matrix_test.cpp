// The affine matrix routines: combines, rotations and their query, inverses and
// orthonormalisation.
#include "framework/maths/om_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr OmMatrix identity = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};

// Axes normalised by the fast routine are only within a few percent of unit length.
constexpr float fast_tolerance = 0.05f;

void expect_vector_near(const OmVector3& v, float x, float y, float z, const char* what,
                        float tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, x, tolerance) << what;
    EXPECT_NEAR(v.y, y, tolerance) << what;
    EXPECT_NEAR(v.z, z, tolerance) << what;
}

void expect_matrix_near(const OmMatrix& a, const OmMatrix& b) {
    expect_vector_near(a.right, b.right.x, b.right.y, b.right.z, "right");
    expect_vector_near(a.up, b.up.x, b.up.y, b.up.z, "up");
    expect_vector_near(a.at, b.at.x, b.at.y, b.at.z, "at");
    expect_vector_near(a.position, b.position.x, b.position.y, b.position.z, "position");
}

bool same(const OmMatrix& a, const OmMatrix& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A rotation with a translation and a non-uniform scale: a general affine matrix.
OmMatrix general_matrix() {
    OmMatrix m = identity;
    const OmVector3 axis{1, 2, 3}, scale{2, 3, 0.5f}, offset{4, -5, 6};
    OmMatrixRotate(&m, &axis, 40, OM_COMBINE_REPLACE);
    OmMatrixScale(&m, &scale, OM_COMBINE_PRECONCAT);
    OmMatrixTranslate(&m, &offset, OM_COMBINE_POSTCONCAT);
    return m;
}

TEST(OmMatrixTest, ProductAppliesTheLeftOperandFirst) {
    OmMatrix scale, move, product;
    const OmVector3 s{2, 2, 2}, v{1, 0, 0};
    OmMatrixScale(&scale, &s, OM_COMBINE_REPLACE);
    OmMatrixTranslate(&move, &v, OM_COMBINE_REPLACE);
    OmMatrixMultiply(&product, &scale, &move);
    OmVector3 p{1, 1, 1};
    OmTransformPoint(&p, &product);
    expect_vector_near(p, 3, 2, 2, "scaled, then moved");
    OmVector3 d{1, 1, 1};
    OmTransformVector(&d, &product);
    expect_vector_near(d, 2, 2, 2, "a direction ignores the position");
}

TEST(OmMatrixTest, CombineModesPlaceTheNewTransform) {
    const OmVector3 s{2, 3, 4};
    OmMatrix m = identity;
    m.position = {1, 1, 1};
    OmMatrix pre = m, post = m;
    OmMatrixScale(&pre, &s, OM_COMBINE_PRECONCAT);
    expect_vector_near(pre.position, 1, 1, 1, "scale before: position unchanged");
    expect_vector_near(pre.up, 0, 3, 0, "up scaled");
    OmMatrixScale(&post, &s, OM_COMBINE_POSTCONCAT);
    expect_vector_near(post.position, 2, 3, 4, "scale after: position scaled");

    const OmVector3 v{1, 0, 0};
    OmMatrix rotated = identity;
    const OmVector3 z{0, 0, 1};
    OmMatrixRotate(&rotated, &z, 90, OM_COMBINE_REPLACE);
    OmMatrix t_pre = rotated, t_post = rotated;
    OmMatrixTranslate(&t_pre, &v, OM_COMBINE_PRECONCAT);
    expect_vector_near(t_pre.position, 0, 1, 0, "moved in the rotated frame");
    OmMatrixTranslate(&t_post, &v, OM_COMBINE_POSTCONCAT);
    expect_vector_near(t_post.position, 1, 0, 0, "moved in the world");

    OmMatrix other = general_matrix(), a = rotated, b = rotated, expected;
    OmMatrixTransform(&a, &other, OM_COMBINE_PRECONCAT);
    OmMatrixMultiply(&expected, &other, &rotated);
    expect_matrix_near(a, expected);
    OmMatrixTransform(&b, &other, OM_COMBINE_POSTCONCAT);
    OmMatrixMultiply(&expected, &rotated, &other);
    expect_matrix_near(b, expected);
}

TEST(OmMatrixTest, AnUnknownModeChangesNothing) {
    const OmMatrix start = general_matrix();
    const OmVector3 v{1, 2, 3};
    OmMatrix m = start;
    OmMatrixScale(&m, &v, 3);
    OmMatrixTranslate(&m, &v, 3);
    OmMatrixRotate(&m, &v, 30, 3);
    OmMatrixTransform(&m, &identity, 3);
    OmMatrixRotateCosSin(&m, &v, 0.5f, 0.5f, -1);
    EXPECT_TRUE(same(m, start));
}

TEST(OmMatrixTest, QueryRotateFindsNinetyDegreesAboutZ) {
    OmMatrix m;
    const OmVector3 z{0, 0, 5};
    OmMatrixRotate(&m, &z, 90, OM_COMBINE_REPLACE);
    OmVector3 axis, centre;
    float radians;
    OmMatrixQueryRotate(&m, &axis, &radians, &centre);
    expect_vector_near(axis, 0, 0, 1, "axis", fast_tolerance);
    EXPECT_NEAR(radians * OM_RADIANS_TO_DEGREES, 90, 1e-3f);
}

TEST(OmMatrixTest, QueryRotateRebuildsTheAxisOfAHalfTurn) {
    OmMatrix m;
    const OmVector3 axis_in{0, 1, 1};
    OmMatrixRotate(&m, &axis_in, 180, OM_COMBINE_REPLACE);
    OmVector3 axis, centre;
    float radians;
    OmMatrixQueryRotate(&m, &axis, &radians, &centre);
    const float h = std::sqrt(0.5f);
    expect_vector_near(axis, 0, h, h, "axis from the largest diagonal element", fast_tolerance);
    EXPECT_NEAR(radians, 3.1415927f, 1e-3f);
}

TEST(OmMatrixTest, InverseUndoesAGeneralMatrix) {
    const OmMatrix m = general_matrix();
    OmMatrix inverse, product;
    OmMatrixInvert(&inverse, &m);
    OmMatrixMultiply(&product, &m, &inverse);
    expect_matrix_near(product, identity);

    OmMatrix singular = identity, adjugate;
    singular.at = {0, 0, 0};
    singular.position = {1, 2, 3};
    OmMatrixInvert(&adjugate, &singular);
    expect_vector_near(adjugate.right, 0, 0, 0, "up x at is zero");
    expect_vector_near(adjugate.at, 0, 0, 1, "the unscaled adjugate stays");
    expect_vector_near(adjugate.position, 0, 0, -3, "position through the adjugate");
}

TEST(OmMatrixTest, OrthonormalInverseTransposes) {
    OmMatrix m;
    const OmVector3 axis{1, 1, 0}, offset{3, 4, 5};
    OmMatrixRotate(&m, &axis, 33, OM_COMBINE_REPLACE);
    OmMatrixTranslate(&m, &offset, OM_COMBINE_POSTCONCAT);
    OmMatrix inverse, product;
    OmMatrixInvertOrthonormal(&inverse, &m);
    OmMatrixMultiply(&product, &m, &inverse);
    expect_matrix_near(product, identity);
}

float dot(const OmVector3& a, const OmVector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

TEST(OmMatrixTest, OrthoNormalizeMakesPerpendicularUnitAxes) {
    struct Row {
        OmMatrix in;
        OmVector3 kept_direction; // the axis the rules keep, as a unit vector
        int kept;                 // 0 right, 1 up, 2 at
    };
    const Row rows[] = {
        {{{0, 0, 0}, {0, 2, 0}, {0, 0, 3}, {7, 8, 9}}, {0, 1, 0}, 1},    // no right: keep up
        {{{2, 0, 0}, {0, 0, 0}, {0, 0, 3}, {0, 0, 0}}, {0, 0, 1}, 2},    // no up: keep at
        {{{2, 0, 0}, {0, 3, 0}, {0, 0, 0}, {0, 0, 0}}, {1, 0, 0}, 0},    // no at: keep right
        {{{1, 0.3f, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}, {0, 0, 1}, 2}, // right and up skewed
    };
    for (const Row& row : rows) {
        OmMatrix out;
        OmMatrixOrthoNormalize(&out, &row.in);
        const OmVector3* axes[] = {&out.right, &out.up, &out.at};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(dot(*axes[i], *axes[i]), 1, i == row.kept ? fast_tolerance : 1e-5f);
        EXPECT_NEAR(dot(out.right, out.up), 0, 1e-5f);
        EXPECT_NEAR(dot(out.right, out.at), 0, 1e-5f);
        EXPECT_NEAR(dot(out.up, out.at), 0, 1e-5f);
        const OmVector3& k = *axes[row.kept];
        expect_vector_near(k, row.kept_direction.x, row.kept_direction.y, row.kept_direction.z,
                           "kept axis", fast_tolerance);
        expect_vector_near(out.position, row.in.position.x, row.in.position.y, row.in.position.z,
                           "position copied");
    }
}

} // namespace
