// Records, capability bits and state numbers of the Direct3D stand-in (DirectX 6 generation).
#pragma once

#include "platform/graphics/ddraw_types.h"

#include <cstdint>

namespace platform {

inline constexpr int32_t D3D_OK = 0;
inline constexpr int32_t D3DERR_INVALIDDEVICE = static_cast<int32_t>(0x887602BDu);
inline constexpr int32_t D3DERR_INVALIDPRIMITIVETYPE = static_cast<int32_t>(0x887602C5u);
inline constexpr int32_t D3DERR_INVALIDVERTEXTYPE = static_cast<int32_t>(0x887602C6u);
inline constexpr int32_t D3DERR_VIEWPORTHASNODEVICE = static_cast<int32_t>(0x887602CFu);
inline constexpr int32_t D3DERR_SCENE_IN_SCENE = static_cast<int32_t>(0x887602ECu);
inline constexpr int32_t D3DERR_SCENE_NOT_IN_SCENE = static_cast<int32_t>(0x887602EDu);
inline constexpr int32_t D3DERR_MATERIAL_GETDATA_FAILED = static_cast<int32_t>(0x887602E2u);
inline constexpr int32_t D3DERR_ZBUFFER_NOTPRESENT = static_cast<int32_t>(0x8876033Eu);
inline constexpr int32_t D3DERR_STENCILBUFFER_NOTPRESENT = static_cast<int32_t>(0x8876033Fu);
inline constexpr int32_t D3DERR_UNSUPPORTEDSTATE = static_cast<int32_t>(0x88760344u);

inline constexpr int32_t D3DENUMRET_CANCEL = 0;
inline constexpr int32_t D3DENUMRET_OK = 1;

// Colour models.
inline constexpr uint32_t D3DCOLOR_MONO = 1;
inline constexpr uint32_t D3DCOLOR_RGB = 2;

// Device description flags (which fields are valid).
inline constexpr uint32_t D3DDD_COLORMODEL = 0x1;
inline constexpr uint32_t D3DDD_DEVCAPS = 0x2;
inline constexpr uint32_t D3DDD_LINECAPS = 0x10;
inline constexpr uint32_t D3DDD_TRICAPS = 0x20;
inline constexpr uint32_t D3DDD_DEVICERENDERBITDEPTH = 0x80;
inline constexpr uint32_t D3DDD_DEVICEZBUFFERBITDEPTH = 0x100;

// Device capabilities.
inline constexpr uint32_t D3DDEVCAPS_FLOATTLVERTEX = 0x1;
inline constexpr uint32_t D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x40;
inline constexpr uint32_t D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x100;
inline constexpr uint32_t D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x200;
inline constexpr uint32_t D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x400;
inline constexpr uint32_t D3DDEVCAPS_CANRENDERAFTERFLIP = 0x800;
inline constexpr uint32_t D3DDEVCAPS_TEXTURENONLOCALVIDMEM = 0x1000;
inline constexpr uint32_t D3DDEVCAPS_HWRASTERIZATION = 0x80000;

// Raster capabilities.
inline constexpr uint32_t D3DPRASTERCAPS_DITHER = 0x1;
inline constexpr uint32_t D3DPRASTERCAPS_ZTEST = 0x10;
inline constexpr uint32_t D3DPRASTERCAPS_SUBPIXEL = 0x20;
inline constexpr uint32_t D3DPRASTERCAPS_FOGVERTEX = 0x80;
inline constexpr uint32_t D3DPRASTERCAPS_MIPMAPLODBIAS = 0x2000;
inline constexpr uint32_t D3DPRASTERCAPS_ZBUFFERLESSHSR = 0x8000;

// Comparison capabilities (z and alpha), one bit per function 1..8.
inline constexpr uint32_t D3DPCMPCAPS_NEVER = 0x1;
inline constexpr uint32_t D3DPCMPCAPS_LESS = 0x2;
inline constexpr uint32_t D3DPCMPCAPS_EQUAL = 0x4;
inline constexpr uint32_t D3DPCMPCAPS_LESSEQUAL = 0x8;
inline constexpr uint32_t D3DPCMPCAPS_GREATER = 0x10;
inline constexpr uint32_t D3DPCMPCAPS_NOTEQUAL = 0x20;
inline constexpr uint32_t D3DPCMPCAPS_GREATEREQUAL = 0x40;
inline constexpr uint32_t D3DPCMPCAPS_ALWAYS = 0x80;

// Blend capabilities: bit (1 << (factor - 1)) for the factors 1..11.
inline constexpr uint32_t blend_cap_bit(uint32_t factor) {
    return 1u << (factor - 1);
}
inline constexpr uint32_t D3DPBLENDCAPS_ALL11 = 0x7FF;

// Shade capabilities.
inline constexpr uint32_t D3DPSHADECAPS_COLORFLATRGB = 0x2;
inline constexpr uint32_t D3DPSHADECAPS_COLORGOURAUDRGB = 0x8;
inline constexpr uint32_t D3DPSHADECAPS_ALPHAFLATBLEND = 0x1000;
inline constexpr uint32_t D3DPSHADECAPS_ALPHAGOURAUDBLEND = 0x4000;
inline constexpr uint32_t D3DPSHADECAPS_FOGFLAT = 0x40000;
inline constexpr uint32_t D3DPSHADECAPS_FOGGOURAUD = 0x80000;

// Texture capabilities.
inline constexpr uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
inline constexpr uint32_t D3DPTEXTURECAPS_POW2 = 0x2;
inline constexpr uint32_t D3DPTEXTURECAPS_ALPHA = 0x4;
inline constexpr uint32_t D3DPTEXTURECAPS_TRANSPARENCY = 0x8;
inline constexpr uint32_t D3DPTEXTURECAPS_BORDER = 0x10;
inline constexpr uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x20;
inline constexpr uint32_t D3DPTEXTURECAPS_ALPHAPALETTE = 0x80;

// Texture filter capabilities.
inline constexpr uint32_t D3DPTFILTERCAPS_NEAREST = 0x1;
inline constexpr uint32_t D3DPTFILTERCAPS_LINEAR = 0x2;
inline constexpr uint32_t D3DPTFILTERCAPS_MIPNEAREST = 0x4;
inline constexpr uint32_t D3DPTFILTERCAPS_MIPLINEAR = 0x8;
inline constexpr uint32_t D3DPTFILTERCAPS_LINEARMIPNEAREST = 0x10;
inline constexpr uint32_t D3DPTFILTERCAPS_LINEARMIPLINEAR = 0x20;

// Texture blend capabilities.
inline constexpr uint32_t D3DPTBLENDCAPS_DECAL = 0x1;
inline constexpr uint32_t D3DPTBLENDCAPS_MODULATE = 0x2;
inline constexpr uint32_t D3DPTBLENDCAPS_MODULATEALPHA = 0x8;

// Texture address capabilities.
inline constexpr uint32_t D3DPTADDRESSCAPS_WRAP = 0x1;
inline constexpr uint32_t D3DPTADDRESSCAPS_MIRROR = 0x2;
inline constexpr uint32_t D3DPTADDRESSCAPS_CLAMP = 0x4;
inline constexpr uint32_t D3DPTADDRESSCAPS_BORDER = 0x8;

// Capabilities of one primitive kind (56 bytes).
struct D3DPRIMCAPS {
    uint32_t dwSize;
    uint32_t dwMiscCaps;
    uint32_t dwRasterCaps;
    uint32_t dwZCmpCaps;
    uint32_t dwSrcBlendCaps;
    uint32_t dwDestBlendCaps;
    uint32_t dwAlphaCmpCaps;
    uint32_t dwShadeCaps;
    uint32_t dwTextureCaps;
    uint32_t dwTextureFilterCaps;
    uint32_t dwTextureBlendCaps;
    uint32_t dwTextureAddressCaps;
    uint32_t dwStippleWidth;
    uint32_t dwStippleHeight;
};
static_assert(sizeof(D3DPRIMCAPS) == 56);

struct D3DTRANSFORMCAPS {
    uint32_t dwSize;
    uint32_t dwCaps;
};

struct D3DLIGHTINGCAPS {
    uint32_t dwSize;
    uint32_t dwCaps;
    uint32_t dwLightingModel;
    uint32_t dwNumLights;
};

// Device description: exactly the 252-byte DirectX 6 layout that callers copy whole.
struct D3DDEVICEDESC {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dcmColorModel;
    uint32_t dwDevCaps;
    D3DTRANSFORMCAPS dtcTransformCaps;
    int32_t bClipping;
    D3DLIGHTINGCAPS dlcLightingCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    uint32_t dwDeviceRenderBitDepth;
    uint32_t dwDeviceZBufferBitDepth;
    uint32_t dwMaxBufferSize;
    uint32_t dwMaxVertexCount;
    uint32_t dwMinTextureWidth, dwMinTextureHeight;
    uint32_t dwMaxTextureWidth, dwMaxTextureHeight;
    uint32_t dwMinStippleWidth, dwMaxStippleWidth;
    uint32_t dwMinStippleHeight, dwMaxStippleHeight;
    uint32_t dwMaxTextureRepeat;
    uint32_t dwMaxTextureAspectRatio;
    uint32_t dwMaxAnisotropy;
    float dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
    float dvExtentsAdjust;
    uint32_t dwStencilCaps;
    uint32_t dwFVFCaps;
    uint32_t dwTextureOpCaps;
    uint16_t wMaxTextureBlendStages;
    uint16_t wMaxSimultaneousTextures;
};
static_assert(sizeof(D3DDEVICEDESC) == 252);

struct D3DVIEWPORT2 {
    uint32_t dwSize;
    uint32_t dwX, dwY;
    uint32_t dwWidth, dwHeight;
    float dvClipX, dvClipY, dvClipWidth, dvClipHeight;
    float dvMinZ, dvMaxZ;
};
static_assert(sizeof(D3DVIEWPORT2) == 44);

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DMATERIAL {
    uint32_t dwSize;
    D3DCOLORVALUE diffuse, ambient, specular, emissive;
    float power;
    uint32_t hTexture;
    uint32_t dwRampSize;
};
static_assert(sizeof(D3DMATERIAL) == 80);

using D3DMATERIALHANDLE = uint32_t;

struct D3DRECT {
    int32_t x1, y1, x2, y2;
};

// The one vertex layout the device draws: transformed and lit, FVF 0x1C4.
struct D3DTLVERTEX {
    float sx, sy, sz, rhw;
    uint32_t color;    // ARGB
    uint32_t specular; // alpha = fog factor (255 = no fog); RGB unused
    float tu, tv;
};
static_assert(sizeof(D3DTLVERTEX) == 32);

inline constexpr uint32_t D3DFVF_XYZRHW = 0x4;
inline constexpr uint32_t D3DFVF_DIFFUSE = 0x40;
inline constexpr uint32_t D3DFVF_SPECULAR = 0x80;
inline constexpr uint32_t D3DFVF_TEX1 = 0x100;
inline constexpr uint32_t D3DFVF_TLVERTEX = 0x1C4;

inline constexpr uint32_t D3DDP_WAIT = 0x1;
inline constexpr uint32_t D3DDP_DONOTCLIP = 0x4;

inline constexpr uint32_t D3DCLEAR_TARGET = 0x1;
inline constexpr uint32_t D3DCLEAR_ZBUFFER = 0x2;
inline constexpr uint32_t D3DCLEAR_STENCIL = 0x4;

enum D3DPRIMITIVETYPE : uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Render-state numbers.
enum D3DRENDERSTATETYPE : uint32_t {
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_STIPPLEDALPHA = 33,
    D3DRENDERSTATE_FOGCOLOR = 34,
    D3DRENDERSTATE_FOGTABLEMODE = 35,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_MIPMAPLODBIAS = 46,
    D3DRENDERSTATE_STENCILENABLE = 52,
    D3DRENDERSTATE_STENCILFAIL = 53,
    D3DRENDERSTATE_STENCILZFAIL = 54,
    D3DRENDERSTATE_STENCILPASS = 55,
    D3DRENDERSTATE_STENCILFUNC = 56,
    D3DRENDERSTATE_STENCILREF = 57,
    D3DRENDERSTATE_STENCILMASK = 58,
    D3DRENDERSTATE_STENCILWRITEMASK = 59,
    D3DRENDERSTATE_WRAP0 = 128,
};

enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DCMPFUNC : uint32_t {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum D3DBLEND : uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
};

enum D3DFOGMODE : uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };

