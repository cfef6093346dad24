// Direct3D viewport stand-in: the drawing rectangle, the background material and clears.
#pragma once

#include "platform/graphics/d3d.h"

namespace platform {

class Device;

class Viewport final : public IDirect3DViewport3 {
public:
    static int32_t create(Viewport** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t SetViewport2(D3DVIEWPORT2* viewport) override;
    int32_t GetViewport2(D3DVIEWPORT2* viewport) override;
    int32_t SetBackground(D3DMATERIALHANDLE material) override;
    int32_t GetBackground(D3DMATERIALHANDLE* material, int32_t* valid) override;
    int32_t Clear(uint32_t count, D3DRECT* rects, uint32_t flags) override;
    int32_t Clear2(uint32_t count, D3DRECT* rects, uint32_t flags, uint32_t color, float z,
                   uint32_t stencil) override;

    // Set by the device the viewport is added to (null when removed).
    void attach(Device* device) { device_ = device; }
    Device* device() const { return device_; }
    bool has_rect() const { return set_; }
    const D3DVIEWPORT2& rect() const { return vp_; }

private:
    Viewport() = default;

    RefCounted refs_;
    Device* device_ = nullptr;
    D3DVIEWPORT2 vp_{};
    bool set_ = false;
    D3DMATERIALHANDLE background_ = 0;
};

} // namespace platform
