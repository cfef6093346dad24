// Worlds: writer-made worlds (one sector; a BSP of several levels) read back equal, created
// worlds, sector walks and lookups, and hostile world files that fail cleanly.
#include "tests/engine/world/world_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using enginetest::CountingMemory;
using enginetest::recorded_error;
using modeltest::expect_vec;
using worldtest::ground_world;
using worldtest::read_world;
using worldtest::sectors_of;
using worldtest::world_bytes;
using worldtest::WorldEngine;
namespace mw = modelwriter;

namespace {

// One sector of two triangles over four vertices, with every per-vertex array, two
// materials (the second shared), a window base of 1 and a collision tree.
mw::World one_sector_world() {
    mw::World w;
    w.flags = mw::worldPrelit | mw::worldTextured | mw::worldNormals | mw::worldLit;
    w.surface = {0.25f, 0.5f, 0.75f};
    w.origin = {3, 4, 5};
    w.materials = {
        {-1, worldtest::coloured(255, 0, 0)}, {-1, worldtest::coloured(0, 255, 0)}, {1, {}}};
    mw::WorldSector s;
    s.inf = {10, 10, 10};
    s.sup = {20, 12, 20};
    s.windowBase = 1;
    s.positions = {{10, 10, 10}, {20, 10, 10}, {10, 10, 20}, {20, 12, 20}};
    s.normals = {{0, 1, 0}, {0, 1, 0}, {0, 0.5f, -0.5f}, {0, -1, 0}};
    s.prelit = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
    s.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    s.triangles = {{0, 2, 1, 0}, {1, 2, 3, 1}};
    s.collisionTree = mw::build_collision_tree(s.positions, s.triangles);
    w.sectors.push_back(s);
    w.root = {true, 0};
    return w;
}

using WorldReading = WorldEngine;

TEST_F(WorldReading, OneSectorWorldReadsBackEqual) {
    const mw::World e = one_sector_world();
    LgWorld* w = read_world(world_bytes(e));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->header.type, LgObjectTypeWorld);
    EXPECT_EQ(w->header.flags, e.flags);
    EXPECT_EQ(w->header.privateFlags, LgWorldSingleBlock);
    EXPECT_EQ(w->renderOrder, LgWorldRenderBackToFront);
    expect_vec(w->worldOrigin, e.origin);
    EXPECT_EQ(w->surfaceProps.ambient, 0.25f);
    EXPECT_EQ(w->surfaceProps.diffuse, 0.75f);
    ASSERT_EQ(w->matList.numMaterials, 3);
    EXPECT_EQ(LgMaterialListGet(&w->matList, 2), LgMaterialListGet(&w->matList, 1));
    ASSERT_EQ(w->rootSector->type, LgSectorAtomic);
    auto* s = reinterpret_cast<LgAtomicSector*>(w->rootSector);
    const mw::WorldSector& x = e.sectors[0];
    ASSERT_EQ(s->numVertices, 4);
    ASSERT_EQ(s->numTriangles, 2);
    EXPECT_EQ(s->matListWindowBase, 1);
    expect_vec(s->boundingBox.inf, x.inf);
    expect_vec(s->boundingBox.sup, x.sup);
    expect_vec(w->boundingBox.sup, x.sup);
    for (int i = 0; i < 4; ++i) {
        expect_vec(s->vertices[i], x.positions[i]);
        EXPECT_EQ(s->preLitLum[i].blue, x.prelit[i].b);
        EXPECT_EQ(s->texCoords[i].u, x.texCoords[i].u);
        EXPECT_EQ(s->normals[i].y,
                  static_cast<int8_t>(x.normals[i].y == 1 ? 127 : x.normals[i].y * 128));
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s->triangles[i].matIndex, x.triangles[i].material);
        EXPECT_EQ(s->triangles[i].vertIndex[0], x.triangles[i].a);
        EXPECT_EQ(s->triangles[i].vertIndex[2], x.triangles[i].c);
    }
    ASSERT_NE(s->collisionTree, nullptr);
    // The root leaf keeps 6 bytes, rounded to 8.
    EXPECT_EQ(LgCollisionTreeGetSize(s->collisionTree), 6);
    EXPECT_EQ(std::memcmp(s->collisionTree, x.collisionTree->data(), 6), 0);
    ASSERT_NE(s->mesh, nullptr);
    EXPECT_EQ(s->mesh->totalIndicesInMesh, 6u);
    EXPECT_EQ(LgWorldFindBySector(s), w);
    EXPECT_EQ(LgWorldFindBySector(&s->numTriangles), w);
    EXPECT_EQ(LgWorldDestroy(w), 1);
    EXPECT_EQ(LgWorldFindBySector(s), nullptr);
}

