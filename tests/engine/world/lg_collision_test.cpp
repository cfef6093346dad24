// Collision queries on a ground of known triangles (an 8 x 8 grid of 10-unit cells at height
// 16, from 16 to 96 on x and z, split into 8 sectors): lines from above and below, spheres,
// boxes, refused primitives, the atomics standing on it with their query stamps, one atomic's
// own triangles and the pixel ray.
#include "tests/engine/world/world_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using enginetest::recorded_error;
using worldtest::ground_world;
using worldtest::read_world;
using worldtest::world_bytes;
using worldtest::WorldEngine;
namespace mw = modelwriter;

namespace {

struct TriangleHit {
    LgAtomicSector* sector;
    int32_t index;
    float distance;
    LgVector normal;
};

LgCollisionPrimitive* record_triangle(LgCollisionPrimitive* p, LgAtomicSector* s,
                                      LgCollisionTriangle* t, float distance, void* data) {
    static_cast<std::vector<TriangleHit>*>(data)->push_back({s, t->index, distance, t->normal});
    return p;
}

LgCollisionPrimitive* record_atomic(LgCollisionPrimitive* p, LgAtomicSector*, LgAtomic* a, float,
                                    void* data) {
    static_cast<std::vector<LgAtomic*>*>(data)->push_back(a);
    return p;
}

LgCollisionPrimitive* line(LgVector s, LgVector e) {
    static LgCollisionPrimitive p;
    p.line = {s, e};
    p.type = LgCollisionLine;
    return &p;
}

class Collisions : public WorldEngine {
protected:
    void SetUp() override {
        WorldEngine::SetUp();
        world = read_world(world_bytes(ground_world(8, 10.0f, 16)));
        ASSERT_NE(world, nullptr);
    }
    void TearDown() override {
        for (LgClump* c : clumps) {
            LgWorldRemoveClump(world, c);
            LgClumpDestroy(c);
        }
        LgWorldDestroy(world);
    }
    std::vector<TriangleHit> triangles(LgCollisionPrimitive* p) {
        std::vector<TriangleHit> hits;
        EXPECT_EQ(LgWorldForAllTriangleIntersections(world, p, record_triangle, &hits), world);
        return hits;
    }
    std::vector<LgAtomic*> atomics(LgCollisionPrimitive* p) {
        std::vector<LgAtomic*> hits;
        EXPECT_EQ(LgWorldForAllAtomicIntersections(world, p, record_atomic, &hits), world);
        return hits;
    }
    // A clump of one box atomic of half size 1 at the position, in the world, ties made.
    LgAtomic* place_box(LgVector at, float half = 1.0f) {
        LgClump* c = modeltest::read_clump(modeltest::clump_bytes(
            mw::single_atomic_clump(mw::make_box({half, half, half}, mw::Material{}))));
        EXPECT_NE(c, nullptr);
        LgFrame* f = LgClumpGetFrame(c);
        LgMatrixTranslate(LgFrameGetMatrix(f), &at, LgCombineReplace);
        LgWorldAddClump(world, c);
        LgFrameSyncAllDirty();
        clumps.push_back(c);
        LgAtomic* a = nullptr;
        LgClumpForAllAtomics(
            c, [](LgAtomic* x, void* d) { return *static_cast<LgAtomic**>(d) = x; }, &a);
        return a;
    }

