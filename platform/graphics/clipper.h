// DirectDraw clipper stand-in: remembers the window whose client area bounds blits to a primary.
#pragma once

#include "platform/graphics/ddraw.h"

namespace platform {

class Clipper final : public IDirectDrawClipper {
public:
    static int32_t create(Clipper** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t SetHWnd(uint32_t flags, GfxWindow window) override;
    int32_t GetHWnd(GfxWindow* window) override;

    GfxWindow window() const { return window_; }

private:
    Clipper() = default;
    RefCounted refs_;
    GfxWindow window_ = nullptr;
};

} // namespace platform
