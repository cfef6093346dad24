// DirectDraw clipper stand-in.
#include "platform/graphics/clipper.h"

#include <new>

namespace platform {

int32_t Clipper::create(Clipper** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = new (std::nothrow) Clipper;
    return *out ? DD_OK : DDERR_OUTOFMEMORY;
}

int32_t Clipper::QueryInterface(const GUID& iid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    if (iid == IID_IDirectDrawClipper) {
        AddRef();
        *out = static_cast<IDirectDrawClipper*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t Clipper::Release() {
    uint32_t n = refs_.drop_ref();
    if (n == 0) delete this;
    return n;
}

int32_t Clipper::SetHWnd(uint32_t, GfxWindow window) {
    window_ = window;
    return DD_OK;
}

int32_t Clipper::GetHWnd(GfxWindow* window) {
    if (!window) return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
}

} // namespace platform
