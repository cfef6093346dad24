// The software triangle routines. Every routine shares one set-up: the vertices keep their
// cyclic order with the topmost first, x and y are rounded, the triangle is culled unless the
// edge towards the third vertex lies right of the edge towards the second, and two edges in
// 16.16 fixed point walk the rows top..bottom-1, advancing before each row is filled with the
// pixels [left >> 16, right >> 16).
#include "media/display/sw_rasteriser.h"

#include <algorithm>
#include <cmath>

SwTargetState sw16_state;
SwTargetState sw8_state;
Sw8Tables sw8_tables;

namespace {

constexpr int64_t one = 65536; // 1.0 in 16.16

// Rounds a screen coordinate to a whole pixel (add 0.5, truncate), kept in a sane range so
// that unclipped garbage cannot overflow the fixed-point arithmetic.
int32_t round_coordinate(float value) {
    float v = value + 0.5f;
    if (!(v > -1.0e6f)) return -1000000;
    if (v > 1.0e6f) return 1000000;
    return int32_t(v);
}

int32_t to_fixed_y(float y) {
    double v = double(y) * 65536.0;
    if (!(v > -2.0e9)) return INT32_MIN;
    if (v > 2.0e9) return INT32_MAX;
    return int32_t(v);
}

// A float as a wrapping 16.16 value (its low 32 bits).
uint32_t to_fixed_wrapping(float value) {
    double v = double(value) * 65536.0;
    if (!std::isfinite(v) || std::fabs(v) > 4.0e18) return 0;
    return uint32_t(uint64_t(int64_t(v)));
}

// 8-bit shading intensity of a vertex: its red byte x 16 (8.8), held with 16 more fraction bits.
int64_t intensity_of(const OmTLVertex& v) {
    return int64_t((v.diffuse >> 16) & 0xFF) * 16 * one;
}

struct Corner {
    int32_t x, y;
    const OmTLVertex* v;
};

// An edge from one corner down to another with the values carried along it.
struct Edge {
    int64_t x = 0, dx = 0; // 16.16
    float q = 0, dq = 0, uq = 0, duq = 0, vq = 0, dvq = 0;
    int64_t i = 0, di = 0; // intensity 8.8 with 16 extra fraction bits

    Edge() = default;
    Edge(const Corner& from, const Corner& to) {
        int32_t rows = to.y - from.y;
        x = from.x * one;
        q = from.v->rhw;
        uq = from.v->tu * from.v->rhw;
        vq = from.v->tv * from.v->rhw;
        i = intensity_of(*from.v);
        if (rows <= 0) return;
        int64_t diff = int64_t(to.x) - from.x;
        if (rows == 1)
            dx = diff * one;
        else if (rows == 2)
            dx = diff * (one / 2);
        else
            dx = diff * one / rows;
        float r = float(rows);
        dq = (to.v->rhw - q) / r;
        duq = (to.v->tu * to.v->rhw - uq) / r;
        dvq = (to.v->tv * to.v->rhw - vq) / r;
        di = (intensity_of(*to.v) - i) / rows;
    }
    void advance() {
        x += dx;
        q += dq;
        uq += duq;
        vq += dvq;
        i += di;
    }
};

// One row's span as the routines see it: [x0, x1) inside the target, `skip` pixels of the
// unclipped span lying left of x0, `width` the unclipped span's width.
struct Span {
    uint8_t* row;
    int32_t x0, x1, skip, width;
};

// The shared set-up and row walk; `fill` draws one span from the two edges.
template <class Fill>
void walk(const SwTargetState& target, const OmTLVertex* a, const OmTLVertex* b,
          const OmTLVertex* c, Fill&& fill) {
    if (!target.base) return;
    const OmTLVertex* in[3] = {a, b, c};
    int top = 0;
    int32_t ty = to_fixed_y(a->sy);
    for (int k = 1; k < 3; ++k) {
        int32_t y = to_fixed_y(in[k]->sy);
        if (y < ty) {
            ty = y;
            top = k;
        }
    }
    Corner p[3];
    for (int k = 0; k < 3; ++k) {
        const OmTLVertex* v = in[(top + k) % 3];
        p[k] = {round_coordinate(v->sx), round_coordinate(v->sy), v};
    }
    // Only the winding whose third-vertex edge lies right of the second-vertex edge is drawn.
    int64_t d1x = p[1].x - p[0].x, d1y = p[1].y - p[0].y;
    int64_t d2x = p[2].x - p[0].x, d2y = p[2].y - p[0].y;
    if (d2x * d1y - d1x * d2y <= 0) return;

    Edge left(p[0], p[1]), right(p[0], p[2]);
    int32_t y = p[0].y;
    int32_t middle = std::min(p[1].y, p[2].y), bottom = std::max(p[1].y, p[2].y);
    auto rows = [&](int32_t end) {
        for (; y < end; ++y) {
            left.advance();
            right.advance();
            if (y < 0 || y >= target.height) continue;
            int32_t l = int32_t(left.x >> 16), r = int32_t(right.x >> 16);
            int32_t x0 = std::max(l, 0), x1 = std::min(r, target.width);
            if (x0 >= x1) continue;
            Span span{target.base + int64_t(y) * target.pitch, x0, x1, x0 - l, r - l};
            fill(span, left, right);
        }
    };
    rows(middle);
    if (p[1].y <= p[2].y)
        left = Edge(p[1], p[2]);
    else
        right = Edge(p[2], p[1]);
    rows(bottom);
}

// The texture coordinate word of a span and its per-pixel step: u (16.16) in the high half,
// v (16.16) / 4 in the low half.
struct TexelWalk {
    uint32_t word, step;

