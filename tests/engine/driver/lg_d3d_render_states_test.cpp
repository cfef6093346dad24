// Render states on the driver, seen from the device: only changes are sent, missing
// capabilities refuse or fall back, the texture and vertex alpha decide blending, fog tables
// follow the fog states, and gets read the cache back.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_render_states.h"
#include "tests/engine/driver/driver_test_support.h"
#include "tests/engine/driver/logging_device.h"

#include <cstring>

using drivertest::DeviceCall;
using drivertest::DriverEngine;
using drivertest::LoggingDevice;
using namespace platform;

namespace {

void* word(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

uintptr_t get(int32_t state) {
    uintptr_t value = 0xDEAD;
    EXPECT_EQ(LgRenderStateGet(state, &value), 1) << "state " << state;
    return value;
}

// A full-screen device whose calls are logged, inside a camera update.
class D3DRenderStates : public ::testing::Test {
protected:
    explicit D3DRenderStates(const DeviceProfile& profile = default_profile()) : engine(profile) {}
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(engine.start_full_screen());
        ASSERT_TRUE(update.begin());
        log = update.log;
        camera = update.camera;
        log->calls.clear();
    }
    void TearDown() override { update.end(); }

    DriverEngine engine;
    drivertest::LoggedCameraUpdate update;
    LoggingDevice* log = nullptr;
    LgCamera* camera = nullptr;
};

TEST_F(D3DRenderStates, OnlyChangesReachTheDevice) {
    EXPECT_EQ(LgRenderStateSet(LgD3DStateSourceBlend, word(D3DBLEND_ONE)), 1);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateSourceBlend, word(D3DBLEND_ONE)), 1);
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_SRCBLEND), 1);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateSourceBlend, word(D3DBLEND_ZERO)), 1);
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_SRCBLEND), 2);
    EXPECT_EQ(get(LgD3DStateSourceBlend), D3DBLEND_ZERO);
    // The initial states already asked for wrapping and Gouraud shading.
    EXPECT_EQ(LgRenderStateSet(LgD3DStateTextureAddress, word(D3DTADDRESS_WRAP)), 1);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateShadeMode, word(2)), 1);
    EXPECT_EQ(log->count_stage_state(D3DTSS_ADDRESS), 0);
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_SHADEMODE), 0);
    // Any shade value other than 1 is Gouraud.
    EXPECT_EQ(LgRenderStateSet(LgD3DStateShadeMode, word(1)), 1);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateShadeMode, word(7)), 1);
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_SHADEMODE), 2);
    EXPECT_EQ(get(LgD3DStateShadeMode), 2u);
    // The mip bias is not cached: every set goes out.
    const float bias = 1.75f;
    LgRenderStateSet(LgD3DStateMipBias, const_cast<float*>(&bias));
    LgRenderStateSet(LgD3DStateMipBias, const_cast<float*>(&bias));
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_MIPMAPLODBIAS), 2);
}

TEST_F(D3DRenderStates, StencilValuesTranslateAndOutOfTableValuesFail) {
    // The default device has no stencil: every stencil state is refused unsent.
    EXPECT_EQ(LgRenderStateSet(LgD3DStateStencilEnable, word(1)), 0);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateTextureAddress, word(5)), 0);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateTextureFilter, word(7)), 0);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateFogType, word(4)), 0);
    EXPECT_EQ(LgRenderStateSet(20, word(1)), 0);
    EXPECT_EQ(LgRenderStateSet(29, word(1)), 0);
    EXPECT_TRUE(log->calls.empty());
    uintptr_t value = 0;
    EXPECT_EQ(LgRenderStateGet(LgD3DStateMipBias, &value), 0);
    EXPECT_EQ(LgRenderStateGet(LgD3DStateStencilMask, &value), 0);
}

TEST_F(D3DRenderStates, FilterModesReadBackAsSet) {
    for (uintptr_t mode = 1; mode <= 6; ++mode) {
        ASSERT_EQ(LgRenderStateSet(LgD3DStateTextureFilter, word(mode)), 1);
        EXPECT_EQ(get(LgD3DStateTextureFilter), mode);
    }
}

