// Geometry: creation, the geometry chunk read back field by field, triangle packing, morph
// target records, reference counts, lock and unlock, and hostile geometry chunks.
#include "tests/engine/world/model_test_support.h"
#include "tools/modelwriter/model_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>

using enginetest::CountingMemory;
using modeltest::expect_geometry_equal;
using modeltest::geometry_bytes;
using modeltest::ModelEngine;
using modeltest::read_geometry;
namespace mw = modelwriter;

namespace {

mw::MaterialEntry entry(uint8_t red) {
    mw::MaterialEntry e;
    e.material.colour = {red, 0, 0, 255};
    return e;
}

// Two morph targets, pre-lit, textured, with normals; three materials, one shared.
mw::Geometry rich_geometry() {
    mw::Geometry g = mw::make_box({1, 2, 3}, entry(9).material);
    g.flags |= mw::geometryPrelit | mw::geometryModulate;
    g.surface = {0.2f, 0.4f, 0.6f};
    g.prelit.assign(g.vertex_count(), mw::Colour{10, 20, 30, 40});
    mw::MaterialEntry textured = entry(1);
    textured.material.texture = mw::Texture{"bark", "", 2, 1, 1, {}};
    g.materials = {entry(9), textured, {0, {}}};
    for (size_t i = 0; i < g.triangles.size(); ++i)
        g.triangles[i].material = static_cast<uint16_t>(i % 3);
    mw::MorphTarget second = g.targets[0];
    for (mw::Vec3& p : second.positions) p.y += 10;
    second.sphere = mw::bounding_sphere(second.positions);
    g.targets.push_back(second);
    return g;
}

class Geometries : public ModelEngine {};

TEST_F(Geometries, CreationWithoutVerticesHasNoVertexArrays) {
    LgGeometry* g =
        LgGeometryCreate(0, 0, LgGeometryPrelit | LgGeometryTextured | LgGeometryNormals);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->preLitLum, nullptr);
    EXPECT_EQ(g->texCoords, nullptr);
    EXPECT_EQ(g->triangles, nullptr);
    ASSERT_EQ(LgGeometryGetNumMorphTargets(g), 1);
    EXPECT_EQ(LgGeometryGetMorphTarget(g, 0)->verts, nullptr);
    EXPECT_EQ(g->refCount, 1);
    EXPECT_EQ(LgGeometryCreate(-1, 0, 0), nullptr);
    EXPECT_EQ(LgGeometryCreate(70000, 0, 0), nullptr);
    LgGeometryRelease(g);
}

TEST_F(Geometries, WrittenGeometryReadsBackEqual) {
    const mw::Geometry e = rich_geometry();
    LgGeometry* g = read_geometry(geometry_bytes(e));
    expect_geometry_equal(g, e);
    // Every triangle holds a reference on its material, the list one more per entry.
    const LgMaterial* shared = LgMaterialListGet(&g->matList, 0);
    const auto uses =
        std::count_if(e.triangles.begin(), e.triangles.end(),
                      [](const mw::Triangle& t) { return t.material == 0 || t.material == 2; });
    EXPECT_EQ(shared->refCount, uses + 2);
    EXPECT_EQ(LgGeometryGetTriangleMaterial(g, &g->triangles[1]),
              LgMaterialListGet(&g->matList, 1));
    LgGeometryRelease(g);
}

TEST_F(Geometries, TrianglesPackTheFirstVertexHighAndTheMaterialLow) {
    mw::Geometry e = modeltest::triangle_fan(5, {entry(0), entry(1), entry(2), entry(3), entry(4)});
    e.triangles = {{1, 2, 3, 4}};
    const auto bytes = geometry_bytes(e);
    const uint8_t packed[] = {0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x03, 0x00};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin(packed), std::end(packed)),
              bytes.end());
    LgGeometry* g = read_geometry(bytes);
    expect_geometry_equal(g, e);
    LgGeometryRelease(g);
}

TEST_F(Geometries, AMorphTargetCountOfZeroStillCarriesOneRecord) {
    const mw::Geometry e = modeltest::triangle_fan(4, {entry(1)});
    auto bytes = geometry_bytes(e);
    bytes[12 + 12 + 12] = 0; // M of the struct (chunk header, struct header, flags, T, V)
    LgGeometry* g = read_geometry(bytes);
    expect_geometry_equal(g, e);
    LgGeometryRelease(g);
}

TEST_F(Geometries, SharedGeometriesDieAtTheLastRelease) {
    LgGeometry* g = LgGeometryCreate(3, 1, 0);
    LgGeometryAddRef(g);
    EXPECT_EQ(LgGeometryRelease(g), 1);
    EXPECT_EQ(g->refCount, 1);
    EXPECT_EQ(LgGeometryRelease(g), 1);
}

TEST_F(Geometries, ATriangleLockDropsTheMeshHeaderAndTheUnlockRebuildsIt) {
    LgGeometry* g = read_geometry(geometry_bytes(rich_geometry()));
    ASSERT_NE(g, nullptr);
    const uint16_t serial = g->mesh->serialNum;
    LgGeometryLock(g, LgGeometryLockAll);
    EXPECT_EQ(g->mesh, nullptr);
    g->preLitLum[0].red = 99;
    ASSERT_EQ(LgGeometryUnlock(g), g);
    ASSERT_NE(g->mesh, nullptr);
    EXPECT_NE(g->mesh->serialNum, serial);
    EXPECT_EQ(g->lockFlags, LgGeometryLockAll);
    LgGeometryRelease(g);
}

