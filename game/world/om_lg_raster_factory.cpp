// The engine raster factory: the description properties with their fixed marks, validation
// of sizes, formats and kinds, and the engine raster built from them (texture sides snapped
// to powers of two, device format fallbacks, an optional depth raster).
#include "framework/core/component.h"
#include "game/world/om_lg_raster.h"

#include <array>
#include <span>

namespace {

constexpr uint8_t kUnset = 2; // what a boolean property holds while unset
constexpr uint32_t kDefaultFormat = 0xc0210;
constexpr uint32_t kDefaultSide = 128;
constexpr int32_t kSnapStart = 2048;

// Framework pixel-format codes and engine raster formats.
struct FormatPair {
    uint32_t code;
    int32_t engine;
};
constexpr FormatPair kFormats[] = {
    {0xc0210, 0x100}, {0x40110, 0x200},  {0xc0310, 0x300},  {0x20108, 0x400},
    {0xc0120, 0x500}, {0x40118, 0x600},  {0x10, 0x700},     {0x18, 0x800},
    {0x20, 0x900},    {0x10108, 0x2000}, {0x10104, 0x4000},
};
constexpr FormatPair kEngineOnly = {0x40210, 0xa00};

// Formats tried, at depth 0, when the device refuses the first request; by depth and by the
// format preference (property 20: 0, 1, other).
constexpr std::array<int32_t, 6> kFallback16[3] = {{0x200, 0x100, 0x600, 0x500, 0x300, 0xa00},
                                                   {0x100, 0x500, 0x300, 0x200, 0x600},
                                                   {0x300, 0x500, 0x100, 0x200, 0x600}};
constexpr std::array<int32_t, 6> kFallback24 = {0x600, 0x500};
constexpr std::array<int32_t, 6> kFallback32[3] = {{0x500, 0x600, 0x200, 0x100, 0x300},
                                                   {0x500, 0x100, 0x300, 0x600, 0x200},
                                                   {0x500, 0x300, 0x100, 0x600, 0x200}};

std::span<const int32_t> fallbacks(int32_t depth, uint8_t preference) {
    const int p = preference == 0 ? 0 : (preference == 1 ? 1 : 2);
    auto used = [](const std::array<int32_t, 6>& list) {
        size_t n = 0;
        while (n < list.size() && list[n] != 0) ++n;
        return std::span<const int32_t>(list.data(), n);
    };
    switch (depth) {
    case 16: return used(kFallback16[p]);
    case 24: return used(kFallback24);
    case 32: return used(kFallback32[p]);
    default: return {};
    }
}

// Engine raster types by factory kind; -1 for kinds the engine cannot make.
int32_t engine_type(uint8_t kind) {
    switch (kind) {
    case 1:
    case 5: return LgRasterTypeCamera;
    case 2:
    case 6: return LgRasterTypeNormal;
    case 3: return LgRasterTypeTexture;
    default: return -1;
    }
}

uint8_t as_bool(intptr_t value) {
    return value != 0 ? 1 : 0;
}

class OmLgRasterFactory final : public OmObject<OmLgRasterFactory, IRasterCreate> {
public:
    OmLgRasterFactory() {
        Clear();
        width_ = height_ = kDefaultSide;
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRasterCreate, this}});
    }
    OmResult Reset() override;
    OmResult CreateRaster(IRaster** out) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult IsPropertySet(uint32_t) override { return 0; }
    OmResult Clear() override {
        width_ = height_ = format_ = property6_ = 0;
        kind_ = property5_ = mip_levels_ = property16_ = z_buffer_ = property17_ = 0;
        property10_ = property21_ = property22_ = exact_size_ = kUnset;
        preference_ = 0;
        validated_ = 0;
        return OM_S_OK;
    }
    OmResult Clone(IRasterCreate**) override { return OM_E_FAIL; }
    OmResult SetPropertyFixed(uint32_t id, uint32_t on) override {
        if (id >= OM_RASTER_PROPERTY_COUNT) return OM_E_FAIL;
        fixed_[id] = static_cast<uint8_t>(on != 0 ? fixed_[id] | 1 : fixed_[id] & ~1);
        return OM_S_OK;
    }
    OmResult IsPropertyFixed(uint32_t id) override {
        if (id >= OM_RASTER_PROPERTY_COUNT) return OM_E_FAIL;
        return (fixed_[id] & 1) != 0 ? 1 : 0;
    }

