// The Blitter: copies, conversions between pixel formats, fills, clipped and keyed blits and
// bump maps over any IRaster; the memory rasters share one instance.
#include "media/raster/blitter.h"

#include "framework/core/static_state.h"
#include "media/raster/palette_matcher.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster_access.h"
#include "media/raster/shared_blitter.h"

#include <algorithm>
#include <cstring>

namespace {

IBlitter* shared_blitter = nullptr;
const OmStaticStateReset reset_shared_blitter([] { shared_blitter = nullptr; });

// Inverse maps kept per palette, most recently used first.
constexpr uint32_t cached_matchers = 4;

struct CachedMatcher {
    uint32_t count;
    OmPaletteMatcher matcher;
};

// Walks `height` rows of two locked rasters, mapping each source pixel of SB bytes through
// `map` into a destination pixel of DB bytes.
template <uint32_t SB, uint32_t DB, class Map>
void map_rows(const OmRasterLock& dest, int32_t dx, int32_t dy, const OmRasterLock& source,
              int32_t sx, int32_t sy, int32_t width, int32_t height, const Map& map) {
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* d = dest.row(dy + y) + int64_t(dx) * DB;
        const uint8_t* s = source.row(sy + y) + int64_t(sx) * SB;
        for (int32_t x = 0; x < width; ++x, d += DB, s += SB)
            om_write_pixel(d, DB, map(om_read_pixel(s, SB)));
    }
}

template <uint32_t SB, class Map>
bool map_rows_to(uint32_t db, const OmRasterLock& dest, const OmRasterLock& source, int32_t width,
                 int32_t height, const Map& map) {
    switch (db) {
    case 1: map_rows<SB, 1>(dest, 0, 0, source, 0, 0, width, height, map); return true;
    case 2: map_rows<SB, 2>(dest, 0, 0, source, 0, 0, width, height, map); return true;
    case 3: map_rows<SB, 3>(dest, 0, 0, source, 0, 0, width, height, map); return true;
    case 4: map_rows<SB, 4>(dest, 0, 0, source, 0, 0, width, height, map); return true;
    default: return false;
    }
}

// Maps every pixel of the source into the destination of the same size (1-4 bytes each).
template <class Map>
OmResult map_raster(IRaster* dest, IRaster* source, const Map& map) {
    uint32_t db = om_pixel_bits(dest->GetFormat()) / 8, sb = om_pixel_bits(source->GetFormat()) / 8;
    auto width = int32_t(std::min(dest->GetWidth(), source->GetWidth()));
    auto height = int32_t(std::min(dest->GetHeight(), source->GetHeight()));
    OmRasterLock d(dest, OM_LOCK_WRITE);
    if (d.result() < 0) return d.result();
    OmRasterLock s(source, OM_LOCK_READ);
    if (s.result() < 0) return s.result();
    bool done = false;
    switch (sb) {
    case 1: done = map_rows_to<1>(db, d, s, width, height, map); break;
    case 2: done = map_rows_to<2>(db, d, s, width, height, map); break;
    case 3: done = map_rows_to<3>(db, d, s, width, height, map); break;
    case 4: done = map_rows_to<4>(db, d, s, width, height, map); break;
    }
    return done ? OM_S_OK : OM_E_UNKNOWNPIXELFORMAT;
}

bool is_direct_depth(uint32_t bits) {
    return bits == 16 || bits == 24 || bits == 32;
}

// Clips rectangle `a` against a raster of `width` x `height`, moving its companion `b` along.
void clip_against(OmRect& a, OmRect& b, int32_t width, int32_t height) {
    if (a.x < 0) {
        b.x -= a.x;
        a.x = 0;
    }
    if (a.y < 0) {
        b.y -= a.y;
        a.y = 0;
    }
    int64_t over = int64_t(a.x) + a.width - width;
    if (over > 0) {
        a.width = int32_t(a.width - over);
        b.width = int32_t(b.width - over);
    }
    over = int64_t(a.y) + a.height - height;
    if (over > 0) {
        a.height = int32_t(a.height - over);
        b.height = int32_t(b.height - over);
    }
}

