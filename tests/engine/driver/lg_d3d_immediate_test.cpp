// Screen-space drawing on the driver: what is drawn at once, what is deferred, and the order,
// merging and states of the deferred translucent geometry when the camera update ends.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_immediate.h"
#include "tests/engine/driver/driver_test_support.h"
#include "tests/engine/driver/logging_device.h"

#include <vector>

using drivertest::DeviceCall;
using drivertest::DriverEngine;
using drivertest::LoggingDevice;
using namespace platform;

namespace {

void* word(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

// A screen triangle at one depth.
std::vector<LgIm3DScreenVertex> triangle_at(float z, float x = 10.0f) {
    std::vector<LgIm3DScreenVertex> v(3);
    const float corners[3][2] = {{x, 10.0f}, {x + 20.0f, 10.0f}, {x, 30.0f}};
    for (int i = 0; i < 3; ++i)
        v[i] = {corners[i][0], corners[i][1], z, 1.0f, 0x80FFFFFFu, 0xFF000000u, 0.0f, 0.0f};
    return v;
}

std::vector<LgIm3DScreenVertex>
joined(std::initializer_list<std::vector<LgIm3DScreenVertex>> parts) {
    std::vector<LgIm3DScreenVertex> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class D3DImmediate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(engine.start_full_screen());
        ASSERT_TRUE(update.begin());
        log = update.log;
        camera = update.camera;
        translucent();
        log->calls.clear();
    }
    void TearDown() override { update.end(); }
    static void translucent() {
        LgRenderStateSet(LgD3DStateDeferral, word(1));
        LgRenderStateSet(LgD3DStateVertexAlpha, word(1));
    }
    size_t draws() const { return log->draws().size(); }

    DriverEngine engine;
    drivertest::LoggedCameraUpdate update;
    LoggingDevice* log = nullptr;
    LgCamera* camera = nullptr;
};

TEST_F(D3DImmediate, OpaqueOrUnsortedGeometryIsDrawnAtOnce) {
    auto v = triangle_at(0.5f);
    const struct {
        int32_t state;
        uintptr_t value;
    } reasons[] = {
        {LgD3DStateZTest, 0},       // no depth test: nothing to sort against
        {LgD3DStateVertexAlpha, 0}, // opaque
        {LgD3DStateDeferralSub, 1}, // deferral held back
        {LgD3DStateDeferral, 0},    // deferral off
    };
    for (const auto& r : reasons) {
        translucent();
        LgRenderStateSet(LgD3DStateZTest, word(1));
        LgRenderStateSet(r.state, word(r.value));
        const size_t before = draws();
        EXPECT_EQ(LgIm2DRenderPrimitive(LgPrimTriList, v.data(), 3), 1);
        EXPECT_EQ(draws(), before + 1) << "state " << r.state;
    }
    EXPECT_EQ(log->last_fvf, D3DFVF_TLVERTEX);
    EXPECT_EQ(log->last_flags, D3DDP_WAIT | D3DDP_DONOTCLIP);
    EXPECT_EQ(LgIm2DRenderPrimitive(6, v.data(), 3), 0);
    const uint16_t outside[] = {0, 1, 3};
    EXPECT_EQ(LgIm2DRenderIndexedPrimitive(LgPrimTriList, v.data(), 3, outside, 3), 0);
}

TEST_F(D3DImmediate, AScriptedFrameReplaysFarToNearInMergedRuns) {
    // Queued: a near list, a fan, a far list holding two triangles, one middle triangle.
    auto nearList = triangle_at(0.2f);
    auto fan = joined({triangle_at(0.1f), triangle_at(0.1f, 40.0f)});
    auto farList = joined({triangle_at(0.9f), triangle_at(0.8f, 60.0f)});
    auto middle = triangle_at(0.5f);
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriList, nearList.data(), 3), 1);
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriFan, fan.data(), 6), 1);
    LgRenderStateSet(LgD3DStateSourceBlend, word(D3DBLEND_ONE));
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriList, farList.data(), 6), 1);
    const uint16_t picked[] = {2, 1, 0};
    ASSERT_EQ(LgIm2DRenderIndexedPrimitive(LgPrimTriList, middle.data(), 3, picked, 3), 1);
    EXPECT_EQ(draws(), 0u);

    log->calls.clear();
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    const std::vector<DeviceCall> d = log->draws();
    ASSERT_EQ(d.size(), 4u);
    // The fan draws as the replay reaches it; the rest follows sorted by depth.
    EXPECT_EQ(d[0].state, static_cast<uint32_t>(D3DPT_TRIANGLEFAN));
    EXPECT_EQ(d[1].value, 6u); // both far triangles in one draw
    EXPECT_FLOAT_EQ(d[1].depths[0], 0.9f);
    EXPECT_FLOAT_EQ(d[1].depths[3], 0.8f);
    EXPECT_FLOAT_EQ(d[2].depths[0], 0.5f);
    EXPECT_FLOAT_EQ(d[3].depths[0], 0.2f);
    for (size_t i = 1; i < d.size(); ++i)
        EXPECT_EQ(d[i].state, static_cast<uint32_t>(D3DPT_TRIANGLELIST));
    // Each run went out with the states of its moment, and the cache is back afterwards.
    EXPECT_EQ(LgD3DDriver.renderStates.sourceBlend, static_cast<uint32_t>(D3DBLEND_ONE));
    EXPECT_EQ(LgD3DDriver.deferred->count, 0u);
}