private:
    OmResult build(OmLgRaster* object);
    LgRaster* create_engine_raster(int32_t width, int32_t height, int32_t flags) const;

    uint32_t width_, height_, format_, property6_;
    uint8_t kind_, property5_, mip_levels_, property16_, z_buffer_, property17_;
    uint8_t property10_, property21_, property22_, exact_size_, preference_;
    uint8_t validated_;
    uint8_t fixed_[OM_RASTER_PROPERTY_COUNT] = {};
};

OmResult OmLgRasterFactory::SetProperty(uint32_t id, intptr_t value) {
    validated_ = 0;
    if (id < OM_RASTER_PROPERTY_COUNT && fixed_[id] != 0) return OM_E_FAIL;
    const auto byte = static_cast<uint8_t>(value);
    const auto word = static_cast<uint32_t>(value);
    switch (id) {
    case 1: kind_ = byte; break;
    case 5: property5_ = byte; break;
    case 9: mip_levels_ = byte; break;
    case 16: property16_ = byte; break;
    case 20: preference_ = byte; break;
    case 2: width_ = word; break;
    case 3: height_ = word; break;
    case 4: format_ = word; break;
    case 6: property6_ = word; break;
    case 10: property10_ = as_bool(value); break;
    case 15: z_buffer_ = as_bool(value); break;
    case 17: property17_ = as_bool(value); break;
    case 21: property21_ = as_bool(value); break;
    case 22: property22_ = as_bool(value); break;
    case 23: exact_size_ = as_bool(value); break;
    case 25: break;
    default: return OM_E_FAIL;
    }
    return OM_S_OK;
}

OmResult OmLgRasterFactory::GetProperty(uint32_t id, intptr_t* value) {
    if (value == nullptr) return OM_E_FAIL;
    // An unset property answers 0 and leaves the output alone: a word or byte is unset while
    // 0, a boolean while kUnset; the format preference is always set.
    auto answer = [value](uint32_t stored, bool set) {
        if (set) *value = static_cast<intptr_t>(stored);
        return OM_S_OK;
    };
    switch (id) {
    case 1: return answer(kind_, kind_ != 0);
    case 2: return answer(width_, width_ != 0);
    case 3: return answer(height_, height_ != 0);
    case 4: return answer(format_, format_ != 0);
    case 5: return answer(property5_, property5_ != 0);
    case 6: return answer(property6_, property6_ != 0);
    case 9: return answer(mip_levels_, mip_levels_ != 0);
    case 15: return answer(z_buffer_, z_buffer_ != 0);
    case 16: return answer(property16_, property16_ != 0);
    case 17: return answer(property17_, property17_ != 0);
    case 20: return answer(preference_, true);
    case 10: return answer(property10_, property10_ != kUnset);
    case 21: return answer(property21_, property21_ != kUnset);
    case 22: return answer(property22_, property22_ != kUnset);
    case 23: return answer(exact_size_, exact_size_ != kUnset);
    default: return OM_E_FAIL;
    }
}

OmResult OmLgRasterFactory::Reset() {
    if (property6_ != 0) return OM_E_FAIL;
    if (kind_ == 0) kind_ = OM_RASTER_KIND_TEXTURE;
    if (exact_size_ == kUnset) exact_size_ = 0;
    if (property21_ == kUnset) property21_ = 1;
    if (property22_ == kUnset) property22_ = 0;
    if (format_ == 0) format_ = kDefaultFormat;
    if (property5_ == 0) property5_ = 2;
    switch (kind_) {
    case 1:
    case 2: break;
    case 3:
    case 6: {
        if (width_ == 0) width_ = kDefaultSide;
        if (height_ == 0) height_ = kDefaultSide;
        const int32_t largest = LgEngineGetMaxTextureSize();
        if (largest > 0) {
            if (width_ > uint32_t(largest)) width_ = uint32_t(largest);
            if (height_ > uint32_t(largest)) height_ = uint32_t(largest);
        }
        break;
    }
    case 4:
        if (width_ == 0 || height_ == 0) {
            width_ = 256;
            height_ = 1;
        }
        if (property5_ != 0) property5_ = 2;
        break;
    default: return OM_E_FAIL;
    }
    validated_ = 1;
    return OM_S_OK;
}

