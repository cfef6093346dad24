// The rasteriser context: viewport, clip codes, the triangle-list form of strips and fans, and
// the clipping of triangles against the viewport edges (left, right, top, bottom) with the
// interpolation of the new vertices' fields.
#include "media/display/sw_rasteriser.h"

#include <array>
#include <cmath>

namespace {

constexpr uint32_t initial_vertices = 1024;
constexpr uint32_t initial_triangles = 1024;
constexpr uint32_t max_output_vertices = 65536; // addressable by 16-bit indices

std::array<uint8_t, 65536> build_byte_table() {
    std::array<uint8_t, 65536> table{};
    for (uint32_t t = 0; t < 256; ++t)
        for (uint32_t v = 0; v < 256; ++v) table[t * 256 + v] = uint8_t((v * t + 127) >> 8);
    return table;
}

const std::array<uint8_t, 65536>& byte_table() {
    static const std::array<uint8_t, 65536> table = build_byte_table();
    return table;
}

float linear(float t, float a, float b) {
    return a + t * (b - a);
}

// A colour interpolated byte by byte through the byte multiplication table.
uint32_t table_colour(float t, uint32_t a, uint32_t b) {
    const uint8_t* m = byte_table().data();
    float scaled = 255.0f * t;
    uint32_t r = scaled <= 0.0f ? 0 : scaled >= 255.0f ? 255 : uint32_t(scaled);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int32_t ab = int32_t((a >> shift) & 0xFF), bb = int32_t((b >> shift) & 0xFF);
        int32_t d = bb - ab;
        int32_t byte = d >= 0 ? ab + m[r * 256 + uint32_t(d)] : ab - m[r * 256 + uint32_t(-d)];
        out |= uint32_t(byte) << shift;
    }
    return out;
}

// The fields the modes handle, combined per the mode table.
enum : uint32_t {
    rhw_copy = 1,
    rhw_linear = 2,
    uv_linear = 4,
    uv_perspective = 8,
    colour_table = 16
};

template <uint32_t fields>
void interpolate(float t, const OmTLVertex& a, const OmTLVertex& b, OmTLVertex& out) {
    out.sz = linear(t, a.sz, b.sz);
    if constexpr ((fields & rhw_copy) != 0) out.rhw = a.rhw;
    if constexpr ((fields & rhw_linear) != 0) out.rhw = linear(t, a.rhw, b.rhw);
    if constexpr ((fields & uv_linear) != 0) {
        out.tu = linear(t, a.tu, b.tu);
        out.tv = linear(t, a.tv, b.tv);
    }
    if constexpr ((fields & uv_perspective) != 0) {
        float aq = a.rhw, bq = b.rhw;
        float den = bq + t * (aq - bq);
        if (den != 0.0f) {
            out.tu = (a.tu * bq + t * (b.tu * aq - a.tu * bq)) / den;
            out.tv = (a.tv * bq + t * (b.tv * aq - a.tv * bq)) / den;
        } else {
            out.tu = linear(t, a.tu, b.tu);
            out.tv = linear(t, a.tv, b.tv);
        }
    }
    if constexpr ((fields & colour_table) != 0) {
        out.diffuse = table_colour(t, a.diffuse, b.diffuse);
        if constexpr ((fields & rhw_linear) != 0)
            out.specular = table_colour(t, a.specular, b.specular);
        else
            out.specular = a.specular;
    } else {
        out.diffuse = a.diffuse;
        out.specular = a.specular;
    }
}

constexpr uint32_t full = rhw_linear | uv_perspective | colour_table;
constexpr SwInterpolation interpolations[16] = {
    interpolate<0>,
    interpolate<rhw_copy | uv_linear>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<colour_table>,
    interpolate<rhw_copy | uv_linear | colour_table>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
    interpolate<full>,
};

} // namespace

const uint8_t* sw_byte_multiplication_table() {
    return byte_table().data();
}

SwInterpolation sw_interpolation(uint32_t mode) {
    return interpolations[mode & 15];
}

