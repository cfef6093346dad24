// The biplane's parts (fuselage, cowling, wings, tail, struts, wheels, propeller) laid out as
// patches and tubes in one geometry, with pre-lit colours from a fixed sun.
#include "tools/demoscene/biplane_model.h"

#include "tools/demoscene/demo_textures.h"
#include "tools/modelwriter/model_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace demoscene {
namespace {

namespace mw = modelwriter;

using mw::Vec3;

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}

enum Material : uint16_t { wingMaterial, fuselageMaterial, woodMaterial, metalMaterial };

// Appends vertices and triangles to one geometry; each triangle is wound so that
// (b - a) x (c - a) points out of the part.
class PartBuilder {
public:
    explicit PartBuilder(mw::Geometry& g) : g_(g), target_(g.targets.at(0)) {}

    // A parallelogram from `origin` along u and v, cut into nu x nv cells; its outside is u x v.
    void patch(Vec3 origin, Vec3 u, Vec3 v, int nu, int nv, uint16_t material) {
        const auto base = static_cast<uint16_t>(target_.positions.size());
        for (int j = 0; j <= nv; ++j)
            for (int i = 0; i <= nu; ++i) {
                const float s = float(i) / float(nu), t = float(j) / float(nv);
                target_.positions.push_back(origin + u * s + v * t);
                g_.texCoords.push_back({s, 1.0f - t});
            }
        grid_triangles(base, nu, nv, material);
    }

    // A box centred on `c` with half extents h; faces split into n cells along their longest
    // side.
    void box(Vec3 c, Vec3 h, int n, uint16_t material) {
        const Vec3 x{2 * h.x, 0, 0}, y{0, 2 * h.y, 0}, z{0, 0, 2 * h.z};
        const Vec3 lo = c + Vec3{-h.x, -h.y, -h.z};
        const Vec3 hi = c + Vec3{h.x, h.y, h.z};
        const int nx = h.x >= h.z ? n : 1, nz = h.z > h.x ? n : 1;
        const int ny = h.y > h.x && h.y > h.z ? n : 1;
        patch(lo + y, z, x, nz, nx, material);       // top: z x x = +y
        patch(lo, x, z, nx, nz, material);           // bottom: x x z = -y
        patch(lo, y, x, ny, nx, material);           // back: y x x = -z
        patch(hi, x * -1, y * -1, nx, ny, material); // front: x x y = +z
        patch(lo, z, y, nz, ny, material);           // left: z x y = -x
        patch(hi, y * -1, z * -1, ny, nz, material); // right: y x z = +x
    }

    // A tube around the axis from `from` along `axis` (unit x or z) with radius r0 at the start
    // and r1 at the end, `sides` around and `segments` along, both ends capped.
    void tube(Vec3 from, Vec3 axis, float length, float r0, float r1, int sides, int segments,
              uint16_t material) {
        const Vec3 e1 = axis.z != 0 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        const Vec3 e2 = axis.z != 0 ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
        const auto base = static_cast<uint16_t>(target_.positions.size());
        for (int j = 0; j <= segments; ++j) {
            const float t = float(j) / float(segments);
            const float r = r0 + (r1 - r0) * t;
            for (int i = 0; i <= sides; ++i) {
                const float a = 2.0f * std::numbers::pi_v<float> * float(i) / float(sides);
                target_.positions.push_back(from + axis * (length * t) + e1 * (r * std::cos(a)) +
                                            e2 * (r * std::sin(a)));
                g_.texCoords.push_back({float(i) / float(sides), t});
            }
        }
        grid_triangles(base, sides, segments, material);
        cap(base, sides, from, false, material);
        cap(static_cast<uint16_t>(base + segments * (sides + 1)), sides, from + axis * length, true,
            material);
    }

private:
    // Two triangles for each cell of a grid of (nu + 1) x (nv + 1) vertices from `base`, row by
    // row, wound like the cell's u x v.
    void grid_triangles(uint16_t base, int nu, int nv, uint16_t material) {
        const int row = nu + 1;
        for (int j = 0; j < nv; ++j)
            for (int i = 0; i < nu; ++i) {
                const auto a = static_cast<uint16_t>(base + j * row + i);
                const auto b = static_cast<uint16_t>(a + 1);
                const auto c = static_cast<uint16_t>(a + row);
                const auto d = static_cast<uint16_t>(c + 1);
                g_.triangles.push_back({a, b, d, material});
                g_.triangles.push_back({a, d, c, material});
            }
    }