// Clips both rectangles of a blit; false when nothing is left. The destination is clipped a
// second time, as the source's clip can push it past the destination's edge.
bool clip_blit(IRaster* dest, OmRect& rd, IRaster* source, OmRect& rs) {
    auto dw = int32_t(dest->GetWidth()), dh = int32_t(dest->GetHeight());
    auto sw = int32_t(source->GetWidth()), sh = int32_t(source->GetHeight());
    clip_against(rd, rs, dw, dh);
    clip_against(rs, rd, sw, sh);
    clip_against(rd, rs, dw, dh);
    rd.width = rs.width = std::min(rd.width, rs.width);
    rd.height = rs.height = std::min(rd.height, rs.height);
    return rd.width >= 1 && rd.height >= 1;
}

// Row-by-row copy of clipped rectangles of one pixel size, skipping source pixels equal to
// the key when `keyed`. Overlapping rectangles of one raster copy as if through a buffer.
OmResult copy_rect(IRaster* dest, const OmRect& rd, IRaster* source, const OmRect& rs, bool keyed,
                   uint32_t key) {
    uint32_t bits = om_pixel_bits(source->GetFormat());
    if (bits < 8 || bits % 8) return OM_E_FAIL;
    uint32_t bytes = bits / 8;
    bool same = dest == source;
    OmRasterLock d(dest, same ? OM_LOCK_READ_WRITE : OM_LOCK_WRITE);
    if (d.result() < 0) return d.result();
    OmRasterLock s(source, OM_LOCK_READ);
    if (s.result() < 0) return s.result();
    bool upward = same && rd.y > rs.y;
    bool leftward = same && rd.x > rs.x;
    size_t row_bytes = size_t(rd.width) * bytes;
    if (bytes < 4) key &= (1u << (8 * bytes)) - 1;
    for (int32_t i = 0; i < rd.height; ++i) {
        int32_t y = upward ? rd.height - 1 - i : i;
        uint8_t* dp = d.row(rd.y + y) + int64_t(rd.x) * bytes;
        const uint8_t* sp = s.row(rs.y + y) + int64_t(rs.x) * bytes;
        if (!keyed) {
            std::memmove(dp, sp, row_bytes);
            continue;
        }
        for (int32_t j = 0; j < rd.width; ++j) {
            int32_t x = leftward ? rd.width - 1 - j : j;
            uint32_t v = om_read_pixel(sp + size_t(x) * bytes, bytes);
            if (v != key) om_write_pixel(dp + size_t(x) * bytes, bytes, v);
        }
    }
    return OM_S_OK;
}