    LgWorld* world = nullptr;
    std::vector<LgClump*> clumps;
};

TEST_F(Collisions, LineFromAboveHitsTheGroundOnceAndFromBelowNotAtAll) {
    const std::vector<TriangleHit> down = triangles(line({21, 26, 23}, {21, 6, 23}));
    ASSERT_EQ(down.size(), 1u);
    EXPECT_FLOAT_EQ(down[0].distance, 0.5f);
    EXPECT_FLOAT_EQ(down[0].normal.y, 1.0f);
    // Back faces are not hit.
    EXPECT_TRUE(triangles(line({21, 6, 23}, {21, 26, 23})).empty());
}

TEST_F(Collisions, LongLinesCrossingSectorsReportOnlyWhatTheyTouch) {
    // Above the ground all the way across: nothing.
    EXPECT_TRUE(triangles(line({17, 17, 50}, {95, 17, 51})).empty());
    // Down a slope across several sectors to a point on the far side.
    const std::vector<TriangleHit> slope = triangles(line({17, 40, 17}, {93, 6, 91}));
    ASSERT_EQ(slope.size(), 1u);
    EXPECT_NEAR(slope[0].distance, 24.0f / 34.0f, 1e-5f);
}

TEST_F(Collisions, SpheresReportTheirSignedDistanceAndBoxesTheirCell) {
    LgCollisionPrimitive p;
    p.type = LgCollisionSphere;
    p.sphere = {{52, 17, 52}, 2.0f};
    const std::vector<TriangleHit> hits = triangles(&p);
    ASSERT_FALSE(hits.empty());
    for (const TriangleHit& h : hits) EXPECT_FLOAT_EQ(h.distance, 0.5f);
    p.sphere = {{52, 18, 52}, 1.5f};
    EXPECT_TRUE(triangles(&p).empty());

    p.type = LgCollisionBox;
    p.box = {{22, 17, 22}, {20, 15, 20}};
    EXPECT_EQ(triangles(&p).size(), 2u); // across the diagonal of one cell
    p.box = {{24, 17, 24}, {-1, 15, 22}};
    EXPECT_TRUE(triangles(&p).empty());
    EXPECT_EQ(recorded_error(), (LgError{LgErrorGroupWorld, LgErrBoxBelowZero}));
}

TEST_F(Collisions, RefusedPrimitivesAndNullsFail) {
    LgCollisionPrimitive p;
    p.type = LgCollisionPoint;
    p.point = {50, 16, 50};
    std::vector<TriangleHit> hits;
    EXPECT_EQ(LgWorldForAllTriangleIntersections(world, &p, record_triangle, &hits), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{LgErrorGroupWorld, LgErrUnsupportedPrimitive}));
    std::vector<LgAtomic*> found;
    EXPECT_EQ(LgWorldForAllAtomicIntersections(world, &p, record_atomic, &found), world);
    EXPECT_EQ(LgWorldForAllTriangleIntersections(world, &p, nullptr, &hits), nullptr);
}

TEST_F(Collisions, ACallbackReturningNullEndsTheQuery) {
    LgCollisionPrimitive p;
    p.type = LgCollisionSphere;
    p.sphere = {{50, 16.5f, 50}, 12.0f};
    int calls = 0;
    EXPECT_EQ(LgWorldForAllTriangleIntersections(
                  world, &p,
                  [](LgCollisionPrimitive*, LgAtomicSector*, LgCollisionTriangle*, float,
                     void* data) -> LgCollisionPrimitive* {
                      ++*static_cast<int*>(data);
                      return nullptr;
                  },
                  &calls),
              world);
    EXPECT_EQ(calls, 1);
}

TEST_F(Collisions, AnAtomicInSeveralSectorsIsReportedOncePerQuery) {
    // A large box over the middle of the ground lies in several sectors.
    LgAtomic* a = place_box({56, 40, 56}, 12.0f);
    int ties = 0;
    for (LgLink* l = a->sectorTies.next; l != &a->sectorTies; l = l->next) ++ties;
    EXPECT_GE(ties, 3);
    LgCollisionPrimitive p;
    p.type = LgCollisionSphere;
    p.sphere = {{56, 40, 56}, 30.0f};
    EXPECT_EQ(atomics(&p), std::vector<LgAtomic*>{a});
    EXPECT_EQ(atomics(&p), std::vector<LgAtomic*>{a});
}

TEST_F(Collisions, AnAtomicUnvisitedForManyQueriesIsStillReported) {
    // The query stamp must not come round to the one the atomic kept from its last visit.
    LgAtomic* a = place_box({20, 20, 20});
    LgCollisionPrimitive* near = line({20, 30, 20}, {20, 10, 20});
    ASSERT_EQ(atomics(near), std::vector<LgAtomic*>{a});
    std::vector<LgAtomic*> none;
    for (int i = 0; i < 65535; ++i)
        LgWorldForAllAtomicIntersections(world, line({90, 30, 90}, {90, 10, 90}), record_atomic,
                                         &none);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(atomics(line({20, 30, 20}, {20, 10, 20})), std::vector<LgAtomic*>{a});
}

