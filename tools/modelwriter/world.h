// The authoring description of a world: a BSP of plane sectors whose leaves are atomic
// sectors of triangles, with the world's material list, which the writer turns into the
// engine's world chunk.
#pragma once

#include "tools/modelwriter/model.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace modelwriter {

// World flags (the low byte of the struct's flag word) and bit 30.
constexpr uint32_t worldStrips = 0x01;
constexpr uint32_t worldTextured = 0x04;
constexpr uint32_t worldPrelit = 0x08;
constexpr uint32_t worldNormals = 0x10;
constexpr uint32_t worldLit = 0x20;
constexpr uint32_t worldModulate = 0x40;
constexpr uint32_t worldSectorOverlap = 0x40000000;

// Limits the engine's reader enforces.
constexpr size_t sectorMaxCount = 0xffff;
constexpr int worldMaxDepth = 59;
constexpr size_t collisionTreeRecordSize = 384;

using CollisionTree = std::array<uint8_t, collisionTreeRecordSize>;

struct WorldSector {
    Vec3 inf, sup;
    uint32_t windowBase = 0;         // added to each triangle's material index
    std::vector<Vec3> positions;     // in world space
    std::vector<Vec3> normals;       // with worldNormals (stored as 1/128 units)
    std::vector<Colour> prelit;      // with worldPrelit
    std::vector<TexCoord> texCoords; // with worldTextured
    std::vector<Triangle> triangles; // material relative to windowBase
    std::optional<CollisionTree> collisionTree;
    std::optional<MeshHeader> meshHeader; // material indices into the world's list
    std::vector<PluginData> extensions;
};

struct NodeRef {
    bool atomic = true;
    uint32_t index = 0; // into World::sectors or World::planes
};

struct WorldPlane {
    uint32_t axis = 0; // 0 x, 1 y, 2 z
    float value = 0;
    float leftValue = 0;  // upper end of the left child's extent
    float rightValue = 0; // lower end of the right child's extent
    NodeRef left, right;
};

struct World {
    uint32_t flags = 0; // world flags, and worldSectorOverlap for planes' own values
    Surface surface = {0.0f, 0.0f, 0.0f};
    Vec3 origin;
    std::vector<MaterialEntry> materials;
    std::vector<WorldPlane> planes;
    std::vector<WorldSector> sectors;
    NodeRef root;
    std::vector<PluginData> extensions;
};

} // namespace modelwriter
