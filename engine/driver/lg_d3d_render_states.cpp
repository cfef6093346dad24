// Render-state set and get, with the capability checks and fallbacks of every engine state,
// the texture and alpha interplay, and state blocks.
#include "engine/driver/lg_d3d_render_states.h"

#include "engine/core/lg_im3d.h"
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_fog.h"
#include "engine/driver/lg_d3d_render_state_init.h"

#include <cstring>

using namespace platform;

namespace {

constexpr uint32_t alphaShadeCaps = D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
constexpr uint32_t fogShadeCaps = D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
constexpr uint32_t maxBlend = D3DBLEND_SRCALPHASAT;
// Shade mode 1 is flat; any other value asks for Gouraud shading.
constexpr uint32_t shadeFlat = 1;

// One engine filter mode: the three stage filters, the filter capability it needs and the
// mode to fall back to when the device lacks it.
struct FilterMode {
    uint32_t cap; // 0: always available
    uint32_t mag, min, mip;
    int32_t fallback;
};

constexpr FilterMode filterModes[] = {
    {},
    {0, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_NONE, 0},
    {D3DPTFILTERCAPS_LINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_NONE, 1},
    {D3DPTFILTERCAPS_MIPNEAREST, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_POINT, 2},
    {D3DPTFILTERCAPS_MIPLINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_POINT, 5},
    {D3DPTFILTERCAPS_LINEARMIPNEAREST, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_LINEAR, 3},
    {D3DPTFILTERCAPS_LINEARMIPLINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_LINEAR, 4},
};
constexpr int32_t filterModeCount = 6;

// Engine stencil operations 1-6 and functions 1-8 as Direct3D numbers.
constexpr uint32_t stencilOps[] = {0,
                                   D3DSTENCILOP_KEEP,
                                   D3DSTENCILOP_ZERO,
                                   D3DSTENCILOP_REPLACE,
                                   D3DSTENCILOP_INCR,
                                   D3DSTENCILOP_DECR,
                                   D3DSTENCILOP_INVERT};
constexpr uint32_t stencilFunctions[] = {0,
                                         D3DCMP_NEVER,
                                         D3DCMP_ALWAYS,
                                         D3DCMP_LESS,
                                         D3DCMP_LESSEQUAL,
                                         D3DCMP_EQUAL,
                                         D3DCMP_NOTEQUAL,
                                         D3DCMP_GREATEREQUAL,
                                         D3DCMP_GREATER};

LgD3DRenderStateCache& cache() {
    return LgD3DDriver.renderStates;
}

IDirect3DDevice3* device() {
    const LgD3DRenderTarget* target = LgD3DDriver.currentTarget;
    return target != nullptr ? target->device : nullptr;
}

const D3DPRIMCAPS& caps() {
    return LgD3DCurrentDeviceDesc().dpcTriCaps;
}

uint32_t word_of(void* value) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
}

bool has(uint32_t capabilities, uint32_t wanted) {
    return (capabilities & wanted) != 0;
}

// Each send reaches the device only when the value differs from the cached one; the cache
// follows what the device accepted.
bool send(uint32_t state, uint32_t value, uint32_t& cached) {
    if (cached == value) return true;
    if (failed(device()->SetRenderState(state, value))) return false;
    cached = value;
    return true;
}

bool send_stage(uint32_t state, uint32_t value, uint32_t& cached) {
    if (cached == value) return true;
    if (failed(device()->SetTextureStageState(0, state, value))) return false;
    cached = value;
    return true;
}

void update_alpha() {
    LgD3DRenderStateCache& c = cache();
    const uint32_t blend = c.vertexAlpha != 0 || c.textureAlpha != 0 ? 1 : 0;
    send(D3DRENDERSTATE_ALPHABLENDENABLE, blend, c.alphaBlend);
    send(D3DRENDERSTATE_ALPHATESTENABLE, blend != 0 && c.alphaTestAllowed != 0 ? 1 : 0,
         c.alphaTest);
    if (c.vertexAlpha != 0 && c.textureAlpha != 0)
        send_stage(D3DTSS_ALPHAOP, D3DTOP_MODULATE, c.alphaOp);
    else if (c.textureAlpha != 0)
        send_stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, c.alphaOp);
    else if (c.vertexAlpha != 0)
        send_stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2, c.alphaOp);
}

