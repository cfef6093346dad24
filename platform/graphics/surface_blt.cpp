// Surface blits: colour and depth fills, plain, source-keyed, stretched and cross-format copies,
// and the windowed present when the destination is the primary.
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/presenter.h"
#include "platform/graphics/raster_queue.h"
#include "platform/graphics/surface.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

uint32_t read_raw(const uint8_t* base, int32_t pitch, uint32_t bits, uint32_t x, uint32_t y) {
    const uint8_t* row = base + size_t(y) * size_t(pitch);
    if (bits < 8) {
        uint32_t bit = x * bits;
        return (row[bit / 8] >> (bit % 8)) & ((1u << bits) - 1);
    }
    return load_pixel(row + x * (bits / 8), bits / 8);
}

void write_raw(uint8_t* base, int32_t pitch, uint32_t bits, uint32_t x, uint32_t y, uint32_t v) {
    uint8_t* row = base + size_t(y) * size_t(pitch);
    if (bits < 8) {
        uint32_t bit = x * bits;
        uint8_t mask = static_cast<uint8_t>(((1u << bits) - 1) << (bit % 8));
        row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | ((v << (bit % 8)) & mask));
        return;
    }
    store_pixel(row + x * (bits / 8), bits / 8, v);
}

bool valid_rect(const GfxRect& r) {
    return r.left < r.right && r.top < r.bottom;
}

} // namespace

int32_t Surface::fill(const GfxRect& r, uint32_t value) {
    const uint32_t bits = format_bits(format());
    if (bits == 16) {
        for (int32_t y = r.top; y < r.bottom; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(pixels() + size_t(y) * size_t(pitch()));
            std::fill(row + r.left, row + r.right, static_cast<uint16_t>(value));
        }
    } else if (bits == 32) {
        for (int32_t y = r.top; y < r.bottom; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(pixels() + size_t(y) * size_t(pitch()));
            std::fill(row + r.left, row + r.right, value);
        }
    } else {
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                write_raw(pixels(), pitch(), bits, uint32_t(x), uint32_t(y), value);
    }
    touch();
    return DD_OK;
}

