// The DirectDraw half of the older-interface facade: the DirectDraw object and its surfaces
// over the device's IDirectDraw4 and IDirectDrawSurface4, with losable surfaces.
#include "platform/ddraw/dx5_internal.h"

#include "platform/graphics/pixel_format.h"
#include "platform/window/gfx_window_hooks.h"
#include "platform/window/window.h"

#include <algorithm>
#include <new>
#include <vector>

namespace platform::dx5 {
namespace {

constexpr GUID facade_guid(uint32_t n) {
    return GUID{0x35786400u + n, 0x6466, 0x6364, {0x63, 0x6F, 0x72, 0x76, 0x65, 0x6C, 0x64, 0x35}};
}

uint32_t failing_display_modes = 0;

class SurfaceFacade;
std::vector<SurfaceFacade*>& live_surfaces() {
    static std::vector<SurfaceFacade*> list;
    return list;
}

class SurfaceFacade final : public IDirectDrawSurface3, public IDirect3DTexture2 {
public:
    explicit SurfaceFacade(platform::IDirectDrawSurface4* inner) : inner_(inner) {
        live_surfaces().push_back(this);
    }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (iid == IID_IDirectDrawSurface || iid == IID_IDirectDrawSurface3) {
            *out = static_cast<IDirectDrawSurface3*>(this);
        } else if (iid == IID_IDirect3DTexture2) {
            if (!(caps() & DDSCAPS_TEXTURE)) return E_NOINTERFACE;
            *out = static_cast<IDirect3DTexture2*>(this);
        } else {
            return E_NOINTERFACE;
        }
        refs_.add_ref();
        return S_OK;
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t AddAttachedSurface(IDirectDrawSurface3* surface) override {
        if (!surface) return DDERR_INVALIDPARAMS;
        return inner_->AddAttachedSurface(inner_surface(surface));
    }
    int32_t Blt(GfxRect* dst_rect, IDirectDrawSurface3* src, GfxRect* src_rect, uint32_t flags,
                DDBLTFX* fx) override {
        if (lost_ || (src && static_cast<SurfaceFacade*>(src)->lost_)) return DDERR_SURFACELOST;
        return inner_->Blt(dst_rect, src ? inner_surface(src) : nullptr, src_rect, flags, fx);
    }
    int32_t Flip(IDirectDrawSurface3*, uint32_t flags) override {
        if (lost_) return DDERR_SURFACELOST;
        return inner_->Flip(nullptr, flags);
    }
    int32_t GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface3** out) override {
        if (!caps || !out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        DDSCAPS2 c{caps->dwCaps, 0, 0, 0};
        ComPtr<platform::IDirectDrawSurface4> attached;
        int32_t r = inner_->GetAttachedSurface(&c, attached.put());
        if (failed(r)) return r;
        auto* s = new (std::nothrow) SurfaceFacade(attached.detach());
        if (!s) return DDERR_OUTOFMEMORY;
        *out = s;
        return DD_OK;
    }
    int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) override {
        if (!desc) return DDERR_INVALIDPARAMS;
        int32_t r = inner_->GetSurfaceDesc(desc);
        if (succeeded(r)) desc->lpSurface = nullptr;
        return r;
    }
    int32_t IsLost() override { return lost_ ? DDERR_SURFACELOST : DD_OK; }
    int32_t Lock(GfxRect* rect, DDSURFACEDESC2* desc, uint32_t flags, void* event) override {
        if (lost_) return DDERR_SURFACELOST;
        return inner_->Lock(rect, desc, flags, event);
    }
    int32_t Restore() override {
        lost_ = false;
        return inner_->Restore();
    }
    int32_t SetClipper(IDirectDrawClipper* clipper) override { return inner_->SetClipper(clipper); }
    int32_t SetColorKey(uint32_t flags, DDCOLORKEY* key) override {
        return inner_->SetColorKey(flags, key);
    }
    int32_t SetPalette(IDirectDrawPalette* palette) override { return inner_->SetPalette(palette); }
    int32_t Unlock(void*) override { return inner_->Unlock(nullptr); }
    int32_t PageLock(uint32_t) override {
        ++page_locks_;
        return DD_OK;
    }
    int32_t PageUnlock(uint32_t) override {
        if (page_locks_ == 0) return DDERR_NOTLOCKED;
        --page_locks_;
        return DD_OK;
    }

    // IDirect3DTexture2
    int32_t GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* handle) override;

    platform::IDirectDrawSurface4* inner() const { return inner_.get(); }
    void lose() { lost_ = true; }

private:
    ~SurfaceFacade() {
        auto& list = live_surfaces();
        list.erase(std::find(list.begin(), list.end(), this));
        if (caps() & DDSCAPS_TEXTURE) {
            platform::IDirect3DTexture2* t = nullptr;
            if (succeeded(inner_->QueryInterface(platform::IID_IDirect3DTexture2,
                                                 reinterpret_cast<void**>(&t)))) {
                forget_texture_handles(t);
                t->Release();
            }
        }
    }
    template <class Object>
    friend uint32_t platform::release_and_delete(Object*, RefCounted&);
    uint32_t caps() const {
        DDSCAPS2 c{};
        inner_->GetCaps(&c);
        return c.dwCaps;
    }

    RefCounted refs_;
    ComPtr<platform::IDirectDrawSurface4> inner_;
    bool lost_ = false;
    uint32_t page_locks_ = 0;
};

int32_t SurfaceFacade::GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* handle) {
    return texture_handle(device, inner_.get(), handle);
}

