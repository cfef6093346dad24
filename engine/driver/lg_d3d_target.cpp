// The drawing target of 2-D operations and its clears: depth and colour fills by blit, other
// rasters filled through a lock at their own pixel size.
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_surface.h"

#include "platform/graphics/pixel_format.h"

#include <algorithm>

using namespace platform;

namespace {

struct Span {
    int32_t x0, y0, x1, y1; // surface coordinates, end exclusive
};

// The rectangle inside the target's clip rectangle, moved into its surface; false when
// nothing of it remains.
bool clip_to_target(const LgRect& r, Span& out) {
    const LgD3DDrawingTarget& t = LgD3DDriver.drawingTarget;
    const int64_t x0 = std::max<int64_t>(r.x, t.clipX);
    const int64_t y0 = std::max<int64_t>(r.y, t.clipY);
    const int64_t x1 = std::min<int64_t>(int64_t{r.x} + r.w, int64_t{t.clipX} + t.clipWidth);
    const int64_t y1 = std::min<int64_t>(int64_t{r.y} + r.h, int64_t{t.clipY} + t.clipHeight);
    if (x0 >= x1 || y0 >= y1) return false;
    out = {static_cast<int32_t>(x0 + t.offsetX), static_cast<int32_t>(y0 + t.offsetY),
           static_cast<int32_t>(x1 + t.offsetX), static_cast<int32_t>(y1 + t.offsetY)};
    return true;
}

void fill_row(uint8_t* row, int32_t x0, int32_t x1, int32_t depth, uint32_t value) {
    if (depth == 4) {
        for (int32_t x = x0; x < x1; ++x) {
            uint8_t& byte = row[x / 2];
            byte = (x & 1) == 0 ? static_cast<uint8_t>((byte & 0xF0) | (value & 0x0F))
                                : static_cast<uint8_t>((byte & 0x0F) | (value & 0x0F) << 4);
        }
        return;
    }
    const uint32_t bytes = static_cast<uint32_t>(depth) / 8;
    for (int32_t x = x0; x < x1; ++x) store_pixel(row + x * bytes, bytes, value);
}

// Plain rasters and textures: no fill blit reaches them, so the driver writes the pixels.
int32_t fill_locked(IDirectDrawSurface4* surface, const Span& s, int32_t depth, uint32_t value) {
    if (depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return 0;
    DDSURFACEDESC2 desc{};
    auto* pixels = static_cast<uint8_t*>(LgD3DSurfaceLockWrite(surface, &desc));
    if (pixels == nullptr) return 0;
    for (int32_t y = s.y0; y < s.y1; ++y)
        fill_row(pixels + static_cast<ptrdiff_t>(y) * desc.lPitch, s.x0, s.x1, depth, value);
    LgD3DSurfaceUnlock(surface);
    return 1;
}

} // namespace

int32_t LgD3DSetTarget(void* out, void*, int32_t) {
    auto* raster = static_cast<LgRaster*>(out);
    LgD3DDrawingTarget& t = LgD3DDriver.drawingTarget;
    t = LgD3DDrawingTarget{};
    if (raster == nullptr || LgD3DRasterSliceOf(raster)->surface == nullptr) return 0;
    t = {raster, raster->offsetX, raster->offsetY, 0, 0, raster->width, raster->height};
    return 1;
}

int32_t LgD3DClearRect(void* in, void*, int32_t value) {
    const auto* rect = static_cast<const LgRect*>(in);
    LgRaster* raster = LgD3DDriver.drawingTarget.raster;
    if (rect == nullptr || raster == nullptr) return 0;
    IDirectDrawSurface4* surface = LgD3DRasterSliceOf(raster)->surface;
    if (surface == nullptr) return 0;
    Span s{};
    if (!clip_to_target(*rect, s)) return 1;
    const auto pixel = static_cast<uint32_t>(value);
    if (raster->type == LgRasterTypeZBuffer || raster->type == LgRasterTypeCamera) {
        GfxRect area = {s.x0, s.y0, s.x1, s.y1};
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        uint32_t flags = DDBLT_WAIT;
        if (raster->type == LgRasterTypeZBuffer) {
            fx.dwFillDepth = pixel;
            flags |= DDBLT_DEPTHFILL;
        } else {
            fx.dwFillColor = pixel;
            flags |= DDBLT_COLORFILL;
        }
        return succeeded(surface->Blt(&area, nullptr, nullptr, flags, &fx)) ? 1 : 0;
    }
    return fill_locked(surface, s, raster->depth, pixel);
}

int32_t LgD3DClearTarget(void*, void*, int32_t value) {
    const LgD3DDrawingTarget& t = LgD3DDriver.drawingTarget;
    LgRect whole = {t.clipX, t.clipY, t.clipWidth, t.clipHeight};
    return LgD3DClearRect(&whole, nullptr, value);
}
