// Immediate mode: render states around the current camera, screen-space drawing, the 3D
// transform (clip codes, projection, fog, colours, texture coordinates), transform contexts
// and the vertex buffers.
#include "tests/engine/core/im3d_scene.h"

using enginetest::CountingMemory;
using enginetest::FakeDevice;
using enginetest::Im3DScene;
using enginetest::NullDevice;
using enginetest::NullDeviceEngine;
using enginetest::recorded_error;
using enginetest::white;

namespace {

void* word(uintptr_t v) {
    return reinterpret_cast<void*>(v);
}

TEST(RenderStates, AreRefusedWithoutACurrentCamera) {
    NullDeviceEngine engine;
    EXPECT_EQ(LgRenderStateSet(LgRenderStateZTest, word(0)), 0);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrNoCurrentCamera}));
    EXPECT_TRUE(engine.device.stateSets.empty());
}

class Immediate : public Im3DScene {};

TEST_F(Immediate, BeginUpdateSetsDepthTestAndWriteAndStatesReachTheDevice) {
    ASSERT_TRUE(begun);
    const std::vector<std::pair<int32_t, uintptr_t>> atBegin = {{LgRenderStateZTest, 1},
                                                                {LgRenderStateZWrite, 1}};
    EXPECT_EQ(device().stateSets, atBegin);
    EXPECT_EQ(LgRenderStateSet(11, word(1)), 1);
    uintptr_t value = 0;
    EXPECT_EQ(LgRenderStateGet(11, &value), 1);
    EXPECT_EQ(value, 1u);
}

TEST_F(Immediate, ShadeModeFollowsTheStateSetAndTheStateReadBeforeDrawing) {
    LgRenderStateSet(LgRenderStateShadeMode, word(LgShadeModeFlat));
    EXPECT_EQ(LgIm3DGlobal.gouraud, 0);
    LgRenderStateSet(LgRenderStateShadeMode, word(LgShadeModeGouraud));
    EXPECT_EQ(LgIm3DGlobal.gouraud, 1);
    // Changed behind immediate mode's back: the draw reads it again.
    device().states[LgRenderStateShadeMode] = LgShadeModeFlat;
    ASSERT_TRUE(transform({at(10, 10, 10), at(10, 90, 10), at(50, 10, 10)}));
    LgIm3DRenderTriangle(0, 1, 2);
    EXPECT_EQ(LgIm3DGlobal.gouraud, 0);
}

TEST_F(Immediate, ScreenSpacePrimitivesPassStraightToTheDevice) {
    LgIm3DScreenVertex quad[4] = {};
    quad[2].x = 7;
    const uint16_t indices[] = {0, 1, 2};
    EXPECT_EQ(LgIm2DRenderPrimitive(LgPrimTriFan, quad, 4), 1);
    EXPECT_EQ(LgIm2DRenderIndexedPrimitive(LgPrimTriList, quad, 4, indices, 3), 1);
    ASSERT_EQ(device().draws.size(), 2u);
    EXPECT_EQ(device().draws[0].type, LgPrimTriFan);
    EXPECT_EQ(device().draws[0].vertices[2].x, 7);
    EXPECT_EQ(device().draws[1].indices, std::vector<uint16_t>({0, 1, 2}));
    EXPECT_EQ(LgDeviceGetNearDepth(), 0.0f);
    EXPECT_EQ(LgDeviceGetFarDepth(), 0.9999f);
}