TEST_F(D3DImmediate, FansAreNeverSortedAndFollowTheReplayOrder) {
    auto first = triangle_at(0.1f);
    auto second = triangle_at(0.3f);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    for (int32_t lastQueuedFirst : {1, 0}) {
        LgStandardCall(LgStdTranslucentReplayOrder, nullptr, nullptr, lastQueuedFirst);
        ASSERT_NE(LgCameraBeginUpdate(camera), nullptr);
        translucent();
        log->calls.clear();
        ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriFan, first.data(), 3), 1);
        ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriFan, second.data(), 3), 1);
        ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
        const std::vector<DeviceCall> d = log->draws();
        ASSERT_EQ(d.size(), 2u);
        EXPECT_FLOAT_EQ(d[0].depths[0], lastQueuedFirst ? 0.3f : 0.1f);
        EXPECT_FLOAT_EQ(d[1].depths[0], lastQueuedFirst ? 0.1f : 0.3f);
    }
}

TEST_F(D3DImmediate, StripsAndLinesSortAsSeparatePrimitives) {
    std::vector<LgIm3DScreenVertex> strip = joined({triangle_at(0.1f), triangle_at(0.9f)});
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriStrip, strip.data(), 4), 1);
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimLineStrip, strip.data(), 3), 1);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    // Strip triangles (1,2,3) with depth sum 1.1 and (0,1,2) with 0.3 sort next to each other
    // and merge; the line strip's two lines (0.2 each) follow as one line list.
    const std::vector<DeviceCall> d = log->draws();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].state, static_cast<uint32_t>(D3DPT_TRIANGLELIST));
    ASSERT_EQ(d[0].value, 6u);
    EXPECT_FLOAT_EQ(d[0].depths[2], 0.9f);
    EXPECT_FLOAT_EQ(d[0].depths[5], 0.1f);
    EXPECT_EQ(d[1].state, static_cast<uint32_t>(D3DPT_LINELIST));
    EXPECT_EQ(d[1].value, 4u);
}

TEST_F(D3DImmediate, AnIndexedPrimitiveKeepsOnlyTheVerticesItUses) {
    std::vector<LgIm3DScreenVertex> many(1000, triangle_at(0.5f)[0]);
    many[10] = triangle_at(0.5f)[0];
    many[500] = triangle_at(0.5f)[1];
    many[999] = triangle_at(0.5f)[2];
    const uint16_t indices[] = {999, 10, 500};
    ASSERT_EQ(LgIm2DRenderIndexedPrimitive(LgPrimTriList, many.data(), 1000, indices, 3), 1);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    ASSERT_EQ(log->draws().size(), 1u);
    EXPECT_EQ(log->last_vertex_count, 3u);
}

TEST_F(D3DImmediate, SwitchingDepthTestOrDeferralOffDrawsWhatWasDeferred) {
    auto v = triangle_at(0.5f);
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimTriList, v.data(), 3), 1);
    ASSERT_EQ(draws(), 0u);
    LgRenderStateSet(LgD3DStateZTest, word(0));
    EXPECT_EQ(draws(), 1u);
    LgRenderStateSet(LgD3DStateZTest, word(1));
    ASSERT_EQ(LgEngineInstancePtr->device.im2DRenderTriangle(v.data(), 0, 1, 2), 1);
    ASSERT_EQ(LgIm2DRenderPrimitive(LgPrimLineList, v.data(), 2), 1);
    EXPECT_EQ(draws(), 1u);
    LgRenderStateSet(LgD3DStateDeferral, word(0));
    EXPECT_EQ(draws(), 3u);
    EXPECT_EQ(LgD3DDriver.deferred->count, 0u);
}

} // namespace