bool texture_has_alpha(const LgRaster* raster) {
    const LgD3DPixelFormatRecord* format = LgD3DRasterSliceOf(raster)->format;
    if (format != nullptr && (format->format.dwFlags & DDPF_ALPHAPIXELS) != 0) return true;
    // Alpha palettes (codes 0x2500, 0x4500) carry their alpha in the palette entries.
    return (raster->format & 0x60) != 0 && (raster->format & 0x0F) == 0x05;
}

int32_t set_texture_raster(LgRaster* raster) {
    LgD3DRenderStateCache& c = cache();
    if (raster != c.textureRaster) {
        IDirect3DTexture2* texture =
            raster != nullptr ? LgD3DRasterSliceOf(raster)->texture : nullptr;
        if (failed(device()->SetTexture(0, texture))) return 0;
        c.textureRaster = raster;
    }
    if (raster != nullptr) {
        send_stage(D3DTSS_COLOROP, D3DTOP_MODULATE, c.colourOp);
        c.textureAlpha = texture_has_alpha(raster) ? 1 : 0;
        send(D3DRENDERSTATE_COLORKEYENABLE, LgD3DRasterSliceOf(raster)->colourKey != 0 ? 1 : 0,
             c.colourKey);
    } else {
        send_stage(D3DTSS_COLOROP, D3DTOP_SELECTARG2, c.colourOp);
        c.textureAlpha = 0;
        send(D3DRENDERSTATE_COLORKEYENABLE, 0, c.colourKey);
    }
    update_alpha();
    return 1;
}

void set_vertex_alpha_flag(uint32_t on) {
    cache().vertexAlpha = on;
    update_alpha();
}

int32_t set_filter(uint32_t mode) {
    if (mode < 1 || mode > filterModeCount) return 0;
    const uint32_t available = caps().dwTextureFilterCaps;
    int32_t m = static_cast<int32_t>(mode);
    while (filterModes[m].cap != 0 && !has(available, filterModes[m].cap))
        m = filterModes[m].fallback;
    LgD3DRenderStateCache& c = cache();
    const FilterMode& f = filterModes[m];
    return send_stage(D3DTSS_MAGFILTER, f.mag, c.magFilter) &&
                   send_stage(D3DTSS_MINFILTER, f.min, c.minFilter) &&
                   send_stage(D3DTSS_MIPFILTER, f.mip, c.mipFilter)
               ? 1
               : 0;
}

uint32_t filter_mode_of(const LgD3DRenderStateCache& c) {
    const uint32_t linear = c.magFilter == D3DTFG_LINEAR ? 1 : 0;
    switch (c.mipFilter) {
    case D3DTFP_POINT: return 3 + linear;
    case D3DTFP_LINEAR: return 5 + linear;
    default: return 1 + linear;
    }
}

void use_fog_table(const uint8_t* table, int32_t type) {
    LgD3DSetCurrentFogTable(table);
    cache().fogType = type;
    // Clipped vertices take their fog from immediate mode's projection: keep it counting from
    // the eye for the exponential tables, as the driver's own fog set-up does.
    LgIm3DGlobal.projection.fogFromEye =
        type == LgD3DFogExponential || type == LgD3DFogExponentialSquared ? 1 : 0;
}

int32_t set_fog_type(uint32_t type) {
    const LgD3DDriverState& d = LgD3DDriver;
    switch (type) {
    case LgD3DFogLinear: use_fog_table(LgD3DLinearFogTable(), LgD3DFogLinear); return 1;
    case LgD3DFogExponential: use_fog_table(d.fogTableExp, LgD3DFogExponential); return 1;
    case LgD3DFogExponentialSquared:
        use_fog_table(d.fogTableExp2, LgD3DFogExponentialSquared);
        return 1;
    default: return 0;
    }
}

