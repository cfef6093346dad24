// Triangle and line set-up of the software rasteriser.
#include "platform/graphics/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {
namespace {

constexpr int64_t kSub = 16;              // sub-pixel steps per pixel
constexpr float kMaxCoordinate = 8388608; // 2^23 pixels: beyond this a vertex is garbage

int64_t floor_div(int64_t a, int64_t b) { // b > 0
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
int64_t ceil_div(int64_t a, int64_t b) {
    return -floor_div(-a, b);
}

// x boundary of an edge on successive rows: the first pixel whose centre is at or right of
// the edge, ceil((x_edge - 1/2) / 1) in sub-pixel units, stepped exactly (no drift, so two
// triangles sharing the edge agree on every row).
struct EdgeWalker {
    int64_t q = 0, e = 0, d = 0, sq = 0, sr = 0;

    void start(int64_t xa, int64_t ya, int64_t xb, int64_t yb, int32_t row) {
        const int64_t den = yb - ya, dx = xb - xa;
        d = kSub * den;
        const int64_t yc = int64_t(row) * kSub + kSub / 2;
        const int64_t n = xa * den + (yc - ya) * dx - (kSub / 2) * den;
        q = ceil_div(n, d);
        e = q * d - n;
        const int64_t step = kSub * dx;
        sq = floor_div(step, d);
        sr = step - sq * d;
    }
    void next() {
        q += sq;
        e -= sr;
        if (e < 0) {
            ++q;
            e += d;
        }
    }
    int32_t x() const { return int32_t(std::clamp<int64_t>(q, INT32_MIN / 2, INT32_MAX / 2)); }
};

struct Attributes {
    float z, r, g, b, a, fog, uw, vw, q;
};

Attributes attributes_of(const D3DTLVERTEX& v, bool perspective) {
    const float q = perspective ? v.rhw : 1.0f;
    return Attributes{v.sz,
                      float((v.color >> 16) & 255),
                      float((v.color >> 8) & 255),
                      float(v.color & 255),
                      float(v.color >> 24),
                      float(v.specular >> 24),
                      v.tu * q,
                      v.tv * q,
                      q};
}

// Rounds half away from zero like llround, without the library call: a float times 16 in
// double is exact and so is adding one half to it (24 significant bits), so truncating the
// sum gives the same integer.
int64_t round_sub_pixel(float v) {
    const double d = double(std::clamp(v, -kMaxCoordinate, kMaxCoordinate)) * kSub;
    return int64_t(d < 0 ? d - 0.5 : d + 0.5);
}

bool snap(const D3DTLVERTEX& v, int64_t& x, int64_t& y) {
    if (!std::isfinite(v.sx) || !std::isfinite(v.sy)) return false;
    x = round_sub_pixel(v.sx);
    y = round_sub_pixel(v.sy);
    return true;
}

// A triangle's snapped corners, sorted by y (top, middle, bottom: o), and its rows.
struct Snapped {
    int64_t X[3], Y[3];
    int o[3];
    int64_t row_mid, first, last;
};

// False when the triangle draws nothing: a non-finite corner, no area, culled, or no row
// within the scissor.
bool snap_triangle(const RenderTarget& t, uint32_t cull, const D3DTLVERTEX* const v[3],
                   Snapped& sn) {
    int64_t* X = sn.X;
    int64_t* Y = sn.Y;
    for (int i = 0; i < 3; ++i)
        if (!snap(*v[i], X[i], Y[i])) return false;
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return false;
    // Screen y grows downwards: a positive area is clockwise on screen.
    if ((cull == D3DCULL_CW && area > 0) || (cull == D3DCULL_CCW && area < 0)) return false;

    // Sort by y: top, middle, bottom.
    int* o = sn.o;
    o[0] = 0;
    o[1] = 1;
    o[2] = 2;
    if (Y[o[1]] < Y[o[0]]) std::swap(o[0], o[1]);
    if (Y[o[2]] < Y[o[1]]) std::swap(o[1], o[2]);
    if (Y[o[1]] < Y[o[0]]) std::swap(o[0], o[1]);
    // Rows whose centre lies in [top, bottom): the top edge is in, the bottom edge out.
    const int64_t row0 = ceil_div(Y[o[0]] - kSub / 2, kSub),
                  row1 = ceil_div(Y[o[2]] - kSub / 2, kSub);
    sn.row_mid = ceil_div(Y[o[1]] - kSub / 2, kSub);
    sn.first = std::max<int64_t>(row0, t.y0);
    sn.last = std::min<int64_t>(row1, t.y1);
    return sn.first < sn.last;
}

} // namespace

bool triangle_rows(const RenderTarget& target, uint32_t cull_mode, const D3DTLVERTEX& a,
                   const D3DTLVERTEX& b, const D3DTLVERTEX& c, int32_t& first, int32_t& last) {
    const D3DTLVERTEX* v[3] = {&a, &b, &c};
    Snapped sn;
    if (!snap_triangle(target, cull_mode, v, sn)) return false;
    first = int32_t(sn.first);
    last = int32_t(sn.last);
    return true;
}

bool setup_triangle(const RenderTarget& t, const PixelState& s, uint32_t cull,
                    const D3DTLVERTEX& va, const D3DTLVERTEX& vb, const D3DTLVERTEX& vc,
                    Primitive& p, TriangleEdges& out) {
    const D3DTLVERTEX* v[3] = {&va, &vb, &vc};
    Snapped sn;
    if (!snap_triangle(t, cull, v, sn)) return false;
    const int64_t* X = sn.X;
    const int64_t* Y = sn.Y;
    const int* o = sn.o;
    const int64_t xt = X[o[0]], yt = Y[o[0]], xm = X[o[1]], ym = Y[o[1]], xb = X[o[2]],
                  yb = Y[o[2]];
    const int64_t row_mid = sn.row_mid, first = sn.first, last = sn.last;

    // Attribute planes from the snapped positions, origin at the first vertex.
    Attributes at[3];
    for (int i = 0; i < 3; ++i) at[i] = attributes_of(*v[i], s.perspective);
    const double x10 = double(X[1] - X[0]) / kSub, y10 = double(Y[1] - Y[0]) / kSub;
    const double x20 = double(X[2] - X[0]) / kSub, y20 = double(Y[2] - Y[0]) / kSub;
    const double inv = 1.0 / (x10 * y20 - x20 * y10);
    auto plane = [&](float Attributes::*m) {
        const double d1 = at[1].*m - at[0].*m, d2 = at[2].*m - at[0].*m;
        return Plane{at[0].*m, float((d1 * y20 - d2 * y10) * inv),
                     float((d2 * x10 - d1 * x20) * inv)};
    };
    p.ox = float(double(X[0]) / kSub);
    p.oy = float(double(Y[0]) / kSub);
    p.z = plane(&Attributes::z);
    if (s.flat) {
        p.r = Plane{at[0].r, 0, 0};
        p.g = Plane{at[0].g, 0, 0};
        p.b = Plane{at[0].b, 0, 0};
        p.a = Plane{at[0].a, 0, 0};
    } else {
        p.r = plane(&Attributes::r);
        p.g = plane(&Attributes::g);
        p.b = plane(&Attributes::b);
        p.a = plane(&Attributes::a);
    }
    if (s.fog) p.fog = plane(&Attributes::fog);
    if (s.textured) {
        p.uw = plane(&Attributes::uw);
        p.vw = plane(&Attributes::vw);
        p.q = plane(&Attributes::q);
    }
    // Snapped coordinates stay within 2^23 pixels, 2^27 sub-pixel steps.
    out.xt = int32_t(xt);
    out.yt = int32_t(yt);
    out.xm = int32_t(xm);
    out.ym = int32_t(ym);
    out.xb = int32_t(xb);
    out.yb = int32_t(yb);
    out.first = int32_t(first);
    out.mid = int32_t(row_mid);
    out.last = int32_t(last);
    // Middle vertex right of the long edge: the long edge bounds the left side.
    out.long_left = (xb - xt) * (ym - yt) - (xm - xt) * (yb - yt) < 0;
    return true;
}

void draw_triangle_rows(const SpanContext& ctx, SpanFunction span, const TriangleEdges& s,
                        int32_t y0, int32_t y1) {
    const RenderTarget& t = *ctx.target;
    const int64_t first = std::max(s.first, y0), last = std::min(s.last, y1);
    if (first >= last) return;
    EdgeWalker longe, shorte;
    longe.start(s.xt, s.yt, s.xb, s.yb, int32_t(first));
    auto draw_rows = [&](int64_t from, int64_t to) {
        for (int64_t y = from; y < to; ++y) {
            int32_t xl = s.long_left ? longe.x() : shorte.x();
            int32_t xr = s.long_left ? shorte.x() : longe.x();
            xl = std::max(xl, t.x0);
            xr = std::min(xr, t.x1);
            if (xl < xr) span(ctx, int32_t(y), xl, xr);
            longe.next();
            shorte.next();
        }
    };
    const int64_t upper_end = std::min<int64_t>(s.mid, last);
    if (first < upper_end) {
        shorte.start(s.xt, s.yt, s.xm, s.ym, int32_t(first));
        draw_rows(first, upper_end);
    }
    const int64_t lower_start = std::max<int64_t>(s.mid, first);
    if (lower_start < last) {
        shorte.start(s.xm, s.ym, s.xb, s.yb, int32_t(lower_start));
        draw_rows(lower_start, last);
    }
}

void draw_line_rows(SpanContext& ctx, SpanFunction span, const D3DTLVERTEX& va,
                    const D3DTLVERTEX& vb, int32_t y0, int32_t y1) {
    if (!std::isfinite(va.sx) || !std::isfinite(va.sy) || !std::isfinite(vb.sx) ||
        !std::isfinite(vb.sy))
        return;
    const RenderTarget& t = *ctx.target;
    const PixelState& s = *ctx.state;
    const int32_t row0 = std::max(t.y0, y0), row1 = std::min(t.y1, y1);
    if (row0 >= row1) return;
    const Attributes a = attributes_of(va, s.perspective), b = attributes_of(vb, s.perspective);
    const float dx = vb.sx - va.sx, dy = vb.sy - va.sy;
    const bool x_major = std::fabs(dx) >= std::fabs(dy);
    const float major_a = x_major ? va.sx : va.sy, major_b = x_major ? vb.sx : vb.sy;
    const float dmajor = major_b - major_a;
    if (dmajor == 0.0f) return;
    const float lo = std::clamp(std::min(major_a, major_b), -kMaxCoordinate, kMaxCoordinate);
    const float hi = std::clamp(std::max(major_a, major_b), -kMaxCoordinate, kMaxCoordinate);
    // Pixel centres in [start, end): the far end's pixel is left out, as for a strip's
    // shared vertices.
    int64_t from = int64_t(std::ceil(lo - 0.5f)), to = int64_t(std::ceil(hi - 0.5f));
    const int64_t limit_lo = x_major ? t.x0 : row0, limit_hi = x_major ? t.x1 : row1;
    from = std::max(from, limit_lo);
    to = std::min(to, limit_hi);
    Primitive& p = ctx.prim;
    p.ox = p.oy = 0;
    auto constant = [](float value) { return Plane{value, 0, 0}; };
    for (int64_t m = from; m < to; ++m) {
        const float f = (float(m) + 0.5f - major_a) / dmajor;
        const float minor = x_major ? va.sy + f * dy : va.sx + f * dx;
        const int64_t n = int64_t(std::floor(minor));
        const int32_t px = int32_t(x_major ? m : n), py = int32_t(x_major ? n : m);
        if (px < t.x0 || px >= t.x1 || py < row0 || py >= row1) continue;
        auto lerp = [f](float x, float y) { return x + (y - x) * f; };
        p.z = constant(lerp(a.z, b.z));
        p.r = constant(s.flat ? a.r : lerp(a.r, b.r));
        p.g = constant(s.flat ? a.g : lerp(a.g, b.g));
        p.b = constant(s.flat ? a.b : lerp(a.b, b.b));
        p.a = constant(s.flat ? a.a : lerp(a.a, b.a));
        p.fog = constant(lerp(a.fog, b.fog));
        p.uw = constant(lerp(a.uw, b.uw));
        p.vw = constant(lerp(a.vw, b.vw));
        p.q = constant(lerp(a.q, b.q));
        span(ctx, py, px, px + 1);
    }
}

void Rasterizer::prepare(const RenderTarget& target, const PixelState& state,
                         const TextureView* texture, uint32_t cull_mode) {
    ctx_.target = &target;
    ctx_.state = &state;
    ctx_.texture = texture;
    ctx_.narrow = select_narrow_span_function(target, state);
    span_ = select_span_function(target, state);
    cull_ = cull_mode;
}

void Rasterizer::triangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c) {
    if (!setup_triangle(*ctx_.target, *ctx_.state, cull_, a, b, c, ctx_.prim, edges_)) return;
    draw_triangle_rows(ctx_, span_, edges_, edges_.first, edges_.last);
}

void Rasterizer::line(const D3DTLVERTEX& a, const D3DTLVERTEX& b) {
    draw_line_rows(ctx_, span_, a, b, ctx_.target->y0, ctx_.target->y1);
}

} // namespace platform
