// OmCopyRasterInto: delivers a picture in a caller's raster description, converting its
// format and resampling it when the description keeps another size.
#include "media/raster/image_processor_internal.h"
#include "media/raster/raster.h"

OmResult OmCopyRasterInto(IRaster* source, IRasterCreate* description, IRaster** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!source || !description) return OM_E_FAIL;
    description->SetProperty(OM_RASTER_WIDTH, source->GetWidth());
    description->SetProperty(OM_RASTER_HEIGHT, source->GetHeight());
    description->SetProperty(OM_RASTER_FORMAT, source->GetFormat());
    IRaster* raster;
    OmResult r = description->CreateRaster(&raster);
    if (r < 0) return r;
    constexpr uint32_t flags = OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT;
    if (raster->GetWidth() == source->GetWidth() && raster->GetHeight() == source->GetHeight()) {
        r = raster->BlitConvert(nullptr, source, nullptr, flags);
    } else {
        IRaster* resized;
        r = om_resample_to_size(source, raster->GetWidth(), raster->GetHeight(), &resized);
        if (r >= 0) {
            r = raster->BlitConvert(nullptr, resized, nullptr, flags);
            resized->Release();
        }
    }
    if (r < 0) {
        raster->Release();
        return r;
    }
    *out = raster;
    return OM_S_OK;
}
