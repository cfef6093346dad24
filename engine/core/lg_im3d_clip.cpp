// The immediate-mode clipper: triangles and lines cut against the near, far, y and x planes
// of the view volume (Sutherland and Hodgman's re-entrant polygon clipping), the new vertices
// projected, and the polygons submitted as fans.
#include "engine/core/lg_im3d.h"

namespace {

// The order the planes are cut in; a new vertex is tested against the planes after its own.
constexpr uint32_t planeOrder[] = {LgClipNear,   LgClipFar,  LgClipTop,
                                   LgClipBottom, LgClipLeft, LgClipRight};

// At most three vertices plus one a plane; the ring keeps its room for sixteen.
constexpr int ringSize = 16;

struct Ring {
    int32_t v[ringSize]; // buffer entries, absolute
    int n = 0;
};

uint32_t later_planes(uint32_t plane) {
    uint32_t mask = 0;
    bool after = false;
    for (uint32_t p : planeOrder) {
        if (after) mask |= p;
        if (p == plane) after = true;
    }
    return mask;
}

uint8_t lerp_channel(uint32_t a, uint32_t b, int shift, int32_t f) {
    const int32_t ca = static_cast<int32_t>((a >> shift) & 0xff);
    const int32_t cb = static_cast<int32_t>((b >> shift) & 0xff);
    return static_cast<uint8_t>(ca + (((cb - ca) * f) >> 8));
}

// Where the edge from a (outside) to b meets the plane, as a fraction of the edge.
template <bool Parallel>
float plane_parameter(const LgIm3DCameraVertex& a, const LgIm3DCameraVertex& b, uint32_t plane,
                      const LgIm3DProjection& p) {
    switch (plane) {
    case LgClipNear: return (p.nearClip - a.z) / (b.z - a.z);
    case LgClipFar: return (p.farClip - a.z) / (b.z - a.z);
    case LgClipTop: return -a.y / (b.y - a.y);
    case LgClipLeft: return -a.x / (b.x - a.x);
    case LgClipBottom:
        if (Parallel) return (1.0f - a.y) / (b.y - a.y);
        return (a.y - a.z) / ((a.y - a.z) - (b.y - b.z));
    default: // LgClipRight
        if (Parallel) return (1.0f - a.x) / (b.x - a.x);
        return (a.x - a.z) / ((a.x - a.z) - (b.x - b.z));
    }
}

// Makes the vertex where the edge from `out` (outside the plane) to `in` crosses it, at the
// next free buffer entry; returns that entry.
template <bool Parallel>
int32_t intersect_plane(int32_t out, int32_t in, uint32_t plane) {
    LgIm3DState& s = LgIm3DGlobal;
    const LgIm3DProjection& p = s.projection;
    const int32_t made = s.current->nextFree++;
    const LgIm3DCameraVertex& a = s.cameraVertices[out];
    const LgIm3DCameraVertex& b = s.cameraVertices[in];
    float t = plane_parameter<Parallel>(a, b, plane, p);
    // An edge from -0 to +0 on a sign plane has no length to divide by (NaN): take its end.
    if (!(t >= 0.0f)) t = 0.0f;
    if (t > 1.0f) t = 1.0f;
    LgIm3DCameraVertex& c = s.cameraVertices[made];
    c.x = a.x + (b.x - a.x) * t;
    c.y = a.y + (b.y - a.y) * t;
    c.z = a.z + (b.z - a.z) * t;
    c.u = a.u + (b.u - a.u) * t;
    c.v = a.v + (b.v - a.v) * t;
    // The coordinate the plane fixes is set exactly, so the new vertex is not found outside
    // the same plane again by rounding.
    switch (plane) {
    case LgClipNear: c.z = p.nearClip; break;
    case LgClipFar: c.z = p.farClip; break;
    case LgClipTop: c.y = 0.0f; break;
    case LgClipLeft: c.x = 0.0f; break;
    case LgClipBottom: c.y = Parallel ? 1.0f : c.z; break;
    default: c.x = Parallel ? 1.0f : c.z; break;
    }
    c.clipFlags = plane | (LgIm3DClipCode(c.x, c.y, c.z, p) & later_planes(plane));
    const int32_t f = static_cast<int32_t>(t * 255.0f) & 255;
    const uint32_t ca = s.screenVertices[out].colour, cb = s.screenVertices[in].colour;
    s.screenVertices[made].colour = static_cast<uint32_t>(lerp_channel(ca, cb, 24, f)) << 24 |
                                    static_cast<uint32_t>(lerp_channel(ca, cb, 16, f)) << 16 |
                                    static_cast<uint32_t>(lerp_channel(ca, cb, 8, f)) << 8 |
                                    lerp_channel(ca, cb, 0, f);
    return made;
}

// One re-entrant pass over the polygon's edges (last, first), (first, second) ...
template <bool Parallel>
void clip_polygon_plane(Ring& ring, uint32_t plane) {
    const LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices;
    Ring out;
    int32_t prev = ring.v[ring.n - 1];
    for (int i = 0; i < ring.n; ++i) {
        const int32_t cur = ring.v[i];
        const bool prevIn = (cam[prev].clipFlags & plane) == 0;
        const bool curIn = (cam[cur].clipFlags & plane) == 0;
        if (prevIn) out.v[out.n++] = prev;
        if (prevIn != curIn && out.n < ringSize)
            out.v[out.n++] = prevIn ? intersect_plane<Parallel>(cur, prev, plane)
                                    : intersect_plane<Parallel>(prev, cur, plane);
        prev = cur;
    }
    ring = out;
}

uint32_t ring_codes(const Ring& ring) {
    uint32_t codes = 0;
    for (int i = 0; i < ring.n; ++i) codes |= LgIm3DGlobal.cameraVertices[ring.v[i]].clipFlags;
    return codes;
}

// Cuts the polygon against every plane its vertices violate; false when nothing is left.
template <bool Parallel>
bool clip_polygon(Ring& ring) {
    constexpr uint32_t groups[3][2] = {
        {LgClipNear, LgClipFar}, {LgClipTop, LgClipBottom}, {LgClipLeft, LgClipRight}};
    uint32_t codes = ring_codes(ring);
    for (const auto& group : groups) {
        if ((codes & (group[0] | group[1])) == 0) continue;
        for (uint32_t plane : group) {
            if ((codes & plane) == 0) continue;
            clip_polygon_plane<Parallel>(ring, plane);
            if (ring.n < 3) return false;
        }
        codes = ring_codes(ring);
    }
    return true;
}

// Screen values of a vertex made by clipping; a coordinate on a side plane lands exactly on
// the raster's edge.
template <bool Parallel>
void project_vertex(int32_t index) {
    LgIm3DState& s = LgIm3DGlobal;
    const LgIm3DProjection& p = s.projection;
    const LgIm3DCameraVertex& c = s.cameraVertices[index];
    LgIm3DScreenVertex& v = s.screenVertices[index];
    const uint32_t code = c.clipFlags & 0x3f;
    const float r = Parallel ? 1.0f : 1.0f / c.z;
    v.recipZ = r;
    v.specular = LgIm3DFogForDepth(c.z, p);
    switch (code & (LgClipLeft | LgClipRight)) {
    case LgClipLeft: v.x = p.xOffset; break;
    case LgClipRight: v.x = p.xOffset + p.xScale; break;
    default: v.x = (Parallel ? c.x : c.x * r) * p.xScale + p.xOffset; break;
    }
    switch (code & (LgClipTop | LgClipBottom)) {
    case LgClipTop: v.y = p.yOffset; break;
    case LgClipBottom: v.y = p.yOffset + p.yScale; break;
    default: v.y = (Parallel ? c.y : c.y * r) * p.yScale + p.yOffset; break;
    }
    if (code == LgClipNear)
        v.z = p.nearScreenZ;
    else if (code == LgClipFar)
        v.z = p.farScreenZ;
    else
        v.z = p.zScale * (Parallel ? c.z : r) + p.zOffset;
    v.u = c.u;
    v.v = c.v;
}

template <bool Parallel>
void project_ring(const Ring& ring) {
    for (int i = 0; i < ring.n; ++i)
        if ((LgIm3DGlobal.cameraVertices[ring.v[i]].clipFlags & 0x3f) != 0)
            project_vertex<Parallel>(ring.v[i]);
}

template <bool Parallel>
void clip_triangle(int32_t i0, int32_t i1, int32_t i2) {
    LgIm3DState& s = LgIm3DGlobal;
    const int32_t first = s.current->first;
    Ring ring;
    ring.v[0] = first + i0;
    ring.v[1] = first + i1;
    ring.v[2] = first + i2;
    ring.n = 3;
    if (!clip_polygon<Parallel>(ring)) return;
    project_ring<Parallel>(ring);
    if (!s.gouraud) {
        // Flat shading takes each triangle's colour from its first vertex, which in a fan is
        // the ring's start: bring the triangle's own first vertex there, or give its colour
        // to the new vertex that took its place.
        for (int turns = 0; turns < ring.n; ++turns) {
            const int32_t start = ring.v[0];
            if (start == first + i0) break;
            if (start != first + i1 && start != first + i2) {
                s.screenVertices[start].colour = s.screenVertices[first + i0].colour;
                break;
            }
            for (int k = 0; k + 1 < ring.n; ++k) ring.v[k] = ring.v[k + 1];
            ring.v[ring.n - 1] = start;
        }
    }
    for (int k = 1; k + 1 < ring.n; ++k)
        s.hooks.submitTriangle(ring.v[0] - first, ring.v[k] - first, ring.v[k + 1] - first);
}

template <bool Parallel>
void clip_line(int32_t i0, int32_t i1) {
    LgIm3DState& s = LgIm3DGlobal;
    const int32_t first = s.current->first;
    int32_t ends[2] = {first + i0, first + i1};
    for (uint32_t plane : planeOrder) {
        const uint32_t c0 = s.cameraVertices[ends[0]].clipFlags;
        const uint32_t c1 = s.cameraVertices[ends[1]].clipFlags;
        if ((c0 | c1) & plane) {
            if (c0 & c1 & plane) return;
            const int out = (c0 & plane) != 0 ? 0 : 1;
            ends[out] = intersect_plane<Parallel>(ends[out], ends[1 - out], plane);
        }
    }
    for (int32_t e : ends)
        if ((s.cameraVertices[e].clipFlags & 0x3f) != 0) project_vertex<Parallel>(e);
    s.hooks.submitLine(ends[0] - first, ends[1] - first);
}

} // namespace

void LgIm3DClipTrianglePerspective(int32_t i0, int32_t i1, int32_t i2) {
    clip_triangle<false>(i0, i1, i2);
}

void LgIm3DClipTriangleParallel(int32_t i0, int32_t i1, int32_t i2) {
    clip_triangle<true>(i0, i1, i2);
}

void LgIm3DClipLinePerspective(int32_t i0, int32_t i1) {
    clip_line<false>(i0, i1);
}

void LgIm3DClipLineParallel(int32_t i0, int32_t i1) {
    clip_line<true>(i0, i1);
}
