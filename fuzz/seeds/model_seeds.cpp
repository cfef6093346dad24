// Seeds of the image, texture, material list, geometry, clump and mesh header harnesses:
// BMP files built byte by byte, and model chunks written by the model writer with textures
// named after the files of fuzz/model_harness.h's image path.
#include "fuzz/seeds/seed_set.h"
#include "tests/engine/core/image_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/model_writer.h"

#include <string>
#include <vector>

namespace {

namespace mw = modelwriter;
using enginetest::bmp_rows;
using enginetest::BmpFile;
using fuzzing::FuzzInputWriter;

std::vector<std::vector<uint32_t>> pattern(int32_t width, int32_t height, uint32_t modulo,
                                           uint32_t scale = 1) {
    std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            rows[static_cast<size_t>(y)].push_back((static_cast<uint32_t>(x * 3 + y * 5) % modulo) *
                                                   scale);
    return rows;
}

BmpFile bmp_of(int32_t width, int32_t height, uint16_t bits, uint32_t modulo, uint32_t scale = 1) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bits = bits;
    bmp.data = bmp_rows(bits, pattern(width, height, modulo, scale));
    return bmp;
}

mw::Texture texture(const std::string& name, const std::string& mask = "") {
    mw::Texture t;
    t.name = name;
    t.mask = mask;
    return t;
}

mw::Material textured(const std::string& name, const std::string& mask = "") {
    mw::Material m;
    m.colour = {200, 180, 160, 255};
    m.surface = {0.5f, 0.25f, 0.75f};
    m.texture = texture(name, mask);
    return m;
}

std::vector<mw::MaterialEntry> materials() {
    mw::MaterialEntry plain;
    plain.material.colour = {10, 20, 30, 128};
    mw::MaterialEntry share;
    share.shareOf = 0;
    return {{-1, textured("planks", "planksa")}, plain, share, {-1, textured("pal8")}};
}

// A box over four materials, prelit, with normals, a second morph target and a stored mesh.
mw::Geometry rich_box() {
    mw::Geometry g = mw::make_box({1, 2, 3}, textured("planks"));
    g.flags |= mw::geometryPrelit | mw::geometryNormals | mw::geometryLit;
    g.prelit.assign(g.vertex_count(), {1, 2, 3, 4});
    g.targets[0].normals = mw::vertex_normals(g.targets[0].positions, g.triangles);
    mw::MorphTarget second = g.targets[0];
    for (mw::Vec3& p : second.positions) p.y += 1;
    g.targets.push_back(second);
    g.materials = materials();
    for (size_t i = 0; i < g.triangles.size(); ++i)
        g.triangles[i].material = static_cast<uint16_t>(i % g.materials.size());
    mw::MeshHeader header;
    header.meshes.push_back({0, {0, 1, 2, 2, 1, 3}});
    header.meshes.push_back({1, {4, 5, 6}});
    g.meshHeader = header;
    return g;
}

std::vector<uint8_t> chunks_of(void (*put)(mw::ChunkWriter&, const mw::Geometry&),
                               const mw::Geometry& g) {
    mw::ChunkWriter w;
    put(w, g);
    return w.take();
}

} // namespace

FUZZ_SEEDS(engine_bmp) {
    const std::vector<uint32_t> two = {0x000000, 0xffffff};
    const std::vector<uint32_t> sixteen = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xc0c0c0,
        0x808080, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};
    BmpFile mono = bmp_of(13, 3, 1, 2);
    mono.palette = two;
    seeds.add("bits1", mono.bytes());
    BmpFile nibbles = bmp_of(7, 4, 4, 16);
    nibbles.palette = sixteen;
    seeds.add("bits4", nibbles.bytes());
    BmpFile bytes = bmp_of(5, 3, 8, 16);
    bytes.palette = sixteen;
    bytes.colourCount = 16;
    seeds.add("bits8", bytes.bytes());
    BmpFile core = bytes;
    core.coreHeader = true;
    core.colourCount = 0;
    core.palette.resize(16);
    seeds.add("bits8_core_header", core.bytes());
    seeds.add("bits15", bmp_of(3, 2, 15, 0x8000, 0x123).bytes());
    seeds.add("bits16", bmp_of(3, 2, 16, 0x10000, 0x4567).bytes());
    seeds.add("bits24", bmp_of(5, 2, 24, 0x1000000, 0x10203).bytes());
    BmpFile topDown = bmp_of(2, 3, 32, 0x1000000, 0x204060);
    topDown.height = -3;
    seeds.add("bits32_top_down", topDown.bytes());
    BmpFile gap = bmp_of(2, 2, 24, 0x1000000, 0x808080);
    gap.dataOffset = 64;
    seeds.add("bits24_gap_before_pixels", gap.bytes());
    // RLE8: a run, a literal run, a delta, end of line, end of bitmap.
    BmpFile rle;
    rle.width = 8;
    rle.height = 4;
    rle.bits = 8;
    rle.compression = 1;
    rle.palette = sixteen;
    rle.data = std::string("\x04\x01\x00\x03\x02\x03\x04\x00"
                           "\x00\x02\x01\x01"
                           "\x02\x05\x00\x00"
                           "\x08\x07\x00\x01",
                           20);
    seeds.add("rle8", rle.bytes());
}

