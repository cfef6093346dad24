// Direct3D device stand-in: render, light and texture-stage states, scenes, viewports and the
// DrawPrimitive calls, drawn by the software rasteriser into the target surface and its
// attached z-buffer.
#pragma once

#include "platform/graphics/d3d.h"
#include "platform/graphics/raster_queue.h"

#include <vector>

namespace platform {

class DirectDraw;
class Surface;
class Viewport;

class Device final : public IDirect3DDevice3 {
public:
    // target: a colour surface with DDSCAPS_3DDEVICE in 565, 555 or 8888/x888.
    static int32_t create(DirectDraw* owner, Surface* target, Device** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) override;
    int32_t AddViewport(IDirect3DViewport3* viewport) override;
    int32_t DeleteViewport(IDirect3DViewport3* viewport) override;
    int32_t EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
    int32_t BeginScene() override;
    int32_t EndScene() override;
    int32_t GetDirect3D(IDirect3D3** out) override;
    int32_t SetCurrentViewport(IDirect3DViewport3* viewport) override;
    int32_t GetCurrentViewport(IDirect3DViewport3** out) override;
    int32_t GetRenderTarget(IDirectDrawSurface4** out) override;
    int32_t SetRenderState(uint32_t state, uint32_t value) override;
    int32_t GetRenderState(uint32_t state, uint32_t* value) override;
    int32_t SetLightState(uint32_t state, uint32_t value) override;
    int32_t GetLightState(uint32_t state, uint32_t* value) override;
    int32_t DrawPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t count,
                          uint32_t flags) override;
    int32_t DrawIndexedPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t vertex_count,
                                 uint16_t* indices, uint32_t index_count, uint32_t flags) override;
    int32_t GetTexture(uint32_t stage, IDirect3DTexture2** out) override;
    int32_t SetTexture(uint32_t stage, IDirect3DTexture2* texture) override;
    int32_t GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) override;
    int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override;

    // Called by viewports.
    void viewport_changed(Viewport* viewport);
    int32_t clear(const Viewport& viewport, uint32_t count, const D3DRECT* rects, uint32_t flags,
                  uint32_t argb, float z, uint32_t stencil);

private:
    static constexpr uint32_t kRenderStates = 256;
    static constexpr uint32_t kStageStates = 32;
    static constexpr uint32_t kLightStates = 16;

    Device() = default;
    ~Device();
    template <class Object>
    friend uint32_t release_and_delete(Object*, RefCounted&);
    void set_defaults();
    // Resolves states, target and texture for the rasteriser; false when nothing can be drawn.
    bool prepare_draw();
    template <class Fetch>
    int32_t draw(uint32_t type, uint32_t count, Fetch vertex);

    RefCounted refs_;
    DirectDraw* owner_ = nullptr;      // one reference, through IDirect3D3
    Surface* target_ = nullptr;        // one reference
    Surface* texture_ = nullptr;       // one reference
    std::vector<Viewport*> viewports_; // one reference each
    Viewport* current_ = nullptr;
    D3DDEVICEDESC caps_{};
    std::vector<DDPIXELFORMAT> texture_formats_;
    bool in_scene_ = false;
    bool states_dirty_ = true;
    uint32_t rs_[kRenderStates] = {};
    uint32_t tss_[kStageStates] = {};
    uint32_t ls_[kLightStates] = {};

    PixelState pixel_state_;
    RenderTarget raster_target_;
    TextureView texture_view_;
    RasterQueue queue_;
};

} // namespace platform
