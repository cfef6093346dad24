// Shared set-up of the world tests: writer-made worlds read back through the engine, and the
// fixtures the tie, collision and render tests stand on.
#pragma once

#include "engine/world/lg_collision.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"
#include "engine/world/lg_world_walk.h"
#include "tests/engine/world/model_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace worldtest {

namespace mw = modelwriter;

inline std::vector<uint8_t> world_bytes(const mw::World& world) {
    std::vector<uint8_t> out;
    const mw::WriteResult r = mw::write_world(world, out);
    EXPECT_TRUE(r) << r.error;
    return out;
}

inline LgWorld* read_world(const std::vector<uint8_t>& bytes) {
    return modeltest::read_chunk(bytes, LgChunkWorld, LgWorldStreamRead);
}

inline mw::Material coloured(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    mw::Material m;
    m.colour = {r, g, b, a};
    return m;
}

// A ground of cells x cells squares of `size`, wound upward, built into a BSP whose leaves
// hold at most `perSector` triangles; the world starts at (16, 16, 16).
inline mw::World ground_world(int cells, float size, size_t perSector, uint32_t flags = 0) {
    mw::TriangleSoup soup = mw::soup_of(mw::make_grid(cells, size, coloured(255, 255, 255)));
    if ((flags & mw::worldTextured) == 0) soup.texCoords.clear();
    if ((flags & mw::worldNormals) == 0) soup.normals.clear();
    if ((flags & mw::worldPrelit) != 0)
        soup.prelit.assign(soup.positions.size(), {10, 20, 30, 255});
    mw::BuildOptions options;
    options.flags = flags;
    options.maxSectorTriangles = perSector;
    std::optional<mw::World> w = mw::build_world(soup, options);
    EXPECT_TRUE(w.has_value());
    return w ? *w : mw::World{};
}

class WorldEngine : public modeltest::ModelEngine {
protected:
    explicit WorldEngine(uint32_t flags = 0) : ModelEngine(flags) {}
};

inline std::vector<LgAtomicSector*> sectors_of(LgWorld* world) {
    std::vector<LgAtomicSector*> out;
    LgWorldForAllAtomicSectors(
        world,
        [](LgAtomicSector* s, void* data) {
            static_cast<std::vector<LgAtomicSector*>*>(data)->push_back(s);
            return s;
        },
        &out);
    return out;
}

} // namespace worldtest
