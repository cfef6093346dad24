// Cameras: defaults and depth scaling, view matrices and frusta of known poses, the sphere
// test, and begin/end update, clear and show against a null device.
#include "tests/engine/core/null_device.h"

#include <gtest/gtest.h>

#include <cmath>

using enginetest::NullDeviceEngine;
using enginetest::recorded_error;

namespace {

constexpr float tolerance = 2e-3f; // the engine normalises with its table square roots

LgVector apply(const LgMatrix& m, const LgVector& p) {
    return {p.x * m.right.x + p.y * m.up.x + p.z * m.at.x + m.pos.x,
            p.x * m.right.y + p.y * m.up.y + p.z * m.at.y + m.pos.y,
            p.x * m.right.z + p.y * m.up.z + p.z * m.at.z + m.pos.z};
}

void expect_near(const LgVector& actual, const LgVector& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

class Cameras : public ::testing::Test {
protected:
    Cameras() {
        camera = LgCameraCreate();
        frame = LgFrameCreate();
    }
    ~Cameras() override {
        if (camera != nullptr) LgCameraDestroy(camera);
        LgFrameDestroy(frame);
    }

    // Places the camera's frame by its rows and brings the camera up to date.
    void place(const LgVector& right, const LgVector& up, const LgVector& at, const LgVector& pos) {
        LgMatrix* m = LgFrameGetMatrix(frame);
        m->right = right;
        m->up = up;
        m->at = at;
        m->pos = pos;
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(frame);
        LgCameraSetFrame(camera, frame);
        LgFrameSyncAllDirty();
    }

    NullDeviceEngine engine;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
};

TEST_F(Cameras, ANewCameraHasTheDocumentedDefaults) {
    ASSERT_TRUE(engine.engine.ok);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->object.header.type, LgObjectTypeCamera);
    EXPECT_EQ(LgCameraGetProjection(camera), LgCameraPerspective);
    EXPECT_FLOAT_EQ(LgCameraGetNearClipPlane(camera), 0.05f);
    EXPECT_FLOAT_EQ(LgCameraGetFarClipPlane(camera), 10.0f);
    EXPECT_FLOAT_EQ(LgCameraGetFogDistance(camera), 5.0f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(camera)->x, 1.0f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(camera)->y, 1.0f);
    EXPECT_FLOAT_EQ(camera->recipViewWindow.x, 1.0f);
    EXPECT_EQ(LgCameraGetRaster(camera), nullptr);
    EXPECT_EQ(LgCameraGetFrame(camera), nullptr);
}

// The depth mapping puts the far plane just inside the device's far value and the near plane
// just inside its near value (device range 0 .. 0.9999).
TEST_F(Cameras, DepthScaleMapsTheClipPlanesJustInsideTheDeviceRange) {
    struct Case {
        uint32_t projection;
        float nearPlane, farPlane;
    };
    const float top = 0.9999f + (0.0f - 0.9999f) * 0.0001f;
    const float bottom = 0.0f + top * 0.0001f;
    for (const Case& c : {Case{LgCameraPerspective, 0.05f, 10.0f},
                          Case{LgCameraPerspective, 1, 500}, Case{LgCameraParallel, 0.5f, 20.0f}}) {
        LgCameraSetProjection(camera, c.projection);
        LgCameraSetNearClipPlane(camera, c.nearPlane);
        LgCameraSetFarClipPlane(camera, c.farPlane);
        const bool persp = c.projection == LgCameraPerspective;
        const float atFar = persp ? 1.0f / c.farPlane : c.farPlane;
        const float atNear = persp ? 1.0f / c.nearPlane : c.nearPlane;
        EXPECT_NEAR(camera->zScale * atFar + camera->zShift, top, 1e-5f);
        EXPECT_NEAR(camera->zScale * atNear + camera->zShift, bottom, 1e-5f);
    }
}

TEST_F(Cameras, AnUnknownProjectionIsRefusedAndChangesNothing) {
    const float scale = camera->zScale;
    EXPECT_EQ(LgCameraSetProjection(camera, 3), nullptr);
    EXPECT_EQ(LgCameraGetProjection(camera), LgCameraPerspective);
    EXPECT_EQ(camera->zScale, scale);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrInvalidArgument}));
}

