// The ground as a height field over the x-z plane in front of the camera, split into sectors
// by the world builder; pre-lit colours from the slope under a fixed sun.
#include "tools/demoscene/terrain_model.h"

#include "tools/demoscene/demo_textures.h"
#include "tools/modelwriter/world_builder.h"

#include <algorithm>
#include <cmath>

namespace demoscene {
namespace {

namespace mw = modelwriter;

constexpr int cells = 100;       // a side: 2 x 100 x 100 = 20,000 triangles
constexpr float cellSize = 4.0f; // 400 x 400 units
constexpr float westEdge = -200.0f;
constexpr float southEdge = -40.0f; // a little behind the camera
constexpr float textureRepeat = 16.0f;
constexpr size_t sectorTriangles = 320; // about 64 leaves
constexpr float margin = 16.0f;

float height(float x, float z) {
    return -7.0f + 3.5f * std::sin(x * 0.021f) * std::cos(z * 0.017f) +
           1.5f * std::sin(x * 0.057f + z * 0.031f) + 0.02f * std::max(0.0f, z - 120.0f);
}

mw::Vec3 normal_at(float x, float z) {
    const float dx = height(x + 0.5f, z) - height(x - 0.5f, z);
    const float dz = height(x, z + 0.5f) - height(x, z - 0.5f);
    const float l = std::sqrt(dx * dx + 1.0f + dz * dz);
    return {-dx / l, 1.0f / l, -dz / l};
}

mw::MaterialEntry textured(const char* name) {
    mw::Material m;
    m.texture = mw::Texture{name, "", mw::filterLinear, mw::addressWrap, mw::addressWrap, {}};
    return {-1, m};
}

// Meadow or field for a block of 10 x 10 cells, in a fixed patchwork.
uint16_t block_material(int cx, int cz) {
    const uint32_t h = uint32_t(cx / 10) * 73856093u ^ uint32_t(cz / 10) * 19349663u;
    return (h >> 3) % 3 == 0 ? 1 : 0;
}

} // namespace

std::optional<Terrain> terrain_world() {
    mw::TriangleSoup soup;
    soup.materials = {textured(grassTexture), textured(fieldsTexture)};
    const mw::Vec3 sun = {-0.36f, 0.80f, 0.48f};
    // Each cell has its own four corners, so a cell's texture and material stay its own.
    for (int cz = 0; cz < cells; ++cz)
        for (int cx = 0; cx < cells; ++cx) {
            const size_t first = soup.positions.size();
            for (int corner = 0; corner < 4; ++corner) {
                const float x = westEdge + cellSize * float(cx + (corner & 1));
                const float z = southEdge + cellSize * float(cz + (corner >> 1));
                soup.positions.push_back({x, height(x, z), z});
                const mw::Vec3 n = normal_at(x, z);
                soup.normals.push_back(n);
                const float d = std::max(0.0f, n.x * sun.x + n.y * sun.y + n.z * sun.z);
                const auto v =
                    static_cast<uint8_t>(std::lround(std::min(255.0f, 70.0f + 90.0f * d)));
                soup.prelit.push_back({v, v, v, 255});
                soup.texCoords.push_back({x / textureRepeat, z / textureRepeat});
            }
            const auto a = static_cast<uint16_t>(first), b = static_cast<uint16_t>(first + 1);
            const auto c = static_cast<uint16_t>(first + 2), d = static_cast<uint16_t>(first + 3);
            const uint16_t m = block_material(cx, cz);
            // (b - a) x (c - a) points up (+y) for both halves.
            soup.triangles.push_back({a, c, b, m});
            soup.triangles.push_back({b, c, d, m});
        }
    mw::BuildOptions options;
    options.flags =
        mw::worldTextured | mw::worldPrelit | mw::worldNormals | mw::worldLit | mw::worldModulate;
    options.maxSectorTriangles = sectorTriangles;
    options.collisionTrees = false;
    options.margin = margin;
    options.surface = {1.0f, 0.0f, 1.0f};
    float minX = soup.positions[0].x, minY = soup.positions[0].y, minZ = soup.positions[0].z;
    for (const mw::Vec3& p : soup.positions) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        minZ = std::min(minZ, p.z);
    }
    std::optional<mw::World> world = mw::build_world(soup, options);
    if (!world) return std::nullopt;
    return Terrain{std::move(*world), {margin - minX, margin - minY, margin - minZ}};
}

} // namespace demoscene