TEST_F(Geometries, AStoredMeshHeaderIsUsedInsteadOfABuiltOne) {
    mw::Geometry e = modeltest::triangle_fan(4, {entry(1), entry(2)});
    e.meshHeader = mw::MeshHeader{0, {{1, {0, 2, 3}}, {0, {0, 1, 2}}}};
    LgGeometry* g = read_geometry(geometry_bytes(e));
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->mesh->numMeshes, 2);
    const LgMesh* m = LgMeshHeaderGetMeshes(g->mesh);
    EXPECT_EQ(m[0].material, LgMaterialListGet(&g->matList, 1));
    EXPECT_EQ(m[0].indices[1], 2);
    LgGeometryRelease(g);
}

// Single allocations, so the live block count shows whatever a failed read leaves behind.
class HostileGeometries : public ModelEngine {
protected:
    HostileGeometries() : ModelEngine(LgEngineInitNoFreeLists) {}
};

std::vector<uint8_t> unchecked(const mw::Geometry& g) {
    mw::ChunkWriter w;
    mw::put_geometry(w, g);
    return w.take();
}

void put_word(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(HostileGeometries, BadCountsAndIndicesFailWithoutLeaks) {
    const mw::Geometry good = modeltest::triangle_fan(4, {entry(1), entry(2)});
    constexpr size_t countsAt = 12 + 12 + 4; // T, V, M
    auto with = [&](auto change) {
        mw::Geometry g = good;
        change(g);
        return unchecked(g);
    };
    auto patched = [&](size_t at, uint32_t v) {
        auto bytes = unchecked(good);
        put_word(bytes, at, v);
        return bytes;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"vertex index", with([](mw::Geometry& g) { g.triangles[1].c = 4; })},
        {"material index", with([](mw::Geometry& g) { g.triangles[0].material = 2; })},
        {"no material", with([](mw::Geometry& g) { g.triangles[0].material = 0xffff; })},
        {"negative triangles", patched(countsAt, 0xffffffffu)},
        {"huge triangles", patched(countsAt, 0x7fffffffu)},
        {"negative vertices", patched(countsAt + 4, 0x80000000u)},
        {"huge vertices", patched(countsAt + 4, 0x10000000u)},
        {"huge morph targets", patched(countsAt + 8, 0x01000000u)},
        {"shared later material", with([](mw::Geometry& g) { g.materials[0].shareOf = 1; })},
        {"cut short",
         [&] {
             auto b = unchecked(good);
             b.resize(b.size() / 2);
             return b;
         }()},
    };
    const long before = CountingMemory::live;
    for (const auto& c : cases) {
        EXPECT_EQ(read_geometry(c.bytes), nullptr) << c.what;
        EXPECT_EQ(CountingMemory::live, before) << c.what;
    }
}

// Found by fuzzing: counts that the struct chunk claimed but the file never held made the
// reader allocate (and clear) hundreds of megabytes before it ran out of bytes: morph targets
// whose records would say "no positions", morph targets added one by one before any record,
// and triangle arrays sized by a chunk length of gigabytes.
TEST_F(HostileGeometries, FuzzedCountsFailBeforeAllocating) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"25344 morph targets without positions in 113 bytes",
         {0x0f, 0x00, 0x00, 0x00, 0xd8, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00,
          0x00, 0x60, 0x00, 0x20, 0x00, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x29, 0x00, 0x01,
          0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x01, 0x52, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x33, 0x3f, 0x01, 0x00, 0x00,
          0x00, 0x00, 0x0a, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00, 0xff,
          0xff, 0xff, 0xff, 0x00, 0x00, 0x07, 0xff, 0xff, 0x03, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x52}},
        {"50944 morph targets with normals in 54 bytes",
         {0x0f, 0x00, 0x00, 0x00, 0x38, 0x08, 0x32, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00,
          0x00, 0x00, 0x4c, 0x06, 0x00, 0xbe, 0x04, 0x03, 0x00, 0x00, 0x3c, 0x64, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xc7, 0x00, 0x00, 0x00, 0x02,
          0x00, 0x76, 0x00, 0x0f, 0x00, 0x00, 0x00, 0x76, 0x01, 0x03, 0x00, 0x04}},
        {"2.8 GB of triangles claimed in 66 bytes",
         {0x0f, 0x00, 0x00, 0x00, 0x38, 0x08, 0x32, 0x00, 0x04, 0x03, 0x00, 0x00, 0x01, 0x00,
          0x00, 0x00, 0x4c, 0x06, 0x00, 0xbe, 0x04, 0x03, 0x00, 0x00, 0x3c, 0x64, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x15, 0x00, 0x04, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x02,
          0x00, 0x76, 0x00, 0x0f, 0x00, 0x02, 0x00, 0xd8, 0x25, 0x01, 0x2f, 0x64, 0x65, 0x2d,
          0x2f, 0x64, 0x72, 0x69, 0x76, 0x65, 0x2d, 0x03, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        modeltest::AllocationWatch watch;
        EXPECT_EQ(read_geometry(c.bytes), nullptr) << c.what;
        EXPECT_LT(watch.total(), size_t{64} << 10) << c.what;
    }
}

TEST_F(HostileGeometries, NormalsWithoutTheFlagArePassedOver) {
    mw::Geometry e = modeltest::triangle_fan(4, {entry(1)});
    e.targets[0].normals.assign(4, mw::Vec3{0, 0, 1});
    LgGeometry* g = read_geometry(unchecked(e));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->morphTarget[0].normals, nullptr);
    EXPECT_EQ(g->matList.numMaterials, 1); // the chunks after the struct still line up
    LgGeometryRelease(g);
}

} // namespace
