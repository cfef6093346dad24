// The displays' shared mode list, windowed copy rectangles and lock flags.
#include "media/display/displays/display_modes.h"

#include "media/display/d3d/pixel_format_id.h"
#include "media/raster/raster.h"

#include <algorithm>

using namespace platform;

namespace {

int32_t collect_mode(DDSURFACEDESC2* desc, void* context) {
    auto* modes = static_cast<std::vector<OmListedMode>*>(context);
    const uint32_t format = om_identify_surface_format(*desc);
    if (format != 0) modes->push_back({desc->dwWidth, desc->dwHeight, format});
    return DDENUMRET_OK;
}

} // namespace

OmResult om_read_display_modes(dx5::IDirectDraw2* draw, std::vector<OmListedMode>* out) {
    out->clear();
    int32_t r = draw->EnumDisplayModes(0, nullptr, out, collect_mode);
    if (failed(r)) return r;
    std::sort(out->begin(), out->end(), [](const OmListedMode& a, const OmListedMode& b) {
        const uint32_t abits = a.format & 0xFF, bbits = b.format & 0xFF;
        if (abits != bbits) return abits < bbits;
        if (a.width != b.width) return a.width < b.width;
        if (a.height != b.height) return a.height < b.height;
        return a.format < b.format;
    });
    return OM_S_OK;
}

bool om_windowed_copy_rects(GfxWindow window, uint32_t client_width, uint32_t client_height,
                            uint32_t mode_width, uint32_t mode_height, GfxRect* source,
                            GfxRect* dest) {
    const uint32_t w = std::min(client_width, mode_width);
    const uint32_t h = std::min(client_height, mode_height);
    GfxRect client;
    if (!dx5::client_rect_on_screen(window, w, h, &client)) return false;
    *source = GfxRect{0, 0, int32_t(w), int32_t(h)};
    *dest = client;
    return true;
}

uint32_t om_surface_lock_flags(uint32_t mode) {
    switch (mode & OM_LOCK_READ_WRITE) {
    case OM_LOCK_READ_WRITE: return DDLOCK_WAIT;
    case OM_LOCK_WRITE: return DDLOCK_WAIT | DDLOCK_WRITEONLY;
    case OM_LOCK_READ: return DDLOCK_WAIT | DDLOCK_READONLY;
    default: return DDLOCK_WAIT | DDLOCK_WRITEONLY | DDLOCK_READONLY;
    }
}