// Looking down +z from the origin with a 1 x 1 window: the view matrix maps a point to
// normalised window coordinates (x'/z', y'/z' in 0..1, growing against right and up).
TEST_F(Cameras, PerspectiveViewMatrixOfTheIdentityPose) {
    LgCameraSetNearClipPlane(camera, 1.0f);
    place({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    const LgMatrix& v = *LgCameraGetViewMatrix(camera);
    expect_near(apply(v, {0, 0, 4}), {2, 2, 4}, "on the axis: centre of the window");
    expect_near(apply(v, {1, 1, 1}), {0, 0, 1}, "right-up corner at unit distance");
    expect_near(apply(v, {-2, -2, 2}), {2, 2, 2}, "left-down corner at distance 2");
    EXPECT_EQ(v.flags & LgMatrixFlagIdentity, 0u);
}

TEST_F(Cameras, PerspectiveFrustumOfTheIdentityPose) {
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 10.0f);
    place({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    expect_near(camera->frustumCorners[0], {1, 1, 1}, "near corner 0");
    expect_near(camera->frustumCorners[2], {-1, -1, 1}, "near corner 2");
    expect_near(camera->frustumCorners[4], {10, 10, 10}, "far corner 0");
    expect_near(camera->frustumCorners[6], {-10, -10, 10}, "far corner 2");
    const LgFrustumPlane* p = camera->frustumPlanes;
    expect_near(p[0].normal, {0, 0, 1}, "far normal");
    EXPECT_NEAR(p[0].distance, 10.0f, tolerance);
    expect_near(p[1].normal, {0, 0, -1}, "near normal");
    EXPECT_NEAR(p[1].distance, -1.0f, tolerance);
    // The four sides pass through the eye and lean outward at 45 degrees.
    const float s = std::sqrt(0.5f);
    std::vector<LgVector> expectedSides = {{s, 0, -s}, {-s, 0, -s}, {0, s, -s}, {0, -s, -s}};
    for (int k = 2; k < 6; ++k) {
        EXPECT_NEAR(p[k].distance, 0.0f, tolerance);
        bool found = false;
        for (const LgVector& e : expectedSides)
            found |= std::fabs(p[k].normal.x - e.x) < tolerance &&
                     std::fabs(p[k].normal.y - e.y) < tolerance &&
                     std::fabs(p[k].normal.z - e.z) < tolerance;
        EXPECT_TRUE(found) << "side plane " << k;
        EXPECT_EQ(p[k].closestX, p[k].normal.x >= 0.0f);
        EXPECT_EQ(p[k].closestZ, 0) << "sides face back toward the eye";
    }
    expect_near(camera->frustumBoundBox.inf, {-10, -10, 1}, "box min");
    expect_near(camera->frustumBoundBox.sup, {10, 10, 10}, "box max");
}

TEST_F(Cameras, ParallelFrustumIsABoxAlongTheAxis) {
    const LgVector2 window = {2.0f, 1.0f};
    LgCameraSetViewWindow(camera, &window);
    LgCameraSetProjection(camera, LgCameraParallel);
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 5.0f);
    place({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    expect_near(camera->frustumCorners[0], {2, 1, 1}, "near corner 0");
    expect_near(camera->frustumCorners[6], {-2, -1, 5}, "far corner 2");
    const LgMatrix& v = *LgCameraGetViewMatrix(camera);
    expect_near(apply(v, {0, 0, 3}), {0.5f, 0.5f, 3}, "axis maps to the window centre");
    expect_near(apply(v, {-2, -1, 3}), {1, 1, 3}, "the window edge maps to 1");
    const LgSphere inside = {{1.5f, 0.5f, 2.0f}, 0.4f};
    const LgSphere beside = {{2.5f, 0.0f, 2.0f}, 0.4f};
    EXPECT_EQ(LgCameraFrustumTestSphere(camera, &inside), LgFrustumInside);
    EXPECT_EQ(LgCameraFrustumTestSphere(camera, &beside), LgFrustumOutside);
}

// Whatever the pose, projection and offset, the view matrix sends the frustum's corners to the
// corners of the normalised window at the near and far depths.
TEST_F(Cameras, CornersProjectToTheWindowCornersForEveryPose) {
    struct Case {
        uint32_t projection;
        LgVector2 window, offset;
    };
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    for (const Case& k : {Case{LgCameraPerspective, {0.5f, 0.375f}, {0, 0}},
                          Case{LgCameraPerspective, {0.7f, 0.5f}, {0.2f, -0.1f}},
                          Case{LgCameraParallel, {3.0f, 2.0f}, {0, 0}},
                          Case{LgCameraParallel, {3.0f, 2.0f}, {0.5f, 0.25f}}}) {
        LgCameraSetProjection(camera, k.projection);
        LgCameraSetViewWindow(camera, &k.window);
        LgCameraSetViewOffset(camera, &k.offset);
        LgCameraSetNearClipPlane(camera, 0.5f);
        LgCameraSetFarClipPlane(camera, 40.0f);
        // Turned about y and moved away from the origin.
        place({c, 0, -s}, {0, 1, 0}, {s, 0, c}, {3, -2, 7});
        const LgMatrix& v = *LgCameraGetViewMatrix(camera);
        for (int i = 0; i < 8; ++i) {
            const LgVector q = apply(v, camera->frustumCorners[i]);
            const float depth = i < 4 ? 0.5f : 40.0f;
            const float div = k.projection == LgCameraPerspective ? q.z : 1.0f;
            EXPECT_NEAR(q.z, depth, 1e-3f * depth);
            EXPECT_NEAR(q.x / div, (i % 4 == 1 || i % 4 == 2) ? 1.0f : 0.0f, tolerance) << i;
            EXPECT_NEAR(q.y / div, (i % 4 >= 2) ? 1.0f : 0.0f, tolerance) << i;
        }
        // Every plane faces away from the frustum's centre.
        LgVector centre = {0, 0, 0};
        for (const LgVector& corner : camera->frustumCorners)
            centre = {centre.x + corner.x / 8, centre.y + corner.y / 8, centre.z + corner.z / 8};
        for (const LgFrustumPlane& p : camera->frustumPlanes)
            EXPECT_LT(LgVectorDotProduct(&p.normal, &centre) - p.distance, 0.0f);
    }
}

TEST_F(Cameras, SphereTestAgainstThePlanes) {
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 10.0f);
    place({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    struct Case {
        LgSphere sphere;
        int32_t expected;
        const char* what;
    };
    const Case cases[] = {
        {{{0, 0, 5}, 1}, LgFrustumInside, "well inside"},
        {{{0, 0, 9}, 1}, LgFrustumInside, "touching the far plane from inside (d = -r)"},
        {{{0, 0, 11}, 1}, LgFrustumBoundary, "touching the far plane from outside (d = r)"},
        {{{0, 0, 10.5f}, 1}, LgFrustumBoundary, "crossing the far plane"},
        {{{0, 0, 12}, 1}, LgFrustumOutside, "beyond the far plane"},
        {{{0, 0, 0}, 0.5f}, LgFrustumOutside, "behind the near plane"},
        {{{30, 0, 5}, 1}, LgFrustumOutside, "far to one side"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LgCameraFrustumTestSphere(camera, &c.sphere), c.expected) << c.what;
}

TEST_F(Cameras, MovingTheFrameRebuildsTheViewAtTheNextBeginUpdate) {
    place({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    const LgVector move = {0, 0, 5};
    LgMatrixTranslate(LgFrameGetMatrix(frame), &move, LgCombineReplace);
    LgFrameMarkDirty(frame);
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    expect_near(apply(*LgCameraGetViewMatrix(camera), {0, 0, 6}), {0.5f, 0.5f, 1}, "after move");
    ASSERT_EQ(LgCameraEndUpdate(camera), camera);
}

TEST_F(Cameras, BeginAndEndUpdateReachTheDeviceAndTrackTheCurrentCamera) {
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    EXPECT_EQ(LgCameraGetCurrent(), camera);
    EXPECT_EQ(engine.device.count(LgStdCameraBeginUpdate), 1);
    EXPECT_EQ(engine.device.calls.back().out, camera);
    ASSERT_EQ(LgCameraEndUpdate(camera), camera);
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
    EXPECT_EQ(engine.device.count(LgStdCameraEndUpdate), 1);
}

TEST_F(Cameras, ARefusedBeginLeavesTheCameraCurrentAndARefusedEndKeepsIt) {
    engine.device.slotResults[LgStdCameraBeginUpdate] = 0;
    EXPECT_EQ(LgCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(LgCameraGetCurrent(), camera);
    engine.device.slotResults[LgStdCameraEndUpdate] = 0;
    EXPECT_EQ(LgCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(LgCameraGetCurrent(), camera);
    engine.device.slotResults[LgStdCameraEndUpdate] = 1;
    EXPECT_EQ(LgCameraEndUpdate(camera), camera);
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
}

TEST_F(Cameras, DestroyingTheCurrentCameraClearsIt) {
    LgCameraBeginUpdate(camera);
    LgCameraDestroy(camera);
    camera = nullptr;
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
}

TEST_F(Cameras, ClearAndShowGoToTheDevice) {
    const LgRGBA sky = {10, 20, 30, 255};
    EXPECT_EQ(LgCameraClear(camera, &sky, LgCameraClearImage | LgCameraClearZ), camera);
    const enginetest::StandardCall& clear = engine.device.calls.back();
    EXPECT_EQ(clear.slot, LgStdCameraClear);
    EXPECT_EQ(clear.out, camera);
    EXPECT_EQ(clear.number, 3);
    EXPECT_EQ(clear.colour.blue, 30);
    engine.device.slotResults[LgStdCameraClear] = 0;
    EXPECT_EQ(LgCameraClear(camera, &sky, 3), nullptr);

    EXPECT_EQ(LgCameraShowRaster(camera, nullptr, 0), nullptr) << "no raster to show";
    LgRaster* raster = LgRasterCreate(64, 48, 32, LgRasterTypeCamera);
    LgCameraSetRaster(camera, raster);
    int window = 0;
    EXPECT_EQ(LgCameraShowRaster(camera, &window, 1), camera);
    EXPECT_EQ(engine.device.calls.back().slot, LgStdRasterShow);
    EXPECT_EQ(engine.device.calls.back().out, raster);
    EXPECT_EQ(engine.device.calls.back().in, &window);
    EXPECT_EQ(engine.device.calls.back().number, 1);
    LgRasterDestroy(raster);
}

int constructed = 0, destructed = 0;

TEST(CameraPlugins, SlicesAreConstructedAtCreateAndDestroyedAtDestroy) {
    int32_t offset = -1;
    NullDeviceEngine engine([&] {
        offset = LgCameraRegisterPlugin(
            4, 0x7f1,
            [](void* o, int32_t off, int32_t) -> void* {
                ++constructed;
                *reinterpret_cast<int32_t*>(static_cast<char*>(o) + off) = 77;
                return o;
            },
            [](void* o, int32_t, int32_t) -> void* {
                ++destructed;
                return o;
            },
            nullptr);
    });
    ASSERT_TRUE(engine.engine.ok);
    ASSERT_GE(offset, static_cast<int32_t>(sizeof(LgCamera)));
    LgCamera* camera = LgCameraCreate();
    EXPECT_EQ(*reinterpret_cast<int32_t*>(reinterpret_cast<char*>(camera) + offset), 77);
    LgCameraDestroy(camera);
    EXPECT_EQ(constructed, 1);
    EXPECT_EQ(destructed, 1);
}

TEST(BoundingBoxes, ContainmentIsInclusiveAndBoxesGrowToHoldTheirPoints) {
    const LgVector points[] = {{1, 5, -2}, {-3, 0, 4}, {2, -1, 0}};
    LgBBox box;
    LgBBoxFromPoints(&box, points, 3);
    EXPECT_EQ(box.sup.x, 2);
    EXPECT_EQ(box.sup.y, 5);
    EXPECT_EQ(box.sup.z, 4);
    EXPECT_EQ(box.inf.x, -3);
    EXPECT_EQ(box.inf.y, -1);
    EXPECT_EQ(box.inf.z, -2);
    const LgVector onFace = {2, 0, 0}, onCorner = {-3, -1, -2}, outside = {2.001f, 0, 0};
    EXPECT_EQ(LgBBoxContainsPoint(&box, &onFace), 1);
    EXPECT_EQ(LgBBoxContainsPoint(&box, &onCorner), 1);
    EXPECT_EQ(LgBBoxContainsPoint(&box, &outside), 0);
    LgBBoxFromPoint(&box, &outside);
    EXPECT_EQ(LgBBoxContainsPoint(&box, &outside), 1);
    EXPECT_EQ(LgBBoxContainsPoint(&box, &onFace), 0);
}

} // namespace