TEST_F(Collisions, ZeroExtentShapesOnASplitPlaneAreNotDropped) {
    const auto* root = reinterpret_cast<const LgPlaneSector*>(world->rootSector);
    ASSERT_NE(root->type, LgSectorAtomic);
    LgVector at = {56, 20, 56};
    LgVectorAxis(at, root->type) = root->value;
    LgAtomic* a = place_box(at, 3.0f);
    LgCollisionPrimitive p;
    p.type = LgCollisionBox;
    p.box = {at, at};
    EXPECT_EQ(atomics(&p), std::vector<LgAtomic*>{a});
    p.type = LgCollisionPoint;
    p.point = at;
    EXPECT_EQ(atomics(&p), std::vector<LgAtomic*>{a});
}

TEST_F(Collisions, LinesStartingInsideAnAtomicReportIt) {
    LgAtomic* a = place_box({30, 20, 30});
    EXPECT_EQ(atomics(line({30, 20, 30}, {90, 20, 90})), std::vector<LgAtomic*>{a});
    EXPECT_TRUE(atomics(line({40, 20, 40}, {90, 20, 90})).empty());
    // An atomic primitive finds the others, never itself.
    LgAtomic* b = place_box({31, 20, 30});
    LgCollisionPrimitive p;
    p.type = LgCollisionAtomic;
    p.atomic = a;
    EXPECT_EQ(atomics(&p), std::vector<LgAtomic*>{b});
}

TEST_F(Collisions, ACallbackMayTakeTheReportedAtomicOutOfTheWorld) {
    LgAtomic* a = place_box({50, 20, 50});
    LgAtomic* b = place_box({50, 21, 50});
    LgCollisionPrimitive p;
    p.type = LgCollisionSphere;
    p.sphere = {{50, 20, 50}, 5.0f};
    struct Removal {
        LgWorld* world;
        std::vector<LgAtomic*> seen;
    } r = {world, {}};
    LgWorldForAllAtomicIntersections(
        world, &p,
        [](LgCollisionPrimitive* q, LgAtomicSector*, LgAtomic* atomic, float, void* data) {
            auto* rr = static_cast<Removal*>(data);
            rr->seen.push_back(atomic);
            LgWorldRemoveClump(rr->world, atomic->clump);
            return q;
        },
        &r);
    EXPECT_EQ(r.seen.size(), 2u);
    EXPECT_NE(std::find(r.seen.begin(), r.seen.end(), a), r.seen.end());
    EXPECT_NE(std::find(r.seen.begin(), r.seen.end(), b), r.seen.end());
}

TEST_F(Collisions, AtomicTrianglesAreTestedInModelSpace) {
    LgAtomic* a = place_box({30, 20, 30});
    std::vector<float> hits;
    const auto record = [](LgCollisionPrimitive* p, LgCollisionTriangle*, float d, void* data) {
        static_cast<std::vector<float>*>(data)->push_back(d);
        return p;
    };
    // Through the box along x: only the face turned towards the start.
    EXPECT_EQ(
        LgAtomicForAllIntersections(a, line({26, 20.3f, 30.2f}, {34, 20.3f, 30.2f}), record, &hits),
        a);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_FLOAT_EQ(hits[0], 3.0f / 8.0f);
    LgCollisionPrimitive p;
    p.type = LgCollisionBox;
    EXPECT_EQ(LgAtomicForAllIntersections(a, &p, record, &hits), nullptr);
}

TEST_F(Collisions, PixelRayRunsFromTheNearToTheFarPlane) {
    LgRaster* raster = LgRasterCreate(100, 100, 32, LgRasterTypeCamera);
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    LgCameraSetFrame(camera, frame);
    LgCameraSetRaster(camera, raster);
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 100.0f);
    LgFrameSyncAllDirty();
    LgLine ray;
    const LgVector2 centre = {50, 50};
    EXPECT_EQ(LgCameraCalcPixelRay(camera, &ray, &centre), camera);
    EXPECT_NEAR(ray.start.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ray.start.z, 1.0f, 1e-5f);
    EXPECT_NEAR(ray.end.z, 100.0f, 1e-3f);
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
    LgRasterDestroy(raster);
}

} // namespace