int32_t Surface::Blt(GfxRect* dst_rect, IDirectDrawSurface4* src_if, GfxRect* src_rect,
                     uint32_t flags, DDBLTFX* fx) {
    if (locked()) return DDERR_SURFACEBUSY;
    flush_raster_queues(); // source and destination hold every pixel drawn so far
    const GfxRect full{0, 0, int32_t(width()), int32_t(height())};
    GfxRect d0 = dst_rect ? *dst_rect : full;
    const bool to_primary = (caps() & DDSCAPS_PRIMARYSURFACE) != 0;
    if (dst_rect && to_primary && !(caps() & DDSCAPS_FLIP)) {
        // A windowed primary is the window's client area; blits to it come in screen
        // coordinates.
        GfxWindow w = clipper_ ? clipper_->window() : window_;
        int32_t ox = 0, oy = 0;
        const GfxWindowHooks& hooks = gfx_window_hooks();
        if (hooks.client_origin && hooks.client_origin(w, &ox, &oy)) {
            d0.left -= ox;
            d0.right -= ox;
            d0.top -= oy;
            d0.bottom -= oy;
        }
    }
    if (!valid_rect(d0)) return DDERR_INVALIDRECT;
    GfxRect d{std::max(d0.left, 0), std::max(d0.top, 0), std::min(d0.right, full.right),
              std::min(d0.bottom, full.bottom)};
    const bool empty = !valid_rect(d);

    if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
        if (!fx) return DDERR_INVALIDPARAMS;
        uint32_t value = fx->dwFillColor;
        if (flags & DDBLT_DEPTHFILL) {
            if (!(caps() & DDSCAPS_ZBUFFER)) return DDERR_INVALIDPARAMS;
            value &= format().dwZBitMask;
        }
        if (empty) return DD_OK;
        fill(d, value);
        if (to_primary) present_region(d, false);
        return DD_OK;
    }

    if (!src_if) return DDERR_INVALIDPARAMS;
    Surface& src = *from(src_if);
    if (src.locked()) return DDERR_SURFACEBUSY;
    const GfxRect s0 =
        src_rect ? *src_rect : GfxRect{0, 0, int32_t(src.width()), int32_t(src.height())};
    if (!valid_rect(s0) || s0.left < 0 || s0.top < 0 || uint32_t(s0.right) > src.width() ||
        uint32_t(s0.bottom) > src.height())
        return DDERR_INVALIDRECT;
    bool keyed = false;
    uint32_t key = 0;
    if (flags & DDBLT_KEYSRCOVERRIDE) {
        if (!fx) return DDERR_INVALIDPARAMS;
        keyed = true;
        key = fx->ddckSrcColorkey.dwColorSpaceLowValue;
    } else if (flags & DDBLT_KEYSRC) {
        if (!src.has_src_key()) return DDERR_NOCOLORKEY;
        keyed = true;
        key = src.src_key();
    }
    const bool same = same_format(src.format(), format());
    if (!same && palette_index_bits(format())) return DDERR_UNSUPPORTED;
    if ((src.format().dwFlags & DDPF_ZBUFFER) != (format().dwFlags & DDPF_ZBUFFER))
        return DDERR_INVALIDPIXELFORMAT;
    if (empty) return DD_OK;

    // A blit within one surface reads from a snapshot so overlapping rectangles stay correct.
    std::vector<uint8_t> snapshot;
    const uint8_t* sbase = src.pixels();
    if (&src == this) {
        snapshot.assign(src.pixels(), src.pixels() + src.store_bytes_);
        sbase = snapshot.data();
    }
    const int32_t sw = s0.right - s0.left, sh = s0.bottom - s0.top;
    const int32_t dw = d0.right - d0.left, dh = d0.bottom - d0.top;
    const uint32_t sbits = format_bits(src.format()), dbits = format_bits(format());
    const bool stretch = sw != dw || sh != dh;

    if (same && !stretch && !keyed && dbits >= 8) {
        const uint32_t bpp = dbits / 8;
        const size_t n = size_t(d.right - d.left) * bpp;
        for (int32_t y = d.top; y < d.bottom; ++y) {
            const uint8_t* sp = sbase + size_t(s0.top + (y - d0.top)) * size_t(src.pitch()) +
                                size_t(s0.left + (d.left - d0.left)) * bpp;
            std::memcpy(pixels() + size_t(y) * size_t(pitch()) + size_t(d.left) * bpp, sp, n);
        }
    } else {
        const uint32_t src_pal = palette_index_bits(src.format());
        const uint32_t* pal = src.palette() ? src.palette()->argb().data() : nullptr;
        const PixelCodec scodec(src.format()), dcodec(format());
        std::vector<int32_t> xmap(size_t(d.right - d.left));
        for (int32_t x = d.left; x < d.right; ++x)
            xmap[size_t(x - d.left)] = s0.left + int32_t(int64_t(x - d0.left) * sw / dw);
        for (int32_t y = d.top; y < d.bottom; ++y) {
            const int32_t sy = s0.top + int32_t(int64_t(y - d0.top) * sh / dh);
            for (int32_t x = d.left; x < d.right; ++x) {
                uint32_t raw = read_raw(sbase, src.pitch(), sbits,
                                        uint32_t(xmap[size_t(x - d.left)]), uint32_t(sy));
                if (keyed && raw == key) continue;
                if (!same) {
                    uint32_t argb = src_pal ? (pal ? pal[raw] : 0xFF000000u) : scodec.decode(raw);
                    raw = dcodec.encode(argb);
                }
                write_raw(pixels(), pitch(), dbits, uint32_t(x), uint32_t(y), raw);
            }
        }
    }
    touch();
    if (to_primary) present_region(d, false);
    return DD_OK;
}

} // namespace platform
