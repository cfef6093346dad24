// The shadow projector: box bounds from the matrix, the world triangles inside them, each
// clipped against the box faces (Sutherland-Hodgman), given texture coordinates across the
// box and an alpha, and drawn in immediate mode.
#include "game/world/tv_shadows.h"

#include "game/world/tv_world_triangles.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int32_t kMaxClipVertices = 3 + 6;

LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(LgVector a, LgVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
LgVector unit(LgVector a) {
    LgVector out{};
    LgVectorNormalize(&out, &a);
    return out;
}
LgVector cross(LgVector a, LgVector b) {
    LgVector out;
    LgVectorCrossProduct(&out, &a, &b);
    return out;
}

// The box's six faces: outward unit normal and a point on the face, in outcode bit order
// (1, 2, 4, 8, 0x10, 0x20).
struct Faces {
    LgVector normal[6];
    LgVector point[6];
};

struct ClipVertex {
    LgVector position;
    uint32_t outcode;
    float alpha;
    float u, v;
    float distance[6]; // signed, positive outside
};

int32_t face_index(uint32_t bit) {
    return std::countr_zero(bit);
}

void classify(const Faces& faces, ClipVertex& vertex) {
    vertex.outcode = 0;
    for (int32_t f = 0; f < 6; ++f) {
        vertex.distance[f] = dot(faces.normal[f], sub(vertex.position, faces.point[f]));
        if (vertex.distance[f] > 0.0f) vertex.outcode |= 1u << f;
    }
}

// The corner (x, y, z) of the box in world space.
LgVector corner(const LgMatrix& m, float x, float y, float z) {
    return add(m.pos, add(scale(m.right, x), add(scale(m.up, y), scale(m.at, z))));
}

Faces build_faces(const LgMatrix& m, float w, float l) {
    const LgVector centre = corner(m, 0.0f, 0.0f, l * 0.5f);
    // Side normals from an edge across the box and an edge along it.
    const LgVector along = sub(corner(m, w, w, l), corner(m, w, w, 0.0f));
    const LgVector across_up = sub(corner(m, w, w, 0.0f), corner(m, w, -w, 0.0f));
    const LgVector across_right = sub(corner(m, w, w, 0.0f), corner(m, -w, w, 0.0f));
    const LgVector right_n = unit(cross(across_up, along));
    const LgVector up_n = unit(cross(along, across_right));
    const LgVector at_n = unit(m.at);
    Faces faces;
    const LgVector normals[6] = {up_n, scale(right_n, -1.0f), scale(up_n, -1.0f), right_n,
                                 at_n, scale(at_n, -1.0f)};
    const LgVector points[6] = {corner(m, w, w, 0.0f),    corner(m, -w, -w, 0.0f),
                                corner(m, -w, -w, 0.0f),  corner(m, w, w, 0.0f),
                                corner(m, 0.0f, 0.0f, l), m.pos};
    for (int32_t f = 0; f < 6; ++f) {
        // Outward whatever the matrix's handedness.
        const bool inward = dot(normals[f], sub(points[f], centre)) < 0.0f;
        faces.normal[f] = inward ? scale(normals[f], -1.0f) : normals[f];
        faces.point[f] = points[f];
    }
    return faces;
}

// Sutherland-Hodgman against one face: vertices inside stay, crossing edges add the point
// where they meet the face (classified afresh).
int32_t clip_against(const Faces& faces, int32_t f, const ClipVertex* in, int32_t count,
                     ClipVertex* out) {
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % count];
        const bool a_in = a.distance[f] <= 0.0f;
        const bool b_in = b.distance[f] <= 0.0f;
        if (a_in && n < kMaxClipVertices) out[n++] = a;
        if (a_in != b_in && n < kMaxClipVertices) {
            const float t = a.distance[f] / (a.distance[f] - b.distance[f]);
            ClipVertex c{};
            c.position = add(a.position, scale(sub(b.position, a.position), t));
            classify(faces, c);
            // The new point lies on this face.
            c.distance[f] = 0.0f;
            c.outcode &= ~(1u << f);
            out[n++] = c;
        }
    }
    return n;
}

uint8_t alpha_byte(const LgMatrix& m, LgVector p, float l, const TvShadowStyle& style,
                   bool clipped) {
    if (!style.plane) {
        const float a = std::clamp(style.opacity, 0.0f, 1.0f) * 255.0f;
        return static_cast<uint8_t>(a);
    }
    if (clipped && !style.fade) return 254;
    const LgVector d = sub(m.pos, p);
    const float f = 255.0f - std::sqrt(dot(d, d)) * (2.0f / l) * 255.0f;
    return static_cast<uint8_t>(std::clamp(f, 0.0f, 100.0f));
}

