// The world chunk: struct with totals from the contents, material list, the BSP written depth
// first (plane struct, left child, right child) and the atomic sectors with their arrays,
// triangles and collision trees.
#include "tools/modelwriter/world_writer.h"

#include "tools/modelwriter/model_check.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace modelwriter {

namespace {

constexpr uint32_t structChunk = 0x1;
constexpr uint32_t atomicSectorChunk = 0x9;
constexpr uint32_t planeSectorChunk = 0xa;
constexpr uint32_t worldChunk = 0xb;
constexpr uint32_t meshHeaderPlugin = 0x50e;
constexpr uint8_t treeSplit = 0x80;
constexpr int treeMaxNode = 127;

int8_t normal_byte(float v) {
    return static_cast<int8_t>(std::clamp(std::lround(v * 128.0f), -128L, 127L));
}

struct Totals {
    uint32_t triangles = 0, vertices = 0, planes = 0, atomics = 0, collisionBytes = 0;
};

Totals totals_of(const World& world) {
    Totals t;
    t.planes = static_cast<uint32_t>(world.planes.size());
    t.atomics = static_cast<uint32_t>(world.sectors.size());
    for (const WorldSector& s : world.sectors) {
        t.triangles += static_cast<uint32_t>(s.triangles.size());
        t.vertices += static_cast<uint32_t>(s.positions.size());
        if (s.collisionTree) t.collisionBytes += (collision_tree_size(*s.collisionTree) + 3) & ~3u;
    }
    return t;
}

void put_node(ChunkWriter& w, const World& world, NodeRef node) {
    if (node.atomic) {
        put_world_sector(w, world, world.sectors[node.index]);
        return;
    }
    const WorldPlane& p = world.planes[node.index];
    w.begin_chunk(planeSectorChunk);
    w.begin_chunk(structChunk);
    w.u32(p.axis * 4);
    w.f32(p.value);
    w.u32(p.left.atomic ? 1 : 0);
    w.u32(p.right.atomic ? 1 : 0);
    w.f32(p.leftValue);
    w.f32(p.rightValue);
    w.end_chunk();
    put_node(w, world, p.left);
    put_node(w, world, p.right);
    w.end_chunk();
}

std::string at(const char* what, size_t index, const std::string& problem) {
    return std::string(what) + " " + std::to_string(index) + ": " + problem;
}

std::string check_sector(const World& world, const WorldSector& s) {
    const size_t v = s.positions.size();
    if (v > sectorMaxCount || s.triangles.size() > sectorMaxCount || s.windowBase > sectorMaxCount)
        return "more than 65535 vertices or triangles, or window base too large";
    if (((world.flags & worldNormals) != 0 && s.normals.size() != v) ||
        ((world.flags & worldPrelit) != 0 && s.prelit.size() != v) ||
        ((world.flags & worldTextured) != 0 && s.texCoords.size() != v))
        return "per-vertex arrays do not match the world flags";
    for (size_t i = 0; i < s.triangles.size(); ++i) {
        const Triangle& t = s.triangles[i];
        if (t.a >= v || t.b >= v || t.c >= v) return at("triangle", i, "vertex out of range");
        if (s.windowBase + t.material >= world.materials.size())
            return at("triangle", i, "material out of range");
    }
    return {};
}

// Every sector and plane used once, and the depth within the walk stack.
std::string check_tree(const World& world) {
    std::vector<int> planeUses(world.planes.size()), sectorUses(world.sectors.size());
    std::function<std::string(NodeRef, int)> visit = [&](NodeRef n, int depth) -> std::string {
        if (n.atomic) {
            if (n.index >= world.sectors.size()) return "sector index out of range";
            ++sectorUses[n.index];
            return {};
        }
        if (depth >= worldMaxDepth) return "BSP deeper than 59 planes";
        if (n.index >= world.planes.size()) return "plane index out of range";
        ++planeUses[n.index];
        const WorldPlane& p = world.planes[n.index];
        if (p.axis > 2) return "plane axis must be 0, 1 or 2";
        if (std::string e = visit(p.left, depth + 1); !e.empty()) return e;
        return visit(p.right, depth + 1);
    };
    if (std::string e = visit(world.root, 0); !e.empty()) return e;
    for (int u : planeUses)
        if (u != 1) return "every plane must appear once in the tree";
    for (int u : sectorUses)
        if (u != 1) return "every sector must appear once in the tree";
    return {};
}

} // namespace

