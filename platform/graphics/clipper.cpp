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
    return query_single<IDirectDrawClipper>(this, IID_IDirectDrawClipper, iid, out);
}

uint32_t Clipper::Release() {
    return release_and_delete(this, refs_);
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