SwRasteriserContext::SwRasteriserContext() : interpolate_(interpolations[15]) {
    out_vertices_.reserve(initial_vertices + 12 * initial_vertices);
    out_indices_.reserve(7 * initial_triangles * 3);
    codes_.reserve(initial_vertices + 64);
    triples_.reserve(3 * initial_triangles + 64);
    byte_table();
}

void SwRasteriserContext::set_viewport(double x, double y, double width, double height) {
    left_ = x;
    right_ = x + width;
    top_ = y;
    bottom_ = y + height;
    rect_[0] = float(x);
    rect_[1] = float(y);
    rect_[2] = float(width);
    rect_[3] = float(height);
}

bool SwRasteriserContext::set_interpolation_mode(uint32_t mode) {
    if (mode > 15) return false;
    mode_ = mode;
    interpolate_ = interpolations[mode];
    return true;
}

uint8_t SwRasteriserContext::clip_code(const OmTLVertex& v) const {
    uint8_t code = 0;
    if (v.sx < left_) code |= SW_CLIP_LEFT;
    if (v.sx > right_) code |= SW_CLIP_RIGHT;
    if (v.sy < top_) code |= SW_CLIP_TOP;
    if (v.sy > bottom_) code |= SW_CLIP_BOTTOM;
    // A coordinate that is not a number lies outside every edge.
    if (std::isnan(v.sx) || std::isnan(v.sy))
        code = SW_CLIP_LEFT | SW_CLIP_RIGHT | SW_CLIP_TOP | SW_CLIP_BOTTOM;
    return code;
}

int SwRasteriserContext::clip_test(const OmTLVertex* vertices, uint32_t count) {
    if (codes_.size() < count) codes_.resize(size_t(count) + 64);
    uint8_t any = 0, all = 0xFF;
    for (uint32_t k = 0; k < count; ++k) {
        uint8_t code = clip_code(vertices[k]);
        codes_[k] = code;
        any |= code;
        all &= code;
    }
    if (!any) return SW_CLIP_INSIDE;
    if (all) return SW_CLIP_OUTSIDE;
    return SW_CLIP_PARTLY;
}

bool SwRasteriserContext::list_form(uint32_t type, const uint16_t* indices, uint32_t count,
                                    std::vector<uint32_t>& out) {
    out.clear();
    auto at = [indices](uint32_t k) { return indices ? uint32_t(indices[k]) : k; };
    switch (type) {
    case OM_PRIMITIVE_TRIANGLE_LIST:
        for (uint32_t k = 0; k + 3 <= count; k += 3)
            out.insert(out.end(), {at(k), at(k + 1), at(k + 2)});
        return true;
    case OM_PRIMITIVE_TRIANGLE_STRIP:
        for (uint32_t k = 0; k + 2 < count; ++k) {
            if (k % 2 == 0)
                out.insert(out.end(), {at(k), at(k + 1), at(k + 2)});
            else
                out.insert(out.end(), {at(k), at(k + 2), at(k + 1)});
        }
        return true;
    case OM_PRIMITIVE_TRIANGLE_FAN:
        for (uint32_t k = 0; k + 2 < count; ++k)
            out.insert(out.end(), {at(0), at(k + 1), at(k + 2)});
        return true;
    default: return false;
    }
}

OmResult SwRasteriserContext::clip_primitive(uint32_t type, const OmTLVertex* vertices,
                                             uint32_t count) {
    if (!list_form(type, nullptr, count, triples_)) return OM_E_FAIL;
    return clip_triangles(vertices, count);
}

OmResult SwRasteriserContext::clip_indexed_primitive(uint32_t type, const OmTLVertex* vertices,
                                                     uint32_t count, const uint16_t* indices,
                                                     uint32_t index_count) {
    if (!list_form(type, indices, index_count, triples_)) return OM_E_FAIL;
    for (uint32_t index : triples_)
        if (index >= count) return OM_E_FAIL;
    return clip_triangles(vertices, count);
}

uint32_t SwRasteriserContext::add_vertex(const OmTLVertex& v, uint8_t code) {
    if (out_vertices_.size() >= max_output_vertices) {
        overflow_ = true;
        return 0;
    }
    out_vertices_.push_back(v);
    out_codes_.push_back(code);
    return uint32_t(out_vertices_.size() - 1);
}