enum D3DSTENCILOP : uint32_t {
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};

enum D3DLIGHTSTATETYPE : uint32_t {
    D3DLIGHTSTATE_MATERIAL = 1,
    D3DLIGHTSTATE_AMBIENT = 2,
    D3DLIGHTSTATE_COLORMODEL = 3,
    D3DLIGHTSTATE_FOGMODE = 4,
    D3DLIGHTSTATE_FOGSTART = 5,
    D3DLIGHTSTATE_FOGEND = 6,
    D3DLIGHTSTATE_FOGDENSITY = 7,
    D3DLIGHTSTATE_COLORVERTEX = 8,
};

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_BORDERCOLOR = 15,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
    D3DTSS_MIPMAPLODBIAS = 19,
    D3DTSS_MAXMIPLEVEL = 20,
};

enum D3DTEXTUREOP : uint32_t {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
};

inline constexpr uint32_t D3DTA_DIFFUSE = 0;
inline constexpr uint32_t D3DTA_CURRENT = 1;
inline constexpr uint32_t D3DTA_TEXTURE = 2;

enum D3DTEXTUREADDRESS : uint32_t {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
};

enum D3DTEXTUREMAGFILTER : uint32_t { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum D3DTEXTUREMINFILTER : uint32_t { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum D3DTEXTUREMIPFILTER : uint32_t { D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3 };

} // namespace platform