TEST_F(Immediate, TheTransformCodesEachVertexAndProjectsTheOnesInside) {
    struct Case {
        LgVector world;
        uint32_t code;
    };
    const Case cases[] = {
        {{0, 0, 10}, 0},
        {{20, 0, 10}, LgClipLeft},   // screen x below 0
        {{-20, 0, 10}, LgClipRight}, // beyond x = z
        {{0, 20, 10}, LgClipTop},
        {{0, -20, 10}, LgClipBottom},
        {{0, 0, 0.5f}, LgClipNear},
        {{0, 0, 150}, LgClipFar},
        {{20, 20, -1}, LgClipNear | LgClipLeft | LgClipTop}, // behind the eye
        {{10, 0, 10}, 0},                                    // exactly on the left edge: x' = +0
    };
    std::vector<LgIm3DVertex> v;
    for (const Case& c : cases) v.push_back({c.world, {}, white, 0, 0});
    ASSERT_TRUE(transform(v));
    const LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + LgIm3DGlobal.current->first;
    for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(cam[i].clipFlags, cases[i].code) << i;
    EXPECT_EQ(LgIm3DGlobal.current->nothingToDraw, 0u);

    const LgIm3DScreenVertex& centre = LgIm3DGlobal.screenVertices[LgIm3DGlobal.current->first];
    EXPECT_FLOAT_EQ(centre.x, 50.0f);
    EXPECT_FLOAT_EQ(centre.y, 50.0f);
    EXPECT_FLOAT_EQ(centre.recipZ, 0.1f);
    EXPECT_FLOAT_EQ(centre.z, camera->zScale * 0.1f + camera->zShift);
    EXPECT_EQ(centre.specular, LgIm3DGlobal.projection.fogTable[0]) << "nearer than the fog";
}

TEST_F(Immediate, FogFollowsDepthBetweenTheFogDistanceAndTheFarPlane) {
    ASSERT_TRUE(transform({at(50, 50, 40), at(50, 50, 75), at(50, 50, 100)}));
    const LgIm3DScreenVertex* s = LgIm3DGlobal.screenVertices + LgIm3DGlobal.current->first;
    const uint32_t* table = LgIm3DGlobal.projection.fogTable;
    EXPECT_EQ(s[0].specular, table[0]);
    EXPECT_EQ(s[1].specular, table[128]) << "half way: (75 - 50) x 255 / 50 rounds to 128";
    EXPECT_EQ(s[2].specular, table[255]);
    EXPECT_EQ(table[0], 0xff000000u) << "no fog near the eye";
}

TEST_F(Immediate, ColoursArePackedAndTextureCoordinatesCopiedOnEitherFlag) {
    const LgRGBA colour = {0x11, 0x22, 0x33, 0x44};
    for (uint32_t flags : {1u, 2u}) {
        source = {at(10, 10, 10, colour, 0.25f, 0.75f)};
        ASSERT_NE(LgIm3DTransform(source.data(), 1, nullptr, flags), nullptr);
        const LgIm3DScreenVertex& s = LgIm3DGlobal.screenVertices[LgIm3DGlobal.current->first];
        EXPECT_EQ(s.colour, 0x44112233u);
        EXPECT_EQ(s.u, 0.25f) << flags;
        EXPECT_EQ(s.v, 0.75f) << flags;
        LgIm3DEnd();
    }
}

TEST_F(Immediate, UntexturedVerticesAreReadWithTheShortStride) {
    // Two 28-byte vertices back to back: the second one's position follows the first colour.
    struct Short {
        LgVector position, normal;
        LgRGBA color;
    };
    static_assert(sizeof(Short) == LgIm3DVertexStrideUntextured);
    const Short v[2] = {{{0, 0, 10}, {}, white}, {{0, 0, 20}, {}, {1, 2, 3, 4}}};
    ASSERT_NE(LgIm3DTransform(v, 2, nullptr, 0), nullptr);
    const LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + LgIm3DGlobal.current->first;
    EXPECT_EQ(cam[1].z, 20.0f);
    EXPECT_EQ(LgIm3DGlobal.screenVertices[LgIm3DGlobal.current->first + 1].colour, 0x04010203u);
}

