// Mesh headers: list rounds, strips and their joins on small meshes, the winding every strip
// keeps, the material order of meshes, and the binary form with hostile headers.
#include "tests/engine/world/model_test_support.h"
#include "tools/modelwriter/model_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

using modeltest::ModelEngine;
namespace mw = modelwriter;

namespace {

using Tri = std::array<uint16_t, 3>;
using Indices = std::vector<uint16_t>;

// A triangle as its rotation starting at its smallest vertex, so windings compare.
Tri canonical(Tri t) {
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    return t;
}

// The non-degenerate triangles a strip draws, with the winding of each.
std::vector<Tri> strip_triangles(const Indices& s) {
    std::vector<Tri> out;
    for (size_t i = 0; i + 2 < s.size(); ++i) {
        Tri t = i % 2 == 0 ? Tri{s[i], s[i + 1], s[i + 2]} : Tri{s[i + 1], s[i], s[i + 2]};
        if (t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) out.push_back(canonical(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class Meshes : public ModelEngine {
protected:
    void TearDown() override {
        for (LgMeshHeader* h : headers) LgMeshHeaderDestroy(h);
        for (LgMaterial* m : materials) LgMaterialRelease(m);
        LgMaterialListDeinit(&list);
    }
    LgMaterial* material(uint8_t alpha = 255) {
        materials.push_back(LgMaterialCreate());
        const LgRGBA colour = {255, 255, 255, alpha};
        LgMaterialSetColor(materials.back(), &colour);
        return materials.back();
    }
    LgMeshHeader* build(const std::vector<Tri>& tris, uint32_t flags,
                        std::vector<LgMaterial*> perTriangle = {}) {
        LgMeshBuilder* b = LgMeshBuilderCreate(static_cast<uint32_t>(tris.size()));
        for (size_t i = 0; i < tris.size(); ++i)
            LgMeshBuilderAddTriangle(b, perTriangle.empty() ? nullptr : perTriangle[i], tris[i][0],
                                     tris[i][1], tris[i][2]);
        LgMeshHeader* h = LgMeshBuilderFinish(b, flags, &list);
        if (h != nullptr) headers.push_back(h);
        return h;
    }
    static Indices indices(LgMeshHeader* h, int mesh) {
        const LgMesh& m = LgMeshHeaderGetMeshes(h)[mesh];
        return Indices(m.indices, m.indices + m.numIndices);
    }

    std::vector<LgMeshHeader*> headers;
    std::vector<LgMaterial*> materials;
    LgMaterialList list = {nullptr, 0, 0};
};

TEST_F(Meshes, NoTrianglesGiveTheEmptyHeaderWhichIsNeverFreed) {
    LgMeshHeader* h = LgMeshBuilderFinish(LgMeshBuilderCreate(0), LgMeshHeaderTriStrip);
    EXPECT_EQ(h, LgMeshHeaderEmpty());
    EXPECT_EQ(LgMeshHeaderDestroy(h), 1);
    EXPECT_EQ(h->numMeshes, 0);
}

TEST_F(Meshes, ListRoundsSeparateTrianglesThatShareVertices) {
    LgMeshHeader* h = build({{0, 1, 2}, {2, 3, 4}, {5, 6, 7}}, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->flags, 0u);
    EXPECT_EQ(h->totalIndicesInMesh, 9u);
    EXPECT_EQ(indices(h, 0), (Indices{0, 1, 2, 5, 6, 7, 2, 3, 4}));
}

TEST_F(Meshes, StripsFollowTheStartRuleAndJoinWithDegenerates) {
    const struct {
        std::vector<Tri> tris;
        Indices expected;
    } cases[] = {
        // One triangle: no edge is shared, so the strip starts at rotation 1.
        {{{0, 1, 2}}, {1, 2, 0}},
        // A quad: the strip starts at the later triangle and crosses the shared edge.
        {{{0, 1, 2}, {2, 1, 3}}, {3, 2, 1, 0}},
        // Two separate triangles: the last strip made leads; its odd length doubles the join.
        {{{0, 1, 2}, {3, 4, 5}}, {1, 2, 0, 0, 4, 4, 4, 5, 3}},
    };
    for (const auto& c : cases) {
        LgMeshHeader* h = build(c.tris, LgMeshHeaderTriStrip);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->flags, LgMeshHeaderTriStrip);
        EXPECT_EQ(indices(h, 0), c.expected);
        EXPECT_EQ(h->totalIndicesInMesh, c.expected.size());
    }
}

TEST_F(Meshes, StripsDrawEveryTriangleOnceWithItsWinding) {
    const mw::Geometry grid = mw::make_grid(12, 1.0f, mw::Material{});
    std::vector<Tri> tris;
    for (const mw::Triangle& t : grid.triangles) tris.push_back({t.a, t.b, t.c});
    LgMeshHeader* h = build(tris, LgMeshHeaderTriStrip);
    ASSERT_NE(h, nullptr);
    std::vector<Tri> expected;
    for (const Tri& t : tris) expected.push_back(canonical(t));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(strip_triangles(indices(h, 0)), expected);
    // Long strips: far fewer indices than a list's three per triangle.
    EXPECT_LT(h->totalIndicesInMesh, 2 * tris.size());
}

TEST_F(Meshes, MeshesGoOpaqueFirstThenInMaterialListOrder) {
    LgMaterial* clear = material(254);
    LgMaterial* second = material();
    LgMaterial* first = material();
    for (LgMaterial* m : {clear, first, second}) LgMaterialListAppend(&list, m);
    for (uint32_t flags : {0u, LgMeshHeaderTriStrip}) {
        LgMeshHeader* h = build({{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}, flags, {clear, second, first});
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(h->numMeshes, 3);
        const LgMesh* m = LgMeshHeaderGetMeshes(h);
        EXPECT_EQ(m[0].material, first);
        EXPECT_EQ(m[1].material, second);
        EXPECT_EQ(m[2].material, clear);
    }
}

class MeshStreams : public Meshes {
protected:
    LgMeshHeader* read(const std::vector<uint8_t>& payload, uint32_t vertices) {
        LgStreamMemory data = {const_cast<uint8_t*>(payload.data()),
                               static_cast<uint32_t>(payload.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        LgMeshHeader* h =
            LgMeshHeaderStreamRead(s, static_cast<uint32_t>(payload.size()), &list, vertices);
        LgStreamClose(s, nullptr);
        if (h != nullptr) headers.push_back(h);
        return h;
    }
    void SetUp() override {
        Meshes::SetUp();
        for (int i = 0; i < 8; ++i) LgMaterialListAppend(&list, material());
    }
};

TEST_F(MeshStreams, WrittenHeadersReadBackWithTheirMaterials) {
    LgMeshHeader* built = build({{0, 1, 2}, {2, 1, 3}, {4, 5, 6}}, LgMeshHeaderTriStrip,
                                {materials[7], materials[7], materials[2]});
    LgStream* out = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    ASSERT_EQ(LgMeshHeaderStreamWrite(built, out, &list), built);
    LgStreamMemory written = {nullptr, 0};
    LgStreamClose(out, &written);
    const std::vector<uint8_t> payload(written.start, written.start + written.length);
    LgEngineInstancePtr->memoryFunctions.free(written.start);
    EXPECT_EQ(payload.size(), static_cast<size_t>(LgMeshHeaderStreamSize(built)));

    LgMeshHeader* back = read(payload, 7);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back->serialNum, built->serialNum);
    ASSERT_EQ(back->numMeshes, built->numMeshes);
    for (int m = 0; m < back->numMeshes; ++m) {
        EXPECT_EQ(indices(back, m), indices(built, m));
        EXPECT_EQ(LgMeshHeaderGetMeshes(back)[m].material,
                  LgMeshHeaderGetMeshes(built)[m].material);
    }
}

TEST_F(MeshStreams, HostileHeadersFail) {
    auto header = [](uint32_t total, std::vector<std::vector<uint32_t>> meshes) {
        mw::MeshHeader h;
        for (auto& m : meshes) h.meshes.push_back({m[0], {m.begin() + 1, m.end()}});
        auto bytes = mw::mesh_header_payload(h);
        bytes[8] = static_cast<uint8_t>(total); // the total index count
        return bytes;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> payload;
    } cases[] = {
        {"material index past the list", header(3, {{8, 0, 1, 2}})},
        {"vertex index past the owner", header(3, {{0, 0, 1, 7}})},
        {"counts above the total", header(2, {{0, 0, 1, 2}})},
        {"counts below the total", header(4, {{0, 0, 1, 2}})},
    };
    EXPECT_NE(read(header(3, {{7, 0, 1, 2}}), 7), nullptr);
    for (const auto& c : cases) EXPECT_EQ(read(c.payload, 7), nullptr) << c.what;
    // An index beyond 16 bits, however many vertices the owner claims.
    EXPECT_EQ(read(header(3, {{0, 0, 1, 0x10000}}), 0x20000), nullptr);
    // More meshes than the payload holds.
    std::vector<uint8_t> truncated = header(3, {{0, 0, 1, 2}});
    truncated.resize(truncated.size() - 4);
    EXPECT_EQ(read(truncated, 7), nullptr);
}

} // namespace
