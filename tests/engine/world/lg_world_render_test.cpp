// World rendering into the null device: a writer-made sector seen from above, drawn with its
// pre-lit colours, lit by world lights (grey and clamped), in lists and in strips; and an
// atomic whose mesh has no material.
#include "engine/world/lg_world_render.h"
#include "tests/engine/world/world_test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using worldtest::ground_world;
using worldtest::read_world;
using worldtest::world_bytes;
using worldtest::WorldEngine;
namespace mw = modelwriter;

namespace {

class WorldRendering : public WorldEngine {
protected:
    void SetUp() override {
        WorldEngine::SetUp();
        raster = LgRasterCreate(100, 100, 32, LgRasterTypeCamera);
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSetRaster(camera, raster);
        LgCameraSetNearClipPlane(camera, 1.0f);
        LgCameraSetFarClipPlane(camera, 200.0f);
        // Above the ground, looking straight down.
        LgMatrix* m = LgFrameGetMatrix(frame);
        m->right = {1, 0, 0};
        m->up = {0, 0, 1};
        m->at = {0, -1, 0};
        m->pos = {36, 80, 36};
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(frame);
    }
    void TearDown() override {
        for (LgLight* l : lights) {
            LgWorldRemoveLight(world, l);
            LgLightDestroy(l);
        }
        if (world != nullptr) {
            LgWorldRemoveCamera(world, camera);
            LgWorldDestroy(world);
        }
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        LgRasterDestroy(raster);
    }
    void load(uint32_t flags, mw::Surface surface = {1.0f, 0.0f, 1.0f}) {
        mw::World w = ground_world(4, 10.0f, 8, flags | mw::worldPrelit);
        w.surface = surface;
        world = read_world(world_bytes(w));
        ASSERT_NE(world, nullptr);
        LgWorldAddCamera(world, camera);
    }
    LgLight* light(uint8_t type, LgRGBAReal colour) {
        LgLight* l = LgLightCreate(type);
        LgLightSetColor(l, &colour);
        LgWorldAddLight(world, l);
        lights.push_back(l);
        return l;
    }
    // Draws the world; the colours of every vertex the device received.
    std::set<uint32_t> render() {
        device.draws.clear();
        EXPECT_EQ(LgCameraBeginUpdate(camera), camera);
        LgWorldRenderAtomicsInView(world);
        LgCameraEndUpdate(camera);
        std::set<uint32_t> colours;
        for (const auto& t : device.triangles())
            for (const LgIm3DScreenVertex& v : t) colours.insert(v.colour);
        return colours;
    }

    LgRaster* raster = nullptr;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
    LgWorld* world = nullptr;
    std::vector<LgLight*> lights;
};

constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

TEST_F(WorldRendering, AnUnlitWorldDrawsItsPrelitColours) {
    load(0);
    light(LgLightAmbient, {1, 1, 1, 1});
    EXPECT_EQ(render(), std::set<uint32_t>{argb(255, 10, 20, 30)});
    EXPECT_EQ(device.triangles().size(), 32u);
    EXPECT_EQ(LgPipelineGetDepth(), 0);
}

TEST_F(WorldRendering, AmbientAndDirectionalLightsAddToThePrelitColours) {
    load(mw::worldLit | mw::worldNormals);
    light(LgLightAmbient, {0.2f, 0.2f, 0.2f, 1}); // grey: 51 on every channel
    EXPECT_EQ(render(), std::set<uint32_t>{argb(255, 61, 71, 81)});
    // A light straight down the normals at full diffuse, in red only; a sun without a frame
    // shines along -z, so it gets a frame pointing down.
    LgLight* sun = light(LgLightDirectional, {0.4f, 0, 0, 1});
    LgFrame* f = LgFrameCreate();
    LgMatrix* m = LgFrameGetMatrix(f);
    m->right = {1, 0, 0};
    m->up = {0, 0, 1};
    m->at = {0, -1, 0};
    LgMatrixMarkChanged(m);
    LgLightSetFrame(sun, f);
    // Stored normals are 127/128 long: 102 x 0.9921875 adds 101.2.
    EXPECT_EQ(render(), std::set<uint32_t>{argb(255, 162, 71, 81)});
    LgLightSetFrame(sun, nullptr);
    LgFrameDestroy(f);
}

TEST_F(WorldRendering, LitColoursClampAtTheChannelLimits) {
    load(mw::worldLit);
    light(LgLightAmbient, {2.0f, -1.0f, 0.1f, 1});
    EXPECT_EQ(render(), std::set<uint32_t>{argb(255, 255, 0, 56)});
}

TEST_F(WorldRendering, StripsDrawTheSameTrianglesAsLists) {
    load(mw::worldStrips);
    const std::set<uint32_t> colours = render();
    EXPECT_EQ(colours, std::set<uint32_t>{argb(255, 10, 20, 30)});
    EXPECT_EQ(device.triangles().size(), 32u);
}

TEST_F(WorldRendering, AMeshWithoutMaterialDrawsOpaqueWhiteUntextured) {
    load(0);
    LgGeometry* g = LgGeometryCreate(3, 1, LgGeometryPrelit | LgGeometryModulateMaterialColor);
    ASSERT_NE(g, nullptr);
    const LgVector p[3] = {{30, 30, 30}, {30, 30, 40}, {40, 30, 30}};
    for (int i = 0; i < 3; ++i) {
        g->morphTarget[0].verts[i] = p[i];
        g->preLitLum[i] = {200, 100, 50, 255};
    }
    g->triangles[0] = {{0, 1, 2}, LgTriangleNoMaterial};
    g->morphTarget[0].boundingSphere = {{35, 30, 35}, 8};
    ASSERT_NE(LgGeometryUnlock(g), nullptr);
    LgAtomic* a = LgAtomicCreate();
    LgAtomicSetGeometry(a, g, 0);
    LgGeometryRelease(g);
    device.draws.clear();
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    EXPECT_EQ(LgAtomicDefaultRender(a), a);
    LgCameraEndUpdate(camera);
    const auto triangles = device.triangles();
    ASSERT_EQ(triangles.size(), 1u);
    EXPECT_EQ(triangles[0][0].colour, argb(255, 200, 100, 50));
    EXPECT_EQ(device.states[LgRenderStateTextureRaster], 0u);
    LgAtomicDestroy(a);
}

} // namespace