void emit(const LgMatrix& m, float w, float l, const TvShadowStyle& style,
          const ClipVertex* polygon, int32_t count, bool clipped, TvShadowSink sink,
          void* context) {
    LgIm3DVertex vertices[kMaxClipVertices];
    const LgVector origin = sub(m.pos, m.at);
    for (int32_t i = 0; i < count; ++i) {
        const LgVector p = polygon[i].position;
        const LgVector rel = sub(origin, p);
        LgIm3DVertex& v = vertices[i];
        v.position = p;
        if (clipped) v.position.y += kTvShadowClipLift;
        v.normal = {0.0f, 1.0f, 0.0f};
        v.color = {255, 255, 255, alpha_byte(m, p, l, style, clipped)};
        v.u = 0.5f + dot(m.right, rel) * 0.5f / w;
        v.v = 0.5f + dot(m.up, rel) * 0.5f / w;
    }
    sink(vertices, count, clipped, context);
}

void draw_piece(const LgIm3DVertex* vertices, int32_t count, bool clipped, void*) {
    if (!LgIm3DTransform(vertices, count, nullptr, 1)) return;
    if (!clipped) {
        LgIm3DRenderTriangle(0, 1, 2);
    } else {
        for (int32_t i = 0; i + 2 < count; ++i) LgIm3DRenderTriangle(0, i + 1, i + 2);
    }
    LgIm3DEnd();
}

void set_texture(LgTexture* texture) {
    LgRenderStateSet(1, texture ? LgTextureGetRaster(texture) : nullptr);
}

} // namespace

void TvProjectShadow(const LgMatrix* matrix, LgWorld* world, float half_width, float length,
                     const TvShadowStyle& style, TvShadowSink sink, void* context) {
    if (!matrix || !world || !sink || !(half_width > 0.0f) || !(length > 0.0f)) return;
    const LgMatrix& m = *matrix;
    const float w = half_width;
    const float l = length;

    // Bounds of the eight corners, kept inside the world's box.
    const LgBBox* world_box = LgWorldGetBoundingBox(world);
    LgVector lower{1e30f, 1e30f, 1e30f};
    LgVector upper{-1e30f, -1e30f, -1e30f};
    for (float z : {l, 0.0f})
        for (float y : {w, -w})
            for (float x : {w, -w}) {
                const LgVector c = corner(m, x, y, z);
                lower = {std::min(lower.x, c.x), std::min(lower.y, c.y), std::min(lower.z, c.z)};
                upper = {std::max(upper.x, c.x), std::max(upper.y, c.y), std::max(upper.z, c.z)};
            }
    lower = {std::max(lower.x, world_box->inf.x), std::max(lower.y, world_box->inf.y),
             std::max(lower.z, world_box->inf.z)};
    upper = {std::min(upper.x, world_box->sup.x), std::min(upper.y, world_box->sup.y),
             std::min(upper.z, world_box->sup.z)};
    if (lower.x > upper.x || lower.y > upper.y || lower.z > upper.z) return;

    const Faces faces = build_faces(m, w, l);
    TvCollisionTriangle triangles[kTvShadowTriangleCapacity];
    const int32_t count =
        TvGatherWorldTriangles(world, &upper, &lower, kTvShadowTriangleCapacity, triangles);

    for (int32_t t = 0; t < count; ++t) {
        ClipVertex polygon[kMaxClipVertices];
        uint32_t all_out = ~0u;
        uint32_t any_out = 0;
        for (int32_t k = 0; k < 3; ++k) {
            polygon[k] = {};
            polygon[k].position = *triangles[t].vertices[k];
            classify(faces, polygon[k]);
            all_out &= polygon[k].outcode;
            any_out |= polygon[k].outcode;
        }
        if (all_out != 0) continue; // wholly beyond one face
        if (any_out == 0) {
            emit(m, w, l, style, polygon, 3, false, sink, context);
            continue;
        }
        int32_t n = 3;
        for (uint32_t bit : kTvShadowClipOrder) {
            if (!(any_out & bit)) continue;
            ClipVertex next[kMaxClipVertices];
            n = clip_against(faces, face_index(bit), polygon, n, next);
            std::copy(next, next + n, polygon);
            if (n < 3) break;
        }
        if (n >= 3) emit(m, w, l, style, polygon, n, true, sink, context);
    }
}

void TvDrawPlaneShadow(const LgMatrix* matrix, LgWorld* world, LgTexture* texture, float half_width,
                       float length, int32_t fade) {
    set_texture(texture);
    TvProjectShadow(matrix, world, half_width, length, {true, fade, 0.0f}, draw_piece, nullptr);
}

void TvDrawGroundShadow(const LgMatrix* matrix, LgWorld* world, LgTexture* texture,
                        float half_width, float length, float opacity) {
    set_texture(texture);
    TvProjectShadow(matrix, world, half_width, length, {false, 0, opacity}, draw_piece, nullptr);
}