int32_t set_stencil(int32_t state, uint32_t value) {
    if (LgD3DCurrentDeviceDesc().dwStencilCaps == 0) return 0;
    LgD3DRenderStateCache& c = cache();
    switch (state) {
    case LgD3DStateStencilEnable:
        return send(D3DRENDERSTATE_STENCILENABLE, value != 0 ? 1 : 0, c.stencilEnable);
    case LgD3DStateStencilFail:
    case LgD3DStateStencilZFail:
    case LgD3DStateStencilPass: {
        if (value < 1 || value > 6) return 0;
        const uint32_t d3dState = state == LgD3DStateStencilFail    ? D3DRENDERSTATE_STENCILFAIL
                                  : state == LgD3DStateStencilZFail ? D3DRENDERSTATE_STENCILZFAIL
                                                                    : D3DRENDERSTATE_STENCILPASS;
        uint32_t& cached = state == LgD3DStateStencilFail    ? c.stencilFail
                           : state == LgD3DStateStencilZFail ? c.stencilZFail
                                                             : c.stencilPass;
        return send(d3dState, stencilOps[value], cached);
    }
    case LgD3DStateStencilFunction:
        if (value < 1 || value > 8) return 0;
        return send(D3DRENDERSTATE_STENCILFUNC, stencilFunctions[value], c.stencilFunction);
    case LgD3DStateStencilReference:
        return send(D3DRENDERSTATE_STENCILREF, value, c.stencilReference);
    case LgD3DStateStencilMask: {
        if (c.stencilMask == value) return 1;
        if (failed(device()->SetRenderState(D3DRENDERSTATE_STENCILMASK, value)) ||
            failed(device()->SetRenderState(D3DRENDERSTATE_STENCILWRITEMASK, value)))
            return 0;
        c.stencilMask = value;
        return 1;
    }
    default: return 0;
    }
}

int32_t set_fog_state(int32_t state, void* value) {
    if (!has(caps().dwShadeCaps, fogShadeCaps)) return 0;
    LgD3DRenderStateCache& c = cache();
    switch (state) {
    case LgD3DStateFogEnable:
        return send(D3DRENDERSTATE_FOGENABLE, word_of(value) != 0 ? 1 : 0, c.fogEnable);
    case LgD3DStateFogColour: return send(D3DRENDERSTATE_FOGCOLOR, word_of(value), c.fogColour);
    case LgD3DStateFogType: return set_fog_type(word_of(value));
    case LgD3DStateFogDensity: {
        if (value == nullptr) return 0;
        const float density = *static_cast<const float*>(value);
        if (density != c.fogDensity) {
            c.fogDensity = density;
            LgD3DBuildFogTables(LgD3DDriver.fogTablesFar);
        }
        return 1;
    }
    case LgD3DStateFogTable:
        if (value == nullptr) return 0;
        use_fog_table(static_cast<const uint8_t*>(value), 0);
        return 1;
    default: return 0;
    }
}

int32_t set_deferral(int32_t state, uint32_t value) {
    LgD3DRenderStateCache& c = cache();
    if (state == LgD3DStateDeferral) {
        if (value != 0) {
            c.deferral = 1;
            c.deferralSub = 0;
        } else {
            if (c.deferral != 0) LgD3DFlushDeferred();
            c.deferral = c.deferralSub = 0;
        }
        return 1;
    }
    c.deferralSub = c.deferral != 0 && value != 0 ? 1 : 0;
    return 1;
}

} // namespace

