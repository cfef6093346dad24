// RasterCreate: the raster description (properties with set and fixed marks, defaults applied
// by Reset) that makes memory rasters; registered as RasterCreate and NullRasterCreate, with
// the memory raster NullRaster beside them.
#include "media/raster/null_raster.h"
#include "media/raster/raster.h"

#include <cstring>

namespace {

constexpr uint8_t flag_set = 1;
constexpr uint8_t flag_fixed = 2;

struct PropertyDefault {
    uint32_t id;
    intptr_t value;
};

// Applied by Reset, in this order, to the properties not set.
constexpr PropertyDefault reset_defaults[] = {
    {OM_RASTER_KIND, OM_RASTER_KIND_PICTURE},
    {OM_RASTER_FORMAT, OM_FORMAT_ARGB8888},
    {OM_RASTER_FLAG5, 1},
    {OM_RASTER_STRIDE, 0},
    {28, 0},
    {OM_RASTER_MIP_LEVELS, 0},
    {10, 0},
    {OM_RASTER_SYSTEM_MEMORY, 1},
    {OM_RASTER_Z_BUFFER, 0},
    {16, 0},
    {OM_RASTER_FORMAT_PREFERENCE, 0},
    {21, 1},
    {22, 0},
    {OM_RASTER_EXACT_SIZE, 0},
};

class RasterCreate final : public OmObject<RasterCreate, IRasterCreate> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRasterCreate, this}});
    }

    OmResult Reset() override {
        for (const PropertyDefault& d : reset_defaults)
            if (!(flags_[d.id] & flag_set)) SetProperty(d.id, d.value);
        prepared_ = 1;
        if (kind_ == OM_RASTER_KIND_PALETTE && (width_ == 0 || height_ == 0)) {
            SetProperty(OM_RASTER_WIDTH, 256);
            SetProperty(OM_RASTER_HEIGHT, 1);
        }
        if (width_ == 0 || height_ == 0) {
            SetProperty(OM_RASTER_WIDTH, 128);
            SetProperty(OM_RASTER_HEIGHT, 128);
        }
        prepared_ = 1;
        return OM_S_OK;
    }

    OmResult CreateRaster(IRaster** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!prepared_) {
            OmResult r = Reset();
            if (r < 0) return r;
        }
        NullRaster* raster;
        OmResult r = om_new_component(&raster);
        if (r < 0) return r;
        r = raster->setup(width_, height_, format_, int32_t(stride_), pixels_, kind_, flag5_,
                          key_enabled_, key_);
        if (r < 0) {
            raster->Release();
            return r;
        }
        *out = raster;
        return OM_S_OK;
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        prepared_ = 0;
        if (id >= OM_RASTER_PROPERTY_COUNT) return OM_E_FAIL;
        if ((flags_[id] & (flag_set | flag_fixed)) == (flag_set | flag_fixed)) return OM_S_OK;
        flags_[id] |= flag_set;
        auto word = uint32_t(value);
        auto byte = uint8_t(value);
        switch (id) {
        case OM_RASTER_KIND: kind_ = byte; break;
        case OM_RASTER_WIDTH: width_ = word; break;
        case OM_RASTER_HEIGHT: height_ = word; break;
        case OM_RASTER_FORMAT: format_ = word; break;
        case OM_RASTER_FLAG5: flag5_ = byte; break;
        case OM_RASTER_STRIDE: stride_ = word; break;
        case OM_RASTER_COLOUR_KEY: key_ = word; break;
        case OM_RASTER_COLOUR_KEY_ENABLED: key_enabled_ = byte; break;
        case OM_RASTER_MIP_LEVELS: byte9_ = byte; break;
        case OM_RASTER_Z_BUFFER: word15_ = word; break;
        case 16: byte16_ = byte; break;
        case OM_RASTER_FORMAT_PREFERENCE: byte20_ = byte; break;
        case 21: words21_[0] = word; break;
        case 22: words21_[1] = word; break;
        case OM_RASTER_EXACT_SIZE: words21_[2] = word; break;
        case OM_RASTER_PIXELS: pixels_ = reinterpret_cast<void*>(value); break;
        case 28: word28_ = word; break;
        default: return OM_E_FAIL; // no storage; stays marked set
        }
        return OM_S_OK;
    }

    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (id == 0 || id >= OM_RASTER_PROPERTY_COUNT || !(flags_[id] & flag_set) || !value)
            return OM_E_FAIL;
        switch (id) {
        case OM_RASTER_KIND: *value = kind_; break;
        case OM_RASTER_WIDTH: *value = width_; break;
        case OM_RASTER_HEIGHT: *value = height_; break;
        case OM_RASTER_FORMAT: *value = format_; break;
        case OM_RASTER_FLAG5: *value = flag5_; break;
        case OM_RASTER_STRIDE: *value = int32_t(stride_); break;
        case OM_RASTER_COLOUR_KEY: *value = key_; break;
        case OM_RASTER_COLOUR_KEY_ENABLED: *value = key_enabled_; break;
        case OM_RASTER_MIP_LEVELS: *value = byte9_; break;
        case OM_RASTER_Z_BUFFER: *value = word15_; break;
        case 16: *value = byte16_; break;
        case OM_RASTER_FORMAT_PREFERENCE: *value = byte20_; break;
        case 21: *value = words21_[0]; break;
        case 22: *value = words21_[1]; break;
        case OM_RASTER_EXACT_SIZE: *value = words21_[2]; break;
        case 28: *value = word28_; break;
        default: return OM_E_FAIL; // no storage, or the pixel memory (not readable)
        }
        return OM_S_OK;
    }

    OmResult IsPropertySet(uint32_t id) override {
        if (id >= OM_RASTER_PROPERTY_COUNT) return 0;
        return (flags_[id] & flag_set) ? 1 : 0;
    }

    OmResult Clear() override {
        prepared_ = 0;
        width_ = height_ = 0;
        for (uint8_t& f : flags_)
            if (f & flag_fixed) f &= uint8_t(~flag_set);
        return OM_S_OK;
    }

    OmResult Clone(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        RasterCreate* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        copy->copy_fields_from(*this);
        *out = copy;
        return OM_S_OK;
    }

    OmResult SetPropertyFixed(uint32_t id, uint32_t on) override {
        if (id >= OM_RASTER_PROPERTY_COUNT) return OM_E_FAIL;
        if (on)
            flags_[id] |= flag_fixed;
        else
            flags_[id] &= uint8_t(~flag_fixed);
        return OM_S_OK;
    }

    OmResult IsPropertyFixed(uint32_t id) override {
        if (id >= OM_RASTER_PROPERTY_COUNT) return OM_E_FAIL;
        return (flags_[id] & flag_fixed) ? 1 : 0;
    }