class Blitter final : public OmObject<Blitter, IBlitter> {
public:
    ~Blitter() {
        for (CachedMatcher* m : matchers_) OmFreeMemory(m);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IBlitter, this}});
    }

    OmResult Copy(IRaster* dest, IRaster* source) override {
        if (!dest || !source) return OM_E_FAIL;
        IRaster* dp = om_raster_palette(dest);
        if (dp && dp != om_raster_palette(source)) return OM_E_PALETTEMISMATCH;
        uint32_t bits = om_pixel_bits(dest->GetFormat());
        if (bits != om_pixel_bits(source->GetFormat())) return OM_E_UNKNOWNPIXELFORMAT;
        if (dest != source) {
            OmRasterLock d(dest, OM_LOCK_WRITE);
            if (d.result() < 0) return d.result();
            OmRasterLock s(source, OM_LOCK_READ);
            if (s.result() < 0) return s.result();
            // Only what both rasters hold, so rasters of different sizes cannot overrun.
            uint64_t width = std::min(dest->GetWidth(), source->GetWidth());
            uint32_t height = std::min(dest->GetHeight(), source->GetHeight());
            size_t bytes = size_t((width * bits + 7) / 8);
            for (uint32_t y = 0; y < height; ++y) std::memmove(d.row(y), s.row(y), bytes);
        }
        OmColourKey key = om_raster_colour_key(source);
        if (key.enabled) om_set_raster_colour_key(dest, key);
        return OM_S_OK;
    }

    OmResult Convert(IRaster* dest, IRaster* source) override {
        if (!dest || !source) return OM_E_FAIL;
        if (dest->GetWidth() != source->GetWidth() || dest->GetHeight() != source->GetHeight())
            return OM_E_RASTERSIZEMISMATCH;
        uint32_t fd = dest->GetFormat(), fs = source->GetFormat();
        uint32_t bd = om_pixel_bits(fd), bs = om_pixel_bits(fs);
        IRaster* pd = om_raster_palette(dest);
        IRaster* ps = om_raster_palette(source);
        if (fd == fs && (bs > 8 || !ps || ps == pd)) return Copy(dest, source);

        OmResult r;
        if (bs == 8 && fd == OM_FORMAT_BUMP)
            r = bump_map(dest, source);
        else if (bs == 8 && is_direct_depth(bd))
            r = palette_to_direct(dest, source, ps);
        else if (bs == 8 && bd == 8)
            return ps ? remap(dest, source, pd, ps) : Copy(dest, source);
        else if (is_direct_depth(bs) && bd == 8)
            r = nearest_index(dest, source, pd);
        else if (is_direct_depth(bs) && is_direct_depth(bd) && (bs == 16 || bs != bd))
            r = direct(dest, source);
        else
            r = OM_E_UNKNOWNPIXELFORMAT;
        if (r < 0) return r;
        finish_key(dest, source);
        return OM_S_OK;
    }

    OmResult FillRect(IRaster* raster, const OmRect* rect, const uint32_t* colour) override {
        if (!raster || !colour) return OM_E_FAIL;
        uint32_t format = raster->GetFormat();
        uint32_t bits = om_pixel_bits(format);
        if (bits != 8 && bits != 16 && bits != 32) return OM_E_FAIL;
        uint32_t value;
        if (bits == 8) {
            value = index_of_colour(raster, *colour);
        } else {
            OmResult r = ConvertColour(colour, format, &value);
            if (r < 0) return r;
        }
        // Not clipped, but a rectangle outside the raster is refused rather than overrun.
        OmRect f = om_whole_or(raster, rect);
        if (f.x < 0 || f.y < 0 || f.width < 0 || f.height < 0 ||
            int64_t(f.x) + f.width > int64_t(raster->GetWidth()) ||
            int64_t(f.y) + f.height > int64_t(raster->GetHeight()))
            return OM_E_FAIL;
        OmRasterLock lock(raster, OM_LOCK_WRITE);
        if (lock.result() < 0) return lock.result();
        uint32_t bytes = bits / 8;
        for (int32_t y = 0; y < f.height; ++y) {
            uint8_t* p = lock.row(f.y + y) + int64_t(f.x) * bytes;
            for (int32_t x = 0; x < f.width; ++x, p += bytes) om_write_pixel(p, bytes, value);
        }
        return OM_S_OK;
    }

    OmResult ConvertColour(const uint32_t* colour, uint32_t format, uint32_t* out) override {
        if (!colour || !out) return OM_E_FAIL;
        OmPixelConverter convert;
        if (!om_pixel_converter(OM_FORMAT_ARGB8888, format, &convert))
            return OM_E_UNKNOWNPIXELFORMAT;
        convert.key_rule = OmAlphaKeyRule::below_half;
        *out = convert(*colour);
        return OM_S_OK;
    }

    OmResult UnpackColour(uint32_t pixel, uint32_t format, uint8_t* out) override {
        if (!out) return OM_E_FAIL;
        OmChannelLayout layout;
        if (!om_channel_layout(format, &layout)) return OM_E_UNKNOWNPIXELFORMAT;
        for (int c = 0; c < 4; ++c)
            out[c == 3 ? 3 : 2 - c] = uint8_t(((pixel & layout.mask[c]) << layout.shift[c]) >> 24);
        if (!layout.has_alpha()) out[3] = 0xFF;
        return OM_S_OK;
    }

    OmResult Blit(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                  const OmRect* source_rect) override {
        if (!dest || !source) return OM_E_FAIL;
        if (dest->GetFormat() != source->GetFormat()) return OM_E_UNKNOWNPIXELFORMAT;
        OmRect rd = om_whole_or(dest, dest_rect), rs = om_whole_or(source, source_rect);
        if (!clip_blit(dest, rd, source, rs)) return OM_S_OK;
        OmColourKey key = om_raster_colour_key(source);
        return copy_rect(dest, rd, source, rs, key.enabled, key.value);
    }

    OmResult Unsupported(IRaster*, IRaster*) override { return OM_E_FAIL; }

    OmResult BlitConvert(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                         const OmRect* source_rect, uint32_t flags) override {
        if (!dest || !source) return OM_E_FAIL;
        uint32_t fd = dest->GetFormat(), fs = source->GetFormat();
        IRaster* pd = nullptr;
        IRaster* ps = nullptr;
        if (om_pixel_bits(fd) <= 8) {
            pd = om_raster_palette(dest);
            ps = om_raster_palette(source);
        }
        if (fd == fs && pd == ps) {
            OmRect rd = om_whole_or(dest, dest_rect), rs = om_whole_or(source, source_rect);
            if (!clip_blit(dest, rd, source, rs)) return OM_S_OK;
            OmColourKey key = om_raster_colour_key(source);
            if (flags & OM_BLIT_CARRY_KEY) {
                om_set_raster_colour_key(dest, key);
                return copy_rect(dest, rd, source, rs, false, 0);
            }
            return copy_rect(dest, rd, source, rs, key.enabled, key.value);
        }
        if (!(flags & OM_BLIT_CONVERT)) return OM_E_UNKNOWNPIXELFORMAT;

        IRaster* temp;
        OmResult r = OmNewMemoryRaster(source->GetWidth(), source->GetHeight(), fd, &temp);
        if (r < 0) return r;
        if (pd) temp->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(pd));
        r = Convert(temp, source);
        if (r >= 0) {
            OmColourKey key = om_raster_colour_key(temp);
            if ((flags & OM_BLIT_CARRY_KEY) && key.enabled) om_set_raster_colour_key(dest, key);
            r = BlitConvert(dest, dest_rect, temp, source_rect, flags & ~OM_BLIT_CONVERT);
        }
        temp->Release();
        return r;
    }

