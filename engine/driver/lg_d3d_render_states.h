// The driver's render states: engine states 1-28 translated into Direct3D render and texture
// stage states (device record words 4 and 5), a cache so that only changes reach the device,
// and the state blocks that deferred translucent geometry carries.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// Engine render-state ids.
enum LgD3DRenderStateId : int32_t {
    LgD3DStateTextureRaster = 1,
    LgD3DStateTextureAddress = 2,
    LgD3DStatePerspective = 3,
    LgD3DStateZTest = 4,
    LgD3DStateShadeMode = 5,
    LgD3DStateZWrite = 6,
    LgD3DStateTextureFilter = 7,
    LgD3DStateMipBias = 8,
    LgD3DStateSourceBlend = 9,
    LgD3DStateDestinationBlend = 10,
    LgD3DStateVertexAlpha = 11,
    LgD3DStateBorderColour = 12,
    LgD3DStateFogEnable = 13,
    LgD3DStateFogColour = 14,
    LgD3DStateFogType = 15,
    LgD3DStateFogDensity = 16,
    LgD3DStateFogTable = 17,
    LgD3DStateDeferral = 18,
    LgD3DStateDeferralSub = 19,
    LgD3DStateStencilEnable = 22,
    LgD3DStateStencilFail = 23,
    LgD3DStateStencilZFail = 24,
    LgD3DStateStencilPass = 25,
    LgD3DStateStencilFunction = 26,
    LgD3DStateStencilReference = 27,
    LgD3DStateStencilMask = 28,
};

// Fog types of state 15.
constexpr int32_t LgD3DFogLinear = 1;
constexpr int32_t LgD3DFogExponential = 2;
constexpr int32_t LgD3DFogExponentialSquared = 3;

// The render states a deferred primitive is drawn with.
struct LgD3DStateBlock {
    uint32_t vertexAlpha;
    uint32_t perspective;
    uint32_t zTest;
    uint32_t zWrite;
    uint32_t shadeMode;
    uint32_t sourceBlend;
    uint32_t destinationBlend;
    uint32_t fogEnable;
    uint32_t fogColour;
    // Texture stage 0.
    uint32_t address;
    uint32_t borderColour;
    uint32_t magFilter;
    uint32_t minFilter;
    uint32_t mipFilter;
    uint32_t colourOp;
    uint32_t alphaOp;
    LgRaster* textureRaster;
};

// Device record word 4: (state id, value) -> 1, or 0 when the device lacks the capability, the
// value is outside the state's table or no render target is current. Ids 8 and 16 take a
// pointer to a float, 17 a pointer to 256 bytes; the others take the value itself.
int32_t LgD3DSetRenderState(int32_t state, void* value);
// Device record word 5: (state id, out) -> 1 for ids 1-7 and 9-19, else 0. out points at a
// pointer-sized word; state 16 leaves the density's float bits in its low 32 bits, which on
// this little-endian machine is a float at the word's address.
int32_t LgD3DGetRenderState(int32_t state, void* out);

// The cached states as a block.
void LgD3DCaptureStateBlock(LgD3DStateBlock* block);
// Sends the block's states that differ from the cache.
void LgD3DApplyStateBlock(const LgD3DStateBlock* block);
// Puts a whole saved cache back, sending only what differs from the current one.
void LgD3DRestoreRenderStates(const LgD3DRenderStateCache& saved);
