// World building: the BSP splits a triangle soup at the median of the triangle centres on the
// longest axis until leaves are small; each leaf becomes an atomic sector with its own
// vertices and a collision tree of the same kind of splits over its triangles.
#include "tools/modelwriter/world_builder.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <numeric>

namespace modelwriter {

namespace {

constexpr int treeMaxNode = 127;
constexpr size_t treeLeafTarget = 8; // a node with this few triangles stays a leaf
constexpr size_t treeSplitMax = 31;  // triangles a split node can keep
constexpr size_t treeLeafMax = 127;  // triangles a leaf can keep
constexpr size_t treeReach = 256;    // 8-bit first-triangle and vertex indices
constexpr uint8_t treeSplit = 0x80;

float axis_of(const Vec3& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

struct Box {
    Vec3 inf{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
             std::numeric_limits<float>::max()};
    Vec3 sup{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
             -std::numeric_limits<float>::max()};
    void add(const Vec3& p) {
        inf = {std::min(inf.x, p.x), std::min(inf.y, p.y), std::min(inf.z, p.z)};
        sup = {std::max(sup.x, p.x), std::max(sup.y, p.y), std::max(sup.z, p.z)};
    }
    int longest_axis() const {
        const float e[3] = {sup.x - inf.x, sup.y - inf.y, sup.z - inf.z};
        return e[0] >= e[1] && e[0] >= e[2] ? 0 : (e[1] >= e[2] ? 1 : 2);
    }
};

float tri_min(const std::vector<Vec3>& p, const Triangle& t, int axis) {
    return std::min({axis_of(p[t.a], axis), axis_of(p[t.b], axis), axis_of(p[t.c], axis)});
}
float tri_max(const std::vector<Vec3>& p, const Triangle& t, int axis) {
    return std::max({axis_of(p[t.a], axis), axis_of(p[t.b], axis), axis_of(p[t.c], axis)});
}
float tri_centre(const std::vector<Vec3>& p, const Triangle& t, int axis) {
    return (axis_of(p[t.a], axis) + axis_of(p[t.b], axis) + axis_of(p[t.c], axis)) / 3.0f;
}

// --- Collision trees --------------------------------------------------------------------------

struct TreeBuild {
    const std::vector<Vec3>& positions;
    CollisionTree record{};
    std::vector<Triangle> ordered;

    bool node(int index, std::vector<Triangle> tris);
    bool leaf(int index, const std::vector<Triangle>& tris) {
        if (tris.size() > treeLeafMax) return false;
        record[3 * index] = static_cast<uint8_t>(tris.size());
        record[3 * index + 2] = static_cast<uint8_t>(ordered.size());
        ordered.insert(ordered.end(), tris.begin(), tris.end());
        return true;
    }
};

// Low children hold triangles wholly at or below the split value, high ones those wholly at
// or above it; the node keeps those that straddle it.
bool TreeBuild::node(int index, std::vector<Triangle> tris) {
    if (tris.size() <= treeLeafTarget || 2 * index + 1 > treeMaxNode) return leaf(index, tris);
    Box box;
    for (const Triangle& t : tris)
        for (uint16_t v : {t.a, t.b, t.c}) box.add(positions[v]);
    const int first = box.longest_axis();
    for (int k = 0; k < 3; ++k) {
        const int axis = (first + k) % 3;
        std::vector<float> centres;
        for (const Triangle& t : tris) centres.push_back(tri_centre(positions, t, axis));
        std::nth_element(centres.begin(), centres.begin() + centres.size() / 2, centres.end());
        const float median = centres[centres.size() / 2];
        // The split value must be a vertex coordinate the 8-bit index can name.
        int vertex = -1;
        float best = std::numeric_limits<float>::max();
        for (const Triangle& t : tris)
            for (uint16_t v : {t.a, t.b, t.c}) {
                const float d = std::abs(axis_of(positions[v], axis) - median);
                if (v < treeReach && d < best) best = d, vertex = v;
            }
        if (vertex < 0) continue;
        const float value = axis_of(positions[vertex], axis);
        std::vector<Triangle> low, high, kept;
        for (const Triangle& t : tris) {
            if (tri_max(positions, t, axis) <= value)
                low.push_back(t);
            else if (tri_min(positions, t, axis) >= value)
                high.push_back(t);
            else
                kept.push_back(t);
        }
        if (kept.size() > treeSplitMax || low.size() == tris.size() || high.size() == tris.size())
            continue;
        record[3 * index] = static_cast<uint8_t>(treeSplit | axis << 5 | kept.size());
        record[3 * index + 1] = static_cast<uint8_t>(vertex);
        record[3 * index + 2] = static_cast<uint8_t>(ordered.size());
        ordered.insert(ordered.end(), kept.begin(), kept.end());
        return node(2 * index, std::move(low)) && node(2 * index + 1, std::move(high));
    }
    return leaf(index, tris);
}

// --- BSP --------------------------------------------------------------------------------------

struct BspBuild {
    const TriangleSoup& soup;
    const BuildOptions& options;
    std::vector<Vec3> shifted;
    World world;
    bool ok = true;

    NodeRef node(std::vector<uint32_t> tris, Box region, int depth);
    NodeRef sector(const std::vector<uint32_t>& tris, const Box& region);
};

NodeRef BspBuild::sector(const std::vector<uint32_t>& tris, const Box& region) {
    WorldSector s;
    s.inf = region.inf;
    s.sup = region.sup;
    std::vector<int32_t> remap(shifted.size(), -1);
    uint32_t lowest = std::numeric_limits<uint32_t>::max();
    for (uint32_t i : tris) lowest = std::min<uint32_t>(lowest, soup.triangles[i].material);
    s.windowBase = tris.empty() ? 0 : lowest;
    const auto local = [&](uint16_t v) {
        if (remap[v] < 0) {
            remap[v] = static_cast<int32_t>(s.positions.size());
            s.positions.push_back(shifted[v]);
            if (!soup.normals.empty()) s.normals.push_back(soup.normals[v]);
            if (!soup.prelit.empty()) s.prelit.push_back(soup.prelit[v]);
            if (!soup.texCoords.empty()) s.texCoords.push_back(soup.texCoords[v]);
        }
        return static_cast<uint16_t>(remap[v]);
    };
    for (uint32_t i : tris) {
        const Triangle& t = soup.triangles[i];
        s.triangles.push_back(
            {local(t.a), local(t.b), local(t.c), static_cast<uint16_t>(t.material - s.windowBase)});
    }
    if (options.collisionTrees) {
        s.collisionTree = build_collision_tree(s.positions, s.triangles);
        if (!s.collisionTree) ok = false;
    }
    world.sectors.push_back(std::move(s));
    return {true, static_cast<uint32_t>(world.sectors.size() - 1)};
}

NodeRef BspBuild::node(std::vector<uint32_t> tris, Box region, int depth) {
    if (tris.size() <= options.maxSectorTriangles || depth >= options.maxDepth)
        return sector(tris, region);
    const int axis = region.longest_axis();
    std::vector<float> centres;
    for (uint32_t i : tris) centres.push_back(tri_centre(shifted, soup.triangles[i], axis));
    std::nth_element(centres.begin(), centres.begin() + centres.size() / 2, centres.end());
    const float value = centres[centres.size() / 2];
    std::vector<uint32_t> left, right;
    for (uint32_t i : tris)
        (tri_centre(shifted, soup.triangles[i], axis) < value ? left : right).push_back(i);
    if (left.empty() || right.empty()) return sector(tris, region);
    // Each side's extent reaches its triangles and the plane, so the two sides leave no gap.
    float leftValue = value, rightValue = value;
    for (uint32_t i : left)
        leftValue = std::max(leftValue, tri_max(shifted, soup.triangles[i], axis));
    for (uint32_t i : right)
        rightValue = std::min(rightValue, tri_min(shifted, soup.triangles[i], axis));
    Box leftRegion = region, rightRegion = region;
    (axis == 0 ? leftRegion.sup.x : axis == 1 ? leftRegion.sup.y : leftRegion.sup.z) = leftValue;
    (axis == 0   ? rightRegion.inf.x
     : axis == 1 ? rightRegion.inf.y
                 : rightRegion.inf.z) = rightValue;
    const auto index = static_cast<uint32_t>(world.planes.size());
    world.planes.push_back({static_cast<uint32_t>(axis), value, leftValue, rightValue, {}, {}});
    const NodeRef l = node(std::move(left), leftRegion, depth + 1);
    const NodeRef r = node(std::move(right), rightRegion, depth + 1);
    world.planes[index].left = l;
    world.planes[index].right = r;
    return {false, index};
}

} // namespace

std::optional<CollisionTree> build_collision_tree(const std::vector<Vec3>& positions,
                                                  std::vector<Triangle>& triangles) {
    if (triangles.size() > treeReach) return std::nullopt;
    TreeBuild b{positions, {}, {}};
    if (!b.node(1, triangles)) return std::nullopt;
    triangles = std::move(b.ordered);
    return b.record;
}

std::optional<World> build_world(const TriangleSoup& soup, const BuildOptions& options) {
    BspBuild b{soup, options, {}, {}};
    Box all;
    for (const Vec3& p : soup.positions) all.add(p);
    if (soup.positions.empty()) all = {{0, 0, 0}, {0, 0, 0}};
    const Vec3 shift = {options.margin - all.inf.x, options.margin - all.inf.y,
                        options.margin - all.inf.z};
    for (const Vec3& p : soup.positions)
        b.shifted.push_back({p.x + shift.x, p.y + shift.y, p.z + shift.z});
    Box region;
    region.inf = {all.inf.x + shift.x, all.inf.y + shift.y, all.inf.z + shift.z};
    region.sup = {all.sup.x + shift.x, all.sup.y + shift.y, all.sup.z + shift.z};
    std::vector<uint32_t> tris(soup.triangles.size());
    std::iota(tris.begin(), tris.end(), 0u);
    b.world.flags = options.flags | worldSectorOverlap;
    b.world.surface = options.surface;
    b.world.origin = shift;
    b.world.materials = soup.materials;
    b.world.root = b.node(std::move(tris), region, 0);
    if (!b.ok) return std::nullopt;
    return std::move(b.world);
}

TriangleSoup soup_of(const Geometry& geometry) {
    TriangleSoup soup;
    if (!geometry.targets.empty()) {
        soup.positions = geometry.targets[0].positions;
        soup.normals = geometry.targets[0].normals;
    }
    soup.triangles = geometry.triangles;
    soup.materials = geometry.materials;
    soup.prelit = geometry.prelit;
    soup.texCoords = geometry.texCoords;
    return soup;
}

} // namespace modelwriter
