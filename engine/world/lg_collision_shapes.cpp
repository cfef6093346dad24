// The shape tests of the collision queries: segment against triangle (one-sided), sphere
// against triangle, and triangle against box through the triangle-cube test of Voorhies
// (Graphics Gems III, "Triangle-Cube Intersection").
#include "engine/core/lg_vector.h"
#include "engine/world/lg_collision.h"

#include <algorithm>
#include <cmath>

namespace {

LgVector sub(const LgVector& a, const LgVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector cross(const LgVector& a, const LgVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float dot(const LgVector& a, const LgVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
LgVector lerp(const LgVector& a, const LgVector& b, float t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

// --- Voorhies: a triangle against the unit cube centred on the origin --------------------

constexpr float cubeEpsilon = 1e-5f;

uint32_t face_plane(const LgVector& p) {
    uint32_t code = 0;
    if (p.x > 0.5f) code |= 0x01;
    if (p.x < -0.5f) code |= 0x02;
    if (p.y > 0.5f) code |= 0x04;
    if (p.y < -0.5f) code |= 0x08;
    if (p.z > 0.5f) code |= 0x10;
    if (p.z < -0.5f) code |= 0x20;
    return code;
}

uint32_t bevel_2d(const LgVector& p) {
    uint32_t code = 0;
    if (p.x + p.y > 1.0f) code |= 0x001;
    if (p.x - p.y > 1.0f) code |= 0x002;
    if (-p.x + p.y > 1.0f) code |= 0x004;
    if (-p.x - p.y > 1.0f) code |= 0x008;
    if (p.x + p.z > 1.0f) code |= 0x010;
    if (p.x - p.z > 1.0f) code |= 0x020;
    if (-p.x + p.z > 1.0f) code |= 0x040;
    if (-p.x - p.z > 1.0f) code |= 0x080;
    if (p.y + p.z > 1.0f) code |= 0x100;
    if (p.y - p.z > 1.0f) code |= 0x200;
    if (-p.y + p.z > 1.0f) code |= 0x400;
    if (-p.y - p.z > 1.0f) code |= 0x800;
    return code;
}

uint32_t bevel_3d(const LgVector& p) {
    uint32_t code = 0;
    if (p.x + p.y + p.z > 1.5f) code |= 0x01;
    if (p.x + p.y - p.z > 1.5f) code |= 0x02;
    if (p.x - p.y + p.z > 1.5f) code |= 0x04;
    if (p.x - p.y - p.z > 1.5f) code |= 0x08;
    if (-p.x + p.y + p.z > 1.5f) code |= 0x10;
    if (-p.x + p.y - p.z > 1.5f) code |= 0x20;
    if (-p.x - p.y + p.z > 1.5f) code |= 0x40;
    if (-p.x - p.y - p.z > 1.5f) code |= 0x80;
    return code;
}

bool point_on_face(const LgVector& a, const LgVector& b, float alpha, uint32_t mask) {
    return (face_plane(lerp(a, b, alpha)) & mask) == 0;
}

// Whether the edge meets a cube face where its outcodes say it crosses one.
bool edge_hits_cube(const LgVector& a, const LgVector& b, uint32_t crossed) {
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    if ((crossed & 0x01) && point_on_face(a, b, (0.5f - a.x) / dx, 0x3e)) return true;
    if ((crossed & 0x02) && point_on_face(a, b, (-0.5f - a.x) / dx, 0x3d)) return true;
    if ((crossed & 0x04) && point_on_face(a, b, (0.5f - a.y) / dy, 0x3b)) return true;
    if ((crossed & 0x08) && point_on_face(a, b, (-0.5f - a.y) / dy, 0x37)) return true;
    if ((crossed & 0x10) && point_on_face(a, b, (0.5f - a.z) / dz, 0x2f)) return true;
    if ((crossed & 0x20) && point_on_face(a, b, (-0.5f - a.z) / dz, 0x1f)) return true;
    return false;
}

uint32_t sign3(const LgVector& v) {
    return (v.x < cubeEpsilon ? 4u : 0u) | (v.x > -cubeEpsilon ? 32u : 0u) |
           (v.y < cubeEpsilon ? 2u : 0u) | (v.y > -cubeEpsilon ? 16u : 0u) |
           (v.z < cubeEpsilon ? 1u : 0u) | (v.z > -cubeEpsilon ? 8u : 0u);
}

bool point_in_triangle(const LgVector& p, const LgVector& a, const LgVector& b, const LgVector& c) {
    if (p.x > std::max({a.x, b.x, c.x}) || p.y > std::max({a.y, b.y, c.y}) ||
        p.z > std::max({a.z, b.z, c.z}) || p.x < std::min({a.x, b.x, c.x}) ||
        p.y < std::min({a.y, b.y, c.y}) || p.z < std::min({a.z, b.z, c.z}))
        return false;
    const uint32_t s12 = sign3(cross(sub(a, b), sub(a, p)));
    const uint32_t s23 = sign3(cross(sub(b, c), sub(b, p)));
    const uint32_t s31 = sign3(cross(sub(c, a), sub(c, p)));
    return (s12 & s23 & s31) != 0;
}

bool triangle_hits_unit_cube(const LgVector& a, const LgVector& b, const LgVector& c) {
    uint32_t ca = face_plane(a), cb = face_plane(b), cc = face_plane(c);
    if (ca == 0 || cb == 0 || cc == 0) return true;
    if ((ca & cb & cc) != 0) return false;
    ca |= bevel_2d(a) << 8;
    cb |= bevel_2d(b) << 8;
    cc |= bevel_2d(c) << 8;
    if ((ca & cb & cc) != 0) return false;
    ca |= bevel_3d(a) << 24;
    cb |= bevel_3d(b) << 24;
    cc |= bevel_3d(c) << 24;
    if ((ca & cb & cc) != 0) return false;
    if ((ca & cb) == 0 && edge_hits_cube(a, b, ca | cb)) return true;
    if ((ca & cc) == 0 && edge_hits_cube(a, c, ca | cc)) return true;
    if ((cb & cc) == 0 && edge_hits_cube(b, c, cb | cc)) return true;
    // The cube's four diagonals against the triangle.
    const LgVector n = cross(sub(a, b), sub(b, c));
    const float d = dot(n, a);
    const struct {
        float denominator;
        LgVector direction;
    } diagonals[] = {{n.x + n.y + n.z, {1, 1, 1}},
                     {n.x + n.y - n.z, {1, 1, -1}},
                     {n.x - n.y + n.z, {1, -1, 1}},
                     {n.x - n.y - n.z, {1, -1, -1}}};
    for (const auto& g : diagonals) {
        if (std::fabs(g.denominator) <= cubeEpsilon) continue;
        const float t = d / g.denominator;
        const LgVector hit = {t * g.direction.x, t * g.direction.y, t * g.direction.z};
        if (std::fabs(hit.x) <= 0.5f && point_in_triangle(hit, a, b, c)) return true;
    }
    return false;
}

uint32_t box_outcode(const LgVector& p, const LgBBox& box) {
    uint32_t code = 0;
    if (p.x >= box.sup.x) code |= 0x01;
    if (p.x < box.inf.x) code |= 0x02;
    if (p.y >= box.sup.y) code |= 0x04;
    if (p.y < box.inf.y) code |= 0x08;
    if (p.z >= box.sup.z) code |= 0x10;
    if (p.z < box.inf.z) code |= 0x20;
    return code;
}

} // namespace

// Moller-Trumbore without the early division; the determinant's sign makes it one-sided.
bool LgCollisionLineTriangle(const LgVector& start, const LgVector& delta, const LgVector& a,
                             const LgVector& b, const LgVector& c, float* distance) {
    const LgVector e1 = sub(b, a), e2 = sub(c, a);
    const LgVector p = cross(delta, e2);
    const float det = dot(e1, p);
    if (!(det > 1e-8f)) return false;
    const LgVector t = sub(start, a);
    const float u = dot(t, p);
    if (u < 0.0f || u > det) return false;
    const LgVector q = cross(t, e1);
    const float w = dot(delta, q);
    if (w < 0.0f || u + w > det) return false;
    const float along = dot(e2, q);
    if (along < 0.0f || along > det) return false;
    *distance = along / det;
    return true;
}

bool LgCollisionSphereTriangle(const LgVector& centre, float radius, const LgVector& a,
                               const LgVector& b, const LgVector& c, LgVector* normal,
                               float* distance) {
    const LgVector va = sub(a, centre), vb = sub(b, centre), vc = sub(c, centre);
    const float r = radius;
    for (int axis = 0; axis < 3; ++axis) {
        const float x = (&va.x)[axis], y = (&vb.x)[axis], z = (&vc.x)[axis];
        if ((x >= r && y >= r && z >= r) || (x < -r && y < -r && z < -r)) return false;
    }
    LgVector n = cross(sub(b, a), sub(c, a));
    const float n2 = dot(n, n);
    if (!(n2 > 0.0f)) return false;
    const float inv = 1.0f / std::sqrt(n2);
    n = {n.x * inv, n.y * inv, n.z * inv};
    const float dist = dot(n, va);
    if (!(-r < dist && dist < r)) return false;
    const float r2 = r * r;
    const float a2 = dot(va, va), b2 = dot(vb, vb), c2 = dot(vc, vc);
    const auto hit = [&] {
        *normal = n;
        *distance = -dist / r;
        return true;
    };
    if (a2 < r2 || b2 < r2 || c2 < r2) return hit();
    // Vertex regions: the vertex nearest the centre, and the other two beyond it.
    const LgVector *v = &va, *w1 = &vb, *w2 = &vc;
    float v2 = a2;
    if (b2 <= v2) v = &vb, w1 = &va, w2 = &vc, v2 = b2;
    if (c2 < v2) v = &vc, w1 = &va, w2 = &vb, v2 = c2;
    if (dot(*w1, *v) >= v2 && dot(*w2, *v) >= v2) return false;
    // Edge regions.
    const LgVector* edges[3][3] = {{&va, &vb, &vc}, {&vb, &vc, &va}, {&vc, &va, &vb}};
    for (const auto& e : edges) {
        const LgVector &x = *e[0], &y = *e[1], &z = *e[2];
        const LgVector xy = sub(y, x);
        const float len2 = dot(xy, xy);
        if (!(len2 > 0.0f)) continue;
        const float k = dot(xy, x) / len2;
        const LgVector p = {x.x - xy.x * k, x.y - xy.y * k, x.z - xy.z * k};
        const float p2 = dot(p, p);
        if (p2 > r2 && dot(z, p) > p2) return false;
    }
    return hit();
}

bool LgCollisionBoxTriangle(const LgBBox& box, const LgVector& a, const LgVector& b,
                            const LgVector& c) {
    const uint32_t ca = box_outcode(a, box), cb = box_outcode(b, box), cc = box_outcode(c, box);
    if (ca == 0 || cb == 0 || cc == 0) return true;
    if ((ca & cb & cc) != 0) return false;
    const LgVector size = sub(box.sup, box.inf);
    if (!(size.x > 0.0f && size.y > 0.0f && size.z > 0.0f)) return false;
    const LgVector mid = {(box.sup.x + box.inf.x) * 0.5f, (box.sup.y + box.inf.y) * 0.5f,
                          (box.sup.z + box.inf.z) * 0.5f};
    const auto unit = [&](const LgVector& p) {
        return LgVector{(p.x - mid.x) / size.x, (p.y - mid.y) / size.y, (p.z - mid.z) / size.z};
    };
    return triangle_hits_unit_cube(unit(a), unit(b), unit(c));
}
