// A Direct3D device double that forwards every call to the real device and logs the state
// changes and draws the driver sends, so tests can see exactly what reached the device.
#pragma once

#include "engine/core/lg_camera.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_state.h"
#include "platform/graphics/d3d.h"

#include <string>
#include <vector>

namespace drivertest {

struct DeviceCall {
    enum Kind { RenderState, StageState, Texture, Draw, DrawIndexed } kind;
    uint32_t state = 0;        // render or stage state; primitive type for draws
    uint32_t value = 0;        // value; vertex or index count for draws
    std::vector<float> depths; // draws: the screen z of each vertex drawn, in order
};

class LoggingDevice final : public platform::IDirect3DDevice3 {
public:
    // Takes over the reference the driver holds on the full-screen device and stands in for it.
    static LoggingDevice* install_on_full_screen_target() {
        LgD3DRenderTarget& target = LgD3DDriver.fullScreenTarget;
        auto* logger = new LoggingDevice(target.device);
        target.device = logger;
        return logger;
    }

    std::vector<DeviceCall> calls;

    // How often a render state was sent.
    int count_render_state(uint32_t state) const {
        int n = 0;
        for (const DeviceCall& c : calls)
            n += c.kind == DeviceCall::RenderState && c.state == state;
        return n;
    }
    int count_stage_state(uint32_t state) const {
        int n = 0;
        for (const DeviceCall& c : calls) n += c.kind == DeviceCall::StageState && c.state == state;
        return n;
    }
    std::vector<DeviceCall> draws() const {
        std::vector<DeviceCall> out;
        for (const DeviceCall& c : calls)
            if (c.kind == DeviceCall::Draw || c.kind == DeviceCall::DrawIndexed) out.push_back(c);
        return out;
    }

    int32_t QueryInterface(const platform::GUID& iid, void** out) override {
        return inner_->QueryInterface(iid, out);
    }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        if (--refs_ != 0) return refs_;
        inner_->Release();
        delete this;
        return 0;
    }
    int32_t GetCaps(platform::D3DDEVICEDESC* hal, platform::D3DDEVICEDESC* hel) override {
        return inner_->GetCaps(hal, hel);
    }
    int32_t AddViewport(platform::IDirect3DViewport3* v) override { return inner_->AddViewport(v); }
    int32_t DeleteViewport(platform::IDirect3DViewport3* v) override {
        return inner_->DeleteViewport(v);
    }
    int32_t EnumTextureFormats(platform::LPD3DENUMPIXELFORMATSCALLBACK cb, void* c) override {
        return inner_->EnumTextureFormats(cb, c);
    }
    int32_t BeginScene() override { return inner_->BeginScene(); }
    int32_t EndScene() override { return inner_->EndScene(); }
    int32_t GetDirect3D(platform::IDirect3D3** out) override { return inner_->GetDirect3D(out); }
    int32_t SetCurrentViewport(platform::IDirect3DViewport3* v) override {
        return inner_->SetCurrentViewport(v);
    }
    int32_t GetCurrentViewport(platform::IDirect3DViewport3** out) override {
        return inner_->GetCurrentViewport(out);
    }
    int32_t GetRenderTarget(platform::IDirectDrawSurface4** out) override {
        return inner_->GetRenderTarget(out);
    }
    int32_t SetRenderState(uint32_t state, uint32_t value) override {
        calls.push_back({DeviceCall::RenderState, state, value, {}});
        return inner_->SetRenderState(state, value);
    }
    int32_t GetRenderState(uint32_t state, uint32_t* value) override {
        return inner_->GetRenderState(state, value);
    }
    int32_t SetLightState(uint32_t state, uint32_t value) override {
        return inner_->SetLightState(state, value);
    }
    int32_t GetLightState(uint32_t state, uint32_t* value) override {
        return inner_->GetLightState(state, value);
    }
    int32_t DrawPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t count,
                          uint32_t flags) override {
        DeviceCall call{DeviceCall::Draw, type, count, {}};
        const auto* v = static_cast<const platform::D3DTLVERTEX*>(vertices);
        for (uint32_t i = 0; i < count; ++i) call.depths.push_back(v[i].sz);
        calls.push_back(call);
        last_fvf = fvf;
        last_flags = flags;
        return inner_->DrawPrimitive(type, fvf, vertices, count, flags);
    }
    int32_t DrawIndexedPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t count,
                                 uint16_t* indices, uint32_t index_count, uint32_t flags) override {
        DeviceCall call{DeviceCall::DrawIndexed, type, index_count, {}};
        const auto* v = static_cast<const platform::D3DTLVERTEX*>(vertices);
        for (uint32_t i = 0; i < index_count; ++i) call.depths.push_back(v[indices[i]].sz);
        calls.push_back(call);
        last_fvf = fvf;
        last_flags = flags;
        last_vertex_count = count;
        return inner_->DrawIndexedPrimitive(type, fvf, vertices, count, indices, index_count,
                                            flags);
    }
    int32_t GetTexture(uint32_t stage, platform::IDirect3DTexture2** out) override {
        return inner_->GetTexture(stage, out);
    }
    int32_t SetTexture(uint32_t stage, platform::IDirect3DTexture2* texture) override {
        calls.push_back({DeviceCall::Texture, stage, texture != nullptr ? 1u : 0u, {}});
        return inner_->SetTexture(stage, texture);
    }
    int32_t GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) override {
        return inner_->GetTextureStageState(stage, state, value);
    }
    int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override {
        calls.push_back({DeviceCall::StageState, state, value, {}});
        return inner_->SetTextureStageState(stage, state, value);
    }

    uint32_t last_fvf = 0;
    uint32_t last_flags = 0;
    uint32_t last_vertex_count = 0;

private:
    explicit LoggingDevice(platform::IDirect3DDevice3* inner) : inner_(inner) {}
    platform::IDirect3DDevice3* inner_;
    uint32_t refs_ = 1;
};

// A 640 x 480 camera on the started full-screen device, whose calls are logged, inside an open
// camera update.
struct LoggedCameraUpdate {
    bool begin() {
        log = LoggingDevice::install_on_full_screen_target();
        frame = LgRasterCreate(640, 480, 0, LgRasterTypeCamera);
        depth = LgRasterCreate(640, 480, 0, LgRasterTypeZBuffer);
        camera = LgCameraCreate();
        if (camera == nullptr) return false;
        LgCameraSetRaster(camera, frame);
        LgCameraSetZRaster(camera, depth);
        return LgCameraBeginUpdate(camera) != nullptr;
    }
    void end() {
        if (LgD3DDriver.currentCamera != nullptr) LgCameraEndUpdate(camera);
        if (camera != nullptr) LgCameraDestroy(camera);
        LgRasterDestroy(depth);
        LgRasterDestroy(frame);
    }

    LoggingDevice* log = nullptr;
    LgRaster* frame = nullptr;
    LgRaster* depth = nullptr;
    LgCamera* camera = nullptr;
};

} // namespace drivertest
