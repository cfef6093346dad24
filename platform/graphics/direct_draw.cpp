// The DirectDraw object of the stand-in, the driver enumeration and DirectDrawCreate.
#include "platform/graphics/direct_draw.h"

#include "platform/graphics/d3d_device.h"
#include "platform/graphics/material.h"
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/viewport.h"

#include <cstring>
#include <new>
#include <string>

namespace platform {
namespace {

bool is_device_guid(const GUID& g) {
    return g == IID_IDirect3DHALDevice || g == IID_IDirect3DRGBDevice ||
           g == IID_IDirect3DRefDevice;
}

DDSURFACEDESC2 mode_desc(const DisplayModeSpec& m) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d.dwWidth = m.width;
    d.dwHeight = m.height;
    d.lPitch = int32_t((row_bytes(m.format, m.width) + 3) & ~3u);
    d.ddpfPixelFormat = m.format;
    return d;
}

} // namespace

int32_t DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    const DeviceProfile& p = device_profile();
    std::string description = p.driver_description, name = p.driver_name;
    if (callback(nullptr, description.data(), name.data(), context) == DDENUMRET_CANCEL ||
        !p.offer_secondary_driver)
        return DD_OK;
    GUID secondary = GUID_SecondaryDisplayDriver;
    description = p.secondary_description;
    name = p.secondary_name;
    callback(&secondary, description.data(), name.data(), context);
    return DD_OK;
}

int32_t DirectDrawCreate(const GUID* guid, IUnknown** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (guid) {
        static const GUID zero{};
        const bool secondary =
            *guid == GUID_SecondaryDisplayDriver && device_profile().offer_secondary_driver;
        if (!(*guid == zero) && !secondary) return DDERR_INVALIDPARAMS;
    }
    DirectDraw* dd = nullptr;
    int32_t r = DirectDraw::create(&dd);
    if (failed(r)) return r;
    *out = static_cast<IDirectDraw4*>(dd);
    return DD_OK;
}

int32_t DirectDraw::create(DirectDraw** out) {
    auto* dd = new (std::nothrow) DirectDraw;
    if (!dd) return DDERR_OUTOFMEMORY;
    dd->profile_ = device_profile();
    *out = dd;
    return DD_OK;
}

