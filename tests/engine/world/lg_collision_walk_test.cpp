// The world line walk at split planes: a table of segments that start on, end on, lie in and
// cross planes whose left and right values are equal and differ, on a small hand-laid world;
// then random and split-snapped segments on a built world, whose reported triangles must be
// exactly those a brute-force test of every triangle finds, in the planes' walk order.
#include "tests/engine/world/world_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

using worldtest::read_world;
using worldtest::sectors_of;
using worldtest::world_bytes;
using worldtest::WorldEngine;
namespace mw = modelwriter;

namespace {

struct Hit {
    LgAtomicSector* sector;
    int32_t index;
    float distance;
    bool operator<(const Hit& o) const {
        return sector != o.sector ? sector < o.sector : index < o.index;
    }
    bool operator==(const Hit& o) const { return sector == o.sector && index == o.index; }
};

LgCollisionPrimitive* record(LgCollisionPrimitive* p, LgAtomicSector* s, LgCollisionTriangle* t,
                             float distance, void* data) {
    static_cast<std::vector<Hit>*>(data)->push_back({s, t->index, distance});
    return p;
}

std::vector<Hit> walk(LgWorld* world, LgVector s, LgVector e) {
    LgCollisionPrimitive p{};
    p.line = {s, e};
    p.type = LgCollisionLine;
    std::vector<Hit> hits;
    EXPECT_EQ(LgWorldForAllTriangleIntersections(world, &p, record, &hits), world);
    return hits;
}

// Every triangle of every sector against the whole segment (the engine's one-sided test).
std::vector<Hit> brute_force(LgWorld* world, LgVector s, LgVector e) {
    const LgVector d = {e.x - s.x, e.y - s.y, e.z - s.z};
    std::vector<Hit> hits;
    for (LgAtomicSector* sector : sectors_of(world))
        for (int32_t i = 0; i < sector->numTriangles; ++i) {
            const uint16_t* v = sector->triangles[i].vertIndex;
            float distance = 0;
            if (LgCollisionLineTriangle(s, d, sector->vertices[v[0]], sector->vertices[v[1]],
                                        sector->vertices[v[2]], &distance))
                hits.push_back({sector, i, distance});
        }
    return hits;
}

std::vector<Hit> sorted(std::vector<Hit> hits) {
    std::sort(hits.begin(), hits.end());
    return hits;
}

// The sectors a segment reaches, in the order the planes' rules give: one side only when the
// segment stays strictly beyond a value, else both, the start's side first (the right side
// when the segment runs down the axis or not at all), each with its part of the segment.
bool neg(float v) {
    return LgFloatBits(v) < 0;
}
bool pos(float v) {
    return LgFloatBits(v) > 0;
}
LgVector cut(const LgVector& s, const LgVector& e, float t, int32_t axis, float value) {
    if (!(t > 0)) return s;
    if (!(t < 1)) return e;
    LgVector p = {s.x + (e.x - s.x) * t, s.y + (e.y - s.y) * t, s.z + (e.z - s.z) * t};
    (&p.x)[axis] = value;
    return p;
}
void plane_order(LgWorldSector* node, LgVector s, LgVector e, std::vector<LgAtomicSector*>& out) {
    if (node->type == LgSectorAtomic) {
        out.push_back(reinterpret_cast<LgAtomicSector*>(node));
        return;
    }
    const auto* p = reinterpret_cast<const LgPlaneSector*>(node);
    const int32_t a = p->type >> 2;
    const float sa = (&s.x)[a], ea = (&e.x)[a];
    const float sL = sa - p->leftValue, eL = ea - p->leftValue;
    const float sR = sa - p->rightValue, eR = ea - p->rightValue;
    if (neg(sR) && neg(eR)) return plane_order(p->leftSubTree, s, e, out);
    if (pos(sL) && pos(eL)) return plane_order(p->rightSubTree, s, e, out);
    LgVector ls = s, le = e, rs = s, re = e;
    if (neg(sL) != neg(eL)) (neg(sL) ? le : ls) = cut(s, e, -sL / (eL - sL), a, p->leftValue);
    if (neg(sR) != neg(eR)) (neg(sR) ? rs : re) = cut(s, e, -sR / (eR - sR), a, p->rightValue);
    if (sa >= ea) {
        plane_order(p->rightSubTree, rs, re, out);
        plane_order(p->leftSubTree, ls, le, out);
    } else {
        plane_order(p->leftSubTree, ls, le, out);
        plane_order(p->rightSubTree, rs, re, out);
    }
}

// Each sector's hits come together, and the sectors in an order the planes allow.
void expect_walk_order(LgWorld* world, const std::vector<Hit>& hits, LgVector s, LgVector e) {
    std::vector<LgAtomicSector*> order;
    plane_order(world->rootSector, s, e, order);
    std::vector<LgAtomicSector*> seen;
    for (const Hit& h : hits)
        if (seen.empty() || seen.back() != h.sector) seen.push_back(h.sector);
    const std::set<LgAtomicSector*> distinct(seen.begin(), seen.end());
    EXPECT_EQ(distinct.size(), seen.size()) << "a sector's hits are split";
    size_t at = 0;
    for (LgAtomicSector* sector : seen) {
        while (at < order.size() && order[at] != sector) ++at;
        EXPECT_LT(at, order.size()) << "sector reported out of the planes' order";
    }
}

// --- The hand-laid world ----------------------------------------------------------------------

// A ground of unit cells at height y over [x0, x1] x [z0, z1], wound upward.
mw::WorldSector ground(int x0, int x1, int z0, int z1, float y) {
    mw::WorldSector s;
    s.inf = {float(x0), y, float(z0)};
    s.sup = {float(x1), y, float(z1)};
    const int w = x1 - x0 + 1;
    for (int z = z0; z <= z1; ++z)
        for (int x = x0; x <= x1; ++x) s.positions.push_back({float(x), y, float(z)});
    for (int z = 0; z < z1 - z0; ++z)
        for (int x = 0; x < x1 - x0; ++x) {
            const auto i = static_cast<uint16_t>(z * w + x);
            const auto r = static_cast<uint16_t>(i + 1), b = static_cast<uint16_t>(i + w);
            s.triangles.push_back({i, b, r, 0});
            s.triangles.push_back({r, b, static_cast<uint16_t>(b + 1), 0});
        }
    return s;
}

// A tree of one split on x at `value` (a vertex coordinate) over two leaves.
void split_once_on_x(mw::WorldSector& s, float value) {
    std::vector<mw::Triangle> low, high;
    int vertex = -1;
    for (size_t i = 0; i < s.positions.size(); ++i)
        if (s.positions[i].x == value && vertex < 0) vertex = static_cast<int>(i);
    ASSERT_GE(vertex, 0);
    for (const mw::Triangle& t : s.triangles) {
        const float m = std::max({s.positions[t.a].x, s.positions[t.b].x, s.positions[t.c].x});
        (m <= value ? low : high).push_back(t);
    }
    mw::CollisionTree tree{};
    tree[3] = 0x80; // node 1: split on x, no triangles of its own
    tree[4] = static_cast<uint8_t>(vertex);
    tree[6] = static_cast<uint8_t>(low.size());  // node 2: the low leaf
    tree[9] = static_cast<uint8_t>(high.size()); // node 3: the high leaf
    tree[11] = static_cast<uint8_t>(low.size());
    s.triangles = low;
    s.triangles.insert(s.triangles.end(), high.begin(), high.end());
    s.collisionTree = tree;
}

// x = 8 splits the world with equal values. Left of it a plane on z with left value 9 and
// right value 7: ground A at y 1 over z 4..9 and a deck D at y 2 over z 7..12, both over
// x 4..8. Right of it ground B at y 1 over x 8..14, z 4..12, whose tree splits at x = 10.
mw::World split_world() {
    mw::World w;
    w.flags = mw::worldSectorOverlap;
    w.materials = {{-1, worldtest::coloured(200, 200, 200)}};
    w.sectors.push_back(ground(4, 8, 4, 9, 1));
    w.sectors.push_back(ground(4, 8, 7, 12, 2));
    w.sectors.push_back(ground(8, 14, 4, 12, 1));
    for (int i = 0; i < 2; ++i)
        w.sectors[i].collisionTree =
            mw::build_collision_tree(w.sectors[i].positions, w.sectors[i].triangles);
    split_once_on_x(w.sectors[2], 10);
    w.planes.push_back({0, 8, 8, 8, {false, 1}, {true, 2}});
    w.planes.push_back({2, 8, 9, 7, {true, 0}, {true, 1}});
    w.root = {false, 0};
    return w;
}

struct Row {
    const char* what;
    LgVector s, e;
    std::vector<std::string> hits; // "sector@fraction", sorted
};

class LineWalk : public WorldEngine {
protected:
    void TearDown() override {
        if (world != nullptr) LgWorldDestroy(world);
        WorldEngine::TearDown();
    }
    LgWorld* world = nullptr;
};

TEST_F(LineWalk, SegmentsOnInAndAcrossSplitPlanesFindWhatTheyTouch) {
    world = read_world(world_bytes(split_world()));
    ASSERT_NE(world, nullptr);
    std::map<LgAtomicSector*, std::string> names;
    for (LgAtomicSector* s : sectors_of(world))
        names[s] = s->boundingBox.inf.y == 2 ? "D" : (s->boundingBox.inf.x == 4 ? "A" : "B");
    ASSERT_EQ(names.size(), 3u);

    const Row rows[] = {
        {"starts on x=8, hits past the tree split", {8, 3, 6.5f}, {11.5f, 0.5f, 7}, {"B@0.80"}},
        {"lies in x=8", {8, 3, 5}, {8, 0.5f, 7}, {"A@0.80", "B@0.80"}},
        {"lies in x=8, rising", {8, 0.5f, 7}, {8, 3, 5}, {}},
        {"ends on x=8 past the ground", {11.2f, 3, 6.5f}, {8, -1, 6.5f}, {"B@0.50"}},
        {"ends on x=8 at the ground", {10, 3, 5.5f}, {8, 1, 5.5f}, {"A@1.00", "B@1.00"}},
        {"starts on x=8 at the ground", {8, 1, 5.5f}, {10, -1, 5.5f}, {"A@0.00", "B@0.00"}},
        {"crosses x=8 at the ground", {6, 3, 5.5f}, {10, -1, 5.5f}, {"A@0.50", "B@0.50"}},
        {"crosses x=8 rightward", {6.5f, 3, 5.25f}, {10.5f, -1, 5.25f}, {"B@0.50"}},
        {"crosses x=8 leftward", {9.5f, 3, 5.25f}, {5.5f, -1, 5.25f}, {"A@0.50"}},
        {"through a vertex on x=8",
         {8, 3, 6},
         {8, -1, 6},
         {"A@0.50", "A@0.50", "A@0.50", "B@0.50", "B@0.50", "B@0.50"}},
        {"through a vertex on the tree split",
         {10, 3, 5},
         {10, -1, 5},
         {"B@0.50", "B@0.50", "B@0.50", "B@0.50", "B@0.50", "B@0.50"}},
        {"ends on the tree split at the ground",
         {12, 3, 5.5f},
         {10, 1, 5.5f},
         {"B@1.00", "B@1.00"}},
        {"inside the z overlap", {5.5f, 3, 8}, {5.5f, 0, 8.25f}, {"A@0.67", "D@0.33"}},
        {"across both z values, up the axis", {5.5f, 3, 5}, {5.5f, 0, 10}, {"A@0.67"}},
        {"across both z values, down the axis", {5.5f, 3, 10}, {5.5f, 0, 5}, {"A@0.67", "D@0.33"}},
        {"from the right value to the left value",
         {5.5f, 3, 7},
         {5.5f, 0, 9},
         {"A@0.67", "D@0.33"}},
        {"from the left value to the right value",
         {5.5f, 3, 9},
         {5.5f, 0, 7},
         {"A@0.67", "D@0.33"}},
        {"lies in z=9, the left value", {5.5f, 3, 9}, {6.5f, 0, 9}, {"A@0.67", "D@0.33", "D@0.33"}},
        {"lies in z=7, the right value",
         {6.5f, 3, 7},
         {5.5f, 0, 7},
         {"A@0.67", "A@0.67", "D@0.33"}},
        {"misses below the ground, rising", {9.5f, 0, 5.5f}, {9.5f, 3, 5.5f}, {}},
        {"misses above everything", {5, 3, 5}, {13, 3, 11}, {}},
        {"misses in x=8 above the deck", {8, 3, 4.5f}, {8, 2.5f, 11}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<Hit> hits = walk(world, row.s, row.e);
        std::vector<std::string> got;
        for (const Hit& h : hits) {
            char text[32];
            std::snprintf(text, sizeof text, "%s@%.2f", names[h.sector].c_str(), h.distance);
            got.emplace_back(text);
        }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, row.hits);
        EXPECT_EQ(sorted(hits), sorted(brute_force(world, row.s, row.e)));
        expect_walk_order(world, hits, row.s, row.e);
    }
}

// --- Random segments on a built world ---------------------------------------------------------

// Rolling ground with three boxes standing on it, built into sectors of at most 40 triangles
// with their collision trees.
mw::World rolling_world() {
    mw::TriangleSoup soup = mw::soup_of(mw::make_grid(16, 2.0f, worldtest::coloured(90, 140, 60)));
    soup.texCoords.clear();
    soup.normals.clear();
    for (mw::Vec3& p : soup.positions)
        p.y = static_cast<float>((static_cast<int>(p.x * 3 + p.z * 7) % 5)) * 0.5f;
    const mw::Vec3 at[] = {{5, 2, 5}, {20, 1.5f, 9}, {12, 2.5f, 26}};
    for (const mw::Vec3& c : at) {
        const mw::Geometry box = mw::make_box({2, 2, 1.5f}, mw::Material{});
        const auto base = static_cast<uint16_t>(soup.positions.size());
        for (const mw::Vec3& p : box.targets[0].positions)
            soup.positions.push_back({p.x + c.x, p.y + c.y, p.z + c.z});
        for (mw::Triangle t : box.triangles)
            soup.triangles.push_back({static_cast<uint16_t>(t.a + base),
                                      static_cast<uint16_t>(t.b + base),
                                      static_cast<uint16_t>(t.c + base), 0});
    }
    mw::BuildOptions options;
    options.maxSectorTriangles = 40;
    options.margin = 4.0f;
    std::optional<mw::World> w = mw::build_world(soup, options);
    EXPECT_TRUE(w.has_value());
    return w ? *w : mw::World{};
}

// The split coordinates on each axis: the planes' values and the trees' split vertices.
std::vector<float> split_values(const mw::World& w, int axis) {
    std::set<float> out;
    for (const mw::WorldPlane& p : w.planes)
        if (static_cast<int>(p.axis) == axis) out.insert({p.value, p.leftValue, p.rightValue});
    for (const mw::WorldSector& s : w.sectors) {
        if (!s.collisionTree) continue;
        const mw::CollisionTree& t = *s.collisionTree;
        for (int node = 1; node < 128; ++node)
            if ((t[3 * node] & 0x80) != 0 && ((t[3 * node] >> 5) & 3) == axis) {
                const mw::Vec3& v = s.positions[t[3 * node + 1]];
                out.insert(axis == 0 ? v.x : axis == 1 ? v.y : v.z);
            }
    }
    return {out.begin(), out.end()};
}

TEST_F(LineWalk, ReportsExactlyTheTrianglesABruteForceTestFindsInWalkOrder) {
    const mw::World built = rolling_world();
    ASSERT_GE(built.planes.size(), 4u);
    world = read_world(world_bytes(built));
    ASSERT_NE(world, nullptr);
    std::vector<float> splits[3];
    for (int a = 0; a < 3; ++a) splits[a] = split_values(built, a);
    ASSERT_FALSE(splits[0].empty());
    ASSERT_FALSE(splits[2].empty());
    std::mt19937 rng(63);
    std::uniform_real_distribution<float> x(2, 40), high(3, 14), low(0, 8), z(2, 40);
    const auto pick = [&](const std::vector<float>& v) {
        return v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(rng)];
    };
    int withHits = 0;
    for (int i = 0; i < 4000; ++i) {
        LgVector s = {x(rng), high(rng), z(rng)}, e = {x(rng), low(rng), z(rng)};
        if (i % 2 == 1) std::swap(s, e);
        // Half the segments get an end, both ends or one end and the other's axis on a split.
        const int axis =
            splits[1].empty() ? 2 * static_cast<int>(rng() % 2) : static_cast<int>(rng() % 3);
        switch (i % 8) {
        case 4: (&s.x)[axis] = pick(splits[axis]); break;
        case 5: (&e.x)[axis] = pick(splits[axis]); break;
        case 6: (&s.x)[axis] = (&e.x)[axis] = pick(splits[axis]); break;
        case 7: {
            int other = (axis + 1) % 3;
            if (splits[other].empty()) other = (other + 1) % 3;
            (&s.x)[axis] = pick(splits[axis]);
            (&e.x)[other] = pick(splits[other]);
            break;
        }
        default: break;
        }
        SCOPED_TRACE(testing::Message()
                     << "segment " << i << " (" << s.x << ", " << s.y << ", " << s.z << ") -> ("
                     << e.x << ", " << e.y << ", " << e.z << ")");
        const std::vector<Hit> hits = walk(world, s, e);
        const std::vector<Hit> found = sorted(hits);
        ASSERT_EQ(std::adjacent_find(found.begin(), found.end()), found.end()) << "reported twice";
        ASSERT_EQ(found, sorted(brute_force(world, s, e)));
        expect_walk_order(world, hits, s, e);
        if (!hits.empty()) ++withHits;
        if (HasFailure()) break;
    }
    EXPECT_GT(withHits, 1500);
}

} // namespace