FUZZ_SEEDS(engine_textures) {
    mw::ChunkWriter w;
    mw::Texture planks = texture("planks", "planksa");
    planks.filter = mw::filterTrilinear;
    planks.addressU = mw::addressMirror;
    planks.addressV = mw::addressClamp;
    mw::put_texture(w, planks);
    mw::put_texture(w, texture("PLANKS")); // the same texture, shared
    mw::put_texture(w, texture("pal8"));
    mw::put_texture(w, texture("missing"));
    seeds.add("named_masked_shared", w.take());

    mw::put_texture(w, texture("pal4", "planksa"));
    seeds.add("palettised_masked", w.take());

    // Mip levels read from their files (word bit 16), with an extension the engine skips.
    w.begin_chunk(0x6);
    w.begin_chunk(0x1);
    w.u32(0x10000 | mw::addressWrap << 8 | mw::filterTrilinear);
    w.end_chunk();
    w.string_chunk("planks");
    w.string_chunk("planksa");
    w.extension_chunk({{0x777, {1, 2, 3, 4}}});
    w.end_chunk();
    seeds.add("mip_levels_from_files", w.take());
}

FUZZ_SEEDS(engine_material_lists) {
    mw::ChunkWriter w;
    mw::put_material_list(w, materials());
    seeds.add("new_and_shared", w.take());
    mw::put_material_list(w, {});
    mw::MaterialEntry extended;
    extended.material.extensions = {{0x777, {9, 9, 9, 9}}};
    mw::put_material_list(w, {extended, {-1, textured("pal4")}});
    seeds.add("empty_then_extended", w.take());
}

FUZZ_SEEDS(engine_geometry) {
    seeds.add("rich_box", chunks_of(mw::put_geometry, rich_box()));
    mw::Geometry grid = mw::make_grid(3, 2.0f, textured("planks"));
    grid.flags |= mw::geometryStrips;
    seeds.add("strip_grid", chunks_of(mw::put_geometry, grid));
    mw::Geometry bare;
    bare.targets.push_back({std::nullopt, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}});
    bare.triangles.push_back({0, 1, 2, 0});
    bare.materials.push_back({});
    seeds.add("untextured", chunks_of(mw::put_geometry, bare));
}

FUZZ_SEEDS(engine_clumps) {
    std::vector<uint8_t> out;
    mw::write_clump(mw::single_atomic_clump(mw::make_box({1, 1, 1}, textured("planks"))), out);
    seeds.add("single_box", out);

    mw::Clump clump;
    clump.frames.resize(3);
    clump.frames[1].parent = 0;
    clump.frames[1].position = {0, 2, 0};
    clump.frames[2].parent = 1;
    clump.frames[2].position = {1, 0, 0};
    clump.geometries = {rich_box(), mw::make_grid(2, 1.0f, textured("pal8"))};
    clump.atomics = {{1, 0, mw::atomicCollision | mw::atomicRender, {}},
                     {2, 1, mw::atomicRender, {}},
                     {0, 0, mw::atomicCollision, {}}};
    clump.extensions = {{0x777, {1, 2, 3, 4}}};
    out.clear();
    mw::write_clump(clump, out);
    seeds.add("frames_geometry_list_atomics", out);

    clump.storage = mw::GeometryStorage::Inline;
    out.clear();
    mw::write_clump(clump, out);
    seeds.add("inline_geometries", out);
}

FUZZ_SEEDS(engine_mesh_headers) {
    auto add = [&](const std::string& name, uint8_t materials, uint16_t vertices, uint8_t beyond,
                   const mw::MeshHeader& header, std::vector<uint8_t> tail = {}) {
        std::vector<uint8_t> payload = mw::mesh_header_payload(header);
        payload.insert(payload.end(), tail.begin(), tail.end());
        seeds.add(name, FuzzInputWriter()
                            .byte(materials)
                            .byte(static_cast<uint8_t>(vertices))
                            .byte(static_cast<uint8_t>(vertices >> 8))
                            .byte(beyond)
                            .rest(payload));
    };
    mw::MeshHeader lists;
    lists.meshes = {{0, {0, 1, 2, 2, 1, 3}}, {2, {4, 5, 6}}, {1, {}}};
    add("lists", 3, 7, 0, lists);
    mw::MeshHeader strips;
    strips.flags = 1;
    strips.meshes = {{0, {0, 1, 2, 3, 4, 5}}};
    add("strips_with_padding", 1, 6, 0, strips, {0, 0, 0, 0});
    add("strips_then_more_bytes", 1, 6, 4, strips, {9, 9, 9, 9});
    add("empty", 0, 0, 0, mw::MeshHeader{});
}