private:
    void copy_fields_from(const RasterCreate& o) {
        prepared_ = o.prepared_;
        width_ = o.width_;
        height_ = o.height_;
        format_ = o.format_;
        kind_ = o.kind_;
        flag5_ = o.flag5_;
        byte20_ = o.byte20_;
        byte9_ = o.byte9_;
        byte16_ = o.byte16_;
        key_enabled_ = o.key_enabled_;
        key_ = o.key_;
        word15_ = o.word15_;
        word28_ = o.word28_;
        pixels_ = o.pixels_;
        stride_ = o.stride_;
        std::memcpy(words21_, o.words21_, sizeof(words21_));
        std::memcpy(flags_, o.flags_, sizeof(flags_));
    }

    uint32_t prepared_;
    uint32_t width_;
    uint32_t height_;
    uint32_t format_;
    uint8_t kind_;
    uint8_t flag5_;
    uint8_t byte20_;
    uint8_t byte9_;
    uint8_t byte16_;
    uint8_t key_enabled_;
    uint32_t key_;
    uint32_t word15_;
    uint32_t word28_;
    void* pixels_;
    uint32_t stride_;
    uint32_t words21_[3];
    uint8_t flags_[OM_RASTER_PROPERTY_COUNT];
};

// A NullRaster made by class id: empty until its properties wrap pixels.
OmResult create_null_raster(IUnknown* outer, IUnknown** out) {
    return OmCreateComponent<NullRaster>(outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_RasterCreate, nullptr, nullptr, OmCreateComponent<RasterCreate>, "RasterCreate"},
    {&CLSID_NullRasterCreate, nullptr, nullptr, OmCreateComponent<RasterCreate>,
     "NullRasterCreate"},
    {&CLSID_NullRaster, nullptr, nullptr, create_null_raster, "NullRaster"},
};

} // namespace

OM_DEFINE_MODULE(RasterCreate, classes)

OmResult OmNewRasterDescription(IRasterCreate** out) {
    if (!out) return OM_E_FAIL;
    RasterCreate* description;
    OmResult r = om_new_component(&description);
    *out = description;
    return r;
}

OmResult OmNewMemoryRaster(uint32_t width, uint32_t height, uint32_t format, IRaster** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    IRasterCreate* description;
    OmResult r = OmNewRasterDescription(&description);
    if (r < 0) return r;
    description->SetProperty(OM_RASTER_WIDTH, width);
    description->SetProperty(OM_RASTER_HEIGHT, height);
    description->SetProperty(OM_RASTER_FORMAT, format);
    r = description->CreateRaster(out);
    description->Release();
    return r;
}
