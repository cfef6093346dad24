// World ties and lights: clumps joining and leaving worlds (the clump cursor, double adds),
// atomics below zero left untied, local lights tied to sectors, grey lights, and the
// camera's visible sectors in render order.
#include "tests/engine/world/world_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using enginetest::recorded_error;
using worldtest::ground_world;
using worldtest::read_world;
using worldtest::sectors_of;
using worldtest::world_bytes;
using worldtest::WorldEngine;
namespace mw = modelwriter;

namespace {

class Ties : public WorldEngine {
protected:
    void SetUp() override {
        WorldEngine::SetUp();
        world = read_world(world_bytes(ground_world(8, 10.0f, 16)));
        ASSERT_NE(world, nullptr);
    }
    void TearDown() override {
        // The order callers must follow: out of the world first, then the world.
        for (LgClump* c : clumps) {
            if (LgClumpGetWorld(c) != nullptr) LgWorldRemoveClump(world, c);
            LgClumpDestroy(c);
        }
        EXPECT_EQ(LgWorldDestroy(world), 1);
    }
    LgClump* clump_at(LgVector at) {
        LgClump* c = modeltest::read_clump(modeltest::clump_bytes(
            mw::single_atomic_clump(mw::make_box({1, 1, 1}, mw::Material{}))));
        LgMatrixTranslate(LgFrameGetMatrix(LgClumpGetFrame(c)), &at, LgCombineReplace);
        clumps.push_back(c);
        return c;
    }
    static LgAtomic* atomic_of(LgClump* c) {
        LgAtomic* a = nullptr;
        LgClumpForAllAtomics(
            c, [](LgAtomic* x, void* d) { return *static_cast<LgAtomic**>(d) = x; }, &a);
        return a;
    }
    static int ties_of(LgLink* head) {
        int n = 0;
        for (LgLink* l = head->next; l != head; l = l->next) ++n;
        return n;
    }

    LgWorld* world = nullptr;
    std::vector<LgClump*> clumps;
};

TEST_F(Ties, ClumpsJoinOnceAndTheirAtomicsTieAtTheNextSync) {
    LgClump* c = clump_at({30, 20, 30});
    EXPECT_EQ(LgWorldAddClump(world, c), world);
    EXPECT_EQ(world->numClumpsInWorld, 1);
    EXPECT_EQ(LgWorldAddClump(world, c), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{LgErrorGroupWorld, LgErrClumpInWorld}));
    EXPECT_EQ(world->numClumpsInWorld, 1);
    LgAtomic* a = atomic_of(c);
    EXPECT_EQ(LgAtomicGetWorld(a), world);
    LgFrameSyncAllDirty();
    EXPECT_EQ(ties_of(&a->sectorTies), 1);
    EXPECT_EQ(LgWorldRemoveClump(world, c), world);
    EXPECT_EQ(ties_of(&a->sectorTies), 0);
    EXPECT_EQ(LgWorldRemoveClump(world, c), nullptr);
    EXPECT_EQ(world->numClumpsInWorld, 0);
}

TEST_F(Ties, AtomicsReachingBelowZeroStayUntied) {
    LgClump* c = clump_at({0.5f, 20, 30});
    LgWorldAddClump(world, c);
    LgFrameSyncAllDirty();
    EXPECT_EQ(ties_of(&atomic_of(c)->sectorTies), 0);
}

TEST_F(Ties, RemovingTheClumpUnderTheCursorMovesItOn) {
    LgClump* a = clump_at({30, 20, 30});
    LgClump* b = clump_at({40, 20, 30});
    LgClump* c = clump_at({50, 20, 30});
    for (LgClump* x : {a, b, c}) LgWorldAddClump(world, x);
    // Newest first: c, b, a. Each callback takes the next clump out of the world.
    struct Walk {
        LgWorld* world;
        std::vector<LgClump*> seen;
    } walk = {world, {}};
    LgWorldForAllClumps(
        world,
        [](LgClump* clump, void* data) {
            auto* w = static_cast<Walk*>(data);
            w->seen.push_back(clump);
            if (w->seen.size() == 1) {
                LgClump* next =
                    reinterpret_cast<LgClump*>(reinterpret_cast<char*>(w->world->currentClumpLink) -
                                               offsetof(LgClump, inWorldLink));
                LgWorldRemoveClump(w->world, next);
            }
            return clump;
        },
        &walk);
    EXPECT_EQ(walk.seen, (std::vector<LgClump*>{c, a}));
}

