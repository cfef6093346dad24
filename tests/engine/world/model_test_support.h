// Shared set-up of the model tests: an engine started with the world plug-in, textures made
// by name without files, and readers that take chunks from writer-made bytes.
#pragma once

#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_plugin.h"
#include "tests/engine/core/null_device.h"
#include "tools/modelwriter/model_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace modeltest {

namespace mw = modelwriter;

// Textures are made by name; "missing" cannot be read.
inline LgTexture* texture_by_name(const char* name, const char* mask) {
    if (std::string(name) == "missing") return nullptr;
    LgTexture* t = LgTextureCreate(nullptr);
    LgTextureSetName(t, name);
    LgTextureSetMaskName(t, mask);
    return t;
}

// A memory stream over the bytes for the reader, positioned after the first chunk of the
// type; null when there is none.
template <typename T>
T* read_chunk(const std::vector<uint8_t>& bytes, uint32_t type, T* (*reader)(LgStream*)) {
    LgStreamMemory data = {const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size())};
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
    if (s == nullptr) return nullptr;
    T* result = LgStreamFindChunk(s, type, nullptr, nullptr) ? reader(s) : nullptr;
    LgStreamClose(s, nullptr);
    return result;
}

inline LgClump* read_clump(const std::vector<uint8_t>& bytes) {
    return read_chunk(bytes, LgChunkClump, LgClumpStreamRead);
}
inline LgGeometry* read_geometry(const std::vector<uint8_t>& bytes) {
    return read_chunk(bytes, LgChunkGeometry, LgGeometryStreamRead);
}

inline std::vector<uint8_t> clump_bytes(const mw::Clump& clump) {
    std::vector<uint8_t> out;
    const mw::WriteResult r = mw::write_clump(clump, out);
    EXPECT_TRUE(r) << r.error;
    return out;
}
inline std::vector<uint8_t> geometry_bytes(const mw::Geometry& geometry) {
    std::vector<uint8_t> out;
    const mw::WriteResult r = mw::write_geometry(geometry, out);
    EXPECT_TRUE(r) << r.error;
    return out;
}

// A one-triangle-per-material geometry over `vertices` positions along x.
inline mw::Geometry triangle_fan(int vertices, std::vector<mw::MaterialEntry> materials) {
    mw::Geometry g;
    mw::MorphTarget t;
    for (int i = 0; i < vertices; ++i) t.positions.push_back({float(i), float(i % 2), 0});
    g.targets.push_back(t);
    for (uint16_t i = 1; i + 1 < vertices; ++i)
        g.triangles.push_back(
            {0, i, static_cast<uint16_t>(i + 1),
             static_cast<uint16_t>(materials.empty() ? 0 : (i - 1) % materials.size())});
    g.materials = std::move(materials);
    return g;
}

// Records the blocks the engine asks its allocation functions for while in scope, so tests can
// see that a hostile count is not trusted with memory.
class AllocationWatch {
public:
    AllocationWatch() : saved_(LgEngineInstancePtr->memoryFunctions) {
        counts() = {0, 0};
        LgEngineInstancePtr->memoryFunctions.alloc = record;
        LgEngineInstancePtr->memoryFunctions.realloc = record_realloc;
    }
    ~AllocationWatch() { LgEngineInstancePtr->memoryFunctions = saved_; }
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    size_t largest() const { return counts().first; }
    size_t total() const { return counts().second; }

private:
    static std::pair<size_t, size_t>& counts() {
        static std::pair<size_t, size_t> value;
        return value;
    }
    static void note(size_t size) {
        counts().first = std::max(counts().first, size);
        counts().second += size;
    }
    static void* record(size_t size) {
        note(size);
        return enginetest::CountingMemory::alloc(size);
    }
    static void* record_realloc(void* block, size_t size) {
        note(size);
        return enginetest::CountingMemory::realloc(block, size);
    }
    LgMemoryFunctions saved_;
};

// The engine with the world plug-in; `flags` LgEngineInitNoFreeLists makes every object a
// single allocation, so the live block count shows leaks.
class ModelEngine : public ::testing::Test {
protected:
    explicit ModelEngine(uint32_t flags = 0, std::function<void()> attach = {})
        : engine(flags, [this, attach] {
              device.install(engine.device);
              ASSERT_TRUE(LgWorldPluginAttach());
              if (attach) attach();
          }) {}
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        LgTextureSetReadCallBack(texture_by_name);
    }

    enginetest::NullDevice device; // constructed before the engine opens on it
    enginetest::StartedEngine engine;
};

} // namespace modeltest