uint32_t collision_tree_size(const CollisionTree& tree) {
    int largest = 1;
    std::vector<int> pending = {1};
    while (!pending.empty()) {
        const int node = pending.back();
        pending.pop_back();
        largest = std::max(largest, node);
        if ((tree[3 * node] & treeSplit) == 0 || 2 * node + 1 > treeMaxNode) continue;
        pending.push_back(2 * node);
        pending.push_back(2 * node + 1);
    }
    return static_cast<uint32_t>(3 * largest + 3);
}

void put_world_sector(ChunkWriter& w, const World& world, const WorldSector& s) {
    w.begin_chunk(atomicSectorChunk);
    w.begin_chunk(structChunk);
    w.u32(s.windowBase);
    w.u32(static_cast<uint32_t>(s.triangles.size()));
    w.u32(static_cast<uint32_t>(s.positions.size()));
    put_vec(w, s.inf);
    put_vec(w, s.sup);
    w.u32(s.collisionTree ? 1 : 0);
    w.u32(0);
    for (const Vec3& p : s.positions) put_vec(w, p);
    if ((world.flags & worldNormals) != 0)
        for (const Vec3& n : s.normals) {
            w.u8(static_cast<uint8_t>(normal_byte(n.x)));
            w.u8(static_cast<uint8_t>(normal_byte(n.y)));
            w.u8(static_cast<uint8_t>(normal_byte(n.z)));
            w.u8(0);
        }
    if ((world.flags & worldPrelit) != 0) put_prelit(w, s.prelit);
    if ((world.flags & worldTextured) != 0) put_tex_coords(w, s.texCoords);
    for (const Triangle& t : s.triangles) {
        w.u16(t.material);
        w.u16(t.a);
        w.u16(t.b);
        w.u16(t.c);
    }
    if (s.collisionTree) w.raw(s.collisionTree->data(), s.collisionTree->size());
    w.end_chunk();
    std::vector<PluginData> extensions = s.extensions;
    if (s.meshHeader) extensions.push_back({meshHeaderPlugin, mesh_header_payload(*s.meshHeader)});
    w.extension_chunk(extensions);
    w.end_chunk();
}

void put_world(ChunkWriter& w, const World& world) {
    const Totals t = totals_of(world);
    w.begin_chunk(worldChunk);
    w.begin_chunk(structChunk);
    w.u32(world.root.atomic ? 1 : 0);
    put_vec(w, {-world.origin.x, -world.origin.y, -world.origin.z});
    put_surface(w, world.surface);
    w.u32(t.triangles);
    w.u32(t.vertices);
    w.u32(t.planes);
    w.u32(t.atomics);
    w.u32(t.collisionBytes);
    w.u32(world.flags);
    w.end_chunk();
    put_material_list(w, world.materials);
    put_node(w, world, world.root);
    w.extension_chunk(world.extensions);
    w.end_chunk();
}

std::string check_world(const World& world) {
    if (std::string e = check_material_list(world.materials); !e.empty()) return e;
    if (world.sectors.empty()) return "a world needs at least one sector";
    if (std::string e = check_tree(world); !e.empty()) return e;
    for (size_t i = 0; i < world.sectors.size(); ++i)
        if (std::string e = check_sector(world, world.sectors[i]); !e.empty())
            return at("sector", i, e);
    return {};
}

WriteResult write_world(const World& world, std::vector<uint8_t>& out) {
    if (std::string e = check_world(world); !e.empty()) return {e};
    ChunkWriter w;
    put_world(w, world);
    const std::vector<uint8_t>& bytes = w.bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
    return {};
}

} // namespace modelwriter
