// Direct3D viewport stand-in.
#include "platform/graphics/viewport.h"

#include "platform/graphics/d3d_device.h"
#include "platform/graphics/material.h"

#include <new>

namespace platform {

int32_t Viewport::create(Viewport** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = new (std::nothrow) Viewport;
    return *out ? D3D_OK : DDERR_OUTOFMEMORY;
}

int32_t Viewport::QueryInterface(const GUID& iid, void** out) {
    return query_single<IDirect3DViewport3>(this, IID_IDirect3DViewport3, iid, out);
}

uint32_t Viewport::Release() {
    return release_and_delete(this, refs_);
}

int32_t Viewport::SetViewport2(D3DVIEWPORT2* viewport) {
    if (!viewport || viewport->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
    if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
    if (viewport->dwWidth == 0 || viewport->dwHeight == 0) return DDERR_INVALIDPARAMS;
    vp_ = *viewport;
    set_ = true;
    device_->viewport_changed(this);
    return D3D_OK;
}

int32_t Viewport::GetViewport2(D3DVIEWPORT2* viewport) {
    if (!viewport) return DDERR_INVALIDPARAMS;
    *viewport = vp_;
    return set_ ? D3D_OK : DDERR_INVALIDPARAMS;
}

int32_t Viewport::SetBackground(D3DMATERIALHANDLE material) {
    if (!Material::from_handle(material)) return DDERR_INVALIDPARAMS;
    background_ = material;
    return D3D_OK;
}

int32_t Viewport::GetBackground(D3DMATERIALHANDLE* material, int32_t* valid) {
    if (!material) return DDERR_INVALIDPARAMS;
    *material = background_;
    if (valid) *valid = background_ != 0;
    return D3D_OK;
}

int32_t Viewport::Clear(uint32_t count, D3DRECT* rects, uint32_t flags) {
    if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
    Material* m = Material::from_handle(background_);
    uint32_t color = m ? m->diffuse_argb() : 0xFF000000u;
    return device_->clear(*this, count, rects, flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), color,
                          1.0f, 0);
}

int32_t Viewport::Clear2(uint32_t count, D3DRECT* rects, uint32_t flags, uint32_t color, float z,
                         uint32_t stencil) {
    if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
    return device_->clear(*this, count, rects, flags, color, z, stencil);
}

} // namespace platform
