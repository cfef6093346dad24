// DirectDraw stand-in interfaces and entry points: enumeration, DirectDraw objects, surfaces,
// palettes and clippers over memory surfaces.
#pragma once

#include "platform/graphics/ddraw_types.h"

namespace platform {

struct IDirectDrawSurface4;
struct IDirectDrawPalette;
struct IDirectDrawClipper;

extern const GUID IID_IDirectDraw;
extern const GUID IID_IDirectDraw2;
extern const GUID IID_IDirectDraw4;
extern const GUID IID_IDirectDrawSurface4;
extern const GUID IID_IDirectDrawPalette;
extern const GUID IID_IDirectDrawClipper;
// The driver id of the second DirectDraw driver a profile may offer.
extern const GUID GUID_SecondaryDisplayDriver;

// cb(driver guid or null for the primary display driver, description, driver name, context):
// return DDENUMRET_OK to go on, DDENUMRET_CANCEL to stop.
using LPDDENUMCALLBACKA = int32_t (*)(GUID* guid, char* description, char* name, void* context);
using LPDDENUMMODESCALLBACK2 = int32_t (*)(DDSURFACEDESC2* mode, void* context);

// Lists the DirectDraw drivers: the primary display driver (null guid), then the profile's
// secondary driver when it offers one. DD_OK.
int32_t DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context);

// Creates a DirectDraw object (its IDirectDraw interface, IID_IDirectDraw) for a driver guid
// (null or all-zero: the primary; GUID_SecondaryDisplayDriver when the profile offers it).
// DD_OK; DDERR_INVALIDPARAMS for a null out or an unknown driver.
int32_t DirectDrawCreate(const GUID* guid, IUnknown** out, IUnknown* outer);

struct IDirectDraw4 : IUnknown {
    // flags 0; DD_OK.
    virtual int32_t CreateClipper(uint32_t flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
    // caps DDPCAPS_4BIT or DDPCAPS_8BIT (|ALLOW256, |ALPHA), entries: 16 or 256 entries.
    virtual int32_t CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                  IDirectDrawPalette** out, IUnknown* outer) = 0;
    // Creates a surface (or a flip/mip chain) from a description; see surface.h for the kinds.
    virtual int32_t CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out,
                                  IUnknown* outer) = 0;
    // Calls cb for each full-screen display mode of the device (flags and filter ignored).
    virtual int32_t EnumDisplayModes(uint32_t flags, DDSURFACEDESC2* filter, void* context,
                                     LPDDENUMMODESCALLBACK2 callback) = 0;
    // Driver (hal) and emulation (hel) capabilities; either may be null.
    virtual int32_t GetCaps(DDCAPS* hal, DDCAPS* hel) = 0;
    // The current display mode (the desktop unless a full-screen mode was set).
    virtual int32_t GetDisplayMode(DDSURFACEDESC2* desc) = 0;
    // Total and free memory for surfaces with these capabilities.
    virtual int32_t GetAvailableVidMem(DDSCAPS2* caps, uint32_t* total, uint32_t* free) = 0;
    virtual int32_t RestoreDisplayMode() = 0;
    // DDSCL_NORMAL or DDSCL_FULLSCREEN|DDSCL_EXCLUSIVE (each may add ALLOWREBOOT, FPUSETUP).
    virtual int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) = 0;
    // Switches to one of the listed modes (needs exclusive mode); DDERR_INVALIDMODE otherwise.
    virtual int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t refresh,
                                   uint32_t flags) = 0;
    virtual int32_t RestoreAllSurfaces() = 0;
};

struct IDirectDraw2 : IUnknown {
    virtual int32_t GetAvailableVidMem(DDSCAPS* caps, uint32_t* total, uint32_t* free) = 0;
};

struct IDirectDrawSurface4 : IUnknown {
    // Attaches a z-buffer to a colour surface (DDERR_SURFACEALREADYATTACHED when it is).
    virtual int32_t AddAttachedSurface(IDirectDrawSurface4* surface) = 0;
    virtual int32_t DeleteAttachedSurface(uint32_t flags, IDirectDrawSurface4* surface) = 0;
    // Colour fill, depth fill, copies (plain, source-keyed, stretched, across formats).
    virtual int32_t Blt(GfxRect* dst_rect, IDirectDrawSurface4* src, GfxRect* src_rect,
                        uint32_t flags, DDBLTFX* fx) = 0;
    // Swaps front and back buffer of a flip chain and shows the new front buffer.
    virtual int32_t Flip(IDirectDrawSurface4* target, uint32_t flags) = 0;
    // The attached surface whose caps include all of caps->dwCaps (reference added).
    virtual int32_t GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) = 0;
    // DDGFS_ISFLIPDONE / DDGFS_CANFLIP: always DD_OK (flips complete at once).
    virtual int32_t GetFlipStatus(uint32_t flags) = 0;
    virtual int32_t GetCaps(DDSCAPS2* caps) = 0;
    virtual int32_t GetClipper(IDirectDrawClipper** out) = 0;
    // DDCKEY_SRCBLT or DDCKEY_DESTBLT; DDERR_NOCOLORKEY when none is set.
    virtual int32_t GetColorKey(uint32_t flags, DDCOLORKEY* key) = 0;
    virtual int32_t GetPalette(IDirectDrawPalette** out) = 0;
    virtual int32_t GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual int32_t IsLost() = 0;
    // Locks the whole surface (rect must be null): desc gets lpSurface and lPitch.
    virtual int32_t Lock(GfxRect* rect, DDSURFACEDESC2* desc, uint32_t flags, void* event) = 0;
    virtual int32_t Restore() = 0;
    virtual int32_t SetClipper(IDirectDrawClipper* clipper) = 0;
    // key null removes it.
    virtual int32_t SetColorKey(uint32_t flags, DDCOLORKEY* key) = 0;
    virtual int32_t SetPalette(IDirectDrawPalette* palette) = 0;
    virtual int32_t Unlock(GfxRect* rect) = 0;
};

struct IDirectDrawPalette : IUnknown {
    virtual int32_t GetCaps(uint32_t* caps) = 0;
    virtual int32_t GetEntries(uint32_t flags, uint32_t start, uint32_t count,
                               PALETTEENTRY* entries) = 0;
    virtual int32_t SetEntries(uint32_t flags, uint32_t start, uint32_t count,
                               const PALETTEENTRY* entries) = 0;
};

struct IDirectDrawClipper : IUnknown {
    // Clips blits to the window's client area.
    virtual int32_t SetHWnd(uint32_t flags, GfxWindow window) = 0;
    virtual int32_t GetHWnd(GfxWindow* window) = 0;
};

} // namespace platform
