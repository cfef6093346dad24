// Records, flags and result codes of the DirectDraw stand-in (DirectX 6 generation).
#pragma once

#include "platform/graphics/com_base.h"

#include <cstdint>

namespace platform {

// Result codes. Only the ones callers test by name are distinct; the rest are generic.
inline constexpr int32_t DD_OK = 0;
inline constexpr int32_t DDERR_GENERIC = E_FAIL;
inline constexpr int32_t DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr int32_t DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr int32_t DDERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr int32_t DDERR_INVALIDOBJECT = static_cast<int32_t>(0x88760082u);
inline constexpr int32_t DDERR_INVALIDPIXELFORMAT = static_cast<int32_t>(0x88760091u);
inline constexpr int32_t DDERR_INVALIDRECT = static_cast<int32_t>(0x88760096u);
inline constexpr int32_t DDERR_INVALIDCAPS = static_cast<int32_t>(0x88760064u);
inline constexpr int32_t DDERR_INVALIDMODE = static_cast<int32_t>(0x88760078u);
inline constexpr int32_t DDERR_NOTFOUND = static_cast<int32_t>(0x887600FFu);
inline constexpr int32_t DDERR_SURFACEALREADYATTACHED = static_cast<int32_t>(0x8876019Au);
inline constexpr int32_t DDERR_SURFACEBUSY = static_cast<int32_t>(0x887601AEu);
inline constexpr int32_t DDERR_SURFACELOST = static_cast<int32_t>(0x887601C2u);
inline constexpr int32_t DDERR_WASSTILLDRAWING = static_cast<int32_t>(0x8876021Cu);
inline constexpr int32_t DDERR_NOTLOCKED = static_cast<int32_t>(0x88760248u);
inline constexpr int32_t DDERR_NOTFLIPPABLE = static_cast<int32_t>(0x8876014Cu);
inline constexpr int32_t DDERR_NOCLIPPERATTACHED = static_cast<int32_t>(0x8876023Cu);
inline constexpr int32_t DDERR_NOPALETTEATTACHED = static_cast<int32_t>(0x887601C6u);
inline constexpr int32_t DDERR_NOCOLORKEY = static_cast<int32_t>(0x887600D7u);
inline constexpr int32_t DDERR_NOEXCLUSIVEMODE = static_cast<int32_t>(0x887601E1u);
inline constexpr int32_t DDERR_NOCOOPERATIVELEVELSET = static_cast<int32_t>(0x887600D4u);
inline constexpr int32_t DDERR_OUTOFVIDEOMEMORY = static_cast<int32_t>(0x887601E0u);
inline constexpr int32_t DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<int32_t>(0x88760234u);

// Enumeration callback results.
inline constexpr int32_t DDENUMRET_CANCEL = 0;
inline constexpr int32_t DDENUMRET_OK = 1;

// Cooperative levels.
inline constexpr uint32_t DDSCL_FULLSCREEN = 0x1;
inline constexpr uint32_t DDSCL_ALLOWREBOOT = 0x2;
inline constexpr uint32_t DDSCL_NOWINDOWCHANGES = 0x4;
inline constexpr uint32_t DDSCL_NORMAL = 0x8;
inline constexpr uint32_t DDSCL_EXCLUSIVE = 0x10;
inline constexpr uint32_t DDSCL_FPUSETUP = 0x800;

// Surface capabilities (DDSCAPS2::dwCaps).
inline constexpr uint32_t DDSCAPS_ALPHA = 0x2;
inline constexpr uint32_t DDSCAPS_BACKBUFFER = 0x4;
inline constexpr uint32_t DDSCAPS_COMPLEX = 0x8;
inline constexpr uint32_t DDSCAPS_FLIP = 0x10;
inline constexpr uint32_t DDSCAPS_FRONTBUFFER = 0x20;
inline constexpr uint32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr uint32_t DDSCAPS_PALETTE = 0x100;
inline constexpr uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
inline constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;
inline constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
inline constexpr uint32_t DDSCAPS_3DDEVICE = 0x2000;
inline constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x4000;
inline constexpr uint32_t DDSCAPS_VISIBLE = 0x8000;
inline constexpr uint32_t DDSCAPS_WRITEONLY = 0x10000;
inline constexpr uint32_t DDSCAPS_ZBUFFER = 0x20000;
inline constexpr uint32_t DDSCAPS_MIPMAP = 0x400000;
inline constexpr uint32_t DDSCAPS_LOCALVIDMEM = 0x10000000;
inline constexpr uint32_t DDSCAPS_NONLOCALVIDMEM = 0x20000000;
// Second capability word.
inline constexpr uint32_t DDSCAPS2_TEXTUREMANAGE = 0x10;

// Surface description flags (DDSURFACEDESC2::dwFlags).
inline constexpr uint32_t DDSD_CAPS = 0x1;
inline constexpr uint32_t DDSD_HEIGHT = 0x2;
inline constexpr uint32_t DDSD_WIDTH = 0x4;
inline constexpr uint32_t DDSD_PITCH = 0x8;
inline constexpr uint32_t DDSD_BACKBUFFERCOUNT = 0x20;
inline constexpr uint32_t DDSD_ZBUFFERBITDEPTH = 0x40;
inline constexpr uint32_t DDSD_LPSURFACE = 0x800;
inline constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;
inline constexpr uint32_t DDSD_CKDESTBLT = 0x4000;
inline constexpr uint32_t DDSD_CKSRCBLT = 0x10000;
inline constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000;
inline constexpr uint32_t DDSD_REFRESHRATE = 0x40000;
inline constexpr uint32_t DDSD_LINEARSIZE = 0x80000;

// Pixel format flags (DDPIXELFORMAT::dwFlags).
inline constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
inline constexpr uint32_t DDPF_ALPHA = 0x2;
inline constexpr uint32_t DDPF_FOURCC = 0x4;
inline constexpr uint32_t DDPF_PALETTEINDEXED4 = 0x8;
inline constexpr uint32_t DDPF_PALETTEINDEXEDTO8 = 0x10;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr uint32_t DDPF_RGB = 0x40;
inline constexpr uint32_t DDPF_ZBUFFER = 0x400;
inline constexpr uint32_t DDPF_PALETTEINDEXED1 = 0x800;
inline constexpr uint32_t DDPF_PALETTEINDEXED2 = 0x1000;
inline constexpr uint32_t DDPF_STENCILBUFFER = 0x4000;
inline constexpr uint32_t DDPF_LUMINANCE = 0x20000;
inline constexpr uint32_t DDPF_ANY_PALETTE = DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 |
                                             DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8 |
                                             DDPF_PALETTEINDEXEDTO8;

// Lock flags.
inline constexpr uint32_t DDLOCK_WAIT = 0x1;
inline constexpr uint32_t DDLOCK_READONLY = 0x10;
inline constexpr uint32_t DDLOCK_WRITEONLY = 0x20;

// Blt flags.
inline constexpr uint32_t DDBLT_COLORFILL = 0x400;
inline constexpr uint32_t DDBLT_DDFX = 0x800;
inline constexpr uint32_t DDBLT_KEYDEST = 0x2000;
inline constexpr uint32_t DDBLT_KEYSRC = 0x8000;
inline constexpr uint32_t DDBLT_KEYSRCOVERRIDE = 0x10000;
inline constexpr uint32_t DDBLT_WAIT = 0x1000000;
inline constexpr uint32_t DDBLT_DEPTHFILL = 0x2000000;

// Flip and flip status.
inline constexpr uint32_t DDFLIP_WAIT = 0x1;
inline constexpr uint32_t DDFLIP_NOVSYNC = 0x8;
inline constexpr uint32_t DDGFS_CANFLIP = 0x1;
inline constexpr uint32_t DDGFS_ISFLIPDONE = 0x2;

// Colour-key selectors.
inline constexpr uint32_t DDCKEY_DESTBLT = 0x2;
inline constexpr uint32_t DDCKEY_SRCBLT = 0x8;

// Palette capabilities.
inline constexpr uint32_t DDPCAPS_4BIT = 0x1;
inline constexpr uint32_t DDPCAPS_8BITENTRIES = 0x2;
inline constexpr uint32_t DDPCAPS_8BIT = 0x4;
inline constexpr uint32_t DDPCAPS_ALLOW256 = 0x40;
inline constexpr uint32_t DDPCAPS_1BIT = 0x100;
inline constexpr uint32_t DDPCAPS_2BIT = 0x200;
inline constexpr uint32_t DDPCAPS_ALPHA = 0x400;

// DirectDraw capability words (DDCAPS::dwCaps / dwFXCaps), stored by callers only.
inline constexpr uint32_t DDCAPS_3D = 0x1;
inline constexpr uint32_t DDCAPS_BLT = 0x40;
inline constexpr uint32_t DDCAPS_BLTSTRETCH = 0x200;
inline constexpr uint32_t DDCAPS_COLORKEY = 0x400000;
inline constexpr uint32_t DDCAPS_BLTCOLORFILL = 0x4000000;
inline constexpr uint32_t DDCAPS_BLTDEPTHFILL = 0x10000000;
inline constexpr uint32_t DDCAPS_CANCLIP = 0x20000000;
inline constexpr uint32_t DDCAPS_CANBLTSYSMEM = 0x80000000;
inline constexpr uint32_t DDFXCAPS_BLTSTRETCHX = 0x200000;
inline constexpr uint32_t DDFXCAPS_BLTSTRETCHY = 0x20000000;
inline constexpr uint32_t DDFXCAPS_BLTSHRINKX = 0x20000;
inline constexpr uint32_t DDFXCAPS_BLTSHRINKY = 0x80000;

// Bit-depth masks of a device's render and z depths.
inline constexpr uint32_t DDBD_8 = 0x800;
inline constexpr uint32_t DDBD_16 = 0x400;
inline constexpr uint32_t DDBD_24 = 0x200;
inline constexpr uint32_t DDBD_32 = 0x100;

struct GfxRect {
    int32_t left, top, right, bottom;
};

struct DDCOLORKEY {
    uint32_t dwColorSpaceLowValue;
    uint32_t dwColorSpaceHighValue;
};

struct DDSCAPS {
    uint32_t dwCaps;
};

struct DDSCAPS2 {
    uint32_t dwCaps;
    uint32_t dwCaps2;
    uint32_t dwCaps3;
    uint32_t dwCaps4;
};

// Pixel format (32 bytes, the stored layout). The unions give the z-buffer and alpha names of
// the same words.
struct DDPIXELFORMAT {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwFourCC;
    union {
        uint32_t dwRGBBitCount;
        uint32_t dwZBufferBitDepth;
        uint32_t dwAlphaBitDepth;
        uint32_t dwLuminanceBitCount;
    };
    union {
        uint32_t dwRBitMask;
        uint32_t dwStencilBitDepth;
        uint32_t dwLuminanceBitMask;
    };
    union {
        uint32_t dwGBitMask;
        uint32_t dwZBitMask;
    };
    union {
        uint32_t dwBBitMask;
        uint32_t dwStencilBitMask;
    };
    union {
        uint32_t dwRGBAlphaBitMask;
        uint32_t dwRGBZBitMask;
    };
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

// Surface description, in the DirectX 6 field order. In memory lpSurface is a native pointer;
// to_wire/from_wire below give the 124-byte stored form.
struct DDSURFACEDESC2 {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwHeight;
    uint32_t dwWidth;
    union {
        int32_t lPitch;
        uint32_t dwLinearSize;
    };
    union {
        uint32_t dwBackBufferCount;
        uint32_t dwDepth;
    };
    union {
        uint32_t dwMipMapCount;
        uint32_t dwRefreshRate;
    };
    uint32_t dwAlphaBitDepth;
    uint32_t dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    uint32_t dwTextureStage;
};

inline constexpr uint32_t kSurfaceDescWireSize = 124;

// The stored 124-byte form of a surface description (little-endian; the surface pointer field
// holds the low 32 bits of `surface_word`, which stored files use as a flag word).
void surface_desc_to_wire(const DDSURFACEDESC2& desc, uint32_t surface_word,
                          uint8_t out[kSurfaceDescWireSize]);
// Reads the stored form; returns the stored surface word, lpSurface becomes null.
uint32_t surface_desc_from_wire(const uint8_t in[kSurfaceDescWireSize], DDSURFACEDESC2* desc);

struct PALETTEENTRY {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
};

// Blit effects: only the words the blitter reads.
struct DDBLTFX {
    uint32_t dwSize;
    uint32_t dwDDFX;
    union {
        uint32_t dwFillColor;
        uint32_t dwFillDepth;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};

// Capability block of a DirectDraw driver (380 bytes as in DirectX 6; words after the video
// memory totals are reserved and zero).
struct DDCAPS {
    uint32_t dwSize;
    uint32_t dwCaps;
    uint32_t dwCaps2;
    uint32_t dwCKeyCaps;
    uint32_t dwFXCaps;
    uint32_t dwFXAlphaCaps;
    uint32_t dwPalCaps;
    uint32_t dwSVCaps;
    uint32_t dwAlphaBltConstBitDepths;
    uint32_t dwAlphaBltPixelBitDepths;
    uint32_t dwAlphaBltSurfaceBitDepths;
    uint32_t dwAlphaOverlayConstBitDepths;
    uint32_t dwAlphaOverlayPixelBitDepths;
    uint32_t dwAlphaOverlaySurfaceBitDepths;
    uint32_t dwZBufferBitDepths;
    uint32_t dwVidMemTotal;
    uint32_t dwVidMemFree;
    uint32_t dwReserved[78];
};
static_assert(sizeof(DDCAPS) == 380);

} // namespace platform
