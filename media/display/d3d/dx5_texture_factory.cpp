// The Direct3D renderer's texture factory: a raster description bound to the renderer that
// completes itself for the device (sizes, formats, mip levels) and makes its rasters.
#include "media/display/d3d/dx5_renderer.h"

#include <algorithm>
#include <bit>

namespace {

constexpr uint8_t kUnset = 2;

class Dx5TextureFactory final : public OmObject<Dx5TextureFactory, IRasterCreate> {
public:
    ~Dx5TextureFactory() {
        if (d_.renderer) static_cast<IRenderer*>(d_.renderer)->Release();
    }
    void bind(Dx5Renderer* renderer) {
        static_cast<IRenderer*>(renderer)->AddRef();
        d_.renderer = renderer;
        Clear();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        OmResult r = om_query_interface(iid, out, {{&IID_IRasterCreate, this}});
        return r == OM_E_NOINTERFACE ? OmResult(0x80004002) : r;
    }
    OmResult Reset() override;
    OmResult CreateRaster(IRaster** out) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult IsPropertySet(uint32_t) override { return 1; }
    OmResult Clear() override {
        prepared_ = 0;
        d_.kind = 0;
        d_.width = d_.height = d_.format = d_.stride = 0;
        d_.flag5 = d_.mip_levels = d_.byte16 = d_.alpha_depth = 0;
        d_.system_memory_only = 0;
        d_.byte15 = d_.byte17 = d_.keep_copy = d_.byte21 = d_.byte22 = d_.exact_size = kUnset;
        d_.word_cleared = -1;
        return OM_S_OK;
    }
    OmResult Clone(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        Dx5TextureFactory* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        copy->bind(d_.renderer);
        copy->d_ = d_;
        copy->prepared_ = prepared_;
        *out = copy;
        return OM_S_OK;
    }
    OmResult SetPropertyFixed(uint32_t, uint32_t) override { return OM_E_FAIL; }
    OmResult IsPropertyFixed(uint32_t) override { return 0; }

private:
    OmResult reset_texture();

