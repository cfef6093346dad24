// Builds worlds from a triangle soup: a BSP of axis-aligned planes down to small atomic
// sectors, each with its collision tree, placed in positive space with a margin.
#pragma once

#include "tools/modelwriter/world.h"

#include <optional>
#include <vector>

namespace modelwriter {

// A triangle soup: positions, triangles whose material indexes `materials`, and optional
// per-vertex colours, texture coordinates and normals (empty, or one per position).
struct TriangleSoup {
    std::vector<Vec3> positions;
    std::vector<Triangle> triangles;
    std::vector<MaterialEntry> materials;
    std::vector<Colour> prelit;
    std::vector<TexCoord> texCoords;
    std::vector<Vec3> normals;
};

struct BuildOptions {
    uint32_t flags = 0;             // world flags (the builder adds worldSectorOverlap)
    size_t maxSectorTriangles = 64; // a leaf holds at most this many (at most 256 for trees)
    int maxDepth = worldMaxDepth;
    bool collisionTrees = true;
    // The soup is shifted so its min corner lands at (margin, margin, margin).
    float margin = 16.0f;
    Surface surface = {0.0f, 0.0f, 0.0f};
};

// The world, or nullopt when the soup cannot be split within the limits.
std::optional<World> build_world(const TriangleSoup& soup, const BuildOptions& options = {});

// A collision tree over the sector's triangles, which it reorders so each node's run is
// consecutive; nullopt when the sector is out of the tree's reach (over 256 triangles).
std::optional<CollisionTree> build_collision_tree(const std::vector<Vec3>& positions,
                                                  std::vector<Triangle>& triangles);

// The soup of a geometry's first morph target, with its materials and vertex arrays.
TriangleSoup soup_of(const Geometry& geometry);

} // namespace modelwriter
