// Bounding spheres, vertex normals and the ready-made box, grid and one-atomic clump.
#include "tools/modelwriter/model_shapes.h"

#include <algorithm>
#include <cmath>

namespace modelwriter {

namespace {

Vec3 sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float length(Vec3 v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

} // namespace

Sphere bounding_sphere(const std::vector<Vec3>& points) {
    if (points.empty()) return {};
    Vec3 lo = points[0], hi = points[0];
    for (const Vec3& p : points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const Vec3 centre = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    float radius = 0;
    for (const Vec3& p : points) radius = std::max(radius, length(sub(p, centre)));
    return {centre, radius};
}

std::vector<Vec3> vertex_normals(const std::vector<Vec3>& positions,
                                 const std::vector<Triangle>& triangles) {
    std::vector<Vec3> sums(positions.size());
    for (const Triangle& t : triangles) {
        const Vec3 n =
            cross(sub(positions[t.b], positions[t.a]), sub(positions[t.c], positions[t.a]));
        for (uint16_t i : {t.a, t.b, t.c})
            sums[i] = {sums[i].x + n.x, sums[i].y + n.y, sums[i].z + n.z};
    }
    for (Vec3& n : sums) {
        const float l = length(n);
        if (l > 0) n = {n.x / l, n.y / l, n.z / l};
    }
    return sums;
}

Geometry make_box(Vec3 h, const Material& material) {
    // Each face: its outward axis and two in-plane axes with u x v = outward.
    struct Face {
        Vec3 normal, u, v;
    };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    Geometry g;
    g.flags = geometryTextured | geometryNormals | geometryLit;
    g.materials = {{-1, material}};
    MorphTarget target;
    for (const Face& f : faces) {
        const auto base = static_cast<uint16_t>(target.positions.size());
        for (int corner = 0; corner < 4; ++corner) {
            const float su = corner == 1 || corner == 2 ? 1.0f : -1.0f;
            const float sv = corner >= 2 ? 1.0f : -1.0f;
            target.positions.push_back({(f.normal.x + f.u.x * su + f.v.x * sv) * h.x,
                                        (f.normal.y + f.u.y * su + f.v.y * sv) * h.y,
                                        (f.normal.z + f.u.z * su + f.v.z * sv) * h.z});
            target.normals.push_back(f.normal);
            g.texCoords.push_back({(su + 1) / 2, (1 - sv) / 2});
        }
        g.triangles.push_back(
            {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2), 0});
        g.triangles.push_back(
            {base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3), 0});
    }
    target.sphere = bounding_sphere(target.positions);
    g.targets.push_back(std::move(target));
    return g;
}

Geometry make_grid(int cells, float size, const Material& material) {
    Geometry g;
    g.flags = geometryTextured | geometryNormals | geometryLit;
    g.materials = {{-1, material}};
    MorphTarget target;
    const int side = cells + 1;
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            target.positions.push_back({x * size, 0, z * size});
            target.normals.push_back({0, 1, 0});
            g.texCoords.push_back({static_cast<float>(x), static_cast<float>(z)});
        }
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x) {
            const auto i = static_cast<uint16_t>(z * side + x);
            const auto right = static_cast<uint16_t>(i + 1);
            const auto below = static_cast<uint16_t>(i + side);
            const auto diagonal = static_cast<uint16_t>(below + 1);
            // (b - a) x (c - a) points up (+y) for both halves of the cell.
            g.triangles.push_back({i, below, right, 0});
            g.triangles.push_back({right, below, diagonal, 0});
        }
    target.sphere = bounding_sphere(target.positions);
    g.targets.push_back(std::move(target));
    return g;
}

Clump single_atomic_clump(Geometry geometry) {
    Clump c;
    c.frames.push_back(Frame{});
    c.geometries.push_back(std::move(geometry));
    c.atomics.push_back(Atomic{});
    return c;
}

} // namespace modelwriter
