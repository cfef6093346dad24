// The model-authoring library on its own: chunk lengths and padding, and the checks that keep
// it from writing files the engine would refuse.
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/model_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace mw = modelwriter;

namespace {

uint32_t word_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(ModelWriter, NestedChunksGetTheirBodyLengthsAndStringsArePadded) {
    const struct {
        std::string text;
        uint32_t length;
    } strings[] = {{"", 4}, {"abc", 4}, {"abcd", 8}};
    for (const auto& s : strings) {
        mw::ChunkWriter w;
        w.begin_chunk(0x10);
        w.string_chunk(s.text);
        w.extension_chunk({{0x601, {1, 2, 3}}});
        w.end_chunk();
        const auto b = w.take();
        EXPECT_EQ(word_at(b, 4), b.size() - 12);
        EXPECT_EQ(word_at(b, 8), 0x304u);
        EXPECT_EQ(word_at(b, 16), s.length) << s.text;
        EXPECT_EQ(b[12 + 12 + s.text.size()], 0); // terminated
        const size_t extension = 12 + 12 + s.length;
        EXPECT_EQ(word_at(b, extension + 4), 15u); // one sub-chunk of 3 bytes
    }
}

TEST(ModelWriter, DescriptionsTheEngineWouldRefuseAreNotWritten) {
    using Change = std::function<void(mw::Clump&)>;
    const struct {
        const char* what;
        Change change;
    } cases[] = {
        {"vertex index", [](mw::Clump& c) { c.geometries[0].triangles[0].c = 24; }},
        {"material index", [](mw::Clump& c) { c.geometries[0].triangles[0].material = 1; }},
        {"share of a later entry", [](mw::Clump& c) { c.geometries[0].materials[0].shareOf = 0; }},
        {"long texture name",
         [](mw::Clump& c) {
             c.geometries[0].materials[0].material.texture =
                 mw::Texture{std::string(32, 'x'), "", 1, 1, 1, {}};
         }},
        {"pre-lit count", [](mw::Clump& c) { c.geometries[0].flags |= mw::geometryPrelit; }},
        {"normals without the flag",
         [](mw::Clump& c) { c.geometries[0].flags &= ~mw::geometryNormals; }},
        {"no morph target", [](mw::Clump& c) { c.geometries[0].targets.clear(); }},
        {"second root", [](mw::Clump& c) { c.frames.push_back(mw::Frame{}); }},
        {"atomic frame", [](mw::Clump& c) { c.atomics[0].frame = 1; }},
        {"atomic geometry", [](mw::Clump& c) { c.atomics[0].geometry = 1; }},
        {"mesh material",
         [](mw::Clump& c) {
             c.geometries[0].meshHeader = mw::MeshHeader{0, {{3, {0, 1, 2}}}};
         }},
    };
    const mw::Clump good = mw::single_atomic_clump(mw::make_box({1, 1, 1}, mw::Material{}));
    std::vector<uint8_t> out;
    ASSERT_TRUE(mw::write_clump(good, out));
    for (const auto& c : cases) {
        mw::Clump bad = good;
        c.change(bad);
        std::vector<uint8_t> untouched;
        const mw::WriteResult r = mw::write_clump(bad, untouched);
        EXPECT_FALSE(r) << c.what;
        EXPECT_TRUE(untouched.empty()) << c.what;
    }
}

TEST(ModelWriter, BoxesAreWoundOutwardAndSpheresEncloseTheirPoints) {
    const mw::Geometry box = mw::make_box({1, 2, 3}, mw::Material{});
    const auto& p = box.targets[0].positions;
    const std::vector<mw::Vec3> normals = mw::vertex_normals(p, box.triangles);
    for (size_t i = 0; i < p.size(); ++i) {
        // Each face's vertex normal points the way its face does.
        const mw::Vec3& n = box.targets[0].normals[i];
        EXPECT_NEAR(normals[i].x, n.x, 1e-6);
        EXPECT_NEAR(normals[i].y, n.y, 1e-6);
        EXPECT_NEAR(normals[i].z, n.z, 1e-6);
    }
    const mw::Sphere s = *box.targets[0].sphere;
    EXPECT_EQ(s.centre, (mw::Vec3{0, 0, 0}));
    EXPECT_NEAR(s.radius, std::sqrt(14.0f), 1e-5);
}

} // namespace
