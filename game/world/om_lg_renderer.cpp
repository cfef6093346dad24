// OmLgRenderer: IRenderer over an engine camera whose frame-buffer and depth rasters come
// from the target raster object; render states mapped to the engine's, screen-space drawing
// through the engine's 2-D immediate mode.
#include "game/world/om_lg_renderer.h"

#include "framework/core/component.h"

namespace {

// Engine render states the renderer maps to.
constexpr int32_t kEngineTexture = 1;
constexpr int32_t kEngineZTest = 4;
constexpr int32_t kEngineShadeMode = 5;
constexpr int32_t kEngineZWrite = 6;
constexpr int32_t kEngineTextureFilter = 7;
constexpr uintptr_t kShadeFlat = 1, kShadeGouraud = 2;

// Engine primitive of a renderer primitive type; 0 for the types without one.
int32_t engine_primitive(uint32_t type) {
    switch (type) {
    case OM_PRIMITIVE_TRIANGLE_LIST: return 3;
    case OM_PRIMITIVE_TRIANGLE_STRIP: return 4;
    case OM_PRIMITIVE_TRIANGLE_FAN: return 5;
    default: return 0;
    }
}

bool engine_set(int32_t state, uintptr_t value) {
    return LgRenderStateSet(state, reinterpret_cast<void*>(value)) != 0;
}

// The engine raster of a texture property of the target (26 colour, 27 depth); the texture
// reference the property hands out is dropped again.
LgRaster* raster_of_property(IRaster* target, uint32_t id) {
    intptr_t value = 0;
    if (target == nullptr || target->GetProperty(id, &value) < 0 || value == 0) return nullptr;
    auto* texture = reinterpret_cast<LgTexture*>(value);
    LgRaster* raster = LgTextureGetRaster(texture);
    LgTextureDestroy(texture);
    return raster;
}

class OmLgRenderer final : public OmObject<OmLgRenderer, IRenderer> {
public:
    ~OmLgRenderer() {
        if (camera_ != nullptr) {
            if (in_scene_ != 0) LgCameraEndUpdate(camera_);
            LgCameraSetRaster(camera_, nullptr);
            LgCameraSetZRaster(camera_, nullptr);
            LgCameraSetFrame(camera_, nullptr);
            LgCameraDestroy(camera_);
        }
        if (frame_ != nullptr) LgFrameDestroy(frame_);
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }

    OmResult Init(IRaster* target) override {
        if (camera_ == nullptr) {
            frame_ = LgFrameCreate();
            camera_ = frame_ != nullptr ? LgCameraCreate() : nullptr;
            if (camera_ == nullptr) return OM_E_FAIL;
            LgCameraSetFrame(camera_, frame_);
        }
        return target != nullptr ? SetTarget(target) : OM_S_OK;
    }
    IRaster* GetDisplay() override { return nullptr; }
    OmResult CreateTextureFactory(IRasterCreate** out) override {
        return OmLgNewRasterFactory(out);
    }
    OmResult SetTarget(IRaster* target) override {
        target_ = target;
        if (camera_ == nullptr) return OM_S_OK;
        LgCameraSetRaster(camera_, raster_of_property(target, OM_RASTER_COLOUR_TEXTURE));
        LgCameraSetZRaster(camera_, raster_of_property(target, OM_RASTER_DEPTH_TEXTURE));
        return OM_S_OK;
    }
    IRaster* GetTarget() override { return target_; }
    OmResult BeginScene() override {
        if (LgCameraGetCurrent() != nullptr) {
            // Drawing goes to the camera already begun; it is not nested.
            in_scene_ = 0;
            return OM_S_OK;
        }
        if (camera_ == nullptr || LgCameraBeginUpdate(camera_) == nullptr) return OM_E_FAIL;
        in_scene_ = 1;
        return OM_S_OK;
    }
    OmResult EndScene() override {
        if (in_scene_ != 0) LgCameraEndUpdate(camera_);
        in_scene_ = 0;
        return OM_S_OK;
    }
    OmResult SetRenderState(uint32_t state, uintptr_t value) override;
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override;
    OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                  const uint16_t* indices, uint32_t index_count,
                                  uint32_t) override {
        const int32_t primitive = engine_primitive(type);
        if (primitive == 0 || vertices == nullptr || indices == nullptr) return OM_E_FAIL;
        LgIm2DRenderIndexedPrimitive(primitive, const_cast<OmTLVertex*>(vertices),
                                     static_cast<int32_t>(count), indices,
                                     static_cast<int32_t>(index_count));
        return OM_S_OK;
    }
    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                           uint32_t) override {
        const int32_t primitive = engine_primitive(type);
        if (primitive == 0 || vertices == nullptr) return OM_E_FAIL;
        LgIm2DRenderPrimitive(primitive, const_cast<OmTLVertex*>(vertices),
                              static_cast<int32_t>(count));
        return OM_S_OK;
    }

private:
    IRaster* target_ = nullptr; // no reference held
    LgCamera* camera_ = nullptr;
    LgFrame* frame_ = nullptr;
    int32_t in_scene_ = 0;
};

static_assert(sizeof(OmTLVertex) == sizeof(LgIm3DScreenVertex),
              "renderer vertices go to the engine's screen-space drawing as they are");

OmResult OmLgRenderer::SetRenderState(uint32_t state, uintptr_t value) {
    switch (state) {
    case OM_RS_TEXTURE: {
        LgRaster* raster = OmLgRasterOf(reinterpret_cast<IRaster*>(value));
        return LgRenderStateSet(kEngineTexture, raster) != 0 ? OM_S_OK : OM_E_FAIL;
    }
    case OM_RS_Z_ENABLE: engine_set(kEngineZTest, value); return OM_S_OK;
    case OM_RS_SHADE_MODE:
        engine_set(kEngineShadeMode, value == 2 || value == 3 ? kShadeGouraud : kShadeFlat);
        return OM_S_OK;
    case OM_RS_Z_WRITE_ENABLE: engine_set(kEngineZWrite, value); return OM_S_OK;
    case OM_RS_TEXTURE_MAG:
        if (value >= 1 && value <= 6) engine_set(kEngineTextureFilter, value);
        return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult OmLgRenderer::GetRenderState(uint32_t state, uintptr_t* value) {
    if (value == nullptr) return OM_E_FAIL;
    int32_t engine = 0;
    switch (state) {
    case OM_RS_Z_ENABLE: engine = kEngineZTest; break;
    case OM_RS_Z_WRITE_ENABLE: engine = kEngineZWrite; break;
    case OM_RS_TEXTURE_MAG: engine = kEngineTextureFilter; break;
    default: return OM_E_FAIL;
    }
    uintptr_t read = 0;
    if (LgRenderStateGet(engine, &read) == 0) return OM_E_FAIL;
    *value = read;
    return OM_S_OK;
}

const OmClassRecord classes[] = {
    {&CLSID_OmLgRenderer, nullptr, nullptr, OmCreateComponent<OmLgRenderer>, "OmLgRenderer"}};

} // namespace

OM_DEFINE_MODULE(OmLgRenderer, classes)