TEST_F(D3DRenderStates, TextureAndVertexAlphaDecideBlendingAndTheAlphaOperation) {
    LgRaster* alpha = LgRasterCreate(8, 8, 0, LgRasterTypeTexture | 0x100);
    LgRaster* opaque = LgRasterCreate(8, 8, 0, LgRasterTypeTexture | 0x200);
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(opaque, nullptr);
    const LgD3DRenderStateCache& c = LgD3DDriver.renderStates;
    struct Step {
        int32_t state;
        void* value;
        uint32_t blend, alphaOp, colourOp, colourKey;
    };
    const Step steps[] = {
        {LgD3DStateTextureRaster, opaque, 0, D3DTOP_SELECTARG2, D3DTOP_MODULATE, 1},
        {LgD3DStateTextureRaster, alpha, 1, D3DTOP_SELECTARG1, D3DTOP_MODULATE, 0},
        {LgD3DStateVertexAlpha, word(1), 1, D3DTOP_MODULATE, D3DTOP_MODULATE, 0},
        {LgD3DStateTextureRaster, nullptr, 1, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, 0},
        {LgD3DStateVertexAlpha, word(0), 0, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, 0},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(LgRenderStateSet(s.state, s.value), 1);
        EXPECT_EQ(c.alphaBlend, s.blend);
        EXPECT_EQ(c.alphaTest, s.blend); // the default device allows the alpha test
        EXPECT_EQ(c.alphaOp, s.alphaOp);
        EXPECT_EQ(c.colourOp, s.colourOp);
        EXPECT_EQ(c.colourKey, s.colourKey);
        EXPECT_EQ(get(LgD3DStateVertexAlpha), s.blend);
    }
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_ALPHABLENDENABLE), 2);
    LgRasterDestroy(alpha);
    LgRasterDestroy(opaque);
}

TEST_F(D3DRenderStates, FogStatesDriveTheTables) {
    LgD3DDriverState& d = LgD3DDriver;
    const float density = 2.0f;
    ASSERT_EQ(LgRenderStateSet(LgD3DStateFogDensity, const_cast<float*>(&density)), 1);
    uintptr_t bits = get(LgD3DStateFogDensity);
    float read = 0;
    std::memcpy(&read, &bits, sizeof(read));
    EXPECT_EQ(read, 2.0f);
    EXPECT_EQ(get(LgD3DStateFogEnable), 0u);
    ASSERT_EQ(LgRenderStateSet(LgD3DStateFogType, word(LgD3DFogExponential)), 1);
    EXPECT_EQ(get(LgD3DStateFogType), 2u);
    EXPECT_EQ(std::memcmp(d.fogTableCurrent, d.fogTableExp, 256), 0);
    EXPECT_EQ(d.fogTableDevice[255], static_cast<uint32_t>(255 - d.fogTableExp[255]) << 24);
    EXPECT_EQ(LgIm3DGlobal.projection.fogTable[128], d.fogTableDevice[128]);
    uint8_t ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<uint8_t>(255 - i);
    ASSERT_EQ(LgRenderStateSet(LgD3DStateFogTable, ramp), 1);
    EXPECT_EQ(get(LgD3DStateFogType), 0u);
    EXPECT_EQ(get(LgD3DStateFogTable), reinterpret_cast<uintptr_t>(d.fogTableCurrent));
    EXPECT_EQ(d.fogTableCurrent[10], 245);
    ASSERT_EQ(LgRenderStateSet(LgD3DStateFogEnable, word(1)), 1);
    ASSERT_EQ(LgRenderStateSet(LgD3DStateFogColour, word(0x123456)), 1);
    EXPECT_EQ(get(LgD3DStateFogColour), 0x123456u);
}

TEST_F(D3DRenderStates, NoCameraUpdateNoSet) {
    LgCameraEndUpdate(camera);
    EXPECT_EQ(LgD3DSetRenderState(LgD3DStateSourceBlend, word(D3DBLEND_ONE)), 0);
    EXPECT_TRUE(log->calls.empty());
}

DeviceProfile linear_filtering_only() {
    DeviceProfile p = default_profile();
    p.device.dpcTriCaps.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR;
    p.device.dwStencilCaps = 0xFF;
    return p;
}

class D3DRenderStatesLinearDevice : public D3DRenderStates {
protected:
    D3DRenderStatesLinearDevice() : D3DRenderStates(linear_filtering_only()) {}
};