    // A fan closing a ring of sides + 1 vertices around `centre`.
    void cap(uint16_t ring, int sides, Vec3 centre, bool facingAxis, uint16_t material) {
        const auto middle = static_cast<uint16_t>(target_.positions.size());
        target_.positions.push_back(centre);
        g_.texCoords.push_back({0.5f, 0.5f});
        for (int i = 0; i < sides; ++i) {
            const auto a = static_cast<uint16_t>(ring + i);
            const auto b = static_cast<uint16_t>(a + 1);
            if (facingAxis)
                g_.triangles.push_back({middle, a, b, material});
            else
                g_.triangles.push_back({middle, b, a, material});
        }
    }

    mw::Geometry& g_;
    mw::MorphTarget& target_;
};

mw::MaterialEntry textured(const char* name) {
    mw::Material m;
    m.texture = mw::Texture{name, "", mw::filterLinear, mw::addressWrap, mw::addressWrap, {}};
    return {-1, m};
}

mw::MaterialEntry painted(uint8_t r, uint8_t g, uint8_t b) {
    mw::Material m;
    m.colour = {r, g, b, 255};
    return {-1, m};
}

// Sunlight from above, ahead and to the left, with sky fill: the grey each normal gets.
mw::Colour prelit_for(Vec3 n) {
    const Vec3 sun = {-0.36f, 0.80f, 0.48f};
    const float d = std::max(0.0f, n.x * sun.x + n.y * sun.y + n.z * sun.z);
    const auto v = static_cast<uint8_t>(std::lround(std::min(255.0f, 110.0f + 145.0f * d)));
    return {v, v, v, 255};
}

} // namespace

mw::Clump biplane_clump() {
    mw::Geometry g;
    g.flags =
        mw::geometryTextured | mw::geometryPrelit | mw::geometryNormals | mw::geometryModulate;
    g.materials = {textured(wingTexture), textured(fuselageTexture), painted(112, 72, 40),
                   painted(70, 70, 74)};
    g.targets.emplace_back();
    PartBuilder b(g);
    const Vec3 along = {0, 0, 1}, across = {1, 0, 0};
    b.tube({0, 0, -3.8f}, along, 3.0f, 0.12f, 0.6f, 8, 3, fuselageMaterial);
    b.tube({0, 0, -0.8f}, along, 3.0f, 0.6f, 0.55f, 8, 3, fuselageMaterial);
    b.tube({0, 0, 2.2f}, along, 0.4f, 0.55f, 0.45f, 8, 2, metalMaterial);
    b.box({0, 1.3f, 0.6f}, {5.0f, 0.07f, 0.75f}, 8, wingMaterial);
    b.box({0, -0.35f, 0.5f}, {4.6f, 0.07f, 0.7f}, 8, wingMaterial);
    b.box({0, 0.1f, -3.5f}, {1.6f, 0.05f, 0.45f}, 2, wingMaterial);
    b.box({0, 0.6f, -3.6f}, {0.05f, 0.6f, 0.4f}, 1, wingMaterial);
    for (float x : {-3.2f, 3.2f})
        for (float z : {0.2f, 1.0f}) b.box({x, 0.475f, z}, {0.04f, 0.82f, 0.04f}, 1, woodMaterial);
    for (float x : {-0.5f, 0.5f}) b.box({x, 0.9f, 0.6f}, {0.04f, 0.4f, 0.04f}, 1, woodMaterial);
    for (float x : {-0.9f, 0.6f})
        b.tube({x, -1.3f, 1.0f}, across, 0.3f, 0.35f, 0.35f, 10, 1, metalMaterial);
    b.box({0, -1.3f, 1.0f}, {0.9f, 0.03f, 0.03f}, 1, metalMaterial);
    b.box({0, 0, 2.65f}, {0.08f, 1.1f, 0.04f}, 1, woodMaterial);
    mw::MorphTarget& t = g.targets[0];
    t.normals = mw::vertex_normals(t.positions, g.triangles);
    for (const Vec3& n : t.normals) g.prelit.push_back(prelit_for(n));
    t.sphere = mw::bounding_sphere(t.positions);
    return mw::single_atomic_clump(std::move(g));
}

} // namespace demoscene
