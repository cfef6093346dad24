// The rasteriser's vector span loops: RASTER_VECTOR_LANES pixels a step in 32-bit lanes (GCC
// vector extensions: eight in one AVX2 register, four in an SSE2 one), every step the same
// integer arithmetic as the scalar loops, so the pixels are the same bit for bit. Included by
// one translation unit per instruction set, each with its own copy (internal linkage).
// A step whose attributes leave the ranges the lanes assume (a colour or alpha beyond 255, a
// depth beyond 32 bits, as stepping can give a hair outside a primitive) is drawn by the
// scalar loop instead.
#pragma once

#include "platform/graphics/raster_span_setup.h"

#include <cstring>
#include <type_traits>

#include <immintrin.h>

namespace platform {
namespace {

#if RASTER_VECTOR_LANES == 8
typedef uint32_t u32x8 __attribute__((vector_size(32)));
typedef int32_t i32x8 __attribute__((vector_size(32)));
typedef uint16_t u16x8 __attribute__((vector_size(16)));
constexpr int kLanes = 8;
constexpr u32x8 kLaneIndex = {0, 1, 2, 3, 4, 5, 6, 7};
#elif RASTER_VECTOR_LANES == 4
// Names as for eight lanes, so one body serves both widths.
typedef uint32_t u32x8 __attribute__((vector_size(16)));
typedef int32_t i32x8 __attribute__((vector_size(16)));
typedef uint16_t u16x8 __attribute__((vector_size(8)));
constexpr int kLanes = 4;
constexpr u32x8 kLaneIndex = {0, 1, 2, 3};
#else
#error "RASTER_VECTOR_LANES must be 4 or 8"
#endif

[[gnu::always_inline]] inline u32x8 splat(uint32_t v) {
    return u32x8{} + v;
}
[[gnu::always_inline]] inline u32x8 mask_of(i32x8 m) {
    return u32x8(m);
}
[[gnu::always_inline]] inline u32x8 select(u32x8 m, u32x8 a, u32x8 b) {
    return (a & m) | (b & ~m);
}
// Whether any lane of a comparison mask is set.
[[gnu::always_inline]] inline bool any(u32x8 m) {
#if RASTER_VECTOR_LANES == 8 && defined(__AVX2__)
    return !_mm256_testz_si256(__m256i(m), __m256i(m));
#elif RASTER_VECTOR_LANES == 4
    return _mm_movemask_epi8(__m128i(m)) != 0;
#else
    uint32_t r = 0;
    for (int k = 0; k < kLanes; ++k) r |= m[k];
    return r != 0;
#endif
}
[[gnu::always_inline]] inline u32x8 vmin255(u32x8 a) {
    return select(mask_of(a < 255u), a, splat(255));
}
[[gnu::always_inline]] inline u32x8 vmul8(u32x8 a, u32x8 b) {
    const u32x8 t = a * b + 128u;
    return (t + (t >> 8)) >> 8;
}
[[gnu::always_inline]] inline u32x8 vlerp_argb(u32x8 a, u32x8 b, u32x8 f) {
    const u32x8 nf = 256u - f;
    const u32x8 rb = (((a & 0xFF00FFu) * nf + (b & 0xFF00FFu) * f) >> 8) & 0xFF00FFu;
    const u32x8 ag = ((((a >> 8) & 0xFF00FFu) * nf + ((b >> 8) & 0xFF00FFu) * f) >> 8) & 0xFF00FFu;
    return rb | ag << 8;
}
// Passes of a less/equal/greater mask comparison, lane by lane (unsigned).
[[gnu::always_inline]] inline u32x8 vcompare(u32x8 value, u32x8 ref, uint8_t mask) {
    const u32x8 lt = (mask & 1) ? mask_of(value < ref) : u32x8{};
    const u32x8 eq = (mask & 2) ? mask_of(value == ref) : u32x8{};
    const u32x8 gt = (mask & 4) ? mask_of(value > ref) : u32x8{};
    return lt | eq | gt;
}

[[gnu::always_inline]] inline u32x8 gather(const uint32_t* base, u32x8 index) {
#if RASTER_VECTOR_LANES == 8 && defined(__AVX2__)
    return u32x8(_mm256_i32gather_epi32(reinterpret_cast<const int*>(base), __m256i(index), 4));
#elif RASTER_VECTOR_LANES == 8
    return u32x8{base[index[0]], base[index[1]], base[index[2]], base[index[3]],
                 base[index[4]], base[index[5]], base[index[6]], base[index[7]]};
#else
    return u32x8{base[index[0]], base[index[1]], base[index[2]], base[index[3]]};
#endif
}

template <class T>
[[gnu::always_inline]] inline u32x8 load_lanes(const T* p) {
    if constexpr (sizeof(T) == 2) {
        u16x8 v;
        std::memcpy(&v, p, sizeof(v));
        return __builtin_convertvector(v, u32x8);
    } else {
        u32x8 v;
        std::memcpy(&v, p, sizeof(v));
        return v;
    }
}
template <class T>
[[gnu::always_inline]] inline void store_lanes(T* p, u32x8 v) {
    if constexpr (sizeof(T) == 2) {
        const u16x8 w = __builtin_convertvector(v, u16x8);
        std::memcpy(p, &w, sizeof(w));
    } else {
        std::memcpy(p, &v, sizeof(v));
    }
}

template <class CF>
[[gnu::always_inline]] inline u32x8 vpack(u32x8 r, u32x8 g, u32x8 b, u32x8 a) {
    if constexpr (std::is_same_v<CF, CF565>)
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    else if constexpr (std::is_same_v<CF, CF555>)
        return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    else
        return a << 24 | r << 16 | g << 8 | b;
}
template <class CF>
[[gnu::always_inline]] inline void vunpack(u32x8 p, u32x8& r, u32x8& g, u32x8& b, u32x8& a) {
    if constexpr (std::is_same_v<CF, CF565>) {
        r = (p >> 11) & 31u;
        r = r << 3 | r >> 2;
        g = (p >> 5) & 63u;
        g = g << 2 | g >> 4;
        b = p & 31u;
        b = b << 3 | b >> 2;
        a = splat(255);
    } else if constexpr (std::is_same_v<CF, CF555>) {
        r = (p >> 10) & 31u;
        r = r << 3 | r >> 2;
        g = (p >> 5) & 31u;
        g = g << 3 | g >> 2;
        b = p & 31u;
        b = b << 3 | b >> 2;
        a = splat(255);
    } else {
        a = p >> 24;
        r = (p >> 16) & 255u;
        g = (p >> 8) & 255u;
        b = p & 255u;
    }
}

[[gnu::always_inline]] inline u32x8 vfetch_wrap(const TexLevel& l, i32x8 iu, i32x8 iv) {
    const u32x8 index = (u32x8(iv) & (l.h - 1)) << l.wshift | (u32x8(iu) & (l.w - 1));
    return gather(l.texels, index);
}

[[gnu::always_inline]] inline i32x8 vaddress(i32x8 i, uint32_t size, TexAddress m) {
    const int32_t sz = int32_t(size);
    switch (m) {
    case TexAddress::Wrap: return i & (sz - 1);
    case TexAddress::Mirror: {
        const i32x8 p = i & (2 * sz - 1);
        return i32x8(select(mask_of(p < sz), u32x8(p), u32x8(2 * sz - 1 - p)));
    }
    case TexAddress::Clamp: {
        const i32x8 low = i32x8(select(mask_of(i < 0), u32x8{}, u32x8(i)));
        return i32x8(select(mask_of(low >= sz), splat(uint32_t(sz - 1)), u32x8(low)));
    }
    default: return i32x8(select(mask_of((i < 0) | (i >= sz)), splat(0xFFFFFFFFu), u32x8(i)));
    }
}

[[gnu::always_inline]] inline u32x8 vfetch_generic(const TexLevel& l, i32x8 iu, i32x8 iv,
                                                   const PixelState& s) {
    const i32x8 x = vaddress(iu, l.w, s.address_u), y = vaddress(iv, l.h, s.address_v);
    const u32x8 outside = mask_of((x < 0) | (y < 0));
    const u32x8 index = select(outside, u32x8{}, (u32x8(y) << l.wshift) + u32x8(x));
    return select(outside, splat(s.border), gather(l.texels, index));
}

[[gnu::always_inline]] inline u32x8 vfetch_clamp(const TexLevel& l, i32x8 iu, i32x8 iv) {
    const i32x8 x = i32x8(select(mask_of(iu < 0), u32x8{}, u32x8(iu)));
    const i32x8 y = i32x8(select(mask_of(iv < 0), u32x8{}, u32x8(iv)));
    const i32x8 w1 = i32x8{} + int32_t(l.w - 1), h1 = i32x8{} + int32_t(l.h - 1);
    const u32x8 cx = select(mask_of(x > w1), u32x8(w1), u32x8(x));
    const u32x8 cy = select(mask_of(y > h1), u32x8(h1), u32x8(y));
    return gather(l.texels, (cy << l.wshift) + cx);
}

template <TexKind TK>
[[gnu::always_inline]] inline u32x8 vsample_level(const TexLevel& l, i32x8 u, i32x8 v, bool linear,
                                                  const PixelState& s) {
    if constexpr (TK == TexKind::PointWrap) {
        return vfetch_wrap(l, u >> 16, v >> 16);
    } else if constexpr (TK == TexKind::LinearWrap) {
        u -= 0x8000;
        v -= 0x8000;
        const i32x8 iu = u >> 16, iv = v >> 16;
        const u32x8 fu = (u32x8(u) >> 8) & 255u, fv = (u32x8(v) >> 8) & 255u;
        const u32x8 t0 = vlerp_argb(vfetch_wrap(l, iu, iv), vfetch_wrap(l, iu + 1, iv), fu);
        const u32x8 t1 = vlerp_argb(vfetch_wrap(l, iu, iv + 1), vfetch_wrap(l, iu + 1, iv + 1), fu);
        return vlerp_argb(t0, t1, fv);
    } else if constexpr (TK == TexKind::LinearClamp) {
        u -= 0x8000;
        v -= 0x8000;
        const i32x8 iu = u >> 16, iv = v >> 16;
        const u32x8 fu = (u32x8(u) >> 8) & 255u, fv = (u32x8(v) >> 8) & 255u;
        const u32x8 t0 = vlerp_argb(vfetch_clamp(l, iu, iv), vfetch_clamp(l, iu + 1, iv), fu);
        const u32x8 t1 =
            vlerp_argb(vfetch_clamp(l, iu, iv + 1), vfetch_clamp(l, iu + 1, iv + 1), fu);
        return vlerp_argb(t0, t1, fv);
    } else {
        if (!linear) return vfetch_generic(l, u >> 16, v >> 16, s);
        u -= 0x8000;
        v -= 0x8000;
        const i32x8 iu = u >> 16, iv = v >> 16;
        const u32x8 fu = (u32x8(u) >> 8) & 255u, fv = (u32x8(v) >> 8) & 255u;
        const u32x8 t0 =
            vlerp_argb(vfetch_generic(l, iu, iv, s), vfetch_generic(l, iu + 1, iv, s), fu);
        const u32x8 t1 =
            vlerp_argb(vfetch_generic(l, iu, iv + 1, s), vfetch_generic(l, iu + 1, iv + 1, s), fu);
        return vlerp_argb(t0, t1, fv);
    }
}

// Attribute values at the first pixel of a step, as the scalar loop would hold them there.
struct StepStart {
    uint32_t r, g, b, a, f, dr, dg, db, da, df;
    int64_t z, dz;
};

// Eight pixels, of which the first `count` are the span's (the others, a tail's scratch copies
// or the row's next pixels, are written back as they were read). False when a pixel's attributes
// leave the ranges the lanes assume; nothing is written then.
template <class CF, class ZF, TexKind TK, BlendKind BK, ExtraKind EK>
[[gnu::always_inline]] inline bool
vpixels(const PixelState& s, typename CF::T* cp, typename ZF::T* zp, const StepStart& at,
        const TexSegment& seg, int32_t seg_offset, int32_t count) {
    constexpr bool Extra = EK != ExtraKind::None, AnyExtra = EK == ExtraKind::Any;
    // Alpha matters only to blending, alpha targets and the alpha test.
    const bool use_alpha = BK != BlendKind::None || CF::alpha || (AnyExtra && s.alpha_test);
    const bool fog = EK == ExtraKind::Fog || (AnyExtra && s.fog);
    if constexpr (ZF::on) {
        const int64_t last = at.z + int64_t(count - 1) * at.dz;
        if (at.z < 0 || last < 0 || at.z > 0xFFFFFFFFll || last > 0xFFFFFFFFll) return false;
    }
    u32x8 cr = (at.r + kLaneIndex * at.dr) >> 16, cg = (at.g + kLaneIndex * at.dg) >> 16,
          cb = (at.b + kLaneIndex * at.db) >> 16;
    u32x8 ca = use_alpha ? (at.a + kLaneIndex * at.da) >> 16 : u32x8{};
    u32x8 ff = fog ? (at.f + kLaneIndex * at.df) >> 16 : u32x8{};
    // Lanes past the span's end (a tail's scratch lanes) step beyond its clamped ends: only
    // the pixels drawn must stay in range.
    const u32x8 drawn = mask_of(kLaneIndex < uint32_t(count));
    if (any(((cr | cg | cb | ca | ff) > 255u) & drawn)) return false;

    // Lanes past the span's end write back what they read.
    u32x8 alive = drawn;
    u32x8 znew{}, zold{};
    if constexpr (ZF::on) {
        znew = (uint32_t(at.z) + kLaneIndex * uint32_t(at.dz)) >> ZF::shift;
        zold = load_lanes(zp);
        alive &= vcompare(znew, zold, s.z_func_mask);
        if (!any(alive)) return true;
    }
    if constexpr (TK != TexKind::None) {
        const u32x8 step = splat(uint32_t(seg_offset)) + kLaneIndex;
        const i32x8 u = i32x8(uint32_t(seg.u) + step * uint32_t(seg.du));
        const i32x8 v = i32x8(uint32_t(seg.v) + step * uint32_t(seg.dv));
        u32x8 tex{};
        bool sampled = false;
        if constexpr (AnyExtra) {
            if (s.color_key) {
                u32x8 nearest;
                if constexpr (TK == TexKind::Generic)
                    nearest = vfetch_generic(*seg.l0, u >> 16, v >> 16, s);
                else if constexpr (TK == TexKind::LinearClamp)
                    nearest = vfetch_clamp(*seg.l0, u >> 16, v >> 16);
                else
                    nearest = vfetch_wrap(*seg.l0, u >> 16, v >> 16);
                alive &= ~mask_of(nearest == 0u);
                // Every pixel keyed out: the step writes back what it read.
                if (!any(alive)) return true;
                // A point sample of the first level is the texel the key tested.
                if (TK == TexKind::PointWrap || (TK == TexKind::Generic && !seg.linear)) {
                    tex = nearest;
                    sampled = true;
                }
            }
        }
        if (!sampled) tex = vsample_level<TK>(*seg.l0, u, v, seg.linear, s);
        if (seg.l1)
            tex = vlerp_argb(tex, vsample_level<TK>(*seg.l1, u >> 1, v >> 1, seg.linear, s),
                             splat(seg.level_frac));
        const u32x8 tr = (tex >> 16) & 255u, tg = (tex >> 8) & 255u, tb = tex & 255u;
        if (!AnyExtra || s.color_op == ColorOp::Modulate) {
            cr = vmul8(cr, tr);
            cg = vmul8(cg, tg);
            cb = vmul8(cb, tb);
        } else if (s.color_op == ColorOp::SelectTexture) {
            cr = tr;
            cg = tg;
            cb = tb;
        }
        if (use_alpha) {
            if (s.alpha_op == ColorOp::Modulate)
                ca = vmul8(ca, tex >> 24);
            else if (s.alpha_op == ColorOp::SelectTexture)
                ca = tex >> 24;
        }
    }
    if constexpr (Extra) {
        if (AnyExtra && s.alpha_test) alive &= vcompare(ca, splat(s.alpha_ref), s.alpha_func_mask);
        if (fog) {
            const u32x8 fi = 255u - ff;
            cr = vmul8(cr, ff) + vmul8(splat((s.fog_color >> 16) & 255), fi);
            cg = vmul8(cg, ff) + vmul8(splat((s.fog_color >> 8) & 255), fi);
            cb = vmul8(cb, ff) + vmul8(splat(s.fog_color & 255), fi);
        }
    }
    const u32x8 old = load_lanes(cp);
    if constexpr (BK == BlendKind::AlphaInvAlpha) {
        u32x8 dr, dg, db, da;
        vunpack<CF>(old, dr, dg, db, da);
        const u32x8 ia = 255u - ca;
        cr = vmin255(vmul8(cr, ca) + vmul8(dr, ia));
        cg = vmin255(vmul8(cg, ca) + vmul8(dg, ia));
        cb = vmin255(vmul8(cb, ca) + vmul8(db, ia));
        ca = vmin255(vmul8(ca, ca) + vmul8(da, ia));
    }
    store_lanes(cp, select(alive, vpack<CF>(cr, cg, cb, ca), old));
    if constexpr (ZF::on) {
        if (s.z_write) store_lanes(zp, select(alive, znew, zold));
    }
    return true;
}

// Pixels i <= x < end by the scalar loop that takes the texture addressing and the extras at
// run time: for the states drawn it gives what their own loop gives, bit for bit (wrap
// addressing and each extra are cases of the general forms; the blend keeps its own form, whose
// packed arithmetic differs from the general one out of range), and a few instances per format
// keep the rare path small.
template <class CF, class ZF, bool Textured, BlendKind BK>
[[gnu::noinline]] void scalar_steps(const PixelState& s, typename CF::T* cp, typename ZF::T* zp,
                                    int32_t i, int32_t end, Steps& st, TexSegment& seg) {
    constexpr TexKind TK = Textured ? TexKind::Generic : TexKind::None;
    pixels<CF, ZF, TK, BK, ExtraKind::Any, false>(s, cp, zp, i, end, st, seg);
}

template <class CF, class ZF, TexKind TK, BlendKind BK, ExtraKind EK>
void vspan(const SpanContext& c, int32_t y, int32_t x0, int32_t x1) {
    constexpr bool Extra = EK != ExtraKind::None;
    // Alpha matters only to blending, alpha targets and the alpha test: without them the
    // steps leave it at 0 (the scalar loop a step falls back to draws the same pixels).
    const bool use_alpha =
        BK != BlendKind::None || CF::alpha || (EK == ExtraKind::Any && c.state->alpha_test);
    using CT = typename CF::T;
    using ZT = typename ZF::T;
    const PixelState& s = *c.state;
    const Primitive& p = c.prim;
    const RenderTarget& t = *c.target;
    const int32_t n = x1 - x0;
    // A span shorter than half a step is drawn by the scalar loop, as is one shorter than a
    // step at the scissor's right edge (its step would work on a copy).
    if (c.narrow && (n < kLanes / 2 || (n < kLanes && x0 + kLanes > t.x1))) {
        c.narrow(c, y, x0, x1);
        return;
    }
    const float px = float(x0) + 0.5f - p.ox, py = float(y) + 0.5f - p.oy;

    auto* cp = reinterpret_cast<CT*>(t.color + std::ptrdiff_t(y) * t.pitch) + x0;
    ZT* zp = nullptr;
    int64_t z = 0, dz = 0;
    if constexpr (ZF::on) {
        zp = reinterpret_cast<ZT*>(t.depth + std::ptrdiff_t(y) * t.depth_pitch) + x0;
        linear_z(p.z, px, py, n, ZF::scale, ZF::shift, z, dz);
    }
    constexpr float kColorScale = 65536.0f;
    int32_t r, dr, g, dg, b, db, a = 0, da = 0, f = 0, df = 0;
    linear(p.r, px, py, n, 0.0f, 255.0f, kColorScale, r, dr);
    linear(p.g, px, py, n, 0.0f, 255.0f, kColorScale, g, dg);
    linear(p.b, px, py, n, 0.0f, 255.0f, kColorScale, b, db);
    if (use_alpha) linear(p.a, px, py, n, 0.0f, 255.0f, kColorScale, a, da);
    if constexpr (Extra) {
        if (s.fog) linear(p.fog, px, py, n, 0.0f, 255.0f, kColorScale, f, df);
    }
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
        for (int32_t j = i; j < i + len; j += kLanes) {
            const int32_t count = std::min(kLanes, i + len - j);
            StepStart at;
            const auto ju = uint32_t(j);
            at.r = uint32_t(r) + ju * uint32_t(dr);
            at.g = uint32_t(g) + ju * uint32_t(dg);
            at.b = uint32_t(b) + ju * uint32_t(db);
            at.a = uint32_t(a) + ju * uint32_t(da);
            at.f = uint32_t(f) + ju * uint32_t(df);
            at.dr = uint32_t(dr);
            at.dg = uint32_t(dg);
            at.db = uint32_t(db);
            at.da = uint32_t(da);
            at.df = uint32_t(df);
            at.z = z + int64_t(j) * dz;
            at.dz = dz;
            bool done;
            // A short step whose eight lanes lie within the row's scissor reads and writes the
            // row in place (its lanes past the span write back the pixels they read: this
            // thread alone draws the row); at the scissor's edge it works on a copy.
            if (count == kLanes || x0 + j + kLanes <= t.x1) {
                done = vpixels<CF, ZF, TK, BK, EK>(s, cp + j, ZF::on ? zp + j : nullptr, at, seg,
                                                   j - i, count);
            } else {
                CT colour[kLanes] = {};
                ZT depth[kLanes] = {};
                std::memcpy(colour, cp + j, sizeof(CT) * size_t(count));
                if constexpr (ZF::on) std::memcpy(depth, zp + j, sizeof(ZT) * size_t(count));
                done = vpixels<CF, ZF, TK, BK, EK>(s, colour, depth, at, seg, j - i, count);
                if (done) {
                    std::memcpy(cp + j, colour, sizeof(CT) * size_t(count));
                    if constexpr (ZF::on) std::memcpy(zp + j, depth, sizeof(ZT) * size_t(count));
                }
            }
            if (done) continue;
            // The scalar loop from this step's first pixel, in the state it would have there.
            Steps st;
            st.rg = pack_fields(int64_t(r) + int64_t(j) * dr, int64_t(g) + int64_t(j) * dg);
            st.drg = pack_fields(dr, dg);
            st.bz = pack_fields(int64_t(b) + int64_t(j) * db, z + int64_t(j) * dz);
            st.dbz = pack_fields(db, dz);
            st.a = int32_t(at.a);
            st.da = da;
            st.f = int32_t(at.f);
            st.df = df;
            TexSegment from = seg;
            from.u = int32_t(uint32_t(seg.u) + uint32_t(j - i) * uint32_t(seg.du));
            from.v = int32_t(uint32_t(seg.v) + uint32_t(j - i) * uint32_t(seg.dv));
            scalar_steps<CF, ZF, TK != TexKind::None, BK>(s, cp, zp, j, j + count, st, from);
        }
        i += len;
    }
}

template <class CF, class ZF, TexKind TK, BlendKind BK>
SpanFunction vpick_extra(ExtraKind extra) {
    switch (extra) {
    case ExtraKind::None: return &vspan<CF, ZF, TK, BK, ExtraKind::None>;
    case ExtraKind::Fog: return &vspan<CF, ZF, TK, BK, ExtraKind::Fog>;
    default: return &vspan<CF, ZF, TK, BK, ExtraKind::Any>;
    }
}

template <class CF, class ZF, TexKind TK>
SpanFunction vpick_blend(BlendKind bk, ExtraKind extra) {
    switch (bk) {
    case BlendKind::None: return vpick_extra<CF, ZF, TK, BlendKind::None>(extra);
    case BlendKind::AlphaInvAlpha: return vpick_extra<CF, ZF, TK, BlendKind::AlphaInvAlpha>(extra);
    default: return nullptr; // the other blend factors stay scalar
    }
}

template <class CF, class ZF>
SpanFunction vpick_texture(TexKind tk, BlendKind bk, ExtraKind extra) {
    switch (tk) {
    case TexKind::None: return vpick_blend<CF, ZF, TexKind::None>(bk, extra);
    case TexKind::PointWrap: return vpick_blend<CF, ZF, TexKind::PointWrap>(bk, extra);
    case TexKind::LinearWrap: return vpick_blend<CF, ZF, TexKind::LinearWrap>(bk, extra);
    case TexKind::LinearClamp: return vpick_blend<CF, ZF, TexKind::LinearClamp>(bk, extra);
    default: return vpick_blend<CF, ZF, TexKind::Generic>(bk, extra);
    }
}

template <class CF>
SpanFunction vpick_depth(const SpanKinds& k) {
    switch (k.depth) {
    case DepthFormat::None: return vpick_texture<CF, ZNone>(k.texture, k.blend, k.extra);
    case DepthFormat::Z16: return vpick_texture<CF, Z16>(k.texture, k.blend, k.extra);
    default: return vpick_texture<CF, Z32>(k.texture, k.blend, k.extra);
    }
}

inline SpanFunction select_vector_span(const RenderTarget& target, const PixelState& s) {
    SpanKinds k = classify(target, s);
    // Bilinear and clamped both ways (billboards, sprites): addressing without run-time modes.
    if (k.texture == TexKind::Generic && s.address_u == TexAddress::Clamp &&
        s.address_v == TexAddress::Clamp && s.mag == TexFilter::Linear &&
        s.min == TexFilter::Linear)
        k.texture = TexKind::LinearClamp;
    switch (target.color_format) {
    case ColorFormat::R5G6B5: return vpick_depth<CF565>(k);
    case ColorFormat::X1R5G5B5: return vpick_depth<CF555>(k);
    default: return vpick_depth<CF8888>(k);
    }
}

} // namespace
} // namespace platform
