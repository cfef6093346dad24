// AnimRenderer: forwards to the wrapped renderer; its texture factory is wrapped in an
// AnimRasterCreate. Without a wrapped renderer every operation fails (OM_E_FAIL, or null).
#include "media/display/anim_renderer.h"

#include "media/raster/anim_raster.h"

namespace {

class AnimRenderer final : public OmObject<AnimRenderer, IRenderer, IAnimRenderer> {
public:
    ~AnimRenderer() {
        if (inner_) inner_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IRenderer, static_cast<IRenderer*>(this)},
                                   {&IID_IAnimRenderer, static_cast<IAnimRenderer*>(this)}});
    }

    OmResult Init(IRaster* display) override { return inner_ ? inner_->Init(display) : OM_E_FAIL; }
    IRaster* GetDisplay() override { return inner_ ? inner_->GetDisplay() : nullptr; }
    OmResult CreateTextureFactory(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!inner_) return OM_E_FAIL;
        IRasterCreate* factory = nullptr;
        OmResult r = inner_->CreateTextureFactory(&factory);
        if (r < 0) return r;
        r = OmNewAnimRasterCreate(factory, out);
        factory->Release();
        return r;
    }
    OmResult SetTarget(IRaster* target) override {
        return inner_ ? inner_->SetTarget(target) : OM_E_FAIL;
    }
    IRaster* GetTarget() override { return inner_ ? inner_->GetTarget() : nullptr; }
    OmResult BeginScene() override { return inner_ ? inner_->BeginScene() : OM_E_FAIL; }
    OmResult EndScene() override { return inner_ ? inner_->EndScene() : OM_E_FAIL; }
    OmResult SetRenderState(uint32_t state, uintptr_t value) override {
        return inner_ ? inner_->SetRenderState(state, value) : OM_E_FAIL;
    }
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override {
        return inner_ ? inner_->GetRenderState(state, value) : OM_E_FAIL;
    }
    OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                  const uint16_t* indices, uint32_t index_count,
                                  uint32_t flags) override {
        return inner_ ? inner_->DrawIndexedPrimitive(type, vertices, count, indices, index_count,
                                                     flags)
                      : OM_E_FAIL;
    }
    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                           uint32_t flags) override {
        return inner_ ? inner_->DrawPrimitive(type, vertices, count, flags) : OM_E_FAIL;
    }

    OmResult SetRenderer(IRenderer* renderer) override {
        if (renderer) renderer->AddRef();
        if (inner_) inner_->Release();
        inner_ = renderer;
        return OM_S_OK;
    }
    OmResult GetRenderer(IRenderer** out) override {
        if (!out) return OM_E_FAIL;
        *out = inner_;
        if (inner_) inner_->AddRef();
        return OM_S_OK;
    }

private:
    IRenderer* inner_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_AnimRenderer, nullptr, nullptr, OmCreateComponent<AnimRenderer>, "AnimRenderer"},
};

} // namespace

OM_DEFINE_MODULE(AnimRenderer, classes)