class DrawFacade final : public IDirectDraw2 {
public:
    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (iid == IID_IDirectDraw2) {
            refs_.add_ref();
            *out = static_cast<IDirectDraw2*>(this);
            return S_OK;
        }
        if (iid == IID_IDirect3D2 && d3d_) {
            IDirect3D2* d3d = nullptr;
            int32_t r = make_direct3d(this, &d3d);
            *out = d3d;
            return r;
        }
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t Initialize(const GUID* driver) override {
        if (dd_) return DDERR_GENERIC;
        ComPtr<IUnknown> object;
        int32_t r = platform::DirectDrawCreate(driver, object.put(), nullptr);
        if (failed(r)) return r;
        r = object->QueryInterface(platform::IID_IDirectDraw4, reinterpret_cast<void**>(dd_.put()));
        if (failed(r)) return r;
        object->QueryInterface(platform::IID_IDirect3D3, reinterpret_cast<void**>(d3d_.put()));
        return DD_OK;
    }
    int32_t CreateClipper(uint32_t flags, IDirectDrawClipper** out) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->CreateClipper(flags, out, nullptr);
    }
    int32_t CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                          IDirectDrawPalette** out) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->CreatePalette(caps, entries, out, nullptr);
    }
    int32_t CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface3** out) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        if (!desc || !out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        DDSURFACEDESC2 d = *desc;
        d.dwSize = sizeof(DDSURFACEDESC2);
        if ((d.dwFlags & kZBufferDepthFlag) && (d.ddsCaps.dwCaps & DDSCAPS_ZBUFFER)) {
            d.ddpfPixelFormat = make_z_format(d.dwMipMapCount);
            d.dwMipMapCount = 0;
            d.dwFlags = (d.dwFlags & ~kZBufferDepthFlag) | DDSD_PIXELFORMAT;
        }
        ComPtr<platform::IDirectDrawSurface4> inner;
        int32_t r = dd_->CreateSurface(&d, inner.put(), nullptr);
        if (failed(r)) return r;
        auto* s = new (std::nothrow) SurfaceFacade(inner.detach());
        if (!s) return DDERR_OUTOFMEMORY;
        *out = s;
        return DD_OK;
    }
    int32_t EnumDisplayModes(uint32_t flags, DDSURFACEDESC2* filter, void* context,
                             LPDDENUMMODESCALLBACK callback) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->EnumDisplayModes(flags, filter, context, callback);
    }
    int32_t GetCaps(DDCAPS* hal, DDCAPS* hel) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->GetCaps(hal, hel);
    }
    int32_t GetDisplayMode(DDSURFACEDESC2* desc) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->GetDisplayMode(desc);
    }
    int32_t RestoreDisplayMode() override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->RestoreDisplayMode();
    }
    int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        return dd_->SetCooperativeLevel(window, flags);
    }
    int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t refresh,
                           uint32_t flags) override {
        if (!dd_) return DDERR_INVALIDOBJECT;
        if (failing_display_modes > 0) {
            --failing_display_modes;
            return DDERR_INVALIDMODE;
        }
        return dd_->SetDisplayMode(width, height, bpp, refresh, flags);
    }

    platform::IDirect3D3* direct3d() const { return d3d_.get(); }

private:
    ~DrawFacade() = default;
    template <class Object>
    friend uint32_t platform::release_and_delete(Object*, RefCounted&);

    RefCounted refs_;
    ComPtr<platform::IDirectDraw4> dd_;
    ComPtr<platform::IDirect3D3> d3d_;
};

void install_window_hooks() {
    if (!gfx_window_hooks().sdl_window) set_gfx_window_hooks(window_service_gfx_hooks());
}

} // namespace

const GUID IID_IDirectDraw2 = facade_guid(1);
const GUID IID_IDirectDrawSurface = facade_guid(2);
const GUID IID_IDirectDrawSurface3 = facade_guid(3);
const GUID IID_IDirect3D2 = facade_guid(4);
const GUID IID_IDirect3DDevice2 = facade_guid(5);
const GUID IID_IDirect3DTexture2 = facade_guid(6);

platform::IDirectDrawSurface4* inner_surface(IDirectDrawSurface3* surface) {
    return surface ? static_cast<SurfaceFacade*>(surface)->inner() : nullptr;
}

platform::IDirect3D3* inner_direct3d(IDirectDraw2* draw) {
    return draw ? static_cast<DrawFacade*>(draw)->direct3d() : nullptr;
}

int32_t DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
    return platform::DirectDrawEnumerateA(callback, context);
}

int32_t CreateDirectDraw(IDirectDraw2** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    install_window_hooks();
    *out = new (std::nothrow) DrawFacade;
    return *out ? DD_OK : DDERR_OUTOFMEMORY;
}

int32_t DirectDrawCreate(const GUID* driver, IDirectDraw2** out) {
    int32_t r = CreateDirectDraw(out);
    if (failed(r)) return r;
    r = (*out)->Initialize(driver);
    if (failed(r)) {
        (*out)->Release();
        *out = nullptr;
    }
    return r;
}

void lose_all_surfaces() {
    for (SurfaceFacade* s : live_surfaces()) s->lose();
}

void fail_next_display_modes(uint32_t count) {
    failing_display_modes = count;
}

uint32_t live_surface_count() {
    return uint32_t(live_surfaces().size());
}

bool client_rect_on_screen(GfxWindow window, uint32_t width, uint32_t height, GfxRect* out) {
    if (!out) return false;
    int32_t x = 0, y = 0;
    const GfxWindowHooks& hooks = gfx_window_hooks();
    if (window && hooks.client_origin && !hooks.client_origin(window, &x, &y)) return false;
    *out = GfxRect{x, y, x + int32_t(width), y + int32_t(height)};
    return true;
}

} // namespace platform::dx5