    uint32_t prepared_;
    Dx5Description d_;
};

OmResult Dx5TextureFactory::SetProperty(uint32_t id, intptr_t value) {
    const auto flag = [value] { return uint8_t(value ? 1 : 0); };
    switch (id) {
    case 1: d_.kind = uint8_t(value); break;
    case 2: d_.width = uint32_t(value); break;
    case 3: d_.height = uint32_t(value); break;
    case 4: d_.format = uint32_t(value); break;
    case 5: d_.flag5 = uint8_t(value); break;
    case 6: d_.stride = uint32_t(value); break;
    case 9: d_.mip_levels = uint8_t(value); break;
    case 10: d_.keep_copy = flag(); break;
    case 13: d_.system_memory_only = flag(); break;
    case 15: d_.byte15 = flag(); break;
    case 16: d_.byte16 = uint8_t(value); break;
    case 17: d_.byte17 = flag(); break;
    case 20: d_.alpha_depth = uint8_t(value); break;
    case 21: d_.byte21 = flag(); break;
    case 22: d_.byte22 = flag(); break;
    case 23: d_.exact_size = flag(); break;
    default: return OM_E_FAIL;
    }
    prepared_ = 0;
    return OM_S_OK;
}

OmResult Dx5TextureFactory::GetProperty(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    intptr_t v;
    switch (id) {
    case 1: v = d_.kind; break;
    case 2: v = d_.width; break;
    case 3: v = d_.height; break;
    case 4: v = d_.format; break;
    case 5: v = d_.flag5; break;
    case 6: v = d_.stride; break;
    case 9: v = d_.mip_levels; break;
    case 16: v = d_.byte16; break;
    case 10:
    case 15:
    case 17:
    case 21:
    case 22:
    case 23: {
        const uint8_t b = id == 10   ? d_.keep_copy
                          : id == 15 ? d_.byte15
                          : id == 17 ? d_.byte17
                          : id == 21 ? d_.byte21
                          : id == 22 ? d_.byte22
                                     : d_.exact_size;
        if (b == kUnset) return OM_E_FAIL;
        *value = b;
        return OM_S_OK;
    }
    case 20: *value = d_.alpha_depth; return OM_S_OK;
    case 13: *value = d_.system_memory_only; return OM_S_OK;
    default: return OM_E_FAIL;
    }
    if (v == 0) return OM_E_FAIL;
    *value = v;
    return OM_S_OK;
}

OmResult Dx5TextureFactory::Reset() {
    Dx5Renderer* renderer = d_.renderer;
    IRaster* display = renderer->GetDisplay();
    if (d_.stride != 0) return OM_E_FAIL;
    if (d_.kind == 0) d_.kind = OM_RASTER_KIND_TEXTURE;
    if (d_.exact_size == kUnset) d_.exact_size = 0;
    if (d_.byte22 == kUnset) d_.byte22 = 0;
    if (d_.byte21 == kUnset) d_.byte21 = 1;
    switch (d_.kind) {
    case 1:
    case 2:
    case 5:
        if (d_.byte15 != 0) d_.byte15 = 1;
        if (d_.flag5 == 0) d_.flag5 = 2;
        if (d_.flag5 != 2) return OM_E_FAIL;
        // Without a display the default 5-6-5 format is taken.
        if (d_.format == 0) d_.format = display ? display->GetFormat() : OM_FORMAT_RGB565;
        if (d_.kind == 1 && !display) return OM_E_FAIL;
        if (d_.kind == 2 && (d_.width == 0 || d_.height == 0)) d_.width = d_.height = 128;
        if (d_.kind == 5) return OM_E_FAIL;
        break;
    case 4:
        if (d_.width == 0 || d_.height == 0) {
            d_.width = 256;
            d_.height = 1;
        }
        if (d_.flag5 != 0) d_.flag5 = 2;
        break;
    case 3:
    case 6: {
        OmResult r = reset_texture();
        if (r < 0) return r;
        break;
    }
    default: return OM_E_FAIL;
    }
    prepared_ = 1;
    return OM_S_OK;
}

OmResult Dx5TextureFactory::reset_texture() {
    Dx5Renderer* renderer = d_.renderer;
    const uint32_t smallest = renderer->smallest_side(), largest = renderer->largest_side();
    if (d_.exact_size == 0) {
        const uint32_t bits = d_.format & 0xFF;
        if (bits == 8 || bits > 16) d_.format = 0;
    }
    if (d_.width == 0 || d_.height == 0) d_.width = d_.height = 128;
    if (d_.keep_copy == kUnset) d_.keep_copy = 0;
    if (d_.exact_size == 1) {
        if (d_.width != d_.height || !std::has_single_bit(d_.width) || d_.width < smallest ||
            d_.width > largest)
            return OM_E_FAIL;
    } else {
        uint32_t side = std::bit_floor(std::max(d_.width, d_.height));
        side = std::max(side, smallest);
        if (largest != 0) side = std::min(side, largest);
        d_.width = d_.height = side;
        const auto has = [renderer](uint32_t code) {
            for (const auto& f : renderer->texture_formats())
                if (f.code == code) return true;
            return false;
        };
        uint32_t format = renderer->choose_texture_format(d_.format, d_.alpha_depth);
        if (format == 0) {
            IRaster* display = renderer->GetDisplay();
            if (has(OM_FORMAT_ARGB1555))
                format = OM_FORMAT_ARGB1555;
            else if (has(OM_FORMAT_RGB565))
                format = OM_FORMAT_RGB565;
            else if (display && has(display->GetFormat()))
                format = display->GetFormat();
            else
                return OM_E_FAIL;
        }
        d_.format = format;
    }
    if (d_.mip_levels == 0) d_.mip_levels = uint8_t(std::max(1, int(std::bit_width(d_.width)) - 2));
    const uint32_t mip_filters =
        platform::D3DPTFILTERCAPS_MIPNEAREST | platform::D3DPTFILTERCAPS_MIPLINEAR |
        platform::D3DPTFILTERCAPS_LINEARMIPNEAREST | platform::D3DPTFILTERCAPS_LINEARMIPLINEAR;
    if (!(renderer->device_caps().dpcTriCaps.dwTextureFilterCaps & mip_filters)) d_.mip_levels = 1;
    return OM_S_OK;
}

OmResult Dx5TextureFactory::CreateRaster(IRaster** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!prepared_) {
        OmResult r = Reset();
        if (r < 0) return r;
    }
    Dx5RasterBase* raster;
    OmResult r = om_new_dx5_raster(d_.kind, &raster);
    if (r < 0) return r;
    r = raster->SetUp(d_);
    if (r < 0) {
        raster->Release();
        return r;
    }
    *out = raster;
    return OM_S_OK;
}

} // namespace

OmResult om_new_dx5_texture_factory(Dx5Renderer* renderer, IRasterCreate** out) {
    Dx5TextureFactory* factory;
    OmResult r = om_new_component(&factory);
    if (r < 0) return r;
    factory->bind(renderer);
    *out = factory;
    return OM_S_OK;
}
