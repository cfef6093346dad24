// The engine raster object: size and format, locks, fills through the engine's 2-D context,
// blits through a framework raster over the locked pixels, and the engine textures it holds.
#include "game/world/om_lg_raster.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"

namespace {

constexpr OmResult kBadLockMode = int32_t(0x80020002u);

} // namespace

OmLgRaster::~OmLgRaster() {
    if (image_proc != nullptr) image_proc->Release();
    // The textures own their rasters.
    if (texture != nullptr) LgTextureDestroy(texture);
    if (z_texture != nullptr) LgTextureDestroy(z_texture);
}

OmResult OmLgRaster::init() {
    return OmCreate(CLSID_ImageProc, IID_IImageProc, &image_proc) < 0 ? OM_E_FAIL : OM_S_OK;
}

OmResult OmLgRaster::QueryInterface(const GUID& iid, void** out) {
    if (out != nullptr && iid == IID_OmLgRasterObject) {
        *out = this;
        AddRef();
        return OM_S_OK;
    }
    return om_query_interface(iid, out, {{&IID_IRaster, this}});
}

uint32_t OmLgRaster::GetWidth() {
    return raster != nullptr ? static_cast<uint32_t>(LgRasterGetWidth(raster)) : 0;
}

uint32_t OmLgRaster::GetHeight() {
    return raster != nullptr ? static_cast<uint32_t>(LgRasterGetHeight(raster)) : 0;
}

OmResult OmLgRaster::Lock(uint32_t mode, void** pixels, int32_t* stride) {
    if (mode < OM_LOCK_WRITE || mode > OM_LOCK_READ_WRITE) return kBadLockMode;
    uint8_t* locked =
        raster != nullptr ? LgRasterLock(raster, 0, static_cast<int32_t>(mode)) : nullptr;
    if (locked == nullptr) {
        if (pixels != nullptr) *pixels = nullptr;
        if (stride != nullptr) *stride = -1;
        return OM_E_FAIL;
    }
    if (pixels != nullptr) *pixels = locked;
    if (stride != nullptr) *stride = LgRasterGetStride(raster);
    return OM_S_OK;
}

OmResult OmLgRaster::Unlock() {
    return raster != nullptr && LgRasterUnlock(raster) != nullptr ? OM_S_OK : OM_E_FAIL;
}

OmResult OmLgRaster::FillRect(const OmRect* rect, const uint32_t* colour) {
    if (raster == nullptr || colour == nullptr) return OM_E_FAIL;
    const LgRGBA rgba = {static_cast<uint8_t>(*colour >> 16), static_cast<uint8_t>(*colour >> 8),
                         static_cast<uint8_t>(*colour), static_cast<uint8_t>(*colour >> 24)};
    const uint32_t pixel = LgRGBAToPixel(&rgba, LgRasterGetFormat(raster));
    const LgRect area = rect != nullptr
                            ? LgRect{rect->x, rect->y, rect->width, rect->height}
                            : LgRect{0, 0, LgRasterGetWidth(raster), LgRasterGetHeight(raster)};
    if (LgRasterPushContext(raster) == nullptr) return OM_E_FAIL;
    LgRasterClearRect(&area, pixel);
    LgRasterPopContext();
    return OM_S_OK;
}

OmResult OmLgRaster::GetProperty(uint32_t id, intptr_t* value) {
    if (value == nullptr) return OM_E_FAIL;
    switch (id) {
    case OM_RASTER_KIND: *value = type; return OM_S_OK;
    case OM_RASTER_WIDTH: *value = GetWidth(); return OM_S_OK;
    case OM_RASTER_HEIGHT: *value = GetHeight(); return OM_S_OK;
    case OM_RASTER_FORMAT: *value = format; return OM_S_OK;
    case OM_RASTER_COLOUR_TEXTURE:
    case OM_RASTER_DEPTH_TEXTURE: {
        LgTexture* t = id == OM_RASTER_COLOUR_TEXTURE ? texture : z_texture;
        if (t != nullptr) LgTextureAddRef(t);
        *value = reinterpret_cast<intptr_t>(t);
        return OM_S_OK;
    }
    default: return OM_E_FAIL;
    }
}

OmResult OmLgRaster::BlitConvert(const OmRect* dest_rect, IRaster* source,
                                 const OmRect* source_rect, uint32_t flags) {
    if (raster == nullptr) return OM_S_OK;
    uint8_t* pixels = LgRasterLock(raster, 0, LgRasterLockWrite);
    if (pixels == nullptr) return OM_E_FAIL;
    OmResult r = OM_E_FAIL;
    ComRef<IRasterCreate> description;
    if (image_proc->CreateRasterDescription(nullptr, IID_IRasterCreate, description.put_void()) >=
            0 &&
        description) {
        description->SetProperty(OM_RASTER_KIND, type);
        description->SetProperty(OM_RASTER_FORMAT, format);
        description->SetProperty(OM_RASTER_WIDTH, LgRasterGetWidth(raster));
        description->SetProperty(OM_RASTER_HEIGHT, LgRasterGetHeight(raster));
        description->SetProperty(OM_RASTER_PIXELS, reinterpret_cast<intptr_t>(pixels));
        description->SetProperty(OM_RASTER_STRIDE, LgRasterGetStride(raster));
        ComRef<IRaster> view;
        r = description->CreateRaster(view.put());
        if (r >= 0 && view) r = view->BlitConvert(dest_rect, source, source_rect, flags);
    }
    LgRasterUnlock(raster);
    return r;
}

LgRaster* OmLgRasterOf(IRaster* raster) {
    if (raster == nullptr) return nullptr;
    OmLgRaster* object = nullptr;
    if (raster->QueryInterface(IID_OmLgRasterObject, reinterpret_cast<void**>(&object)) < 0 ||
        object == nullptr)
        return nullptr;
    LgRaster* engine = object->raster;
    object->Release();
    return engine;
}