    TexelWalk(const Span& span, const Edge& left, const Edge& right) {
        float lq = left.q != 0 ? left.q : 1.0f, rq = right.q != 0 ? right.q : 1.0f;
        uint32_t ul = to_fixed_wrapping(left.uq / lq), vl = to_fixed_wrapping(left.vq / lq);
        uint32_t ur = to_fixed_wrapping(right.uq / rq), vr = to_fixed_wrapping(right.vq / rq);
        // The differences as signed 16.16 values (the ends wrap at 65536 texture units).
        int64_t du = int64_t(int32_t(ur - ul)) / span.width;
        int64_t dv = int64_t(int32_t(vr - vl)) / span.width;
        word = ul * 65536u + ((vl >> 2) & 0xFFFFu);
        // v / 4 with the sign kept (a floor division written out, not a signed shift).
        int64_t dv4 = dv >= 0 ? dv / 4 : -((-dv + 3) / 4);
        step = uint32_t(du) * 65536u + uint32_t(dv4);
        word += step * uint32_t(span.skip);
    }
    uint32_t texel() const { return (word >> 25) | (word & 0x3F80u); }
};

// The intensity across a span (8.8 with 16 extra fraction bits) and its per-pixel step.
struct IntensityWalk {
    int64_t value, step;
    IntensityWalk(const Span& span, const Edge& left, const Edge& right) {
        step = (right.i - left.i) / span.width;
        value = left.i + step * span.skip;
    }
    uint32_t row() const { return uint32_t(value >> 24) & 15; }
};

uint8_t nearest_of(uint32_t colour) {
    return om_palette_matcher_nearest(sw8_tables.matcher, uint8_t(colour >> 16),
                                      uint8_t(colour >> 8), uint8_t(colour));
}

} // namespace

void sw_draw_nothing(const OmTLVertex*, const OmTLVertex*, const OmTLVertex*) {}

void sw16_flat_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    uint32_t d = a->diffuse;
    uint16_t colour = uint16_t(((d >> 8) & 0xF800) | ((d >> 5) & 0x07E0) | ((d >> 3) & 0x001F));
    walk(sw16_state, a, b, c, [colour](const Span& s, const Edge&, const Edge&) {
        uint16_t* pixel = reinterpret_cast<uint16_t*>(s.row);
        std::fill(pixel + s.x0, pixel + s.x1, colour);
    });
}

void sw16_textured_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    const uint16_t* texels = static_cast<const uint16_t*>(sw16_state.texture);
    if (!texels) return;
    walk(sw16_state, a, b, c, [texels](const Span& s, const Edge& l, const Edge& r) {
        uint16_t* pixel = reinterpret_cast<uint16_t*>(s.row);
        TexelWalk t(s, l, r);
        for (int32_t x = s.x0; x < s.x1; ++x, t.word += t.step) {
            uint16_t texel = texels[t.texel()];
            if (texel) pixel[x] = texel;
        }
    });
}

void sw8_untextured_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    if (!sw8_tables.matcher || !sw8_tables.shade) return;
    const uint8_t* shade = sw8_tables.shade;
    uint8_t colour = nearest_of(a->diffuse);
    walk(sw8_state, a, b, c, [shade, colour](const Span& s, const Edge& l, const Edge& r) {
        IntensityWalk i(s, l, r);
        for (int32_t x = s.x0; x < s.x1; ++x, i.value += i.step)
            s.row[x] = shade[i.row() * 256 + colour];
    });
}

namespace {

// The smooth routine and its keyed variant: shade row by intensity, column by texel.
template <bool keyed>
void sw8_textured_shaded(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    const uint8_t* texels = static_cast<const uint8_t*>(sw8_state.texture);
    const uint8_t* shade = sw8_tables.shade;
    if (!texels || !shade) return;
    walk(sw8_state, a, b, c, [texels, shade](const Span& s, const Edge& l, const Edge& r) {
        TexelWalk t(s, l, r);
        IntensityWalk i(s, l, r);
        for (int32_t x = s.x0; x < s.x1; ++x, t.word += t.step, i.value += i.step) {
            uint8_t texel = texels[t.texel()];
            if (keyed && !texel) continue;
            s.row[x] = shade[i.row() * 256 + texel];
        }
    });
}

} // namespace

void sw8_textured_smooth_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    sw8_textured_shaded<false>(a, b, c);
}

void sw8_textured_keyed_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    sw8_textured_shaded<true>(a, b, c);
}

void sw8_textured_flat_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c) {
    const uint8_t* texels = static_cast<const uint8_t*>(sw8_state.texture);
    if (!texels || !sw8_tables.matcher || !sw8_tables.modulation) return;
    const uint8_t* row_of = sw8_tables.modulation + nearest_of(a->diffuse) * 256;
    walk(sw8_state, a, b, c, [texels, row_of](const Span& s, const Edge& l, const Edge& r) {
        TexelWalk t(s, l, r);
        for (int32_t x = s.x0; x < s.x1; ++x, t.word += t.step) {
            uint8_t texel = texels[t.texel()];
            if (texel) s.row[x] = row_of[texel];
        }
    });
}
