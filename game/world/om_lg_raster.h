// The engine raster object: an IRaster over an engine raster (and an optional depth raster),
// each wrapped in an engine texture, made by the engine raster factory.
#pragma once

#include "framework/core/component.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_processor.h"

// Answered only by the raster objects of this module: identifies them among other rasters.
inline constexpr GUID IID_OmLgRasterObject = om_guid("4C5A1E20-8F3B-4D6E-9A41-7B2C0D93E512");

class OmLgRaster final : public OmObject<OmLgRaster, IRaster> {
public:
    ~OmLgRaster();
    OmResult init();
    OmResult QueryInterface(const GUID& iid, void** out) override;

    uint32_t GetWidth() override;
    uint32_t GetHeight() override;
    uint32_t GetFormat() override { return format; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override;
    OmResult Unlock() override;
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override;
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override {
        return BlitConvert(dest_rect, source, source_rect, 0);
    }
    OmResult SetProperty(uint32_t, intptr_t) override { return OM_E_FAIL; }
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t flags) override;

    int32_t type = 0;
    uint32_t format = 0;
    IImageProc* image_proc = nullptr;
    LgRaster* raster = nullptr;
    LgRaster* z_raster = nullptr;
    LgTexture* texture = nullptr;
    LgTexture* z_texture = nullptr;
};
