// The DirectDraw object of the stand-in: cooperative level, display modes, surface, palette and
// clipper creation, and (as in DirectX 6, on the same object) the Direct3D interface.
#pragma once

#include "platform/graphics/d3d.h"
#include "platform/graphics/device_profile.h"
#include "platform/graphics/surface.h"

namespace platform {

class DirectDraw final : public IDirectDraw4, public IDirectDraw2, public IDirect3D3 {
public:
    // Takes a copy of the current device profile.
    static int32_t create(DirectDraw** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    // IDirectDraw4
    int32_t CreateClipper(uint32_t flags, IDirectDrawClipper** out, IUnknown* outer) override;
    int32_t CreatePalette(uint32_t caps, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                          IUnknown* outer) override;
    int32_t CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out,
                          IUnknown* outer) override;
    int32_t EnumDisplayModes(uint32_t flags, DDSURFACEDESC2* filter, void* context,
                             LPDDENUMMODESCALLBACK2 callback) override;
    int32_t GetCaps(DDCAPS* hal, DDCAPS* hel) override;
    int32_t GetDisplayMode(DDSURFACEDESC2* desc) override;
    int32_t GetAvailableVidMem(DDSCAPS2* caps, uint32_t* total, uint32_t* free) override;
    int32_t RestoreDisplayMode() override;
    int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) override;
    int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t refresh,
                           uint32_t flags) override;
    int32_t RestoreAllSurfaces() override { return DD_OK; }

    // IDirectDraw2
    int32_t GetAvailableVidMem(DDSCAPS* caps, uint32_t* total, uint32_t* free) override;

    // IDirect3D3
    int32_t EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override;
    int32_t CreateMaterial(IDirect3DMaterial3** out, IUnknown* outer) override;
    int32_t CreateViewport(IDirect3DViewport3** out, IUnknown* outer) override;
    int32_t CreateDevice(const GUID& device, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                         IUnknown* outer) override;
    int32_t EnumZBufferFormats(const GUID& device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                               void* context) override;
    int32_t EvictManagedTextures() override { return D3D_OK; }

    const DeviceProfile& profile() const { return profile_; }

private:
    DirectDraw() = default;
    SurfaceContext surface_context() const;
    int32_t vid_mem(uint32_t caps, uint32_t* total, uint32_t* free) const;

    RefCounted refs_;
    DeviceProfile profile_;
    GfxWindow window_ = nullptr;
    uint32_t coop_flags_ = 0;
    bool mode_set_ = false;
    DisplayModeSpec mode_{};
};

} // namespace platform