TEST_F(Ties, LocalLightsTieToTheSectorsTheyReachAndColoursMarkGreyLights) {
    LgLight* light = LgLightCreate(LgLightPoint);
    ASSERT_NE(light, nullptr);
    LgFrame* f = LgFrameCreate();
    const LgVector at = {56, 20, 56};
    LgMatrixTranslate(LgFrameGetMatrix(f), &at, LgCombineReplace);
    LgLightSetFrame(light, f);
    LgLightSetRadius(light, 100.0f);
    LgWorldAddLight(world, light);
    LgFrameSyncAllDirty();
    EXPECT_EQ(ties_of(&light->tieList), 8);
    for (LgAtomicSector* s : sectors_of(world)) EXPECT_EQ(ties_of(&s->lightsInWorldSector), 1);
    const LgRGBAReal grey = {0.5f, 0.5f, 0.5f, 1}, red = {1, 0.5f, 0.5f, 1};
    LgLightSetColor(light, &grey);
    EXPECT_EQ(light->object.header.privateFlags, LgLightPrivateGrey);
    LgLightSetColor(light, &red);
    EXPECT_EQ(light->object.header.privateFlags, 0);
    LgWorldRemoveLight(world, light);
    EXPECT_EQ(ties_of(&light->tieList), 0);
    // A global light is never tied.
    LgLight* sun = LgLightCreate(LgLightDirectional);
    LgWorldAddLight(world, sun);
    EXPECT_EQ(ties_of(&sun->tieList), 0);
    LgWorldRemoveLight(world, sun);
    LgLightDestroy(sun);
    LgLightDestroy(light);
    LgFrameDestroy(f);
}

TEST_F(Ties, CamerasListTheSectorsInViewBackToFront) {
    LgRaster* raster = LgRasterCreate(100, 100, 32, LgRasterTypeCamera);
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    LgCameraSetFrame(camera, frame);
    LgCameraSetRaster(camera, raster);
    LgCameraSetFarClipPlane(camera, 500.0f);
    // Beside the ground, looking along +x: the sectors right under the eye fall below the
    // view, the others are in it.
    const LgVector eye = {0, 60, 56};
    LgMatrixTranslate(LgFrameGetMatrix(frame), &eye, LgCombineReplace);
    const LgVector up = {0, 1, 0};
    LgFrameRotate(frame, &up, 90.0f, LgCombinePreConcat);
    LgWorldAddCamera(world, camera);
    LgFrameSyncAllDirty();
    std::vector<LgAtomicSector*> seen;
    LgCameraForAllSectorsInView(
        camera,
        [](LgAtomicSector* s, void* d) {
            static_cast<std::vector<LgAtomicSector*>*>(d)->push_back(s);
            return s;
        },
        &seen);
    EXPECT_EQ(seen.size(), 6u);
    // Back to front: the far sectors (larger x) come before the near ones.
    ASSERT_GE(seen.size(), 2u);
    EXPECT_GT(seen.front()->boundingBox.inf.x, seen.back()->boundingBox.inf.x);
    world->renderOrder = LgWorldRenderFrontToBack;
    LgFrameMarkDirty(frame);
    LgFrameSyncAllDirty();
    seen.clear();
    LgCameraForAllSectorsInView(
        camera,
        [](LgAtomicSector* s, void* d) {
            static_cast<std::vector<LgAtomicSector*>*>(d)->push_back(s);
            return s;
        },
        &seen);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_LT(seen.front()->boundingBox.inf.x, seen.back()->boundingBox.inf.x);
    EXPECT_EQ(LgWorldRemoveCamera(world, camera), world);
    EXPECT_EQ(LgWorldRemoveCamera(world, camera), nullptr);
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
    LgRasterDestroy(raster);
}

} // namespace
