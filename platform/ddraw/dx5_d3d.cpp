// The Direct3D half of the older-interface facade: IDirect3D2 and IDirect3DDevice2 over the
// device's IDirect3D3 and IDirect3DDevice3. The device keeps the legacy render states (texture
// handle, texture address, filters, texture-map blend) and turns them into texture-stage states.
#include "platform/ddraw/dx5_internal.h"

#include <algorithm>
#include <new>
#include <vector>

namespace platform::dx5 {
namespace {

class DeviceFacade;
std::vector<DeviceFacade*>& live_devices() {
    static std::vector<DeviceFacade*> list;
    return list;
}

uint32_t address_mode(uint32_t value) {
    return value >= D3DTADDRESS_WRAP && value <= D3DTADDRESS_BORDER ? value : D3DTADDRESS_WRAP;
}

class DeviceFacade final : public IDirect3DDevice2 {
public:
    explicit DeviceFacade(platform::IDirect3DDevice3* inner) : dev_(inner) {
        live_devices().push_back(this);
        legacy_[D3DRENDERSTATE_TEXTUREADDRESS] = D3DTADDRESS_WRAP;
        legacy_[D3DRENDERSTATE_TEXTUREADDRESSU] = D3DTADDRESS_WRAP;
        legacy_[D3DRENDERSTATE_TEXTUREADDRESSV] = D3DTADDRESS_WRAP;
        legacy_[D3DRENDERSTATE_TEXTUREMAG] = 1;
        legacy_[D3DRENDERSTATE_TEXTUREMIN] = 1;
        legacy_[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
        apply_filters();
        apply_blend();
    }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        return query_single<IDirect3DDevice2>(this, IID_IDirect3DDevice2, iid, out);
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) override {
        return dev_->GetCaps(hal, hel);
    }
    int32_t AddViewport(IDirect3DViewport2* viewport) override {
        return dev_->AddViewport(viewport);
    }
    int32_t DeleteViewport(IDirect3DViewport2* viewport) override {
        return dev_->DeleteViewport(viewport);
    }
    int32_t EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
        return dev_->EnumTextureFormats(callback, context);
    }
    int32_t BeginScene() override { return dev_->BeginScene(); }
    int32_t EndScene() override { return dev_->EndScene(); }
    int32_t SetCurrentViewport(IDirect3DViewport2* viewport) override {
        return dev_->SetCurrentViewport(viewport);
    }