TEST_F(WorldReading, BspOfSeveralLevelsKeepsItsPlanesAndLeafOrder) {
    // 8 x 8 cells, 128 triangles, at most 16 a sector: three levels of planes.
    const mw::World e = ground_world(8, 10.0f, 16);
    ASSERT_EQ(e.sectors.size(), 8u);
    LgWorld* w = read_world(world_bytes(e));
    ASSERT_NE(w, nullptr);
    const std::vector<LgAtomicSector*> sectors = sectors_of(w);
    ASSERT_EQ(sectors.size(), 8u);
    // Leaves come left to right, as the writer put them depth first.
    for (size_t i = 0; i < sectors.size(); ++i) {
        expect_vec(sectors[i]->boundingBox.inf, e.sectors[i].inf);
        EXPECT_EQ(sectors[i]->numTriangles, e.sectors[i].triangles.size());
        EXPECT_NE(sectors[i]->collisionTree, nullptr);
    }
    const auto* root = reinterpret_cast<const LgPlaneSector*>(w->rootSector);
    ASSERT_NE(root->type, LgSectorAtomic);
    EXPECT_EQ(root->type, static_cast<int32_t>(e.planes[0].axis * 4));
    EXPECT_EQ(root->value, e.planes[0].value);
    EXPECT_EQ(root->leftValue, e.planes[0].leftValue);
    EXPECT_EQ(root->rightValue, e.planes[0].rightValue);
    LgWorldDestroy(w);
}

TEST_F(WorldReading, PlanesWithoutOwnValuesTakeThePlaneValue) {
    mw::World e = ground_world(4, 10.0f, 8);
    e.flags &= ~mw::worldSectorOverlap;
    e.planes[0].leftValue = 1;
    e.planes[0].rightValue = 2;
    LgWorld* w = read_world(world_bytes(e));
    ASSERT_NE(w, nullptr);
    const auto* root = reinterpret_cast<const LgPlaneSector*>(w->rootSector);
    EXPECT_EQ(root->leftValue, root->value);
    EXPECT_EQ(root->rightValue, root->value);
    LgWorldDestroy(w);
}

TEST_F(WorldReading, CreateShiftsTheBoxIntoPositiveSpace) {
    const LgBBox box = {{10, 10, 10}, {0, 0, 0}};
    LgWorld* w = LgWorldCreate(&box);
    ASSERT_NE(w, nullptr);
    const float l = std::sqrt(300.0f);
    EXPECT_FLOAT_EQ(w->worldOrigin.x, l);
    auto* s = reinterpret_cast<LgAtomicSector*>(w->rootSector);
    ASSERT_EQ(s->type, LgSectorAtomic);
    EXPECT_FLOAT_EQ(s->boundingBox.inf.y, l);
    EXPECT_FLOAT_EQ(s->boundingBox.sup.z, 10 + l);
    EXPECT_EQ(w->boundingBox.sup.x, s->boundingBox.sup.x);
    EXPECT_EQ(w->renderCallBack, LgWorldSectorRenderDefault);
    EXPECT_EQ(LgWorldFindBySector(s), w);
    EXPECT_EQ(LgWorldDestroy(w), 1);
}

TEST_F(WorldReading, SectorWalkStopsAtTheFirstNull) {
    LgWorld* w = read_world(world_bytes(ground_world(8, 10.0f, 16)));
    ASSERT_NE(w, nullptr);
    int visits = 0;
    LgWorldForAllAtomicSectors(
        w,
        [](LgAtomicSector* s, void* data) -> LgAtomicSector* {
            return ++*static_cast<int*>(data) == 3 ? nullptr : s;
        },
        &visits);
    EXPECT_EQ(visits, 3);
    LgWorldDestroy(w);
}

// Single allocations, so the live block count shows whatever a failed read leaves behind.
class HostileWorlds : public WorldEngine {
protected:
    HostileWorlds() : WorldEngine(LgEngineInitNoFreeLists) {}
};

std::vector<uint8_t> unchecked(const mw::World& w) {
    mw::ChunkWriter c;
    mw::put_world(c, w);
    return c.take();
}

void put_u32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    std::memcpy(&bytes[at], &v, 4);
}
uint32_t get_u32(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
}

// Offsets in a world file: chunk header, struct header, then the struct's totals.
constexpr size_t totalsAt = 12 + 12 + 28;