int32_t LgD3DSetRenderState(int32_t state, void* value) {
    if (device() == nullptr) return 0;
    LgD3DRenderStateCache& c = cache();
    const D3DPRIMCAPS& p = caps();
    const uint32_t v = word_of(value);
    switch (state) {
    case LgD3DStateTextureRaster: return set_texture_raster(static_cast<LgRaster*>(value));
    case LgD3DStateTextureAddress:
        if (v < D3DTADDRESS_WRAP || v > D3DTADDRESS_BORDER ||
            !has(p.dwTextureAddressCaps, 1u << (v - 1)))
            return 0;
        return send_stage(D3DTSS_ADDRESS, v, c.address);
    case LgD3DStatePerspective:
        if (v != 0 && !has(p.dwTextureCaps, D3DPTEXTURECAPS_PERSPECTIVE)) return 0;
        return send(D3DRENDERSTATE_TEXTUREPERSPECTIVE, v != 0 ? 1 : 0, c.perspective);
    case LgD3DStateZTest:
        if (p.dwZCmpCaps == 0) return 0;
        // Deferred translucent geometry was queued to be drawn with depth testing.
        if (v == 0 && c.zTest != 0) LgD3DFlushDeferred();
        return send(D3DRENDERSTATE_ZENABLE, v != 0 ? 1 : 0, c.zTest);
    case LgD3DStateShadeMode: {
        const bool flat = v == shadeFlat;
        if (!has(p.dwShadeCaps, flat ? D3DPSHADECAPS_COLORFLATRGB : D3DPSHADECAPS_COLORGOURAUDRGB))
            return 0;
        return send(D3DRENDERSTATE_SHADEMODE, flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD, c.shadeMode);
    }
    case LgD3DStateZWrite:
        if (p.dwZCmpCaps == 0) return 0;
        return send(D3DRENDERSTATE_ZWRITEENABLE, v != 0 ? 1 : 0, c.zWrite);
    case LgD3DStateTextureFilter: return set_filter(v);
    case LgD3DStateMipBias: {
        if (value == nullptr) return 0;
        const auto bias = static_cast<int32_t>(*static_cast<const float*>(value));
        device()->SetRenderState(D3DRENDERSTATE_MIPMAPLODBIAS, static_cast<uint32_t>(bias));
        return 1;
    }
    case LgD3DStateSourceBlend:
        if (v < 1 || v > maxBlend || !has(p.dwSrcBlendCaps, blend_cap_bit(v))) return 0;
        return send(D3DRENDERSTATE_SRCBLEND, v, c.sourceBlend);
    case LgD3DStateDestinationBlend:
        if (v < 1 || v > maxBlend || !has(p.dwDestBlendCaps, blend_cap_bit(v))) return 0;
        return send(D3DRENDERSTATE_DESTBLEND, v, c.destinationBlend);
    case LgD3DStateVertexAlpha:
        c.vertexAlpha = v != 0 ? 1 : 0;
        if (!has(p.dwShadeCaps, alphaShadeCaps)) return 0;
        update_alpha();
        return 1;
    case LgD3DStateBorderColour:
        if (!has(p.dwTextureCaps, D3DPTEXTURECAPS_BORDER)) return 0;
        return send_stage(D3DTSS_BORDERCOLOR, v, c.borderColour);
    case LgD3DStateFogEnable:
    case LgD3DStateFogColour:
    case LgD3DStateFogType:
    case LgD3DStateFogDensity:
    case LgD3DStateFogTable: return set_fog_state(state, value);
    case LgD3DStateDeferral:
    case LgD3DStateDeferralSub: return set_deferral(state, v);
    case LgD3DStateStencilEnable:
    case LgD3DStateStencilFail:
    case LgD3DStateStencilZFail:
    case LgD3DStateStencilPass:
    case LgD3DStateStencilFunction:
    case LgD3DStateStencilReference:
    case LgD3DStateStencilMask: return set_stencil(state, v);
    default: return 0;
    }
}