int32_t DirectDraw::QueryInterface(const GUID& iid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (iid == IID_IDirectDraw4 || iid == IID_IDirectDraw)
        *out = static_cast<IDirectDraw4*>(this);
    else if (iid == IID_IDirectDraw2)
        *out = static_cast<IDirectDraw2*>(this);
    else if (iid == IID_IDirect3D3)
        *out = static_cast<IDirect3D3*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

uint32_t DirectDraw::Release() {
    return release_and_delete(this, refs_);
}

SurfaceContext DirectDraw::surface_context() const {
    SurfaceContext c;
    c.profile = &profile_;
    const DisplayModeSpec& m = mode_set_ ? mode_ : profile_.desktop;
    c.display_format = m.format;
    c.display_width = m.width;
    c.display_height = m.height;
    c.fullscreen = (coop_flags_ & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) ==
                   (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    c.window = window_;
    return c;
}

int32_t DirectDraw::CreateClipper(uint32_t, IDirectDrawClipper** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    Clipper* c = nullptr;
    int32_t r = Clipper::create(&c);
    *out = c;
    return r;
}

int32_t DirectDraw::CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                  IDirectDrawPalette** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    Palette* p = nullptr;
    int32_t r = Palette::create(caps, entries, &p);
    *out = p;
    return r;
}

int32_t DirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out, IUnknown*) {
    if (!desc || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if ((desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) && coop_flags_ == 0)
        return DDERR_NOCOOPERATIVELEVELSET;
    Surface* s = nullptr;
    int32_t r = Surface::create(surface_context(), *desc, &s);
    *out = s;
    return r;
}

int32_t DirectDraw::EnumDisplayModes(uint32_t, DDSURFACEDESC2*, void* context,
                                     LPDDENUMMODESCALLBACK2 callback) {
    if (!callback) return DDERR_INVALIDPARAMS;
    for (const DisplayModeSpec& m : profile_.display_modes) {
        DDSURFACEDESC2 d = mode_desc(m);
        if (callback(&d, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

int32_t DirectDraw::GetCaps(DDCAPS* hal, DDCAPS* hel) {
    if (!hal && !hel) return DDERR_INVALIDPARAMS;
    for (DDCAPS* c : {hal, hel}) {
        if (!c) continue;
        std::memset(c, 0, sizeof(DDCAPS));
        c->dwSize = sizeof(DDCAPS);
        c->dwCaps = profile_.dd_caps;
        c->dwFXCaps = profile_.dd_fx_caps;
        c->dwZBufferBitDepths = profile_.device.dwDeviceZBufferBitDepth;
    }
    if (hal) {
        uint32_t total = 0, free = 0;
        vid_mem(DDSCAPS_VIDEOMEMORY, &total, &free);
        hal->dwVidMemTotal = total;
        hal->dwVidMemFree = free;
    }
    return DD_OK;
}

int32_t DirectDraw::GetDisplayMode(DDSURFACEDESC2* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = mode_desc(mode_set_ ? mode_ : profile_.desktop);
    return DD_OK;
}

int32_t DirectDraw::vid_mem(uint32_t caps, uint32_t* total, uint32_t* free) const {
    uint64_t t, f;
    if (caps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM |
                DDSCAPS_PRIMARYSURFACE)) {
        t = profile_.video_memory;
        uint64_t used = gfx_video_memory_in_use();
        f = used < t ? t - used : 0;
    } else {
        t = f = profile_.system_memory;
    }
    if (total) *total = uint32_t(t);
    if (free) *free = uint32_t(f);
    return DD_OK;
}

int32_t DirectDraw::GetAvailableVidMem(DDSCAPS2* caps, uint32_t* total, uint32_t* free) {
    if (!caps) return DDERR_INVALIDPARAMS;
    return vid_mem(caps->dwCaps, total, free);
}

int32_t DirectDraw::GetAvailableVidMem(DDSCAPS* caps, uint32_t* total, uint32_t* free) {
    if (!caps) return DDERR_INVALIDPARAMS;
    return vid_mem(caps->dwCaps, total, free);
}

int32_t DirectDraw::RestoreDisplayMode() {
    mode_set_ = false;
    return DD_OK;
}

int32_t DirectDraw::SetCooperativeLevel(GfxWindow window, uint32_t flags) {
    const bool normal = (flags & DDSCL_NORMAL) != 0;
    const bool exclusive =
        (flags & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) == (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    if (normal == exclusive) return DDERR_INVALIDPARAMS;
    if (exclusive && !window) return DDERR_INVALIDPARAMS;
    window_ = window;
    coop_flags_ = flags;
    return DD_OK;
}

int32_t DirectDraw::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t,
                                   uint32_t) {
    if ((coop_flags_ & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) !=
        (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))
        return DDERR_NOEXCLUSIVEMODE;
    for (const DisplayModeSpec& m : profile_.display_modes) {
        if (m.width == width && m.height == height && format_bits(m.format) == bpp) {
            mode_ = m;
            mode_set_ = true;
            return DD_OK;
        }
    }
    return DDERR_INVALIDMODE;
}

int32_t DirectDraw::EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    D3DDEVICEDESC none{};
    none.dwSize = sizeof(D3DDEVICEDESC);
    if (profile_.offer_emulation_device) {
        D3DDEVICEDESC hel = profile_.device;
        std::string description = "Corvel RGB emulation", name = "RGB Emulation";
        GUID id = IID_IDirect3DRGBDevice;
        if (callback(&id, description.data(), name.data(), &none, &hel, context) ==
            D3DENUMRET_CANCEL)
            return D3D_OK;
    }
    D3DDEVICEDESC hal = profile_.device;
    std::string description = profile_.device_description, name = profile_.device_name;
    GUID id = IID_IDirect3DHALDevice;
    callback(&id, description.data(), name.data(), &hal, &none, context);
    return D3D_OK;
}

int32_t DirectDraw::CreateMaterial(IDirect3DMaterial3** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    Material* m = nullptr;
    int32_t r = Material::create(&m);
    *out = m;
    return r;
}

int32_t DirectDraw::CreateViewport(IDirect3DViewport3** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    Viewport* v = nullptr;
    int32_t r = Viewport::create(&v);
    *out = v;
    return r;
}

int32_t DirectDraw::CreateDevice(const GUID& device, IDirectDrawSurface4* target,
                                 IDirect3DDevice3** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!is_device_guid(device) || !target) return DDERR_INVALIDPARAMS;
    Device* d = nullptr;
    int32_t r = Device::create(this, Surface::from(target), &d);
    *out = d;
    return r;
}

int32_t DirectDraw::EnumZBufferFormats(const GUID& device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       void* context) {
    if (!callback || !is_device_guid(device)) return DDERR_INVALIDPARAMS;
    for (DDPIXELFORMAT f : profile_.z_formats)
        if (callback(&f, context) == D3DENUMRET_CANCEL) break;
    return D3D_OK;
}

} // namespace platform
