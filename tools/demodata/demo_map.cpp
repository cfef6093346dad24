// The demo map: a height field split into sectors with collision trees by the world builder,
// plus the pictures the landscape reads beside it.
#include "tools/demodata/demo_map.h"

#include "tools/demodata/demo_sky.h"
#include "tools/demodata/mesh_builder.h"
#include "tools/demodata/picture_files.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <algorithm>
#include <cmath>

namespace demodata {
namespace {

using namespace demomap;

constexpr int cells = 64; // a side: 2 x 64 x 64 = 8192 triangles
constexpr float cellSize = size / cells;
constexpr float textureRepeat = 4.0f; // texture repeats per cell
constexpr float lakeLevel = lowest;

enum GroundMaterial : uint16_t { grass, fields, airstrip, water };

float smoothstep(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

float lake_distance(float x, float z) {
    return std::hypot(x - lakeX, z - lakeZ);
}

// Distance outside the airstrip's rectangle (0 on it).
float strip_distance(float x, float z) {
    const float dx = std::max(0.0f, std::fabs(x - stripX) - stripHalfWidth);
    const float dz = std::max({0.0f, stripZ0 - z, z - stripZ1});
    return std::hypot(dx, dz);
}

// 1 inside the climb-out valley, falling to 0 over its shoulders and ends.
float climb_out_weight(float x, float z) {
    const float beside = std::max(0.0f, std::fabs(x - stripX) - climbOutHalfWidth);
    return (1.0f - smoothstep(0.0f, climbOutShoulder, beside)) *
           smoothstep(stripZ1 - 2.0f * climbOutShoulder, stripZ1 - climbOutShoulder / 2.0f, z) *
           (1.0f - smoothstep(climbOutZ, climbOutZ + climbOutShoulder, z));
}

bool on_strip(float x, float z) {
    return strip_distance(x, z) == 0.0f;
}

bool in_lake(float x, float z) {
    return lake_distance(x, z) < lakeRadius;
}

uint16_t cell_material(float x, float z) {
    if (in_lake(x, z)) return water;
    if (on_strip(x, z)) return airstrip;
    const uint32_t h = uint32_t(x / 500.0f) * 73856093u ^ uint32_t(z / 500.0f) * 19349663u;
    return (h >> 3) % 3 == 0 ? fields : grass;
}

mw::Colour ground_colour(float x, float z) {
    const float h = 0.5f;
    const float dx = demo_ground_height(x + h, z) - demo_ground_height(x - h, z);
    const float dz = demo_ground_height(x, z + h) - demo_ground_height(x, z - h);
    const mw::Vec3 n = normalised({-dx, 2 * h, -dz});
    const mw::Vec3 sun = normalised({-0.36f, 0.80f, 0.48f});
    const float light = 0.55f + 0.45f * std::max(0.0f, dot(n, sun));
    const auto v = uint8_t(std::lround(255.0f * std::min(1.0f, light)));
    return {v, v, v, 255};
}

uint32_t map_colour(uint16_t material, float height) {
    const float t = (height - lowest) / (highest - lowest);
    switch (material) {
    case water: return rgb(40, 70, 140);
    case airstrip: return rgb(170, 150, 110);
    case fields: return mix(rgb(150, 140, 60), rgb(200, 190, 150), t);
    default: return mix(rgb(60, 120, 50), rgb(190, 190, 170), t);
    }
}

Picture ground_texture(uint16_t material) {
    Picture p = solid(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float n =
                noise(x, y, 4, material + 101) * 0.6f + noise(x, y, 16, material) * 0.4f;
            uint32_t c;
            switch (material) {
            case fields:
                c = mix(rgb(150, 140, 60), rgb(120, 110, 40), float(y % 8 < 4) * 0.5f);
                break;
            case airstrip: c = rgb(150, 135, 100); break;
            case water: c = rgb(50, 80, 150); break;
            default: c = rgb(70, 130, 55); break;
            }
            p.at(x, y) = shade(c, 0.8f + 0.3f * n);
        }
    return p;
}

} // namespace

float demo_ground_height(float x, float z) {
    const float lx = x - origin, lz = z - origin;
    float h = 260.0f + 170.0f * std::sin(lx * 0.0021f) * std::cos(lz * 0.0017f) +
              90.0f * std::sin(lx * 0.0053f + lz * 0.0031f) + 60.0f * std::cos(lz * 0.0045f);
    // The edges rise into a ring of hills.
    const float edge = std::min({lx, lz, size - lx, size - lz});
    h += 280.0f * (1.0f - smoothstep(0.0f, 600.0f, edge));
    h = std::clamp(h, lowest + 40.0f, highest);
    // Flatten towards the airstrip and into the lake's bowl.
    h += (stripHeight - h) * (1.0f - smoothstep(0.0f, 250.0f, strip_distance(x, z)));
    // The climb-out: a valley no higher than the strip runs on north from its far end through
    // the ridge, so a plane that lifts off and flies straight on has room to climb.
    h += (std::min(h, stripHeight) - h) * climb_out_weight(x, z);
    const float l = lake_distance(x, z);
    // Flat a little beyond the shore, so every water cell lies level.
    h += (lakeLevel - h) * (1.0f - smoothstep(lakeRadius + 50.0f, lakeRadius + 300.0f, l));
    return std::clamp(h, lowest, highest);
}

bool write_demo_map(OutputTree& out) {
    const std::string dir = "maps/demo/";
    mw::TriangleSoup soup;
    soup.materials = {textured("grass"), textured("fields"), textured("airstrip"),
                      textured("water")};
    // Each cell has its own four corners, so its material and texture stay its own.
    for (int cz = 0; cz < cells; ++cz)
        for (int cx = 0; cx < cells; ++cx) {
            const float x0 = origin + cellSize * float(cx), z0 = origin + cellSize * float(cz);
            const uint16_t m = cell_material(x0 + cellSize / 2, z0 + cellSize / 2);
            const size_t base = soup.positions.size();
            for (int corner = 0; corner < 4; ++corner) {
                const float x = x0 + cellSize * float(corner & 1);
                const float z = z0 + cellSize * float(corner >> 1);
                // Neighbouring cells share their edges' heights, so the ground has no gaps.
                const float y = demo_ground_height(x, z);
                soup.positions.push_back({x, y, z});
                soup.texCoords.push_back(
                    {textureRepeat * float(corner & 1), textureRepeat * float(corner >> 1)});
                soup.prelit.push_back(ground_colour(x, z));
            }
            // (x0, z0), (x0, z1), (x1, z0): (b - a) x (c - a) points up (+y).
            const auto a = uint16_t(base), b = uint16_t(base + 1), c = uint16_t(base + 2),
                       d = uint16_t(base + 3);
            soup.triangles.push_back({a, c, b, m});
            soup.triangles.push_back({b, c, d, m});
        }
    mw::BuildOptions options;
    options.flags = mw::worldTextured | mw::worldPrelit | mw::worldModulate;
    // A collision tree names vertices with 8-bit indices: 128 triangles of four-corner cells
    // keep a sector within 256 vertices.
    options.maxSectorTriangles = 128;
    // The builder moves the soup's lower corner to (margin, margin, margin): the ground's
    // lowest point is exactly `lowest`, so the world keeps the coordinates made above.
    options.margin = origin;
    const std::optional<mw::World> world = mw::build_world(soup, options);
    if (!world) return out.fail("the demo world cannot be split into sectors");
    std::vector<uint8_t> bytes;
    const mw::WriteResult r = mw::write_world(*world, bytes);
    if (!r) return out.fail("demo.bsp: " + r.error);
    if (!out.write(dir + "demo.bsp", bytes)) return false;

    // Radar map and water mask: column = x, row = z over the world's box, as the cockpit reads.
    Picture map = solid(128, 128, 0), waterMask = solid(128, 128, 0);
    for (int row = 0; row < 128; ++row)
        for (int column = 0; column < 128; ++column) {
            const float x = origin + size * float(column) / 127.0f;
            const float z = origin + size * float(row) / 127.0f;
            map.at(column, row) = map_colour(cell_material(x, z), demo_ground_height(x, z));
            waterMask.at(column, row) = in_lake(x, z) ? rgb(255, 255, 255) : 0;
        }
    Picture detail = solid(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const auto v =
                int(std::lround(96.0f + 64.0f * noise(x, y, 2, 5) + 32.0f * noise(x, y, 8, 6)));
            detail.at(x, y) = rgb(v, v, v);
        }
    for (int i = 0; i < skyFaceCount; ++i)
        if (!write_bmp(out, dir + skyFaceNames[i] + ".bmp", sky_face(i))) return false;
    return write_bmp(out, dir + "map.bmp", map) &&
           write_bmp(out, dir + "mapwater.bmp", waterMask) &&
           write_bmp(out, dir + "detail.bmp", detail) &&
           write_bmp(out, dir + "grass.bmp", ground_texture(grass)) &&
           write_bmp(out, dir + "fields.bmp", ground_texture(fields)) &&
           write_bmp(out, dir + "airstrip.bmp", ground_texture(airstrip)) &&
           write_bmp(out, dir + "water.bmp", ground_texture(water));
}

} // namespace demodata