    int32_t SetRenderState(uint32_t state, uint32_t value) override {
        switch (state) {
        case D3DRENDERSTATE_TEXTUREHANDLE: {
            platform::IDirect3DTexture2* texture = nullptr;
            if (value != 0) {
                if (value > handles_.size() || !handles_[value - 1]) return DDERR_INVALIDPARAMS;
                texture = handles_[value - 1];
            }
            int32_t r = dev_->SetTexture(0, texture);
            if (failed(r)) return r;
            legacy_[state] = value;
            apply_blend();
            return D3D_OK;
        }
        case D3DRENDERSTATE_TEXTUREADDRESS:
            legacy_[state] = legacy_[D3DRENDERSTATE_TEXTUREADDRESSU] =
                legacy_[D3DRENDERSTATE_TEXTUREADDRESSV] = value;
            return dev_->SetTextureStageState(0, D3DTSS_ADDRESS, address_mode(value));
        case D3DRENDERSTATE_TEXTUREADDRESSU:
        case D3DRENDERSTATE_TEXTUREADDRESSV:
            legacy_[state] = value;
            return dev_->SetTextureStageState(
                0, state == D3DRENDERSTATE_TEXTUREADDRESSU ? D3DTSS_ADDRESSU : D3DTSS_ADDRESSV,
                address_mode(value));
        case D3DRENDERSTATE_TEXTUREMAG:
        case D3DRENDERSTATE_TEXTUREMIN:
            legacy_[state] = value;
            apply_filters();
            return D3D_OK;
        case D3DRENDERSTATE_TEXTUREMAPBLEND:
            legacy_[state] = value;
            apply_blend();
            return D3D_OK;
        default: return dev_->SetRenderState(state, value);
        }
    }
    int32_t GetRenderState(uint32_t state, uint32_t* value) override {
        if (!value) return DDERR_INVALIDPARAMS;
        if (is_legacy(state)) {
            *value = legacy_[state];
            return D3D_OK;
        }
        return dev_->GetRenderState(state, value);
    }
    int32_t DrawPrimitive(uint32_t type, uint32_t vertex_type, void* vertices, uint32_t count,
                          uint32_t flags) override {
        if (vertex_type != D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
        return dev_->DrawPrimitive(type, D3DFVF_TLVERTEX, vertices, count, flags);
    }
    int32_t DrawIndexedPrimitive(uint32_t type, uint32_t vertex_type, void* vertices,
                                 uint32_t count, uint16_t* indices, uint32_t index_count,
                                 uint32_t flags) override {
        if (vertex_type != D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
        return dev_->DrawIndexedPrimitive(type, D3DFVF_TLVERTEX, vertices, count, indices,
                                          index_count, flags);
    }

    platform::IDirect3DDevice3* inner() const { return dev_.get(); }

    D3DTEXTUREHANDLE handle_for(platform::IDirect3DTexture2* texture) {
        for (size_t i = 0; i < handles_.size(); ++i)
            if (handles_[i] == texture) return D3DTEXTUREHANDLE(i + 1);
        texture->AddRef();
        for (size_t i = 0; i < handles_.size(); ++i) {
            if (!handles_[i]) {
                handles_[i] = texture;
                return D3DTEXTUREHANDLE(i + 1);
            }
        }
        handles_.push_back(texture);
        return D3DTEXTUREHANDLE(handles_.size());
    }
    void forget(platform::IDirect3DTexture2* texture) {
        for (size_t i = 0; i < handles_.size(); ++i) {
            if (handles_[i] != texture) continue;
            if (legacy_[D3DRENDERSTATE_TEXTUREHANDLE] == i + 1) {
                dev_->SetTexture(0, nullptr);
                legacy_[D3DRENDERSTATE_TEXTUREHANDLE] = 0;
            }
            handles_[i] = nullptr;
            texture->Release();
        }
    }

private:
    ~DeviceFacade() {
        auto& list = live_devices();
        list.erase(std::find(list.begin(), list.end(), this));
        dev_->SetTexture(0, nullptr);
        for (platform::IDirect3DTexture2* t : handles_)
            if (t) t->Release();
    }
    template <class Object>
    friend uint32_t platform::release_and_delete(Object*, RefCounted&);

    static bool is_legacy(uint32_t state) {
        switch (state) {
        case D3DRENDERSTATE_TEXTUREHANDLE:
        case D3DRENDERSTATE_TEXTUREADDRESS:
        case D3DRENDERSTATE_TEXTUREADDRESSU:
        case D3DRENDERSTATE_TEXTUREADDRESSV:
        case D3DRENDERSTATE_TEXTUREMAG:
        case D3DRENDERSTATE_TEXTUREMIN:
        case D3DRENDERSTATE_TEXTUREMAPBLEND: return true;
        default: return false;
        }
    }

    void apply_filters() {
        const uint32_t mag = legacy_[D3DRENDERSTATE_TEXTUREMAG];
        const uint32_t min = legacy_[D3DRENDERSTATE_TEXTUREMIN];
        // 1 nearest, 2 linear, 3 mip nearest, 4 mip linear, 5 linear mip nearest,
        // 6 linear mip linear.
        dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, mag == 1 ? D3DTFG_POINT : D3DTFG_LINEAR);
        const bool linear_min = min == 2 || min == 5 || min == 6;
        dev_->SetTextureStageState(0, D3DTSS_MINFILTER, linear_min ? D3DTFN_LINEAR : D3DTFN_POINT);
        uint32_t mip = D3DTFP_NONE;
        if (min == 3 || min == 5) mip = D3DTFP_POINT;
        if (min == 4 || min == 6) mip = D3DTFP_LINEAR;
        dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
    }

    bool texture_has_alpha() const {
        const uint32_t handle = legacy_[D3DRENDERSTATE_TEXTUREHANDLE];
        if (handle == 0 || handle > handles_.size() || !handles_[handle - 1]) return false;
        ComPtr<platform::IDirectDrawSurface4> surface;
        if (failed(handles_[handle - 1]->QueryInterface(platform::IID_IDirectDrawSurface4,
                                                        reinterpret_cast<void**>(surface.put()))))
            return false;
        DDPIXELFORMAT f{};
        surface->GetPixelFormat(&f);
        return (f.dwFlags & DDPF_ALPHAPIXELS) != 0;
    }

    // Texture-map blend as stage 0 operations (argument 1 the texture, 2 the diffuse colour).
    void apply_blend() {
        uint32_t colour_op = D3DTOP_MODULATE, alpha_op = D3DTOP_MODULATE;
        switch (legacy_[D3DRENDERSTATE_TEXTUREMAPBLEND]) {
        case D3DTBLEND_DECAL:
        case D3DTBLEND_DECALALPHA:
        case D3DTBLEND_COPY: colour_op = alpha_op = D3DTOP_SELECTARG1; break;
        case D3DTBLEND_MODULATE:
            alpha_op = texture_has_alpha() ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2;
            break;
        default: break;
        }
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, colour_op);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, alpha_op);
    }

