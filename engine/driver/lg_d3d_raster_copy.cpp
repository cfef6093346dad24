// Raster copies into the drawing target: clipped against its clip rectangle, blitted, and
// copied by hand (with the source's colour key where the copy is transparent) when the blit
// is refused.
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_surface.h"
#include "engine/driver/lg_pixel_converter.h"

#include "platform/graphics/pixel_format.h"

#include <algorithm>

using namespace platform;

namespace {

// Source and destination rectangles of a copy (x, y, width, height in surface coordinates).
struct CopyRects {
    int32_t sx, sy, sw, sh;
    int32_t dx, dy, dw, dh;
};

// Clips the destination against the target's clip rectangle; each cut moves and shrinks the
// source by the cut scaled to the source's size. False when nothing remains.
bool clip(CopyRects& c) {
    const LgD3DDrawingTarget& t = LgD3DDriver.drawingTarget;
    const int64_t cx0 = int64_t{t.clipX} + t.offsetX, cy0 = int64_t{t.clipY} + t.offsetY;
    const int64_t cx1 = cx0 + t.clipWidth, cy1 = cy0 + t.clipHeight;
    if (c.dw <= 0 || c.dh <= 0 || c.sw <= 0 || c.sh <= 0) return false;
    const int64_t left = std::max<int64_t>(0, cx0 - c.dx);
    const int64_t top = std::max<int64_t>(0, cy0 - c.dy);
    const int64_t right = std::max<int64_t>(0, int64_t{c.dx} + c.dw - cx1);
    const int64_t bottom = std::max<int64_t>(0, int64_t{c.dy} + c.dh - cy1);
    if (left + right >= c.dw || top + bottom >= c.dh) return false;
    const int64_t sx0 = c.sx + left * c.sw / c.dw;
    const int64_t sx1 = c.sx + c.sw - right * c.sw / c.dw;
    const int64_t sy0 = c.sy + top * c.sh / c.dh;
    const int64_t sy1 = c.sy + c.sh - bottom * c.sh / c.dh;
    if (sx0 >= sx1 || sy0 >= sy1) return false;
    c = {static_cast<int32_t>(sx0),
         static_cast<int32_t>(sy0),
         static_cast<int32_t>(sx1 - sx0),
         static_cast<int32_t>(sy1 - sy0),
         static_cast<int32_t>(c.dx + left),
         static_cast<int32_t>(c.dy + top),
         static_cast<int32_t>(c.dw - left - right),
         static_cast<int32_t>(c.dh - top - bottom)};
    return true;
}

bool colour_depth(int32_t depth) {
    return depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

// The copy the blit would have made, pixel by pixel (nearest source pixel when scaled).
int32_t copy_by_hand(const LgRaster* source, const LgRaster* target, const CopyRects& c,
                     bool transparent) {
    const LgD3DRasterSlice* from = LgD3DRasterSliceOf(source);
    const LgD3DRasterSlice* to = LgD3DRasterSliceOf(target);
    if (!colour_depth(source->depth) || !colour_depth(target->depth) || from->format == nullptr ||
        to->format == nullptr)
        return 0;
    const DDPIXELFORMAT& sf = from->format->format;
    const DDPIXELFORMAT& tf = to->format->format;
    const bool same = same_format(sf, tf);
    // Palette indices mean nothing in another format.
    if (!same && (palette_index_bits(sf) != 0 || palette_index_bits(tf) != 0)) return 0;
    DDCOLORKEY key{};
    const bool keyed = transparent && succeeded(from->surface->GetColorKey(DDCKEY_SRCBLT, &key));
    LgPixelConverter unpack{}, pack{};
    unpack.set_up(sf);
    pack.set_up(tf);

    DDSURFACEDESC2 td{}, sd{};
    auto* tp = static_cast<uint8_t*>(LgD3DSurfaceLockReadWrite(to->surface, &td));
    if (tp == nullptr) return 0;
    const bool oneSurface = from->surface == to->surface;
    auto* sp = oneSurface ? tp : static_cast<uint8_t*>(LgD3DSurfaceLockRead(from->surface, &sd));
    if (sp == nullptr) {
        LgD3DSurfaceUnlock(to->surface);
        return 0;
    }
    const int32_t sourcePitch = oneSurface ? td.lPitch : sd.lPitch;
    const uint32_t sb = static_cast<uint32_t>(source->depth) / 8;
    const uint32_t tb = static_cast<uint32_t>(target->depth) / 8;
    for (int32_t y = 0; y < c.dh; ++y) {
        const uint8_t* srow =
            sp + static_cast<ptrdiff_t>(c.sy + static_cast<int64_t>(y) * c.sh / c.dh) * sourcePitch;
        uint8_t* trow = tp + static_cast<ptrdiff_t>(c.dy + y) * td.lPitch;
        for (int32_t x = 0; x < c.dw; ++x) {
            const auto sx = static_cast<int32_t>(c.sx + static_cast<int64_t>(x) * c.sw / c.dw);
            uint32_t pixel = load_pixel(srow + sx * sb, sb);
            if (keyed && pixel == key.dwColorSpaceLowValue) continue;
            if (!same) pixel = pack.pack(unpack.unpack(pixel));
            store_pixel(trow + (c.dx + x) * tb, tb, pixel);
        }
    }
    if (!oneSurface) LgD3DSurfaceUnlock(from->surface);
    LgD3DSurfaceUnlock(to->surface);
    return 1;
}

int32_t copy_into_target(LgRaster* source, const LgRect& destination, bool transparent) {
    LgRaster* target = LgD3DDriver.drawingTarget.raster;
    if (source == nullptr || target == nullptr) return 0;
    IDirectDrawSurface4* to = LgD3DRasterSliceOf(target)->surface;
    IDirectDrawSurface4* from = LgD3DRasterSliceOf(source)->surface;
    if (to == nullptr || from == nullptr) return 0;
    const LgD3DDrawingTarget& t = LgD3DDriver.drawingTarget;
    CopyRects c = {
        source->offsetX,           source->offsetY,           source->width, source->height,
        destination.x + t.offsetX, destination.y + t.offsetY, destination.w, destination.h};
    if (!clip(c)) return 1;
    GfxRect sourceRect = {c.sx, c.sy, c.sx + c.sw, c.sy + c.sh};
    GfxRect targetRect = {c.dx, c.dy, c.dx + c.dw, c.dy + c.dh};
    const uint32_t flags = DDBLT_WAIT | (transparent ? DDBLT_KEYSRC : 0);
    if (succeeded(to->Blt(&targetRect, from, &sourceRect, flags, nullptr))) return 1;
    return copy_by_hand(source, target, c, transparent);
}

} // namespace

int32_t LgD3DRasterRenderTransparent(void* raster, void* in, int32_t) {
    const auto* point = static_cast<const LgD3DPoint*>(in);
    auto* source = static_cast<LgRaster*>(raster);
    if (point == nullptr || source == nullptr) return 0;
    return copy_into_target(source, {point->x, point->y, source->width, source->height}, true);
}

int32_t LgD3DRasterRenderScaled(void* raster, void* in, int32_t) {
    const auto* rect = static_cast<const LgRect*>(in);
    if (rect == nullptr) return 0;
    return copy_into_target(static_cast<LgRaster*>(raster), *rect, true);
}

int32_t LgD3DRasterRenderFast(void* raster, void* in, int32_t) {
    const auto* point = static_cast<const LgD3DPoint*>(in);
    auto* source = static_cast<LgRaster*>(raster);
    if (point == nullptr || source == nullptr) return 0;
    return copy_into_target(source, {point->x, point->y, source->width, source->height}, false);
}
