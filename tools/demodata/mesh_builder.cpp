// Appending shapes to a geometry with outward winding: (b - a) x (c - a) points out of the part.
#include "tools/demodata/mesh_builder.h"

#include "tools/modelwriter/model_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace demodata {

mw::Vec3 operator+(mw::Vec3 a, mw::Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
mw::Vec3 operator-(mw::Vec3 a, mw::Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
mw::Vec3 operator*(mw::Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
mw::Vec3 cross(mw::Vec3 a, mw::Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float dot(mw::Vec3 a, mw::Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
mw::Vec3 normalised(mw::Vec3 v) {
    const float l = std::sqrt(dot(v, v));
    return l > 0 ? v * (1.0f / l) : mw::Vec3{0, 1, 0};
}

mw::MaterialEntry textured(const std::string& texture) {
    mw::Material m;
    m.texture = mw::Texture{texture, "", mw::filterLinear, mw::addressWrap, mw::addressWrap, {}};
    return {-1, m};
}

mw::MaterialEntry painted(uint8_t r, uint8_t g, uint8_t b) {
    mw::Material m;
    m.colour = {r, g, b, 255};
    return {-1, m};
}

MeshBuilder::MeshBuilder(Shading shading) {
    g_.flags =
        mw::geometryTextured | mw::geometryPrelit | mw::geometryNormals | mw::geometryModulate;
    if (shading == Shading::lit) g_.flags |= mw::geometryLit;
    g_.targets.emplace_back();
}

uint16_t MeshBuilder::material(mw::MaterialEntry entry) {
    g_.materials.push_back(std::move(entry));
    return uint16_t(g_.materials.size() - 1);
}

uint16_t MeshBuilder::add_vertex(mw::Vec3 p, mw::TexCoord uv) {
    g_.targets[0].positions.push_back(p);
    g_.texCoords.push_back(uv);
    return uint16_t(g_.targets[0].positions.size() - 1);
}

void MeshBuilder::triangle(uint16_t a, uint16_t b, uint16_t c, uint16_t material) {
    g_.triangles.push_back({a, b, c, material});
}

void MeshBuilder::patch(mw::Vec3 origin, mw::Vec3 u, mw::Vec3 v, uint16_t material, float repeat) {
    const uint16_t a = add_vertex(origin, {0, repeat});
    const uint16_t b = add_vertex(origin + u, {repeat, repeat});
    const uint16_t c = add_vertex(origin + u + v, {repeat, 0});
    const uint16_t d = add_vertex(origin + v, {0, 0});
    triangle(a, b, c, material);
    triangle(a, c, d, material);
}

void MeshBuilder::box(mw::Vec3 c, mw::Vec3 h, uint16_t material, float repeat) {
    const mw::Vec3 x{2 * h.x, 0, 0}, y{0, 2 * h.y, 0}, z{0, 0, 2 * h.z};
    const mw::Vec3 lo = c - h;
    const mw::Vec3 hi = c + h;
    patch(lo + y, z, x, material, repeat);       // top: z x x = +y
    patch(lo, x, z, material, repeat);           // bottom: x x z = -y
    patch(lo, y, x, material, repeat);           // back: y x x = -z
    patch(hi, x * -1, y * -1, material, repeat); // front: x x y = +z
    patch(lo, z, y, material, repeat);           // left: z x y = -x
    patch(hi, y * -1, z * -1, material, repeat); // right: y x z = +x
}

void MeshBuilder::tube(mw::Vec3 from, mw::Vec3 axis, float length, float r0, float r1, int sides,
                       uint16_t material) {
    // e1 x e2 = axis, so the ring runs anticlockwise seen from the axis' end.
    const mw::Vec3 e1 = axis.z != 0   ? mw::Vec3{1, 0, 0}
                        : axis.x != 0 ? mw::Vec3{0, 1, 0}
                                      : mw::Vec3{0, 0, 1};
    const mw::Vec3 e2 = cross(axis, e1);
    const mw::Vec3 to = from + axis * length;
    std::vector<uint16_t> start, end;
    for (int i = 0; i <= sides; ++i) {
        const float a = 2.0f * std::numbers::pi_v<float> * float(i) / float(sides);
        const mw::Vec3 radial = e1 * std::cos(a) + e2 * std::sin(a);
        start.push_back(add_vertex(from + radial * r0, {float(i) / float(sides), 1}));
        end.push_back(add_vertex(to + radial * r1, {float(i) / float(sides), 0}));
    }
    for (int i = 0; i < sides; ++i) {
        triangle(start[i], start[i + 1], end[i + 1], material);
        triangle(start[i], end[i + 1], end[i], material);
    }
    const uint16_t back = add_vertex(from, {0.5f, 0.5f});
    const uint16_t front = add_vertex(to, {0.5f, 0.5f});
    for (int i = 0; i < sides; ++i) {
        triangle(back, start[i + 1], start[i], material);
        triangle(front, end[i], end[i + 1], material);
    }
}

void MeshBuilder::roof(float hx, float hz, float y0, float y1, uint16_t material) {
    // Ridge along z at x = 0.
    const mw::Vec3 ridgeBack{0, y1, -hz}, ridgeFront{0, y1, hz};
    const mw::Vec3 leftBack{-hx, y0, -hz}, leftFront{-hx, y0, hz};
    const mw::Vec3 rightBack{hx, y0, -hz}, rightFront{hx, y0, hz};
    patch(leftBack, leftFront - leftBack, ridgeBack - leftBack, material, 2);        // faces -x, up
    patch(rightFront, rightBack - rightFront, ridgeFront - rightFront, material, 2); // faces +x
    const uint16_t a = add_vertex(leftFront, {0, 1}), b = add_vertex(rightFront, {1, 1});
    const uint16_t c = add_vertex(ridgeFront, {0.5f, 0});
    triangle(a, b, c, material); // front gable faces +z
    const uint16_t d = add_vertex(rightBack, {0, 1}), e = add_vertex(leftBack, {1, 1});
    const uint16_t f = add_vertex(ridgeBack, {0.5f, 0});
    triangle(d, e, f, material); // back gable faces -z
}

mw::Geometry MeshBuilder::finish() {
    mw::MorphTarget& t = g_.targets[0];
    t.normals = mw::vertex_normals(t.positions, g_.triangles);
    const mw::Vec3 sun = normalised({-0.36f, 0.80f, 0.48f});
    g_.prelit.clear();
    for (const mw::Vec3& n : t.normals) {
        const float d = std::max(0.0f, dot(n, sun));
        const auto v = uint8_t(std::lround(std::min(255.0f, 110.0f + 145.0f * d)));
        g_.prelit.push_back({v, v, v, 255});
    }
    t.sphere = mw::bounding_sphere(t.positions);
    mw::Geometry out = std::move(g_);
    g_ = mw::Geometry{};
    return out;
}

mw::Clump one_part_clump(mw::Geometry geometry) {
    return mw::single_atomic_clump(std::move(geometry));
}

uint32_t add_child_part(mw::Clump& clump, uint32_t parent, mw::Vec3 position,
                        mw::Geometry geometry) {
    mw::Frame frame;
    frame.parent = int32_t(parent);
    frame.position = position;
    clump.frames.push_back(frame);
    clump.geometries.push_back(std::move(geometry));
    mw::Atomic atomic;
    atomic.frame = uint32_t(clump.frames.size() - 1);
    atomic.geometry = uint32_t(clump.geometries.size() - 1);
    clump.atomics.push_back(atomic);
    return atomic.frame;
}

} // namespace demodata