    RefCounted refs_;
    ComPtr<platform::IDirect3DDevice3> dev_;
    uint32_t legacy_[64] = {};
    std::vector<platform::IDirect3DTexture2*> handles_; // one reference each; null = free
};

class MaterialFacade final : public IDirect3DMaterial2 {
public:
    explicit MaterialFacade(platform::IDirect3DMaterial3* inner) : inner_(inner) {}
    int32_t QueryInterface(const GUID&, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }
    int32_t SetMaterial(D3DMATERIAL* material) override { return inner_->SetMaterial(material); }
    int32_t GetHandle(IDirect3DDevice2* device, D3DMATERIALHANDLE* handle) override {
        if (!device) return DDERR_INVALIDPARAMS;
        return inner_->GetHandle(static_cast<DeviceFacade*>(device)->inner(), handle);
    }

private:
    ~MaterialFacade() = default;
    template <class Object>
    friend uint32_t platform::release_and_delete(Object*, RefCounted&);
    RefCounted refs_;
    ComPtr<platform::IDirect3DMaterial3> inner_;
};

class Direct3DFacade final : public IDirect3D2 {
public:
    explicit Direct3DFacade(IDirectDraw2* draw) : d3d_(inner_direct3d(draw)) { draw_.share(draw); }
    int32_t QueryInterface(const GUID& iid, void** out) override {
        return query_single<IDirect3D2>(this, IID_IDirect3D2, iid, out);
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override {
        return d3d_->EnumDevices(callback, context);
    }
    int32_t CreateMaterial(IDirect3DMaterial2** out, IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        ComPtr<platform::IDirect3DMaterial3> inner;
        int32_t r = d3d_->CreateMaterial(inner.put(), nullptr);
        if (failed(r)) return r;
        *out = new (std::nothrow) MaterialFacade(inner.detach());
        return *out ? D3D_OK : DDERR_OUTOFMEMORY;
    }
    int32_t CreateViewport(IDirect3DViewport2** out, IUnknown*) override {
        return d3d_->CreateViewport(out, nullptr);
    }
    int32_t CreateDevice(const GUID& device, IDirectDrawSurface3* target,
                         IDirect3DDevice2** out) override {
        if (!out || !target) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        ComPtr<platform::IDirect3DDevice3> inner;
        int32_t r = d3d_->CreateDevice(device, inner_surface(target), inner.put(), nullptr);
        if (failed(r)) return r;
        *out = new (std::nothrow) DeviceFacade(inner.detach());
        return *out ? D3D_OK : DDERR_OUTOFMEMORY;
    }

private:
    ~Direct3DFacade() = default;
    template <class Object>
    friend uint32_t platform::release_and_delete(Object*, RefCounted&);
    RefCounted refs_;
    ComPtr<IDirectDraw2> draw_;
    platform::IDirect3D3* d3d_; // kept alive by draw_
};

} // namespace

int32_t make_direct3d(IDirectDraw2* draw, IDirect3D2** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!inner_direct3d(draw)) return E_NOINTERFACE;
    *out = new (std::nothrow) Direct3DFacade(draw);
    return *out ? S_OK : E_OUTOFMEMORY;
}

void forget_texture_handles(platform::IDirect3DTexture2* texture) {
    for (DeviceFacade* d : live_devices()) d->forget(texture);
}

// The texture interface of a facade surface: a handle on the facade device.
int32_t texture_handle(IDirect3DDevice2* device, platform::IDirectDrawSurface4* surface,
                       D3DTEXTUREHANDLE* handle) {
    if (!device || !surface || !handle) return DDERR_INVALIDPARAMS;
    platform::IDirect3DTexture2* texture = nullptr;
    int32_t r = surface->QueryInterface(platform::IID_IDirect3DTexture2,
                                        reinterpret_cast<void**>(&texture));
    if (failed(r)) return r;
    *handle = static_cast<DeviceFacade*>(device)->handle_for(texture);
    texture->Release();
    return D3D_OK;
}

} // namespace platform::dx5
