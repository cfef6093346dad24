// The initial render states, chosen from the device's capabilities.
#include "engine/driver/lg_d3d_render_state_init.h"

using namespace platform;

namespace {

struct Filter {
    uint32_t cap;
    uint32_t mag, min, mip;
};

// Best first.
constexpr Filter filters[] = {
    {D3DPTFILTERCAPS_LINEARMIPLINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_LINEAR},
    {D3DPTFILTERCAPS_LINEARMIPNEAREST, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_LINEAR},
    {D3DPTFILTERCAPS_MIPLINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_POINT},
    {D3DPTFILTERCAPS_MIPNEAREST, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_POINT},
    {D3DPTFILTERCAPS_LINEAR, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_NONE},
};
constexpr Filter pointFilter = {0, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_NONE};

} // namespace

const D3DDEVICEDESC& LgD3DCurrentDeviceDesc() {
    static const D3DDEVICEDESC none{};
    const int32_t i = LgD3DDriver.currentSubSystem;
    if (i < 0 || i >= LgD3DDriver.subSystemCount) return none;
    return LgD3DDriver.subSystems[i].deviceDesc;
}

void LgD3DSetInitialRenderStates(IDirect3DDevice3* device) {
    if (device == nullptr) return;
    const D3DPRIMCAPS& caps = LgD3DCurrentDeviceDesc().dpcTriCaps;
    LgD3DRenderStateCache& c = LgD3DDriver.renderStates;
    auto rs = [device](uint32_t state, uint32_t value) { device->SetRenderState(state, value); };
    auto tss = [device](uint32_t state, uint32_t value) {
        device->SetTextureStageState(0, state, value);
    };

    c.perspective = (caps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE) != 0 ? 1 : 0;
    rs(D3DRENDERSTATE_TEXTUREPERSPECTIVE, c.perspective);
    rs(D3DRENDERSTATE_WRAP0, 0);
    c.zTest = c.zWrite = 1;
    rs(D3DRENDERSTATE_ZENABLE, 1);
    rs(D3DRENDERSTATE_ZWRITEENABLE, 1);
    rs(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    c.shadeMode = D3DSHADE_GOURAUD;
    rs(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);

    const bool greater = (caps.dwAlphaCmpCaps & D3DPCMPCAPS_GREATER) != 0;
    const bool notEqual = (caps.dwAlphaCmpCaps & D3DPCMPCAPS_NOTEQUAL) != 0;
    c.alphaTestAllowed = greater || notEqual ? 1 : 0;
    rs(D3DRENDERSTATE_ALPHAFUNC,
       greater ? D3DCMP_GREATER : (notEqual ? D3DCMP_NOTEQUAL : D3DCMP_ALWAYS));
    rs(D3DRENDERSTATE_ALPHAREF, 0);
    c.alphaTest = 0;
    rs(D3DRENDERSTATE_ALPHATESTENABLE, 0);

    c.sourceBlend = D3DBLEND_SRCALPHA;
    c.destinationBlend = D3DBLEND_INVSRCALPHA;
    rs(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    rs(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    c.alphaBlend = 0;
    rs(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    c.vertexAlpha = 0;
    c.textureAlpha = 0;
    c.colourKey = 0;
    rs(D3DRENDERSTATE_COLORKEYENABLE, 0);

    c.address = D3DTADDRESS_WRAP;
    tss(D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
    tss(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    tss(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    tss(D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    tss(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    c.alphaOp = c.colourOp = D3DTOP_SELECTARG2;
    tss(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    tss(D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTexture(0, nullptr);
    c.textureRaster = nullptr;

    Filter chosen = pointFilter;
    for (const Filter& f : filters) {
        if ((caps.dwTextureFilterCaps & f.cap) != 0) {
            chosen = f;
            break;
        }
    }
    c.magFilter = chosen.mag;
    c.minFilter = chosen.min;
    c.mipFilter = chosen.mip;
    tss(D3DTSS_MAGFILTER, chosen.mag);
    tss(D3DTSS_MINFILTER, chosen.min);
    tss(D3DTSS_MIPFILTER, chosen.mip);

    rs(D3DRENDERSTATE_DITHERENABLE, (caps.dwRasterCaps & D3DPRASTERCAPS_DITHER) != 0 ? 1 : 0);
    c.fogEnable = 0;
    c.fogColour = 0;
    rs(D3DRENDERSTATE_FOGENABLE, 0);
    rs(D3DRENDERSTATE_FOGCOLOR, 0);
    rs(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
    device->SetLightState(D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE);
    rs(D3DRENDERSTATE_STIPPLEDALPHA, 0);
    rs(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    rs(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    rs(D3DRENDERSTATE_SPECULARENABLE, 0);
    rs(D3DRENDERSTATE_ANTIALIAS, 0);
    c.deferral = c.deferralSub = 0;
}