private:
    // After a conversion: a source alpha the destination lacks becomes colour key 0; otherwise
    // the source's enabled key is carried.
    static void finish_key(IRaster* dest, IRaster* source) {
        if (om_pixel_has_alpha(source->GetFormat()) && !om_pixel_has_alpha(dest->GetFormat())) {
            om_set_raster_colour_key(dest, {true, 0});
            return;
        }
        OmColourKey key = om_raster_colour_key(source);
        if (key.enabled) om_set_raster_colour_key(dest, key);
    }

    // 16-, 24- and 32-bit pixels by the channel rule.
    static OmResult direct(IRaster* dest, IRaster* source) {
        OmPixelConverter convert;
        if (!om_pixel_converter(source->GetFormat(), dest->GetFormat(), &convert))
            return OM_E_UNKNOWNPIXELFORMAT;
        return map_raster(dest, source, convert);
    }

    // Each index replaced by its palette entry converted to the destination's format; indices
    // past the palette read as 0.
    static OmResult palette_to_direct(IRaster* dest, IRaster* source, IRaster* palette) {
        OmPaletteWords words;
        if (palette) {
            OmResult r = om_read_palette(palette, &words);
            if (r < 0) return r;
        } else if (source->GetFormat() == OM_FORMAT_GREY8) {
            words.count = 256;
            for (uint32_t i = 0; i < 256; ++i) words.words[i] = 0xFF000000u | i * 0x010101u;
        } else {
            return OM_E_FAIL; // no colours to convert to
        }
        OmPixelConverter convert;
        if (!om_pixel_converter(OM_FORMAT_ARGB8888, dest->GetFormat(), &convert))
            return OM_E_UNKNOWNPIXELFORMAT;
        uint32_t table[256] = {};
        for (uint32_t i = 0; i < words.count; ++i) table[i] = convert(words.words[i]);
        return map_raster(dest, source, [&table](uint32_t index) { return table[index & 0xFF]; });
    }

    // Direct colour into the nearest entry of the destination's palette.
    OmResult nearest_index(IRaster* dest, IRaster* source, IRaster* dest_palette) {
        if (!dest_palette) return OM_E_FAIL;
        const OmPaletteMatcher* matcher;
        OmResult r = matcher_of(dest_palette, &matcher);
        if (r < 0) return r;
        OmChannelLayout s;
        if (!om_channel_layout(source->GetFormat(), &s)) return OM_E_UNKNOWNPIXELFORMAT;
        return map_raster(dest, source, [&s, matcher](uint32_t v) -> uint32_t {
            if (s.has_alpha() && ((v & s.mask[3]) << s.shift[3]) < 0x80000000u) return 0;
            auto top = [&](int c) { return uint8_t(((v & s.mask[c]) << s.shift[c]) >> 24); };
            return om_palette_matcher_nearest(matcher, top(0), top(1), top(2));
        });
    }

    // 8 bits into 8 bits of another palette: each source entry mapped to its nearest
    // destination entry (transparent entries to 0).
    OmResult remap(IRaster* dest, IRaster* source, IRaster* dest_palette, IRaster* source_palette) {
        if (!dest_palette) return OM_E_FAIL;
        const OmPaletteMatcher* matcher;
        OmResult r = matcher_of(dest_palette, &matcher);
        if (r < 0) return r;
        OmPaletteWords words;
        r = om_read_palette(source_palette, &words);
        if (r < 0) return r;
        uint32_t table[256] = {};
        for (uint32_t i = 0; i < words.count; ++i) {
            uint32_t c = words.words[i];
            table[i] = (c >> 24) < 0x80 ? 0
                                        : om_palette_matcher_nearest(matcher, uint8_t(c >> 16),
                                                                     uint8_t(c >> 8), uint8_t(c));
        }
        r = map_raster(dest, source, [&table](uint32_t index) { return table[index & 0xFF]; });
        if (r < 0) return r;
        finish_key(dest, source);
        return OM_S_OK;
    }

    // Horizontal and vertical height differences, wrapping at the right and bottom edges.
    static OmResult bump_map(IRaster* dest, IRaster* source) {
        uint32_t width = source->GetWidth(), height = source->GetHeight();
        OmRasterLock d(dest, OM_LOCK_WRITE);
        if (d.result() < 0) return d.result();
        OmRasterLock s(source, OM_LOCK_READ);
        if (s.result() < 0) return s.result();
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = s.row(y);
            const uint8_t* below = s.row(y + 1 < height ? y + 1 : 0);
            uint8_t* out = d.row(y);
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t h = row[x];
                out[2 * x] = uint8_t(row[x + 1 < width ? x + 1 : 0] - h);
                out[2 * x + 1] = uint8_t(below[x] - h);
            }
        }
        return OM_S_OK;
    }

    // The 8-bit value of a fill colour: its nearest palette entry, or its low byte in a raster
    // without palette.
    uint32_t index_of_colour(IRaster* raster, uint32_t colour) {
        IRaster* palette = om_raster_palette(raster);
        const OmPaletteMatcher* matcher;
        if (!palette || matcher_of(palette, &matcher) < 0) return colour & 0xFF;
        if ((colour >> 24) < 0x80) return 0;
        return om_palette_matcher_nearest(matcher, uint8_t(colour >> 16), uint8_t(colour >> 8),
                                          uint8_t(colour));
    }

    // The inverse map of a palette, built on first use and kept for the same colours.
    OmResult matcher_of(IRaster* palette, const OmPaletteMatcher** out) {
        OmPaletteWords words;
        OmResult r = om_read_palette(palette, &words);
        if (r < 0) return r;
        for (uint32_t i = 0; i < cached_matchers && matchers_[i]; ++i) {
            CachedMatcher* m = matchers_[i];
            if (m->count == words.count &&
                std::memcmp(m->matcher.colours, words.words, words.count * 4) == 0) {
                std::rotate(matchers_, matchers_ + i, matchers_ + i + 1);
                *out = &m->matcher;
                return OM_S_OK;
            }
        }
        CachedMatcher* m = matchers_[cached_matchers - 1];
        if (!m) m = static_cast<CachedMatcher*>(OmAllocMemory(sizeof(CachedMatcher)));
        if (!m) return OM_E_OUTOFMEMORY;
        matchers_[cached_matchers - 1] = m;
        std::rotate(matchers_, matchers_ + cached_matchers - 1, matchers_ + cached_matchers);
        m->count = words.count;
        om_palette_matcher_build(&m->matcher, words.words, words.count);
        *out = &m->matcher;
        return OM_S_OK;
    }

    CachedMatcher* matchers_[cached_matchers];
};

const OmClassRecord classes[] = {
    {&CLSID_Blitter, nullptr, nullptr, OmCreateComponent<Blitter>, "Blitter"},
};

} // namespace

OM_DEFINE_MODULE(Blitter, classes)

IBlitter* OmGetSharedBlitter() {
    return shared_blitter;
}

OmResult om_acquire_shared_blitter(IBlitter** out) {
    if (shared_blitter) {
        shared_blitter->AddRef();
    } else {
        Blitter* blitter;
        OmResult r = om_new_component(&blitter);
        if (r < 0) {
            *out = nullptr;
            return r;
        }
        shared_blitter = blitter;
    }
    *out = shared_blitter;
    return OM_S_OK;
}

void om_release_shared_blitter(IBlitter* blitter) {
    if (blitter->Release() == 0 && blitter == shared_blitter) shared_blitter = nullptr;
}
