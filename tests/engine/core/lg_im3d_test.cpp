// Immediate-mode 3D drawing: primitive patterns, clip-code dispatch, back-face tests on the
// float's bits, and the clipper's polygons, new vertices and flat-shade ring rotation.
#include "tests/engine/core/im3d_scene.h"

#include <bit>
#include <cmath>

using enginetest::Im3DScene;
using enginetest::white;

namespace {

using Triples = std::vector<std::vector<int>>;

class Im3DDraw : public Im3DScene {};

// Zig-zag strip and convex fan layouts whose triangles all face the camera.
std::vector<LgIm3DVertex> strip(const Im3DScene& s) {
    return {s.at(10, 10, 10), s.at(10, 90, 10), s.at(50, 10, 10), s.at(50, 90, 10),
            s.at(90, 10, 10)};
}
std::vector<LgIm3DVertex> fan(const Im3DScene& s) {
    return {s.at(50, 50, 10), s.at(50, 10, 10), s.at(10, 30, 10),
            s.at(10, 70, 10), s.at(50, 90, 10), s.at(90, 70, 10)};
}

TEST_F(Im3DDraw, PrimitivePatternsSubmitTheirTriangles) {
    struct Case {
        const char* what;
        int32_t type;
        bool fanLayout;
        int count;
        Triples expected;
    };
    const Case cases[] = {
        {"strip of 5", LgPrimTriStrip, false, 5, {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}}},
        {"fan of 6", LgPrimTriFan, true, 6, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5}}},
        {"list of 6", LgPrimTriList, true, 6, {{0, 1, 2}, {3, 4, 5}}},
        {"list of 2", LgPrimTriList, true, 2, {}},
        {"unknown type", 9, true, 6, {}},
    };
    for (const Case& c : cases) {
        device().draws.clear();
        std::vector<LgIm3DVertex> v = c.fanLayout ? fan(*this) : strip(*this);
        v.resize(c.count);
        ASSERT_TRUE(transform(v)) << c.what;
        EXPECT_EQ(LgIm3DRenderPrimitive(c.type), 1) << c.what;
        EXPECT_EQ(submitted_triangles(), c.expected) << c.what;
        LgIm3DEnd();
    }
}

TEST_F(Im3DDraw, LinePatternsSubmitTheirSegments) {
    struct Case {
        int32_t type;
        int count;
        Triples expected;
    };
    for (const Case& c :
         {Case{LgPrimLineList, 5, {{0, 1}, {2, 3}}},
          Case{LgPrimLineStrip, 4, {{0, 1}, {1, 2}, {2, 3}}}, Case{LgPrimLineStrip, 1, {}}}) {
        device().draws.clear();
        std::vector<LgIm3DVertex> v = fan(*this);
        v.resize(c.count);
        ASSERT_TRUE(transform(v));
        LgIm3DRenderPrimitive(c.type);
        EXPECT_EQ(submitted_lines(), c.expected) << c.type;
        LgIm3DEnd();
    }
}

TEST_F(Im3DDraw, IndexedPrimitivesTakeTheirVerticesFromTheIndicesAndSkipBadOnes) {
    ASSERT_TRUE(transform(fan(*this)));
    const uint16_t indices[] = {0, 2, 3, 0, 3, 99, 0, 4, 5};
    LgIm3DRenderIndexedPrimitive(LgPrimTriList, indices, 9);
    EXPECT_EQ(submitted_triangles(), (Triples{{0, 2, 3}, {0, 4, 5}}));
}

TEST_F(Im3DDraw, TrianglesGoOutInOneIndexedBatchPerDraw) {
    ASSERT_TRUE(transform(fan(*this)));
    LgIm3DRenderPrimitive(LgPrimTriFan);
    ASSERT_EQ(device().draws.size(), 1u);
    EXPECT_TRUE(device().draws[0].indexed);
    EXPECT_EQ(device().draws[0].type, LgPrimTriList);
    EXPECT_EQ(device().draws[0].indices.size(), 12u);
}

TEST_F(Im3DDraw, ReversedWindingIsCulled) {
    ASSERT_TRUE(transform(fan(*this)));
    LgIm3DRenderTriangle(0, 2, 1);
    LgIm3DRenderTriangle(0, 1, 2);
    EXPECT_EQ(submitted_triangles(), (Triples{{0, 1, 2}}));
}