TEST_F(Immediate, AnObjectMatrixIsAppliedBeforeTheView) {
    LgMatrix m;
    LgMatrixSetIdentity(&m);
    const LgVector move = {0, 0, 5};
    LgMatrixTranslate(&m, &move, LgCombineReplace);
    source = {at(50, 50, 5)};
    ASSERT_NE(LgIm3DTransform(source.data(), 1, &m, 1), nullptr);
    EXPECT_FLOAT_EQ(LgIm3DGlobal.cameraVertices[LgIm3DGlobal.current->first].z, 10.0f);
}

TEST_F(Immediate, NestedTransformsKeepTheirOwnVerticesAndEndUnwindsThem) {
    ASSERT_TRUE(transform({at(10, 10, 10), at(10, 90, 10), at(50, 10, 10)}));
    std::vector<LgIm3DVertex> inner = {at(20, 20, 10), at(20, 80, 10), at(60, 20, 10)};
    ASSERT_NE(LgIm3DTransform(inner.data(), 3, nullptr, 1), nullptr);
    EXPECT_EQ(LgIm3DGlobal.current->first, 3);
    EXPECT_EQ(LgIm3DGlobal.inUse, 6);
    EXPECT_EQ(LgIm3DEnd(), 1);
    LgIm3DRenderTriangle(0, 1, 2);
    ASSERT_EQ(device().triangles().size(), 1u);
    EXPECT_EQ(device().triangles()[0][0].x, 10.0f) << "the outer batch draws again";
    EXPECT_EQ(LgIm3DEnd(), 1);
    EXPECT_EQ(LgIm3DEnd(), 0) << "nothing open";
    EXPECT_EQ(LgPipelineGetDepth(), 0);
    EXPECT_EQ(LgIm3DGlobal.inUse, 0);
}

TEST_F(Immediate, ARefusedTransformLeavesNothingOpen) {
    EXPECT_EQ(LgIm3DTransform(nullptr, 3, nullptr, 1), nullptr);
    source = {at(10, 10, 10)};
    EXPECT_EQ(LgIm3DTransform(source.data(), 0, nullptr, 1), nullptr);
    EXPECT_EQ(LgPipelineGetDepth(), 0);
    EXPECT_EQ(LgIm3DGlobal.depth, 0);
}

TEST_F(Immediate, TheEleventhNestedTransformIsRefusedAndTheStackStaysPaired) {
    source = {at(10, 10, 10)};
    for (int i = 0; i < LgIm3DContextStackSize; ++i)
        ASSERT_NE(LgIm3DTransform(source.data(), 1, nullptr, 1), nullptr) << i;
    EXPECT_EQ(LgIm3DTransform(source.data(), 1, nullptr, 1), nullptr);
    EXPECT_EQ(LgPipelineGetDepth(), LgIm3DContextStackSize);
    for (int i = 0; i < LgIm3DContextStackSize; ++i) EXPECT_EQ(LgIm3DEnd(), 1);
    EXPECT_EQ(LgPipelineGetDepth(), 0);
}

TEST_F(Immediate, ReservingKeepsAtLeastTheMinimumAndGrowsPastIt) {
    EXPECT_EQ(LgIm3DReserveVertices(10), 1);
    EXPECT_EQ(LgIm3DGlobal.capacity, LgIm3DMinVertices);
    EXPECT_EQ(LgIm3DReserveVertices(20000), 1);
    EXPECT_EQ(LgIm3DGlobal.capacity, 20000);
    EXPECT_EQ(LgIm3DReserveVertices(-1), 0);
}

TEST_F(Immediate, AFailedReserveKeepsTheOldBuffers) {
    CountingMemory::fail_in(2); // the camera-vertex buffer grows, the screen-vertex one cannot
    EXPECT_EQ(LgIm3DReserveVertices(30000), 0);
    EXPECT_EQ(LgIm3DGlobal.capacity, LgIm3DMinVertices);
    EXPECT_NE(LgIm3DGlobal.screenVertices, nullptr);
    CountingMemory::failAt = 0;
    source = {at(10, 10, 10), at(10, 90, 10), at(50, 10, 10)};
    ASSERT_TRUE(transform(source));
    LgIm3DRenderTriangle(0, 1, 2);
    EXPECT_EQ(device().triangles().size(), 1u);
}

