// The Bezier curve component: control points with their parameters and index checks, and the
// point, tangent and second derivative against the cubic's closed forms.
#include "framework/core/object_manager.h"
#include "game/world/om_bezier_curve.h"
#include "tests/support/framework_fixture.h"

#include <gtest/gtest.h>

#include <array>

namespace {

class BezierTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(OmBezierCurve_RegisterClasses(OmGetObjectManager()), OM_S_OK);
        ASSERT_EQ(OmCreateInstance(CLSID_OmBezierCurve, nullptr, 0, IID_IOmBezierCurve,
                                   reinterpret_cast<void**>(&curve)),
                  OM_S_OK);
    }
    void TearDown() override {
        curve->Release();
        FrameworkTest::TearDown();
    }
    void set(const LgVector (&points)[4]) {
        for (uint32_t i = 0; i < 4; ++i) ASSERT_EQ(curve->SetPoint(i, &points[i]), OM_S_OK);
    }
    IOmBezierCurve* curve = nullptr;
};

void expect_near(const LgVector& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

TEST_F(BezierTest, NewCurveIsZeroEverywhere) {
    EXPECT_EQ(curve->GetPointCount(), 4);
    for (float t : {-1.0f, 0.0f, 0.3f, 1.0f, 2.5f}) {
        LgVector p{9, 9, 9}, d{9, 9, 9}, c{9, 9, 9};
        curve->Evaluate(&p, t);
        curve->Tangent(&d, t);
        curve->Curvature(&c, t);
        expect_near(p, 0, 0, 0);
        expect_near(d, 0, 0, 0);
        expect_near(c, 0, 0, 0);
    }
}

TEST_F(BezierTest, PointsKeepTheirParameterAndBadIndicesChangeNothing) {
    const LgVector points[4] = {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 2}};
    set(points);
    for (uint32_t i = 0; i < 4; ++i) {
        LgVector p{};
        float t = -1.0f;
        ASSERT_EQ(curve->GetPoint(i, &p, &t), OM_S_OK);
        expect_near(p, points[i].x, points[i].y, points[i].z);
        EXPECT_FLOAT_EQ(t, float(i) * 0.33333334f);
    }
    LgVector p{};
    EXPECT_EQ(curve->GetPoint(1, &p, nullptr), OM_S_OK);
    const LgVector stray{7, 7, 7};
    for (uint32_t bad : {4u, 5u, uint32_t(-1)}) {
        EXPECT_EQ(curve->SetPoint(bad, &stray), OM_E_FAIL);
        LgVector untouched{5, 5, 5};
        float t = 5.0f;
        EXPECT_EQ(curve->GetPoint(bad, &untouched, &t), OM_E_FAIL);
        expect_near(untouched, 5, 5, 5);
        EXPECT_EQ(t, 5.0f);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        curve->GetPoint(i, &p, nullptr);
        expect_near(p, points[i].x, points[i].y, points[i].z);
    }
    EXPECT_EQ(curve->InsertPoint(0, &stray, 0.5f), OM_E_FAIL);
    EXPECT_EQ(curve->RemovePoint(0, &p, nullptr), OM_E_FAIL);
}

TEST_F(BezierTest, PointTangentAndCurvatureFollowTheCubic) {
    const LgVector p[4] = {{0, 0, 0}, {1, 3, -1}, {4, 3, 2}, {5, -1, 6}};
    set(p);
    // The cubic written out per component, with its derivatives.
    auto cubic = [&](float t, int axis) {
        const float c[4] = {(&p[0].x)[axis], (&p[1].x)[axis], (&p[2].x)[axis], (&p[3].x)[axis]};
        const float s = 1 - t;
        const float point =
            s * s * s * c[0] + 3 * t * s * s * c[1] + 3 * t * t * s * c[2] + t * t * t * c[3];
        const float first =
            3 * s * s * (c[1] - c[0]) + 6 * s * t * (c[2] - c[1]) + 3 * t * t * (c[3] - c[2]);
        const float second = 6 * s * (c[2] - 2 * c[1] + c[0]) + 6 * t * (c[3] - 2 * c[2] + c[1]);
        return std::array<float, 3>{point, first, second};
    };
    for (float t : {0.0f, 0.25f, 0.5f, 0.8f, 1.0f, -0.5f, 1.5f}) {
        LgVector v[3];
        ASSERT_EQ(curve->Evaluate(&v[0], t), OM_S_OK);
        ASSERT_EQ(curve->Tangent(&v[1], t), OM_S_OK);
        ASSERT_EQ(curve->Curvature(&v[2], t), OM_S_OK);
        for (int k = 0; k < 3; ++k)
            expect_near(v[k], cubic(t, 0)[k], cubic(t, 1)[k], cubic(t, 2)[k]);
    }
    LgVector v;
    curve->Evaluate(&v, 0.0f);
    expect_near(v, 0, 0, 0);
    curve->Evaluate(&v, 1.0f);
    expect_near(v, 5, -1, 6);
    curve->Tangent(&v, 0.0f);
    expect_near(v, 3, 9, -3); // 3 (P1 - P0)
}

} // namespace