TEST_F(Im3DDraw, EveryVertexOutsideOnePlaneDrawsNothingAtAll) {
    ASSERT_TRUE(transform({at(10, 10, 150), at(10, 90, 150), at(90, 50, 150)}));
    EXPECT_NE(LgIm3DGlobal.current->nothingToDraw, 0u);
    LgIm3DRenderPrimitive(LgPrimTriList);
    EXPECT_TRUE(device().draws.empty()) << "no device call at all";
}

TEST_F(Im3DDraw, ATriangleOutsideOnePlaneIsDroppedWhileItsNeighboursDraw) {
    // Vertices 3-5 are all left of the screen (x < 0 in camera space) but at different depths.
    ASSERT_TRUE(transform({at(10, 10, 10), at(10, 90, 10), at(90, 50, 10), at(-10, 10, 10),
                           at(-30, 90, 20), at(-5, 50, 5)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    EXPECT_EQ(submitted_triangles(), (Triples{{0, 1, 2}}));
}

// Screen positions of a polygon's vertices in submission order, taken from the fan.
std::vector<LgIm3DScreenVertex> fan_polygon(const std::vector<enginetest::ScreenTriangle>& tris) {
    std::vector<LgIm3DScreenVertex> poly;
    if (tris.empty()) return poly;
    poly = {tris[0][0], tris[0][1]};
    for (const auto& t : tris) poly.push_back(t[2]);
    return poly;
}

TEST_F(Im3DDraw, ATriangleAcrossTheNearAndASidePlaneBecomesAFanOfThree) {
    // Vertex 0 inside; vertex 1 beyond the left edge; vertex 2 behind the near plane.
    ASSERT_TRUE(transform({at(50, 20, 10), at(-5, 50, 10), at(50, 80, 0.5f)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    const auto tris = device().triangles();
    ASSERT_EQ(tris.size(), 3u) << "a pentagon";
    for (const auto& t : tris) EXPECT_EQ(t[0].x, tris[0][0].x) << "fan around one vertex";
    const float nearZ = LgIm3DGlobal.projection.nearScreenZ;
    int onNear = 0, onLeft = 0;
    for (const LgIm3DScreenVertex& v : fan_polygon(tris)) {
        onNear += v.z == nearZ;
        onLeft += v.x == 0.0f;
        EXPECT_GE(v.x, 0.0f);
        EXPECT_LE(v.x, 100.0f);
    }
    EXPECT_EQ(onNear, 2) << "two vertices made on the near plane";
    EXPECT_EQ(onLeft, 2) << "two vertices made on the left edge, exactly at x = 0";
}

TEST_F(Im3DDraw, NewVerticesInterpolateFromTheOutsideEnd) {
    // Edge from vertex 1 (behind the near plane at z 0.5) to vertex 0 (z 2), both at screen
    // x 50: the near plane (z 1) is a third of the way, so t = 1/3 from the outside end.
    const LgRGBA inside = {0, 0, 200, 255}, outside = {90, 255, 0, 0};
    ASSERT_TRUE(transform({at(50, 20, 2, inside, 1, 1), at(50, 80, 0.5f, outside, 4, 7),
                           at(80, 50, 2, inside, 1, 1)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    const auto tris = device().triangles();
    ASSERT_FALSE(tris.empty());
    const float t = (1.0f - 0.5f) / (2.0f - 0.5f);
    const int32_t f = static_cast<int32_t>(t * 255.0f) & 255;
    auto channel = [f](int a, int b) { return static_cast<uint32_t>(a + (((b - a) * f) >> 8)); };
    const uint32_t expectedColour =
        channel(0, 255) << 24 | channel(90, 0) << 16 | channel(255, 0) << 8 | channel(0, 200);
    bool found = false;
    for (const LgIm3DScreenVertex& v : fan_polygon(tris)) {
        if (source_of(v) != -1 || std::fabs(v.x - 50.0f) > 1e-3f) continue;
        found = true;
        EXPECT_EQ(v.z, LgIm3DGlobal.projection.nearScreenZ);
        EXPECT_FLOAT_EQ(v.recipZ, 1.0f) << "depth exactly on the near plane";
        EXPECT_NEAR(v.u, 4 + (1 - 4) * t, 1e-5f);
        EXPECT_NEAR(v.v, 7 + (1 - 7) * t, 1e-5f);
        EXPECT_EQ(v.colour, expectedColour);
        EXPECT_EQ(v.specular, LgIm3DGlobal.projection.fogTable[0]) << "nearer than the fog";
    }
    EXPECT_TRUE(found);
}

TEST_F(Im3DDraw, ClippingAgainstTheRightAndBottomEdgesLandsOnTheRasterEdge) {
    ASSERT_TRUE(transform({at(50, 50, 10), at(60, 150, 10), at(150, 60, 10)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    int onRight = 0, onBottom = 0;
    for (const LgIm3DScreenVertex& v : fan_polygon(device().triangles())) {
        onRight += v.x == 100.0f;
        onBottom += v.y == 100.0f;
    }
    EXPECT_EQ(onRight, 2);
    EXPECT_EQ(onBottom, 2);
}

TEST_F(Im3DDraw, FlatShadingKeepsTheFirstVertexColourOnTheFansStart) {
    const LgRGBA red = {255, 0, 0, 255}, green = {0, 255, 0, 255}, blue = {0, 0, 255, 255};
    LgRenderStateSet(LgRenderStateShadeMode, reinterpret_cast<void*>(LgShadeModeFlat));
    // First vertex inside: the fan starts with it.
    ASSERT_TRUE(transform({at(50, 20, 10, red), at(-50, 50, 10, green), at(50, 80, 10, blue)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    for (const auto& t : device().triangles()) EXPECT_EQ(source_of(t[0]), 0);
    LgIm3DEnd();
    // First vertex clipped away: the new vertex at the fan's start takes its colour.
    device().draws.clear();
    ASSERT_TRUE(transform({at(-50, 50, 10, red), at(50, 80, 10, green), at(50, 20, 10, blue)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    const auto tris = device().triangles();
    ASSERT_FALSE(tris.empty());
    for (const auto& t : tris) {
        EXPECT_EQ(source_of(t[0]), -1);
        EXPECT_EQ(t[0].colour, 0xffff0000u) << "the first vertex's colour";
    }
}

TEST_F(Im3DDraw, GouraudShadingLeavesTheInterpolatedColours) {
    const LgRGBA red = {255, 0, 0, 255}, green = {0, 255, 0, 255};
    LgRenderStateSet(LgRenderStateShadeMode, reinterpret_cast<void*>(LgShadeModeGouraud));
    ASSERT_TRUE(transform({at(-50, 50, 10, red), at(50, 80, 10, green), at(50, 20, 10, green)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    for (const auto& t : device().triangles())
        for (const auto& v : t) EXPECT_NE(v.colour, 0xffff0000u);
}

TEST_F(Im3DDraw, LinesAreCutAtTheEdgesAndKeepTheirDirection) {
    ASSERT_TRUE(transform(
        {at(50, 50, 10), at(-50, 50, 10), at(150, 150, 10), at(-10, 50, 10), at(-20, 50, 10)}));
    LgIm3DRenderLine(0, 1);
    LgIm3DRenderLine(2, 0);
    LgIm3DRenderLine(3, 4);
    const auto lines = device().lines();
    ASSERT_EQ(lines.size(), 2u) << "the line outside one plane is dropped";
    EXPECT_EQ(source_of(lines[0][0]), 0);
    EXPECT_EQ(lines[0][1].x, 0.0f);
    EXPECT_FLOAT_EQ(lines[0][1].y, 50.0f);
    EXPECT_EQ(source_of(lines[1][1]), 0);
    EXPECT_EQ(lines[1][0].x, 100.0f);
    EXPECT_EQ(lines[1][0].y, 100.0f);
}

// Back-face tests read raw buffer entries: each case writes three vertices into an open
// context and asks the test directly.
class Backfaces : public Im3DScene {
protected:
    Backfaces() {
        LgIm3DPushContext(nullptr);
        LgIm3DGlobal.current->count = 3;
        LgIm3DGlobal.inUse = 3;
    }
    ~Backfaces() override { LgIm3DPopContext(); }

    void put(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2,
             float z2) {
        const float p[3][3] = {{x0, y0, z0}, {x1, y1, z1}, {x2, y2, z2}};
        for (int i = 0; i < 3; ++i) {
            LgIm3DGlobal.cameraVertices[i].x = LgIm3DGlobal.screenVertices[i].x = p[i][0];
            LgIm3DGlobal.cameraVertices[i].y = LgIm3DGlobal.screenVertices[i].y = p[i][1];
            LgIm3DGlobal.cameraVertices[i].z = p[i][2];
        }
    }
};

TEST_F(Backfaces, ScreenAndParallelTestsDecideOnTheCrossProductsBits) {
    struct Case {
        const char* what;
        float x0, y0, x2, y2; // vertex 1 at the origin
        int32_t screen, parallel;
    };
    const Case cases[] = {
        {"positive", 1, 0, 0, 1, 0, 0},
        {"negative", 0, 1, 1, 0, 1, 1},
        {"zero area, +0", 0, -1, 0, 1, 1, 0},
        {"zero area, -0", 0, 1, 0, -1, 1, 1},
    };
    for (const Case& c : cases) {
        put(c.x0, c.y0, 1, 0, 0, 1, c.x2, c.y2, 1);
        EXPECT_EQ(LgIm3DBackfaceScreen(0, 1, 2), c.screen) << c.what;
        EXPECT_EQ(LgIm3DBackfaceParallel(0, 1, 2), c.parallel) << c.what;
    }
    put(0, 1, 1, 0, 0, 1, 0, -1, 1);
    const float cross = (0.0f - 0.0f) * (-1.0f - 0.0f) - (0.0f - 0.0f) * (1.0f - 0.0f);
    EXPECT_TRUE(std::signbit(cross)) << "the fixture really builds -0";
}

TEST_F(Backfaces, TheCameraSpaceTestAgreesWithTheScreenTestInFrontOfTheEye) {
    // The same triangles at depth 5 and 10 with their screen positions; the camera test sees
    // them in normalised camera space (x' = x/z . z).
    struct Tri {
        float s[3][2];
    };
    for (const Tri& t : {Tri{{{10, 10}, {10, 90}, {50, 10}}}, Tri{{{10, 10}, {50, 10}, {10, 90}}},
                         Tri{{{10, 10}, {30, 30}, {50, 50}}}}) {
        const float z[3] = {5, 10, 7};
        put(t.s[0][0] / 100 * z[0], t.s[0][1] / 100 * z[0], z[0], t.s[1][0] / 100 * z[1],
            t.s[1][1] / 100 * z[1], z[1], t.s[2][0] / 100 * z[2], t.s[2][1] / 100 * z[2], z[2]);
        const int32_t camera = LgIm3DBackfacePerspective(0, 1, 2);
        for (int i = 0; i < 3; ++i) {
            LgIm3DGlobal.screenVertices[i].x = t.s[i][0];
            LgIm3DGlobal.screenVertices[i].y = t.s[i][1];
        }
        EXPECT_EQ(camera, LgIm3DBackfaceScreen(0, 1, 2));
    }
}

class Im3DParallel : public Im3DScene {
protected:
    Im3DParallel() : Im3DScene(LgCameraParallel) {}
};

TEST_F(Im3DParallel, ClippingUsesTheUnitLimitAndProjectsWithoutDivision) {
    ASSERT_TRUE(begun);
    ASSERT_TRUE(transform({at(50, 20, 10), at(50, 80, 10), at(150, 50, 30)}));
    LgIm3DRenderPrimitive(LgPrimTriList);
    const auto tris = device().triangles();
    ASSERT_EQ(tris.size(), 2u) << "a quadrilateral";
    int onRight = 0;
    for (const LgIm3DScreenVertex& v : fan_polygon(tris)) {
        EXPECT_EQ(v.recipZ, 1.0f);
        onRight += v.x == 100.0f;
    }
    EXPECT_EQ(onRight, 2);
}

} // namespace

namespace {

TEST_F(Im3DDraw, AnEdgeFromMinusZeroToPlusZeroStillGivesFiniteVertices) {
    // Camera-space x of -0 counts as outside the left plane; the edge to x = +0 has length 0.
    source = {at(50, 20, 10), at(50, 80, 10), at(90, 50, 10)};
    ASSERT_TRUE(transform(source));
    LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + LgIm3DGlobal.current->first;
    cam[0].x = -0.0f;
    cam[0].clipFlags = LgClipLeft;
    cam[1].x = 0.0f;
    LgIm3DGlobal.current->nothingToDraw = 0;
    LgIm3DRenderPrimitive(LgPrimTriList);
    for (const auto& t : device().triangles())
        for (const auto& v : t) {
            EXPECT_TRUE(std::isfinite(v.x));
            EXPECT_TRUE(std::isfinite(v.y));
            EXPECT_TRUE(std::isfinite(v.z));
        }
}

} // namespace