LgRaster* OmLgRasterFactory::create_engine_raster(int32_t width, int32_t height,
                                                  int32_t flags) const {
    const int32_t depth = static_cast<int32_t>(format_ & 0xff);
    LgRaster* raster = LgRasterCreate(width, height, depth, flags | OmLgEngineFormat(format_));
    if (raster != nullptr || exact_size_ == 1) return raster;
    for (int32_t engine_format : fallbacks(depth, preference_)) {
        raster = LgRasterCreate(width, height, 0, flags | engine_format);
        if (raster != nullptr) return raster;
    }
    return nullptr;
}

OmResult OmLgRasterFactory::build(OmLgRaster* object) {
    const int32_t type = engine_type(kind_);
    if (type < 0) return OM_E_FAIL;
    const int32_t flags = type | (mip_levels_ > 1 ? LgRasterFormatMipmap : 0);
    auto width = static_cast<int32_t>(width_), height = static_cast<int32_t>(height_);
    if (kind_ == OM_RASTER_KIND_TEXTURE && exact_size_ != 1) {
        width = OmLgSnapTextureSide(width);
        height = OmLgSnapTextureSide(height);
    }
    LgRaster* raster = create_engine_raster(width, height, flags);
    if (raster == nullptr) return OM_E_FAIL;
    if (z_buffer_ == 1) {
        object->z_raster = LgRasterCreate(width, height, 0, LgRasterTypeZBuffer);
        if (object->z_raster != nullptr) object->z_texture = LgTextureCreate(object->z_raster);
    }
    object->format = OmLgFrameworkFormat(LgRasterGetFormat(raster));
    object->type = kind_;
    object->raster = raster;
    object->texture = LgTextureCreate(raster);
    if (object->texture == nullptr) {
        LgRasterDestroy(raster);
        object->raster = nullptr;
        return OM_E_FAIL;
    }
    return OM_S_OK;
}

OmResult OmLgRasterFactory::CreateRaster(IRaster** out) {
    if (out == nullptr) return OM_E_FAIL;
    *out = nullptr;
    if (!validated_) {
        const OmResult r = Reset();
        if (r < 0) return r;
    }
    OmLgRaster* object = nullptr;
    OmResult r = om_new_component(&object);
    if (r < 0) return r;
    r = build(object);
    if (r < 0) {
        object->Release();
        return r;
    }
    *out = object;
    return OM_S_OK;
}

} // namespace

int32_t OmLgEngineFormat(uint32_t code) {
    for (const FormatPair& f : kFormats)
        if (f.code == code) return f.engine;
    return 0;
}

uint32_t OmLgFrameworkFormat(int32_t engine_format) {
    // The mip-level bits travel in the same word; the format is the rest.
    const int32_t format = engine_format & ~(LgRasterFormatMipmap | LgRasterFormatAutoMipmap);
    if (format == kEngineOnly.engine) return kEngineOnly.code;
    for (const FormatPair& f : kFormats)
        if (f.engine == format) return f.code;
    return 0;
}

int32_t OmLgSnapTextureSide(int32_t side) {
    int32_t p = kSnapStart;
    while (p > side && p > 1) p /= 2;
    return 2 * p - side < side - p ? 2 * p : p;
}

OmResult OmLgNewRasterFactory(IRasterCreate** out) {
    if (out == nullptr) return OM_E_FAIL;
    OmLgRasterFactory* factory = nullptr;
    const OmResult r = om_new_component(&factory);
    *out = factory;
    return r;
}
