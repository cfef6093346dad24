// OmCopyRasterInto: delivers a picture in a caller's raster description, converting its
// format and resampling it when the description keeps another size.
#include "media/raster/image_processor_internal.h"
#include "media/raster/raster.h"
#include "media/raster/raster_access.h"

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
    // An indexed copy without a palette of its own takes the source's: without one it could
    // neither copy the indices nor match colours, and no 8-bit picture could be delivered.
    if (om_pixel_bits(raster->GetFormat()) <= 8 && !om_raster_palette(raster))
        if (IRaster* palette = om_raster_palette(source))
            raster->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette));
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