TEST_F(D3DRenderStatesLinearDevice, MipFiltersFallBackAlongTheirChain) {
    const LgD3DRenderStateCache& c = LgD3DDriver.renderStates;
    for (uintptr_t mode : {6u, 4u, 2u}) {
        ASSERT_EQ(LgRenderStateSet(LgD3DStateTextureFilter, word(mode)), 1);
        EXPECT_EQ(c.magFilter, D3DTFG_LINEAR);
        EXPECT_EQ(c.minFilter, D3DTFN_LINEAR);
        EXPECT_EQ(c.mipFilter, D3DTFP_NONE);
        EXPECT_EQ(get(LgD3DStateTextureFilter), 2u);
    }
    // Mip-nearest modes fall to mip-less linear filtering, which the device has.
    for (uintptr_t mode : {5u, 3u}) {
        ASSERT_EQ(LgRenderStateSet(LgD3DStateTextureFilter, word(mode)), 1);
        EXPECT_EQ(get(LgD3DStateTextureFilter), 2u);
    }
    ASSERT_EQ(LgRenderStateSet(LgD3DStateTextureFilter, word(1)), 1);
    EXPECT_EQ(get(LgD3DStateTextureFilter), 1u);
}

TEST_F(D3DRenderStatesLinearDevice, StencilStatesTranslate) {
    const LgD3DRenderStateCache& c = LgD3DDriver.renderStates;
    const struct {
        int32_t state;
        uintptr_t value;
        const uint32_t* cached;
        uint32_t expected;
    } rows[] = {
        {LgD3DStateStencilFail, 4, &c.stencilFail, D3DSTENCILOP_INCR},
        {LgD3DStateStencilZFail, 5, &c.stencilZFail, D3DSTENCILOP_DECR},
        {LgD3DStateStencilPass, 6, &c.stencilPass, D3DSTENCILOP_INVERT},
        {LgD3DStateStencilFunction, 2, &c.stencilFunction, D3DCMP_ALWAYS},
        {LgD3DStateStencilFunction, 8, &c.stencilFunction, D3DCMP_GREATER},
        {LgD3DStateStencilFunction, 7, &c.stencilFunction, D3DCMP_GREATEREQUAL},
        {LgD3DStateStencilMask, 0x0F, &c.stencilMask, 0x0F},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(LgRenderStateSet(row.state, word(row.value)), 1) << row.state;
        EXPECT_EQ(*row.cached, row.expected) << row.state;
    }
    EXPECT_EQ(log->count_render_state(D3DRENDERSTATE_STENCILWRITEMASK), 1);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateStencilFail, word(7)), 0);
    EXPECT_EQ(LgRenderStateSet(LgD3DStateStencilFunction, word(9)), 0);
}

class D3DRenderStatesMinimalDevice : public D3DRenderStates {
protected:
    D3DRenderStatesMinimalDevice() : D3DRenderStates(minimal_profile()) {}
};

TEST_F(D3DRenderStatesMinimalDevice, MissingCapabilitiesRefuseWithoutTouchingTheDevice) {
    const struct {
        int32_t state;
        uintptr_t value;
        int32_t result;
    } rows[] = {
        {LgD3DStateTextureAddress, D3DTADDRESS_MIRROR, 0},
        {LgD3DStateTextureAddress, D3DTADDRESS_CLAMP, 1},
        {LgD3DStateSourceBlend, D3DBLEND_SRCCOLOR, 0},
        {LgD3DStateDestinationBlend, D3DBLEND_INVSRCALPHA, 1},
        {LgD3DStateBorderColour, 0xFF00FF, 0},
        {LgD3DStateFogEnable, 1, 0},
        {LgD3DStateFogType, LgD3DFogLinear, 0},
        {LgD3DStateStencilEnable, 1, 0},
        {LgD3DStateTextureFilter, 6, 1}, // falls back to point sampling
    };
    for (const auto& row : rows) {
        const size_t before = log->calls.size();
        EXPECT_EQ(LgRenderStateSet(row.state, word(row.value)), row.result) << row.state;
        if (row.result == 0) {
            EXPECT_EQ(log->calls.size(), before) << row.state;
        }
    }
    EXPECT_EQ(get(LgD3DStateTextureFilter), 1u);
    EXPECT_EQ(get(LgD3DStateTextureAddress), D3DTADDRESS_CLAMP);
}

} // namespace