TEST_F(Immediate, LargeBatchesGrowTheBuffersAndStillDraw) {
    std::vector<LgIm3DVertex> many;
    for (int i = 0; i < 4000; ++i) {
        many.push_back(at(10, 10, 10));
        many.push_back(at(10, 90, 10));
        many.push_back(at(50, 10, 10));
    }
    ASSERT_TRUE(transform(many));
    EXPECT_GE(LgIm3DGlobal.capacity, 12000 + 3000);
    LgIm3DRenderPrimitive(LgPrimTriList);
    EXPECT_EQ(device().triangles().size(), 4000u);
}

TEST_F(Immediate, ACameraOnASubRasterDrawsAtTheSubRastersOffset) {
    LgCameraEndUpdate(camera);
    LgRaster* window = LgRasterCreate(0, 0, 0, LgRasterDontAllocate);
    window->creationFlags |= LgRasterDontAllocate; // as a device records it
    const LgRect rect = {20, 10, 50, 40};
    ASSERT_EQ(LgRasterSubRaster(window, raster, &rect), window);
    LgCameraSetRaster(camera, window);
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    source = {{{0, 0, 10}, {}, white, 0, 0}};
    ASSERT_TRUE(transform(source));
    const LgIm3DScreenVertex& v = LgIm3DGlobal.screenVertices[LgIm3DGlobal.current->first];
    EXPECT_FLOAT_EQ(v.x, 20.0f + 25.0f);
    EXPECT_FLOAT_EQ(v.y, 10.0f + 20.0f);
    LgIm3DEnd();
    LgCameraSetRaster(camera, raster);
    LgRasterDestroy(window);
}

TEST_F(Immediate, IndexListsFlushTrianglesThenLines) {
    ASSERT_TRUE(transform({at(10, 10, 10), at(10, 90, 10), at(50, 10, 10)}));
    LgIm3DAddLine(0, 1);
    LgIm3DAddTriangle(0, 1, 2);
    LgIm3DFlush();
    ASSERT_EQ(device().draws.size(), 2u);
    EXPECT_EQ(device().draws[0].type, LgPrimTriList);
    EXPECT_EQ(device().draws[1].type, LgPrimLineList);
    LgIm3DFlush();
    EXPECT_EQ(device().draws.size(), 2u) << "a flush empties the lists";
}

} // namespace

namespace {

TEST(ImmediateModule, ReturnsEveryBlockWhenTheEngineStops) {
    {
        NullDeviceEngine engine;
        ASSERT_TRUE(engine.engine.ok);
        EXPECT_NE(LgIm3DGlobal.cameraVertices, nullptr);
        EXPECT_EQ(LgEngineInstancePtr->device.im3DRenderTriangle, LgIm3DDrawTriangle);
    }
    EXPECT_EQ(CountingMemory::live, 0);
    EXPECT_EQ(LgIm3DGlobal.cameraVertices, nullptr);
}

TEST(ImmediateModule, AStartWithoutMemoryForItsBuffersFailsCleanly) {
    for (long failAt = 1; failAt < 60; ++failAt) {
        CountingMemory::reset();
        NullDevice device;
        FakeDevice fake;
        device.install(fake);
        ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
        uintptr_t window = 1;
        ASSERT_EQ(LgEngineOpen(&window), 1);
        CountingMemory::fail_in(failAt);
        const bool started = LgEngineStart() == 1;
        CountingMemory::failAt = 0;
        if (started) LgEngineStop();
        LgEngineClose();
        LgEngineTerm();
        EXPECT_EQ(CountingMemory::live, 0) << "allocation " << failAt;
        if (started) break;
    }
}

} // namespace
