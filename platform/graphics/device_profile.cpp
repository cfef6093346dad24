// The built-in capability profiles and the process-wide current profile.
#include "platform/graphics/device_profile.h"

#include "platform/graphics/pixel_format.h"

#include <mutex>

namespace platform {
namespace {

D3DPRIMCAPS full_prim_caps() {
    D3DPRIMCAPS c{};
    c.dwSize = sizeof(D3DPRIMCAPS);
    c.dwRasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SUBPIXEL | D3DPRASTERCAPS_FOGVERTEX |
                     D3DPRASTERCAPS_MIPMAPLODBIAS;
    c.dwZCmpCaps = 0xFF;
    c.dwSrcBlendCaps = D3DPBLENDCAPS_ALL11;
    c.dwDestBlendCaps = D3DPBLENDCAPS_ALL11;
    c.dwAlphaCmpCaps = 0xFF;
    c.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB |
                    D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                    D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
    c.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA |
                      D3DPTEXTURECAPS_TRANSPARENCY | D3DPTEXTURECAPS_BORDER;
    c.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR |
                            D3DPTFILTERCAPS_MIPNEAREST | D3DPTFILTERCAPS_MIPLINEAR |
                            D3DPTFILTERCAPS_LINEARMIPNEAREST | D3DPTFILTERCAPS_LINEARMIPLINEAR;
    c.dwTextureBlendCaps =
        D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE | D3DPTBLENDCAPS_MODULATEALPHA;
    c.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR |
                             D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
    return c;
}

D3DDEVICEDESC full_device() {
    D3DDEVICEDESC d{};
    d.dwSize = sizeof(D3DDEVICEDESC);
    d.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_LINECAPS | D3DDD_TRICAPS |
                D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH;
    d.dcmColorModel = D3DCOLOR_RGB;
    d.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                  D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                  D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                  D3DDEVCAPS_TEXTURENONLOCALVIDMEM | D3DDEVCAPS_HWRASTERIZATION;
    d.dtcTransformCaps.dwSize = sizeof(D3DTRANSFORMCAPS);
    d.dlcLightingCaps.dwSize = sizeof(D3DLIGHTINGCAPS);
    d.dpcLineCaps = full_prim_caps();
    d.dpcTriCaps = full_prim_caps();
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    d.dwMaxVertexCount = 65535;
    d.dwMinTextureWidth = 1;
    d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = 2048;
    d.dwMaxTextureHeight = 2048;
    d.dwMaxTextureRepeat = 32768;
    d.dwMaxTextureAspectRatio = 2048;
    d.dwFVFCaps = 1;
    d.dwTextureOpCaps = 0xF; // disable, select arg 1, select arg 2, modulate
    d.wMaxTextureBlendStages = 1;
    d.wMaxSimultaneousTextures = 1;
    return d;
}

std::mutex profile_lock;
DeviceProfile& current() {
    static DeviceProfile p = default_profile();
    return p;
}

} // namespace

DeviceProfile default_profile() {
    DeviceProfile p;
    p.dd_caps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL |
                DDCAPS_BLTDEPTHFILL | DDCAPS_CANCLIP | DDCAPS_CANBLTSYSMEM;
    p.dd_fx_caps =
        DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHY | DDFXCAPS_BLTSHRINKX | DDFXCAPS_BLTSHRINKY;
    p.device = full_device();
    p.texture_formats = {format_565(), format_1555(), format_4444(),
                         format_555(), format_8888(), format_888()};
    p.z_formats = {make_z_format(16), make_z_format(24), make_z_format(32)};
    p.desktop = {1024, 768, format_565()};
    for (auto [w, h] : {std::pair{640u, 480u}, {800u, 600u}, {1024u, 768u}}) {
        p.display_modes.push_back({w, h, format_565()});
        p.display_modes.push_back({w, h, format_x888()});
    }
    return p;
}

DeviceProfile minimal_profile() {
    DeviceProfile p;
    p.dd_caps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTDEPTHFILL;
    p.device = full_device();
    p.device.dwDevCaps &= ~(D3DDEVCAPS_TEXTURENONLOCALVIDMEM);
    p.nonlocal_textures = false;
    for (D3DPRIMCAPS* c : {&p.device.dpcTriCaps, &p.device.dpcLineCaps}) {
        c->dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST;
        c->dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2;
        c->dwTextureBlendCaps = D3DPTBLENDCAPS_MODULATE;
        c->dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP;
        c->dwSrcBlendCaps = c->dwDestBlendCaps = blend_cap_bit(D3DBLEND_ONE) |
                                                 blend_cap_bit(D3DBLEND_SRCALPHA) |
                                                 blend_cap_bit(D3DBLEND_INVSRCALPHA);
        c->dwAlphaCmpCaps = D3DPCMPCAPS_ALWAYS;
        c->dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB |
                         D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    }
    p.device.dwDeviceRenderBitDepth = DDBD_16;
    p.device.dwDeviceZBufferBitDepth = DDBD_16;
    p.device.dwMaxTextureWidth = p.device.dwMaxTextureHeight = 256;
    p.texture_formats = {format_565()};
    p.z_formats = {make_z_format(16)};
    p.desktop = {640, 480, format_565()};
    p.display_modes = {{640, 480, format_565()}};
    return p;
}

DeviceProfile palettised_profile() {
    DeviceProfile p = default_profile();
    p.device.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_ALPHAPALETTE;
    p.device.dpcLineCaps.dwTextureCaps |= D3DPTEXTURECAPS_ALPHAPALETTE;
    p.texture_formats.push_back(make_palette_format(8));
    p.texture_formats.push_back(make_palette_format(4));
    return p;
}

const DeviceProfile& device_profile() {
    std::lock_guard g(profile_lock);
    return current();
}

void set_device_profile(const DeviceProfile& profile) {
    std::lock_guard g(profile_lock);
    current() = profile;
}

} // namespace platform