OmResult SwRasteriserContext::clip_triangles(const OmTLVertex* vertices, uint32_t count) {
    out_vertices_.clear();
    out_indices_.clear();
    out_codes_.clear();
    overflow_ = false;
    if (count > max_output_vertices) return OM_E_FAIL;
    out_vertices_.assign(vertices, vertices + count);
    out_codes_.assign(codes_.begin(), codes_.begin() + count);
    for (size_t k = 0; k + 3 <= triples_.size(); k += 3) {
        uint32_t i0 = triples_[k], i1 = triples_[k + 1], i2 = triples_[k + 2];
        uint8_t c0 = out_codes_[i0], c1 = out_codes_[i1], c2 = out_codes_[i2];
        if (c0 & c1 & c2) continue;
        if (!(c0 | c1 | c2)) {
            out_indices_.insert(out_indices_.end(), {uint16_t(i0), uint16_t(i1), uint16_t(i2)});
            continue;
        }
        if (!clip_polygon(i0, i1, i2)) break;
    }
    if (overflow_) {
        out_indices_.clear();
        return OM_E_FAIL;
    }
    return out_indices_.empty() ? 1 : OM_S_OK;
}

bool SwRasteriserContext::clip_polygon(uint32_t i0, uint32_t i1, uint32_t i2) {
    polygon_.assign({i0, i1, i2});
    static constexpr uint8_t edges[4] = {SW_CLIP_LEFT, SW_CLIP_RIGHT, SW_CLIP_TOP, SW_CLIP_BOTTOM};
    uint8_t remaining = SW_CLIP_LEFT | SW_CLIP_RIGHT | SW_CLIP_TOP | SW_CLIP_BOTTOM;
    for (uint8_t edge : edges) {
        remaining &= uint8_t(~edge);
        uint8_t any = 0;
        for (uint32_t i : polygon_) any |= out_codes_[i];
        if (!(any & edge)) continue;
        bool vertical = edge == SW_CLIP_LEFT || edge == SW_CLIP_RIGHT;
        double at = edge == SW_CLIP_LEFT    ? left_
                    : edge == SW_CLIP_RIGHT ? right_
                    : edge == SW_CLIP_TOP   ? top_
                                            : bottom_;
        next_polygon_.clear();
        for (size_t k = 0; k < polygon_.size(); ++k) {
            uint32_t ia = polygon_[k], ib = polygon_[(k + 1) % polygon_.size()];
            bool in_a = !(out_codes_[ia] & edge), in_b = !(out_codes_[ib] & edge);
            if (in_a) next_polygon_.push_back(ia);
            if (in_a == in_b) continue;
            // Copies: add_vertex may move the buffer.
            OmTLVertex a = out_vertices_[ia], b = out_vertices_[ib];
            float ca = vertical ? a.sx : a.sy, cb = vertical ? b.sx : b.sy;
            float t = float((at - ca) / (double(cb) - ca));
            OmTLVertex made = a;
            interpolate_(t, a, b, made);
            if (vertical) {
                made.sx = float(at);
                made.sy = linear(t, a.sy, b.sy);
            } else {
                made.sy = float(at);
                made.sx = linear(t, a.sx, b.sx);
            }
            uint8_t code = uint8_t(clip_code(made) & remaining);
            uint32_t index = add_vertex(made, code);
            if (overflow_) return false;
            next_polygon_.push_back(index);
        }
        polygon_.swap(next_polygon_);
        if (polygon_.size() < 3) return true;
    }
    for (size_t k = 1; k + 1 < polygon_.size(); ++k)
        out_indices_.insert(out_indices_.end(), {uint16_t(polygon_[0]), uint16_t(polygon_[k]),
                                                 uint16_t(polygon_[k + 1])});
    return true;
}

void SwRasteriserContext::clipped_output(uint32_t* type, const OmTLVertex** vertices,
                                         uint32_t* vertex_count, const uint16_t** indices,
                                         uint32_t* index_count) const {
    *type = OM_PRIMITIVE_TRIANGLE_LIST;
    *vertices = out_vertices_.data();
    *vertex_count = uint32_t(out_vertices_.size());
    *indices = out_indices_.data();
    *index_count = uint32_t(out_indices_.size());
}