int32_t LgD3DGetRenderState(int32_t state, void* out) {
    if (out == nullptr) return 0;
    const LgD3DRenderStateCache& c = cache();
    uintptr_t value = 0;
    switch (state) {
    case LgD3DStateTextureRaster: value = reinterpret_cast<uintptr_t>(c.textureRaster); break;
    case LgD3DStateTextureAddress: value = c.address; break;
    case LgD3DStatePerspective: value = c.perspective; break;
    case LgD3DStateZTest: value = c.zTest; break;
    case LgD3DStateShadeMode: value = c.shadeMode; break;
    case LgD3DStateZWrite: value = c.zWrite; break;
    case LgD3DStateTextureFilter: value = filter_mode_of(c); break;
    case LgD3DStateSourceBlend: value = c.sourceBlend; break;
    case LgD3DStateDestinationBlend: value = c.destinationBlend; break;
    case LgD3DStateVertexAlpha: value = c.alphaBlend; break;
    case LgD3DStateBorderColour: value = c.borderColour; break;
    case LgD3DStateFogEnable: value = c.fogEnable; break;
    case LgD3DStateFogColour: value = c.fogColour; break;
    case LgD3DStateFogType: value = static_cast<uint32_t>(c.fogType); break;
    case LgD3DStateFogDensity: {
        uint32_t bits = 0;
        std::memcpy(&bits, &c.fogDensity, sizeof(bits));
        value = bits;
        break;
    }
    case LgD3DStateFogTable:
        value = reinterpret_cast<uintptr_t>(LgD3DDriver.fogTableCurrent);
        break;
    case LgD3DStateDeferral: value = c.deferral; break;
    case LgD3DStateDeferralSub: value = c.deferralSub; break;
    default: return 0;
    }
    *static_cast<uintptr_t*>(out) = value;
    return 1;
}

void LgD3DCaptureStateBlock(LgD3DStateBlock* block) {
    const LgD3DRenderStateCache& c = cache();
    *block = {c.vertexAlpha,  c.perspective,      c.zTest,     c.zWrite,    c.shadeMode,
              c.sourceBlend,  c.destinationBlend, c.fogEnable, c.fogColour, c.address,
              c.borderColour, c.magFilter,        c.minFilter, c.mipFilter, c.colourOp,
              c.alphaOp,      c.textureRaster};
}

void LgD3DApplyStateBlock(const LgD3DStateBlock* block) {
    if (block == nullptr || device() == nullptr) return;
    LgD3DRenderStateCache& c = cache();
    const LgD3DStateBlock& b = *block;
    send_stage(D3DTSS_BORDERCOLOR, b.borderColour, c.borderColour);
    send_stage(D3DTSS_ADDRESS, b.address, c.address);
    send_stage(D3DTSS_MAGFILTER, b.magFilter, c.magFilter);
    send_stage(D3DTSS_MINFILTER, b.minFilter, c.minFilter);
    send_stage(D3DTSS_MIPFILTER, b.mipFilter, c.mipFilter);
    if (b.textureRaster != c.textureRaster) set_texture_raster(b.textureRaster);
    send(D3DRENDERSTATE_FOGCOLOR, b.fogColour, c.fogColour);
    send(D3DRENDERSTATE_FOGENABLE, b.fogEnable, c.fogEnable);
    send(D3DRENDERSTATE_SRCBLEND, b.sourceBlend, c.sourceBlend);
    send(D3DRENDERSTATE_DESTBLEND, b.destinationBlend, c.destinationBlend);
    send(D3DRENDERSTATE_SHADEMODE, b.shadeMode, c.shadeMode);
    send(D3DRENDERSTATE_ZENABLE, b.zTest, c.zTest);
    send(D3DRENDERSTATE_ZWRITEENABLE, b.zWrite, c.zWrite);
    send(D3DRENDERSTATE_TEXTUREPERSPECTIVE, b.perspective, c.perspective);
    if (b.vertexAlpha != c.vertexAlpha) set_vertex_alpha_flag(b.vertexAlpha);
}

void LgD3DRestoreRenderStates(const LgD3DRenderStateCache& saved) {
    LgD3DStateBlock block{};
    LgD3DRenderStateCache current = cache();
    cache() = saved;
    LgD3DCaptureStateBlock(&block);
    cache() = current;
    LgD3DApplyStateBlock(&block);
    // What blocks do not carry was not changed by them; take the saved words back.
    LgD3DRenderStateCache& c = cache();
    c.fogType = saved.fogType;
    c.fogDensity = saved.fogDensity;
    c.deferral = saved.deferral;
    c.deferralSub = saved.deferralSub;
}