TEST_F(HostileWorlds, BadContentsFailWithoutLeaks) {
    const auto with = [](auto change) {
        mw::World w = ground_world(4, 10.0f, 8);
        change(w);
        return unchecked(w);
    };
    const auto patched = [](size_t at, int32_t delta) {
        std::vector<uint8_t> b = unchecked(ground_world(4, 10.0f, 8));
        put_u32(b, at, get_u32(b, at) + static_cast<uint32_t>(delta));
        return b;
    };
    // A split node whose children would lie past the record, and one naming a missing vertex.
    mw::CollisionTree deepSplit{}, badVertex{};
    deepSplit[3 * 64] = 0x80;
    deepSplit[3] = 0x80 | 2;
    deepSplit[3 * 2] = 0x80;
    deepSplit[3 * 4] = 0x80;
    deepSplit[3 * 8] = 0x80;
    deepSplit[3 * 16] = 0x80;
    deepSplit[3 * 32] = 0x80;
    badVertex[3] = 0x80;
    badVertex[4] = 200;
    mw::World deep = ground_world(4, 10.0f, 8);
    // Sixty planes in a chain, each with an empty sector on its right.
    {
        mw::World chain = deep;
        chain.planes.clear();
        chain.sectors.resize(1);
        mw::NodeRef below = {true, 0};
        for (uint32_t i = 0; i < 60; ++i) {
            chain.sectors.push_back({});
            chain.planes.push_back(
                {0, 20, 20, 20, below, {true, static_cast<uint32_t>(chain.sectors.size() - 1)}});
            below = {false, i};
        }
        chain.root = below;
        deep = chain;
    }
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"too many triangles in the totals", patched(totalsAt, 1)},
        {"too few vertices in the totals", patched(totalsAt + 4, -1)},
        {"plane count", patched(totalsAt + 8, 1)},
        {"collision bytes", patched(totalsAt + 16, 4)},
        {"vertex index", with([](mw::World& w) { w.sectors[1].triangles[0].b = 500; })},
        {"material index", with([](mw::World& w) { w.sectors[0].windowBase = 1; })},
        {"tree children past the record",
         with([&](mw::World& w) { w.sectors[0].collisionTree = deepSplit; })},
        {"tree split vertex", with([&](mw::World& w) { w.sectors[0].collisionTree = badVertex; })},
        {"plane axis", with([](mw::World& w) { w.planes[0].axis = 3; })},
        {"BSP deeper than the walk stack", unchecked(deep)},
    };
    for (const auto& c : cases) {
        const long live = CountingMemory::live;
        EXPECT_EQ(read_world(c.bytes), nullptr) << c.what;
        EXPECT_EQ(CountingMemory::live, live) << c.what;
    }
}

TEST_F(HostileWorlds, CountsBeyondSixteenBitsFail) {
    std::vector<uint8_t> b = unchecked(ground_world(1, 10.0f, 8));
    // The atomic sector chunk's struct: its triangle count becomes 65538.
    for (size_t at = 0; at + 4 <= b.size(); at += 4)
        if (get_u32(b, at) == LgChunkAtomicSector && get_u32(b, at + 8) == 0x304) {
            put_u32(b, at + 12 + 12 + 4, 0x10002);
            break;
        }
    EXPECT_EQ(read_world(b), nullptr);
}

// Found by fuzzing: a 293-byte file whose struct totals sized the world's block at 28 GB.
TEST_F(HostileWorlds, TotalsBeyondAnyWorldFailBeforeAllocating) {
    const std::vector<uint8_t> b = {
        0x0b, 0x00, 0x00, 0x00, 0x4c, 0x0c, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x00, 0x34, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x80, 0xc1, 0x00, 0x00, 0x80, 0xc1, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x2f, 0x00, 0x00, 0x00, 0x5a,
        0x66, 0x3c, 0xff, 0x00, 0x67, 0x3c, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x80,
        0x3f, 0x06, 0x00, 0x00, 0x00, 0x40, 0x00, 0xbd, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x02, 0x11, 0x00, 0x00, 0x02,
        0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x70, 0x6c, 0x61, 0x6b,
        0x00, 0x73, 0x6e, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x0a, 0x00, 0x80, 0xff, 0xff, 0xff, 0x04, 0x03,
        0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x03, 0x04, 0x03, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18, 0xf7, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xbc, 0x03, 0x00, 0x00, 0x03, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00};
    modeltest::AllocationWatch watch;
    EXPECT_EQ(read_world(b), nullptr);
    EXPECT_LE(watch.largest(), size_t{256} << 20);
    EXPECT_EQ(recorded_error(), (LgError{LgErrorGroupGeneric, LgErrInvalidArgument}));
}

TEST_F(HostileWorlds, EveryTruncationFailsWithoutLeaks) {
    const std::vector<uint8_t> whole = world_bytes(ground_world(4, 10.0f, 8));
    for (size_t n = 0; n < whole.size(); n += 7) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
        const long live = CountingMemory::live;
        EXPECT_EQ(read_world(cut), nullptr) << n;
        EXPECT_EQ(CountingMemory::live, live) << n;
    }
}

TEST_F(HostileWorlds, LongStructsAreReadUpToTheirRecords) {
    mw::World e = ground_world(2, 10.0f, 4);
    std::vector<uint8_t> b = unchecked(e);
    // Grow the world struct by 8 bytes of garbage: the chunk lengths follow.
    const uint8_t extra[8] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    b.insert(b.begin() + 24 + 52, extra, extra + 8);
    put_u32(b, 4, get_u32(b, 4) + 8);
    put_u32(b, 16, 52 + 8);
    LgWorld* w = read_world(b);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(sectors_of(w).size(), e.sectors.size());
    LgWorldDestroy(w);
}

} // namespace
