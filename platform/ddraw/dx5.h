// The older DirectDraw and Direct3D interfaces (IDirectDraw2, IDirectDrawSurface3, IDirect3D2,
// IDirect3DDevice2) as thin facades over the graphics device of platform/graphics: surfaces that
// can be lost and restored, the legacy render states 0..46 with texture handles, and
// DrawPrimitive with a vertex-type number.
#pragma once

#include "platform/graphics/d3d.h"

namespace platform::dx5 {

struct IDirectDrawSurface3;
struct IDirect3D2;
struct IDirect3DDevice2;
struct IDirect3DMaterial2;
using IDirect3DViewport2 = platform::IDirect3DViewport3;
using D3DTEXTUREHANDLE = uint32_t;

extern const GUID IID_IDirectDraw2;
// Both ids answer the same surface interface.
extern const GUID IID_IDirectDrawSurface;
extern const GUID IID_IDirectDrawSurface3;
extern const GUID IID_IDirect3D2;
extern const GUID IID_IDirect3DDevice2;
extern const GUID IID_IDirect3DTexture2;

// The vertex-type number of the transformed-and-lit vertex.
inline constexpr uint32_t D3DVT_TLVERTEX = 3;

// Legacy render states the facade keeps itself.
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREHANDLE = 1;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREADDRESS = 3;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREMAG = 17;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREMIN = 18;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREMAPBLEND = 21;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREADDRESSU = 44;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREADDRESSV = 45;
// Texture-map blend modes.
inline constexpr uint32_t D3DTBLEND_DECAL = 1;
inline constexpr uint32_t D3DTBLEND_MODULATE = 2;
inline constexpr uint32_t D3DTBLEND_DECALALPHA = 3;
inline constexpr uint32_t D3DTBLEND_MODULATEALPHA = 4;
inline constexpr uint32_t D3DTBLEND_COPY = 7;

// Z-buffer depth in a surface description (DDSD_ZBUFFERBITDEPTH): the depth travels in
// dwMipMapCount's place as it did in the older description.
inline constexpr uint32_t kZBufferDepthFlag = DDSD_ZBUFFERBITDEPTH;

using LPDDENUMMODESCALLBACK = platform::LPDDENUMMODESCALLBACK2;

struct IDirectDraw2 : IUnknown {
    // Opens the driver (null: the primary display driver). DDERR_INVALIDPARAMS for an unknown
    // driver, DDERR_GENERIC when it is open already.
    virtual int32_t Initialize(const GUID* driver) = 0;
    virtual int32_t CreateClipper(uint32_t flags, IDirectDrawClipper** out) = 0;
    virtual int32_t CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                  IDirectDrawPalette** out) = 0;
    // A z-buffer may give its depth with DDSD_ZBUFFERBITDEPTH (in desc->dwMipMapCount).
    virtual int32_t CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface3** out) = 0;
    virtual int32_t EnumDisplayModes(uint32_t flags, DDSURFACEDESC2* filter, void* context,
                                     LPDDENUMMODESCALLBACK callback) = 0;
    virtual int32_t GetCaps(DDCAPS* hal, DDCAPS* hel) = 0;
    virtual int32_t GetDisplayMode(DDSURFACEDESC2* desc) = 0;
    virtual int32_t RestoreDisplayMode() = 0;
    virtual int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) = 0;
    virtual int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t refresh,
                                   uint32_t flags) = 0;
};

struct IDirectDrawSurface3 : IUnknown {
    virtual int32_t AddAttachedSurface(IDirectDrawSurface3* surface) = 0;
    virtual int32_t Blt(GfxRect* dst_rect, IDirectDrawSurface3* src, GfxRect* src_rect,
                        uint32_t flags, DDBLTFX* fx) = 0;
    virtual int32_t Flip(IDirectDrawSurface3* target, uint32_t flags) = 0;
    virtual int32_t GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface3** out) = 0;
    virtual int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    // DDERR_SURFACELOST while the surface is lost.
    virtual int32_t IsLost() = 0;
    virtual int32_t Lock(GfxRect* rect, DDSURFACEDESC2* desc, uint32_t flags, void* event) = 0;
    virtual int32_t Restore() = 0;
    virtual int32_t SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual int32_t SetColorKey(uint32_t flags, DDCOLORKEY* key) = 0;
    virtual int32_t SetPalette(IDirectDrawPalette* palette) = 0;
    virtual int32_t Unlock(void* rect) = 0;
    // Memory of the stand-in is always resident: counted only. DD_OK.
    virtual int32_t PageLock(uint32_t flags) = 0;
    virtual int32_t PageUnlock(uint32_t flags) = 0;
};

struct IDirect3DTexture2 : IUnknown {
    // The handle render state 1 takes on this device (non-zero).
    virtual int32_t GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* handle) = 0;
};

struct IDirect3DMaterial2 : IUnknown {
    virtual int32_t SetMaterial(D3DMATERIAL* material) = 0;
    virtual int32_t GetHandle(IDirect3DDevice2* device, D3DMATERIALHANDLE* handle) = 0;
};

struct IDirect3D2 : IUnknown {
    virtual int32_t EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
    virtual int32_t CreateMaterial(IDirect3DMaterial2** out, IUnknown* outer) = 0;
    virtual int32_t CreateViewport(IDirect3DViewport2** out, IUnknown* outer) = 0;
    virtual int32_t CreateDevice(const GUID& device, IDirectDrawSurface3* target,
                                 IDirect3DDevice2** out) = 0;
};

struct IDirect3DDevice2 : IUnknown {
    virtual int32_t GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) = 0;
    virtual int32_t AddViewport(IDirect3DViewport2* viewport) = 0;
    virtual int32_t DeleteViewport(IDirect3DViewport2* viewport) = 0;
    virtual int32_t EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    virtual int32_t BeginScene() = 0;
    virtual int32_t EndScene() = 0;
    virtual int32_t SetCurrentViewport(IDirect3DViewport2* viewport) = 0;
    // States 1 (texture handle), 3, 17, 18, 21, 44 and 45 are translated for the device.
    virtual int32_t SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual int32_t GetRenderState(uint32_t state, uint32_t* value) = 0;
    // vertex_type must be D3DVT_TLVERTEX.
    virtual int32_t DrawPrimitive(uint32_t type, uint32_t vertex_type, void* vertices,
                                  uint32_t count, uint32_t flags) = 0;
    virtual int32_t DrawIndexedPrimitive(uint32_t type, uint32_t vertex_type, void* vertices,
                                         uint32_t count, uint16_t* indices, uint32_t index_count,
                                         uint32_t flags) = 0;
};

// The drivers, as platform::DirectDrawEnumerateA.
int32_t DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context);
// A DirectDraw object not yet initialised (the class-object way of making one).
int32_t CreateDirectDraw(IDirectDraw2** out);
// A DirectDraw object opened on a driver (null: the primary).
int32_t DirectDrawCreate(const GUID* driver, IDirectDraw2** out);

// Marks every live surface lost (as a mode switch by another program would); each answers
// DDERR_SURFACELOST from IsLost, Lock and Blt until restored. For tests.
void lose_all_surfaces();
// Makes the next `count` SetDisplayMode calls fail with DDERR_INVALIDMODE. For tests.
void fail_next_display_modes(uint32_t count);
// Number of surfaces of the facade alive.
uint32_t live_surface_count();

// The window's client rectangle in screen coordinates (as GetClientRect, ClientToScreen and
// OffsetRect give it); false when the window is unknown.
bool client_rect_on_screen(GfxWindow window, uint32_t width, uint32_t height, GfxRect* out);

} // namespace platform::dx5
