// The software renderers' texture factory over a plain raster description: every operation
// forwards to it, and CreateRaster first checks and forces the kind, format and size.
#include "media/display/sw_texture_factory.h"

#include "media/display/sw_rasteriser.h"

namespace {

OmResult wrap(IRasterCreate* inner, uint32_t format, IRasterCreate** out);

class SwTextureFactory final : public OmObject<SwTextureFactory, IRasterCreate> {
public:
    ~SwTextureFactory() {
        if (inner_) inner_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRasterCreate, this}});
    }

    OmResult Reset() override { return inner_->Reset(); }

    OmResult CreateRaster(IRaster** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        inner_->Reset();
        intptr_t kind = 0;
        if (inner_->GetProperty(OM_RASTER_KIND, &kind) < 0) return OM_E_FAIL;
        if (kind != OM_RASTER_KIND_CAMERA && kind != OM_RASTER_KIND_TEXTURE &&
            kind != OM_RASTER_KIND_PALETTE && kind != OM_RASTER_KIND_PICTURE)
            return OM_E_FAIL;
        // Palettes keep the palette format; everything else is made in the renderer's.
        if (kind != OM_RASTER_KIND_PALETTE && !force(OM_RASTER_FORMAT, intptr_t(format_)))
            return OM_E_FAIL;
        if (kind == OM_RASTER_KIND_TEXTURE &&
            (!force(OM_RASTER_WIDTH, SW_TEXTURE_SIDE) || !force(OM_RASTER_HEIGHT, SW_TEXTURE_SIDE)))
            return OM_E_FAIL;
        return inner_->CreateRaster(out);
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        return inner_->SetProperty(id, value);
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return inner_->GetProperty(id, value);
    }
    OmResult IsPropertySet(uint32_t id) override { return inner_->IsPropertySet(id); }
    OmResult Clear() override { return inner_->Clear(); }
    OmResult Clone(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        IRasterCreate* copy = nullptr;
        OmResult r = inner_->Clone(&copy);
        return r < 0 ? r : wrap(copy, format_, out);
    }
    OmResult SetPropertyFixed(uint32_t id, uint32_t on) override {
        return inner_->SetPropertyFixed(id, on);
    }
    OmResult IsPropertyFixed(uint32_t id) override { return inner_->IsPropertyFixed(id); }

    IRasterCreate* inner_ = nullptr;
    uint32_t format_ = 0;

private:
    // Sets the property to the value; a fixed property must already hold it.
    bool force(uint32_t id, intptr_t value) {
        if (inner_->IsPropertyFixed(id) == 1) {
            intptr_t held = 0;
            return inner_->GetProperty(id, &held) >= 0 && held == value;
        }
        return inner_->SetProperty(id, value) >= 0;
    }
};

// A factory over the description, taking over the caller's reference to it.
OmResult wrap(IRasterCreate* inner, uint32_t format, IRasterCreate** out) {
    SwTextureFactory* factory = nullptr;
    OmResult r = om_new_component(&factory);
    if (r < 0) {
        inner->Release();
        return r;
    }
    factory->inner_ = inner;
    factory->format_ = format;
    *out = factory;
    return OM_S_OK;
}

} // namespace

OmResult sw_create_texture_factory(uint32_t format, IRasterCreate** out) {
    *out = nullptr;
    IRasterCreate* inner = nullptr;
    OmResult r = OmNewRasterDescription(&inner);
    return r < 0 ? r : wrap(inner, format, out);
}