namespace modeltest {

inline void expect_vec(const LgVector& v, const mw::Vec3& e) {
    EXPECT_EQ(v.x, e.x);
    EXPECT_EQ(v.y, e.y);
    EXPECT_EQ(v.z, e.z);
}

inline void expect_material_equal(const LgMaterial* m, const mw::Material& e) {
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->color.red, e.colour.r);
    EXPECT_EQ(m->color.green, e.colour.g);
    EXPECT_EQ(m->color.blue, e.colour.b);
    EXPECT_EQ(m->color.alpha, e.colour.a);
    EXPECT_EQ(m->surfaceProps.ambient, e.surface[0]);
    EXPECT_EQ(m->surfaceProps.specular, e.surface[1]);
    EXPECT_EQ(m->surfaceProps.diffuse, e.surface[2]);
    ASSERT_EQ(m->texture != nullptr, e.texture.has_value());
    if (e.texture) {
        EXPECT_STREQ(LgTextureGetName(m->texture), e.texture->name.c_str());
        EXPECT_STREQ(LgTextureGetMaskName(m->texture), e.texture->mask.c_str());
    }
}

// Everything the description says, read back field by field.
inline void expect_geometry_equal(const LgGeometry* g, const mw::Geometry& e) {
    ASSERT_NE(g, nullptr);
    const auto v = static_cast<int32_t>(e.vertex_count());
    EXPECT_EQ(g->header.flags, e.flags);
    EXPECT_EQ(g->surfaceProps.ambient, e.surface[0]);
    EXPECT_EQ(g->surfaceProps.specular, e.surface[1]);
    EXPECT_EQ(g->surfaceProps.diffuse, e.surface[2]);
    ASSERT_EQ(g->numVertices, v);
    ASSERT_EQ(g->numTriangles, static_cast<int32_t>(e.triangles.size()));
    ASSERT_EQ(g->numMorphTargets, static_cast<int32_t>(e.targets.size()));
    for (int32_t i = 0; i < g->numTriangles; ++i) {
        const LgTriangle& t = g->triangles[i];
        const mw::Triangle& x = e.triangles[i];
        EXPECT_EQ(t.vertIndex[0], x.a);
        EXPECT_EQ(t.vertIndex[1], x.b);
        EXPECT_EQ(t.vertIndex[2], x.c);
        EXPECT_EQ(t.matIndex, x.material);
    }
    for (size_t i = 0; i < e.prelit.size(); ++i) {
        EXPECT_EQ(g->preLitLum[i].red, e.prelit[i].r);
        EXPECT_EQ(g->preLitLum[i].alpha, e.prelit[i].a);
    }
    for (size_t i = 0; i < e.texCoords.size(); ++i) {
        EXPECT_EQ(g->texCoords[i].u, e.texCoords[i].u);
        EXPECT_EQ(g->texCoords[i].v, e.texCoords[i].v);
    }
    for (int32_t k = 0; k < g->numMorphTargets; ++k) {
        const LgMorphTarget& t = g->morphTarget[k];
        const mw::MorphTarget& x = e.targets[k];
        if (x.sphere) {
            expect_vec(t.boundingSphere.center, x.sphere->centre);
            EXPECT_EQ(t.boundingSphere.radius, x.sphere->radius);
        }
        for (int32_t i = 0; i < v; ++i) expect_vec(t.verts[i], x.positions[i]);
        ASSERT_EQ(t.normals != nullptr, !x.normals.empty());
        for (size_t i = 0; i < x.normals.size(); ++i) expect_vec(t.normals[i], x.normals[i]);
    }
    ASSERT_EQ(g->matList.numMaterials, static_cast<int32_t>(e.materials.size()));
    for (size_t i = 0; i < e.materials.size(); ++i) {
        const int32_t source =
            e.materials[i].shareOf < 0 ? static_cast<int32_t>(i) : e.materials[i].shareOf;
        if (source != static_cast<int32_t>(i))
            EXPECT_EQ(LgMaterialListGet(&g->matList, static_cast<int32_t>(i)),
                      LgMaterialListGet(&g->matList, source));
        else
            expect_material_equal(LgMaterialListGet(&g->matList, source), e.materials[i].material);
    }
    EXPECT_NE(g->mesh, nullptr);
}

} // namespace modeltest
