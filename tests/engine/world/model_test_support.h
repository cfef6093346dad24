// Shared set-up of the model tests: an engine started with the world plug-in, textures made
// by name without files, and readers that take chunks from writer-made bytes.
#pragma once

#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_plugin.h"
#include "tests/engine/core/engine_test_support.h"
#include "tools/modelwriter/model_writer.h"

#include <gtest/gtest.h>

#include <functional>
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

// The engine with the world plug-in; `flags` LgEngineInitNoFreeLists makes every object a
// single allocation, so the live block count shows leaks.
class ModelEngine : public ::testing::Test {
protected:
    explicit ModelEngine(uint32_t flags = 0, std::function<void()> attach = {})
        : engine(flags, [attach] {
              ASSERT_TRUE(LgWorldPluginAttach());
              if (attach) attach();
          }) {}
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        LgTextureSetReadCallBack(texture_by_name);
    }

    enginetest::StartedEngine engine;
};

} // namespace modeltest
