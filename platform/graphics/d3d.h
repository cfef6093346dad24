// Direct3D stand-in interfaces: the Direct3D object, the device over the software rasteriser,
// viewports, materials and texture interfaces of texture surfaces.
#pragma once

#include "platform/graphics/d3d_types.h"
#include "platform/graphics/ddraw.h"

namespace platform {

struct IDirect3DDevice3;
struct IDirect3DViewport3;
struct IDirect3DMaterial3;
struct IDirect3DTexture2;

extern const GUID IID_IDirect3D3;
extern const GUID IID_IDirect3DDevice3;
extern const GUID IID_IDirect3DViewport3;
extern const GUID IID_IDirect3DMaterial3;
extern const GUID IID_IDirect3DTexture2;
// Device ids for CreateDevice and EnumDevices; all three draw with the same rasteriser.
extern const GUID IID_IDirect3DHALDevice;
extern const GUID IID_IDirect3DRGBDevice;
extern const GUID IID_IDirect3DRefDevice;

// cb(device guid, description, name, hardware description, software description, context).
using LPD3DENUMDEVICESCALLBACK = int32_t (*)(GUID* guid, char* description, char* name,
                                             D3DDEVICEDESC* hal, D3DDEVICEDESC* hel, void* context);
// cb(pixel format, context): D3DENUMRET_OK to go on.
using LPD3DENUMPIXELFORMATSCALLBACK = int32_t (*)(DDPIXELFORMAT* format, void* context);

struct IDirect3D3 : IUnknown {
    virtual int32_t EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
    virtual int32_t CreateMaterial(IDirect3DMaterial3** out, IUnknown* outer) = 0;
    virtual int32_t CreateViewport(IDirect3DViewport3** out, IUnknown* outer) = 0;
    // Creates a device drawing into a 3D-capable colour surface (and its attached z-buffer).
    virtual int32_t CreateDevice(const GUID& device, IDirectDrawSurface4* target,
                                 IDirect3DDevice3** out, IUnknown* outer) = 0;
    virtual int32_t EnumZBufferFormats(const GUID& device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       void* context) = 0;
    // Managed textures live in memory already: nothing to evict. D3D_OK.
    virtual int32_t EvictManagedTextures() = 0;
};

struct IDirect3DDevice3 : IUnknown {
    virtual int32_t GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) = 0;
    virtual int32_t AddViewport(IDirect3DViewport3* viewport) = 0;
    virtual int32_t DeleteViewport(IDirect3DViewport3* viewport) = 0;
    virtual int32_t EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    // D3DERR_SCENE_IN_SCENE when a scene is open already.
    virtual int32_t BeginScene() = 0;
    // D3DERR_SCENE_NOT_IN_SCENE when no scene is open.
    virtual int32_t EndScene() = 0;
    virtual int32_t GetDirect3D(IDirect3D3** out) = 0;
    // The viewport must have been added.
    virtual int32_t SetCurrentViewport(IDirect3DViewport3* viewport) = 0;
    virtual int32_t GetCurrentViewport(IDirect3DViewport3** out) = 0;
    virtual int32_t GetRenderTarget(IDirectDrawSurface4** out) = 0;
    virtual int32_t SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual int32_t GetRenderState(uint32_t state, uint32_t* value) = 0;
    virtual int32_t SetLightState(uint32_t state, uint32_t value) = 0;
    virtual int32_t GetLightState(uint32_t state, uint32_t* value) = 0;
    // Vertex format must be D3DFVF_TLVERTEX (0x1C4).
    virtual int32_t DrawPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t count,
                                  uint32_t flags) = 0;
    virtual int32_t DrawIndexedPrimitive(uint32_t type, uint32_t fvf, void* vertices,
                                         uint32_t vertex_count, uint16_t* indices,
                                         uint32_t index_count, uint32_t flags) = 0;
    virtual int32_t GetTexture(uint32_t stage, IDirect3DTexture2** out) = 0;
    // Stage 0 only; null unbinds.
    virtual int32_t SetTexture(uint32_t stage, IDirect3DTexture2* texture) = 0;
    virtual int32_t GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) = 0;
    virtual int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) = 0;
};

struct IDirect3DViewport3 : IUnknown {
    // Only x, y, width and height matter: vertices arrive in screen pixels.
    virtual int32_t SetViewport2(D3DVIEWPORT2* viewport) = 0;
    virtual int32_t GetViewport2(D3DVIEWPORT2* viewport) = 0;
    virtual int32_t SetBackground(D3DMATERIALHANDLE material) = 0;
    virtual int32_t GetBackground(D3DMATERIALHANDLE* material, int32_t* valid) = 0;
    // D3DCLEAR_TARGET: the background material's diffuse colour; D3DCLEAR_ZBUFFER: 1.0.
    virtual int32_t Clear(uint32_t count, D3DRECT* rects, uint32_t flags) = 0;
    virtual int32_t Clear2(uint32_t count, D3DRECT* rects, uint32_t flags, uint32_t color, float z,
                           uint32_t stencil) = 0;
};

struct IDirect3DMaterial3 : IUnknown {
    virtual int32_t SetMaterial(D3DMATERIAL* material) = 0;
    virtual int32_t GetMaterial(D3DMATERIAL* material) = 0;
    // A handle valid for every device (non-zero).
    virtual int32_t GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) = 0;
};

struct IDirect3DTexture2 : IUnknown {
    // The texture's palette changed; the rasteriser re-reads it.
    virtual int32_t PaletteChanged(uint32_t start, uint32_t count) = 0;
    // Copies another texture's pixels (same size and format) into this one.
    virtual int32_t Load(IDirect3DTexture2* source) = 0;
};

} // namespace platform
