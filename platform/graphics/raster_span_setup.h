// What the span functions of every instruction set share: pixel and depth formats, the
// classification of states into span kinds, and the per-span and per-segment set-up of the
// stepped attributes. Internal to the span translation units (everything has internal
// linkage, so units built for different instruction sets never share a copy).
#pragma once

#include "platform/graphics/raster_types.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace platform {
namespace {

inline uint32_t mul8(uint32_t a, uint32_t b) {
    uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8; // a * b / 255, rounded
}

// Red, green and blue (each 0..255) in 16-bit lanes of one word, so one multiply scales all
// three: a lane's product plus the rounding term stays below 2^16 and never reaches the next.
inline uint64_t rgb_lanes(uint32_t r, uint32_t g, uint32_t b) {
    return uint64_t(r) << 32 | uint64_t(g) << 16 | b;
}
constexpr uint64_t kLaneLow = 0x000000FF00FF00FFull;

// mul8 of every lane by f (0..255), bit for bit.
inline uint64_t mul8_lanes(uint64_t c, uint32_t f) {
    const uint64_t t = c * f + 0x0000008000800080ull;
    return ((t + ((t >> 8) & kLaneLow)) >> 8) & kLaneLow;
}

// min(lane, 255) for lanes up to 511.
inline uint64_t saturate_lanes(uint64_t c) {
    const uint64_t over = (c >> 8) & 0x0000000100010001ull;
    return (c | over * 255) & kLaneLow;
}

struct CF565 {
    using T = uint16_t;
    static constexpr bool alpha = false;
    static T pack(uint32_t r, uint32_t g, uint32_t b, uint32_t) {
        return T((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }
    static void unpack(T p, uint32_t& r, uint32_t& g, uint32_t& b, uint32_t& a) {
        r = (p >> 11) & 31;
        r = r << 3 | r >> 2;
        g = (p >> 5) & 63;
        g = g << 2 | g >> 4;
        b = p & 31;
        b = b << 3 | b >> 2;
        a = 255;
    }
};

struct CF555 {
    using T = uint16_t;
    static constexpr bool alpha = false;
    static T pack(uint32_t r, uint32_t g, uint32_t b, uint32_t) {
        return T((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
    }
    static void unpack(T p, uint32_t& r, uint32_t& g, uint32_t& b, uint32_t& a) {
        r = (p >> 10) & 31;
        r = r << 3 | r >> 2;
        g = (p >> 5) & 31;
        g = g << 3 | g >> 2;
        b = p & 31;
        b = b << 3 | b >> 2;
        a = 255;
    }
};

struct CF8888 {
    using T = uint32_t;
    static constexpr bool alpha = true;
    static T pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        return a << 24 | r << 16 | g << 8 | b;
    }
    static void unpack(T p, uint32_t& r, uint32_t& g, uint32_t& b, uint32_t& a) {
        a = p >> 24;
        r = (p >> 16) & 255;
        g = (p >> 8) & 255;
        b = p & 255;
    }
};

struct ZNone {
    static constexpr bool on = false;
    using T = uint16_t;
    static constexpr int shift = 0;
    static constexpr double scale = 0;
};
struct Z16 {
    static constexpr bool on = true;
    using T = uint16_t;
    static constexpr int shift = 16;
    static constexpr double scale = 65535.0 * 65536.0;
};
struct Z32 {
    static constexpr bool on = true;
    using T = uint32_t;
    static constexpr int shift = 8;
    static constexpr double scale = 16777215.0 * 256.0;
};

// LinearClamp (bilinear, clamped both ways) has a loop of its own only among the vector
// loops; the scalar loops draw it as Generic.
enum class TexKind { None, PointWrap, LinearWrap, Generic, LinearClamp };
enum class BlendKind { None, AlphaInvAlpha, Generic };
// Fog: fog alone, the common extra; Any: fog, colour key, alpha test and the other colour
// operations as the states say.
enum class ExtraKind { None, Fog, Any };

// Start value and step of an attribute along a span, clamped at both ends so the stepped
// values never leave [lo, hi] (pixel centres may lie a hair outside the primitive).
inline void linear(const Plane& p, float px, float py, int32_t n, float lo, float hi, float scale,
                   int32_t& v, int32_t& dv) {
    float s = p.base + p.ddx * px + p.ddy * py;
    float e = s + p.ddx * float(n - 1);
    s = std::clamp(s, lo, hi);
    e = std::clamp(e, lo, hi);
    v = int32_t(s * scale);
    dv = n > 1 ? int32_t((e - s) * scale / float(n - 1)) : 0;
}

// Depth in fixed point with `shift` fraction bits, rounded to the nearest depth step.
inline void linear_z(const Plane& p, float px, float py, int32_t n, double scale, int shift,
                     int64_t& v, int64_t& dv) {
    double s = double(p.base) + double(p.ddx) * px + double(p.ddy) * py;
    double e = s + double(p.ddx) * (n - 1);
    s = std::clamp(s, 0.0, 1.0);
    e = std::clamp(e, 0.0, 1.0);
    v = int64_t(s * scale) + (int64_t(1) << (shift - 1));
    dv = n > 1 ? int64_t((e - s) * scale / (n - 1)) : 0;
}

[[gnu::always_inline]] inline uint32_t lerp_argb(uint32_t a, uint32_t b,
                                                 uint32_t f) { // f in 0..256
    uint32_t rb = (((a & 0xFF00FF) * (256 - f) + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    uint32_t ag = ((((a >> 8) & 0xFF00FF) * (256 - f) + ((b >> 8) & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    return rb | ag << 8;
}

inline int32_t address(int32_t i, uint32_t size, TexAddress m) {
    const int32_t sz = int32_t(size);
    switch (m) {
    case TexAddress::Wrap: return i & (sz - 1);
    case TexAddress::Mirror: {
        int32_t p = i & (2 * sz - 1);
        return p < sz ? p : 2 * sz - 1 - p;
    }
    case TexAddress::Clamp: return i < 0 ? 0 : (i >= sz ? sz - 1 : i);
    default: return (i < 0 || i >= sz) ? -1 : i;
    }
}

[[gnu::always_inline]] inline uint32_t fetch_wrap(const TexLevel& l, int32_t iu, int32_t iv) {
    return l.texels[(uint32_t(iv) & (l.h - 1)) << l.wshift | (uint32_t(iu) & (l.w - 1))];
}

inline uint32_t fetch_generic(const TexLevel& l, int32_t iu, int32_t iv, const PixelState& s) {
    int32_t x = address(iu, l.w, s.address_u), y = address(iv, l.h, s.address_v);
    if (x < 0 || y < 0) return s.border;
    return l.texels[(uint32_t(y) << l.wshift) + uint32_t(x)];
}

// Texture coordinates of one segment, in 16.16 texels of level l0.
struct TexSegment {
    const TexLevel* l0 = nullptr;
    const TexLevel* l1 = nullptr; // second level of a linear mip blend, else null
    uint32_t level_frac = 0;      // weight of l1, 0..256
    bool linear = false;          // filter of this segment (Generic kind)
    int32_t u = 0, v = 0, du = 0, dv = 0;
};

inline float reduce_coordinate(float& a, float& b, uint32_t size, TexAddress m) {
    // Wrap and mirror repeat: move both ends by whole periods next to zero, then keep them in
    // the range 16.16 fixed point holds.
    if (m == TexAddress::Wrap || m == TexAddress::Mirror) {
        const uint32_t p = m == TexAddress::Wrap ? size : 2 * size;
        const float period = float(p);
        // For a power of two, times the reciprocal is exactly the quotient, without a divide.
        const float turns = (p & (p - 1)) == 0 ? a * (1.0f / period) : a / period;
        float k = std::floor(turns) * period;
        a -= k;
        b -= k;
    }
    a = std::clamp(a, -16000.0f, 16000.0f);
    b = std::clamp(b, -16000.0f, 16000.0f);
    return a;
}

// x / len; segments are mostly 16 long, where a multiply gives the identical result.
inline float per_pixel(float x, int32_t len) {
    return len == 16 ? x * (1.0f / 16.0f) : x / float(len);
}

// Texture coordinates (texels of level 0) where the previous segment of a span ended.
struct SegmentEnd {
    bool valid = false;
    float u = 0, v = 0;
};

// `end` carries the far end of one segment to the start of the next, saving two divides. That
// is exact only where px + i + len equals (px + i) + len in float: px is a multiple of 1/16
// (snapped vertex, pixel centre), so up to 2^19 every such sum is exact.
[[gnu::always_inline]] inline void setup_segment(const SpanContext& c, float px, float py,
                                                 int32_t len, TexSegment& seg, SegmentEnd& end) {
    const Primitive& p = c.prim;
    const PixelState& s = *c.state;
    const TextureView& tv = *c.texture;
    auto eval = [](const Plane& pl, float x, float y) { return pl.base + pl.ddx * x + pl.ddy * y; };
    auto safe = [](float q) { return std::fabs(q) < 1e-20f ? 1e-20f : q; };
    const float w0 = float(tv.level[0].w), h0 = float(tv.level[0].h);
    float u0, v0;
    if (end.valid) {
        u0 = end.u;
        v0 = end.v;
    } else {
        const float q0 = safe(eval(p.q, px, py));
        u0 = eval(p.uw, px, py) / q0 * w0;
        v0 = eval(p.vw, px, py) / q0 * h0;
    }
    const float q1 = safe(eval(p.q, px + float(len), py));
    float u1 = eval(p.uw, px + float(len), py) / q1 * w0;
    float v1 = eval(p.vw, px + float(len), py) / q1 * h0;
    end.u = u1;
    end.v = v1;

    int level = 0;
    seg.l1 = nullptr;
    seg.linear = s.mag == TexFilter::Linear;
    if (s.mip != MipFilter::None || s.mag != s.min) {
        float qy = safe(eval(p.q, px, py + 1.0f));
        float uy = eval(p.uw, px, py + 1.0f) / qy * w0, vy = eval(p.vw, px, py + 1.0f) / qy * h0;
        float rho = std::max(per_pixel(std::max(std::fabs(u1 - u0), std::fabs(v1 - v0)), len),
                             std::max(std::fabs(uy - u0), std::fabs(vy - v0)));
        float lod = rho > 0.0f ? std::log2(rho) + s.lod_bias : -100.0f;
        if (lod > 0.0f) {
            seg.linear = s.min == TexFilter::Linear;
            const int last = tv.levels - 1;
            if (s.mip == MipFilter::Point) {
                level = std::min(int(lod + 0.5f), last);
            } else if (s.mip == MipFilter::Linear) {
                level = std::min(int(lod), last);
                uint32_t frac = uint32_t((lod - float(int(lod))) * 256.0f);
                if (level < last && frac > 0) {
                    seg.l1 = &tv.level[level + 1];
                    seg.level_frac = frac;
                }
            }
        }
    }
    seg.l0 = &tv.level[level];
    const float scale = 1.0f / float(1 << level);
    u0 *= scale;
    u1 *= scale;
    v0 *= scale;
    v1 *= scale;
    reduce_coordinate(u0, u1, seg.l0->w, s.address_u);
    reduce_coordinate(v0, v1, seg.l0->h, s.address_v);
    seg.u = int32_t(u0 * 65536.0f);
    seg.v = int32_t(v0 * 65536.0f);
    seg.du = int32_t(per_pixel((u1 - u0) * 65536.0f, len));
    seg.dv = int32_t(per_pixel((v1 - v0) * 65536.0f, len));
}

template <TexKind TK>
[[gnu::always_inline]] inline uint32_t sample_level(const TexLevel& l, int32_t u, int32_t v,
                                                    bool linear, const PixelState& s) {
    if constexpr (TK == TexKind::PointWrap) {
        return fetch_wrap(l, u >> 16, v >> 16);
    } else if constexpr (TK == TexKind::LinearWrap) {
        u -= 0x8000;
        v -= 0x8000;
        int32_t iu = u >> 16, iv = v >> 16;
        uint32_t fu = (uint32_t(u) >> 8) & 255, fv = (uint32_t(v) >> 8) & 255;
        uint32_t t0 = lerp_argb(fetch_wrap(l, iu, iv), fetch_wrap(l, iu + 1, iv), fu);
        uint32_t t1 = lerp_argb(fetch_wrap(l, iu, iv + 1), fetch_wrap(l, iu + 1, iv + 1), fu);
        return lerp_argb(t0, t1, fv);
    } else {
        if (!linear) return fetch_generic(l, u >> 16, v >> 16, s);
        u -= 0x8000;
        v -= 0x8000;
        int32_t iu = u >> 16, iv = v >> 16;
        uint32_t fu = (uint32_t(u) >> 8) & 255, fv = (uint32_t(v) >> 8) & 255;
        uint32_t t0 = lerp_argb(fetch_generic(l, iu, iv, s), fetch_generic(l, iu + 1, iv, s), fu);
        uint32_t t1 =
            lerp_argb(fetch_generic(l, iu, iv + 1, s), fetch_generic(l, iu + 1, iv + 1, s), fu);
        return lerp_argb(t0, t1, fv);
    }
}

template <TexKind TK>
[[gnu::always_inline]] inline uint32_t sample(const TexSegment& seg, const PixelState& s) {
    uint32_t t = sample_level<TK>(*seg.l0, seg.u, seg.v, seg.linear, s);
    if (seg.l1) {
        uint32_t t1 = sample_level<TK>(*seg.l1, seg.u >> 1, seg.v >> 1, seg.linear, s);
        t = lerp_argb(t, t1, seg.level_frac);
    }
    return t;
}

// A keyed texel is 0 in the keyed texel cache; a filtered sample is keyed when the texel
// nearest to the sample point is.
template <TexKind TK>
inline bool keyed_out(const TexSegment& seg, const PixelState& s) {
    const TexLevel& l = *seg.l0;
    if constexpr (TK == TexKind::Generic)
        return fetch_generic(l, seg.u >> 16, seg.v >> 16, s) == 0;
    else
        return fetch_wrap(l, seg.u >> 16, seg.v >> 16) == 0;
}

inline bool compare(uint32_t value, uint32_t ref, uint8_t mask) {
    uint32_t idx = value > ref ? 4u : (value == ref ? 2u : 1u);
    return (mask & idx) != 0;
}

inline uint32_t blend_factor(uint32_t f, int ch, const uint32_t src[4], const uint32_t dst[4]) {
    switch (f) {
    case 1: return 0;   // zero
    case 2: return 255; // one
    case 3: return src[ch];
    case 4: return 255 - src[ch];
    case 5: return src[3];
    case 6: return 255 - src[3];
    case 7: return dst[3];
    case 8: return 255 - dst[3];
    case 9: return dst[ch];
    case 10: return 255 - dst[ch];
    case 11: return ch == 3 ? 255 : std::min(src[3], 255 - dst[3]);
    default: return 0;
    }
}

// The attributes a span steps from pixel to pixel. Red and green share one 64-bit word, blue
// and depth another: the 16.16 colour channels stay within [0, 255 * 65536] and the depth
// within [0, 2^32) (Z16 and Z32 alike), so stepping the packed words never carries or borrows
// across fields and each field holds exactly what stepping it alone would. Fewer live
// registers keep the inner loops free of spills.
struct Steps {
    uint64_t rg = 0, drg = 0, bz = 0, dbz = 0;
    int32_t a = 0, da = 0, f = 0, df = 0;
};

inline uint64_t pack_fields(int64_t high, int64_t low) {
    return (uint64_t(high) << 32) + uint64_t(low);
}

// Pixels i <= x < end of a span. Fast: the z test is LESSEQUAL with writes (or there is no
// z-buffer) and the segment samples one mip level, the common case that gets its own loop
// with those tests resolved at compile time.
template <class CF, class ZF, TexKind TK, BlendKind BK, ExtraKind EK, bool Fast>
[[gnu::always_inline]] inline void pixels(const PixelState& s, typename CF::T* cp,
                                          typename ZF::T* zp, int32_t i, const int32_t end,
                                          Steps& st, TexSegment& seg) {
    constexpr bool Extra = EK != ExtraKind::None, AnyExtra = EK == ExtraKind::Any;
    // States in locals: the colour and depth stores may alias byte-sized state fields as far
    // as the compiler knows, which would reload them every pixel.
    const uint8_t zmask = s.z_func_mask;
    const bool zwrite = s.z_write;
    const bool color_key = s.color_key, alpha_test = s.alpha_test, fog = s.fog;
    const ColorOp color_op = s.color_op, alpha_op = s.alpha_op;
    const uint32_t alpha_ref = s.alpha_ref;
    const uint8_t alpha_func_mask = s.alpha_func_mask;
    const uint32_t fog_r = (s.fog_color >> 16) & 255, fog_g = (s.fog_color >> 8) & 255,
                   fog_b = s.fog_color & 255;
    uint64_t rg = st.rg, bz = st.bz;
    const uint64_t drg = st.drg, dbz = st.dbz;
    int32_t a = st.a, f = st.f;
    const int32_t da = st.da, df = st.df;
    int32_t u = seg.u, v = seg.v;
    const int32_t du = seg.du, dv = seg.dv;
    TexSegment one = seg; // the segment's level and filter, kept apart from the stepping
    // Point sampling with wrap steps v pre-shifted by the row shift, so the texel index needs
    // no variable shift: bits 16.. of (v << wshift) >> 16 masked to the rows are the row bits
    // of v >> 16 moved up by wshift, as fetch_wrap computes them.
    const TexLevel level = TK != TexKind::None ? *seg.l0 : TexLevel{};
    const uint32_t umask = level.w - 1, vmask = (level.h - 1) << level.wshift;
    int64_t vs = int64_t(v) * (int64_t(1) << level.wshift);
    const int64_t dvs = int64_t(dv) * (int64_t(1) << level.wshift);
    for (; i < end; ++i) {
        do {
            uint32_t znew = 0;
            if constexpr (ZF::on) {
                znew = uint32_t(bz) >> ZF::shift;
                if constexpr (Fast) {
                    if (znew > zp[i]) break;
                } else {
                    if (!compare(znew, zp[i], zmask)) break;
                }
            }
            uint32_t cr = uint32_t(rg >> 48), cg = uint32_t(rg) >> 16, cb = uint32_t(bz >> 48),
                     ca = uint32_t(a) >> 16;
            if constexpr (TK != TexKind::None) {
                uint32_t tex;
                if constexpr (Fast && TK == TexKind::PointWrap) {
                    // The point sample is the texel the colour key tests: fetch it once.
                    tex = level.texels[(uint32_t(vs >> 16) & vmask) | (uint32_t(u >> 16) & umask)];
                    if constexpr (AnyExtra) {
                        if (color_key && tex == 0) break;
                    }
                } else {
                    if constexpr (!Fast || AnyExtra) {
                        one.u = u;
                        one.v = v;
                    }
                    if constexpr (AnyExtra) {
                        if (color_key && keyed_out<TK>(one, s)) break;
                    }
                    if constexpr (Fast)
                        tex = sample_level<TK>(level, u, v, one.linear, s);
                    else
                        tex = sample<TK>(one, s);
                }
                const uint32_t tr = (tex >> 16) & 255, tg = (tex >> 8) & 255, tb = tex & 255;
                if (!AnyExtra || color_op == ColorOp::Modulate) {
                    cr = mul8(cr, tr);
                    cg = mul8(cg, tg);
                    cb = mul8(cb, tb);
                } else if (color_op == ColorOp::SelectTexture) {
                    cr = tr;
                    cg = tg;
                    cb = tb;
                }
                if constexpr (BK != BlendKind::None || CF::alpha || AnyExtra) {
                    if (alpha_op == ColorOp::Modulate)
                        ca = mul8(ca, tex >> 24);
                    else if (alpha_op == ColorOp::SelectTexture)
                        ca = tex >> 24;
                }
            }
            if constexpr (Extra) {
                if (AnyExtra && alpha_test && !compare(ca, alpha_ref, alpha_func_mask)) break;
                if (EK == ExtraKind::Fog || fog) {
                    const uint32_t ff = uint32_t(f) >> 16, fi = 255 - ff;
                    cr = mul8(cr, ff) + mul8(fog_r, fi);
                    cg = mul8(cg, ff) + mul8(fog_g, fi);
                    cb = mul8(cb, ff) + mul8(fog_b, fi);
                }
            }
            if constexpr (BK == BlendKind::None) {
                cp[i] = CF::pack(cr, cg, cb, ca);
            } else {
                uint32_t dr_, dg_, db_, da_;
                CF::unpack(cp[i], dr_, dg_, db_, da_);
                if constexpr (BK == BlendKind::AlphaInvAlpha) {
                    const uint32_t ia = 255 - ca;
                    const uint64_t mixed = saturate_lanes(mul8_lanes(rgb_lanes(cr, cg, cb), ca) +
                                                          mul8_lanes(rgb_lanes(dr_, dg_, db_), ia));
                    cr = uint32_t(mixed >> 32);
                    cg = uint32_t(mixed >> 16) & 0xFF;
                    cb = uint32_t(mixed) & 0xFF;
                    ca = std::min(mul8(ca, ca) + mul8(da_, ia), 255u);
                } else {
                    const uint32_t src[4] = {cr, cg, cb, ca}, dst[4] = {dr_, dg_, db_, da_};
                    uint32_t out[4];
                    for (int ch = 0; ch < 4; ++ch)
                        out[ch] =
                            std::min(mul8(src[ch], blend_factor(s.src_blend, ch, src, dst)) +
                                         mul8(dst[ch], blend_factor(s.dst_blend, ch, src, dst)),
                                     255u);
                    cr = out[0];
                    cg = out[1];
                    cb = out[2];
                    ca = out[3];
                }
                cp[i] = CF::pack(cr, cg, cb, ca);
            }
            if constexpr (ZF::on) {
                if (Fast || zwrite) zp[i] = typename ZF::T(znew);
            }
        } while (false);
        rg += drg;
        bz += dbz;
        a += da;
        if constexpr (Extra) f += df;
        if constexpr (TK != TexKind::None) {
            u += du;
            v += dv;
            if constexpr (Fast && TK == TexKind::PointWrap) vs += dvs;
        }
    }
    st.rg = rg;
    st.bz = bz;
    st.a = a;
    st.f = f;
    seg.u = u;
    seg.v = v;
}

template <class CF, class ZF, TexKind TK, BlendKind BK, ExtraKind EK>
void span(const SpanContext& c, int32_t y, int32_t x0, int32_t x1) {
    constexpr bool Extra = EK != ExtraKind::None;
    const PixelState& s = *c.state;
    const Primitive& p = c.prim;
    const RenderTarget& t = *c.target;
    const int32_t n = x1 - x0;
    const float px = float(x0) + 0.5f - p.ox, py = float(y) + 0.5f - p.oy;

    auto* cp = reinterpret_cast<typename CF::T*>(t.color + std::ptrdiff_t(y) * t.pitch) + x0;
    typename ZF::T* zp = nullptr;
    Steps st;
    int64_t z = 0, dz = 0;
    if constexpr (ZF::on) {
        zp = reinterpret_cast<typename ZF::T*>(t.depth + std::ptrdiff_t(y) * t.depth_pitch) + x0;
        linear_z(p.z, px, py, n, ZF::scale, ZF::shift, z, dz);
    }
    constexpr float kColorScale = 65536.0f;
    int32_t r, dr, g, dg, b, db;
    linear(p.r, px, py, n, 0.0f, 255.0f, kColorScale, r, dr);
    linear(p.g, px, py, n, 0.0f, 255.0f, kColorScale, g, dg);
    linear(p.b, px, py, n, 0.0f, 255.0f, kColorScale, b, db);
    st.rg = pack_fields(r, g);
    st.drg = pack_fields(dr, dg);
    st.bz = pack_fields(b, z);
    st.dbz = pack_fields(db, dz);
    // Alpha matters only to blending, alpha targets and the alpha test.
    if (BK != BlendKind::None || CF::alpha || (EK == ExtraKind::Any && s.alpha_test))
        linear(p.a, px, py, n, 0.0f, 255.0f, kColorScale, st.a, st.da);
    if constexpr (Extra) {
        if (s.fog) linear(p.fog, px, py, n, 0.0f, 255.0f, kColorScale, st.f, st.df);
    }
    const bool fast = !ZF::on || (s.z_func_mask == 3 && s.z_write);

    SegmentEnd end;
    const bool exact_steps = std::fabs(px) + float(n) < 262144.0f;
    int32_t i = 0;
    while (i < n) {
        int32_t len = n - i;
        TexSegment seg;
        if constexpr (TK != TexKind::None) {
            if (len > 16) len = 16;
            setup_segment(c, px + float(i), py, len, seg, end);
            end.valid = exact_steps;
        }
        if (fast && !seg.l1)
            pixels<CF, ZF, TK, BK, EK, true>(s, cp, zp, i, i + len, st, seg);
        else
            pixels<CF, ZF, TK, BK, EK, false>(s, cp, zp, i, i + len, st, seg);
        i += len;
    }
}

// The span kinds a target and state resolve to.
struct SpanKinds {
    DepthFormat depth = DepthFormat::None;
    TexKind texture = TexKind::None;
    BlendKind blend = BlendKind::None;
    ExtraKind extra = ExtraKind::None;
};

inline SpanKinds classify(const RenderTarget& target, const PixelState& s) {
    SpanKinds k;
    k.depth = s.z_enabled ? target.depth_format : DepthFormat::None;
    if (s.textured) {
        const bool wrap = s.address_u == TexAddress::Wrap && s.address_v == TexAddress::Wrap;
        if (!wrap || s.mag != s.min)
            k.texture = TexKind::Generic;
        else
            k.texture = s.mag == TexFilter::Point ? TexKind::PointWrap : TexKind::LinearWrap;
    }
    if (s.blend)
        k.blend =
            (s.src_blend == 5 && s.dst_blend == 6) ? BlendKind::AlphaInvAlpha : BlendKind::Generic;
    const bool any_extra =
        s.alpha_test || (s.textured && (s.color_key || s.color_op != ColorOp::Modulate));
    k.extra = any_extra ? ExtraKind::Any : (s.fog ? ExtraKind::Fog : ExtraKind::None);
    return k;
}

} // namespace
} // namespace platform
