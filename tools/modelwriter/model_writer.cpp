// The clump, geometry, material list, material and texture chunks, written in the order the
// engine's readers find them.
#include "tools/modelwriter/model_writer.h"

#include "tools/modelwriter/model_check.h"
#include "tools/modelwriter/model_shapes.h"

#include <cstdio>

namespace modelwriter {

namespace {

constexpr uint32_t structChunk = 0x1;
constexpr uint32_t textureChunk = 0x6;
constexpr uint32_t materialChunk = 0x7;
constexpr uint32_t materialListChunk = 0x8;
constexpr uint32_t frameListChunk = 0xe;
constexpr uint32_t geometryChunk = 0xf;
constexpr uint32_t clumpChunk = 0x10;
constexpr uint32_t atomicChunk = 0x14;
constexpr uint32_t geometryListChunk = 0x1a;
constexpr uint32_t meshHeaderPlugin = 0x50e;
// Struct versions below this one mean the older clump and atomic forms without geometry lists.
constexpr uint32_t inlineGeometryVersion = 0x303;

void put_geometry_struct(ChunkWriter& w, const Geometry& g) {
    const size_t v = g.vertex_count();
    w.begin_chunk(structChunk);
    w.u32(g.flags);
    w.i32(static_cast<int32_t>(g.triangles.size()));
    w.i32(static_cast<int32_t>(v));
    w.i32(static_cast<int32_t>(g.targets.size()));
    put_surface(w, g.surface);
    if ((g.flags & geometryPrelit) != 0) put_prelit(w, g.prelit);
    if ((g.flags & geometryTextured) != 0) put_tex_coords(w, g.texCoords);
    for (const Triangle& t : g.triangles) {
        w.u32(static_cast<uint32_t>(t.a) << 16 | t.b);
        w.u32(static_cast<uint32_t>(t.c) << 16 | t.material);
    }
    for (const MorphTarget& target : g.targets) {
        const Sphere sphere = target.sphere ? *target.sphere : bounding_sphere(target.positions);
        put_vec(w, sphere.centre);
        w.f32(sphere.radius);
        w.u32(target.positions.empty() ? 0 : 1);
        w.u32(target.normals.empty() ? 0 : 1);
        for (const Vec3& p : target.positions) put_vec(w, p);
        for (const Vec3& n : target.normals) put_vec(w, n);
    }
    w.end_chunk();
}

void put_frame_record(ChunkWriter& w, const Frame& f) {
    put_vec(w, f.right);
    put_vec(w, f.up);
    put_vec(w, f.at);
    put_vec(w, f.position);
    w.i32(f.parent);
    w.u32(0);
}

} // namespace

void put_vec(ChunkWriter& w, const Vec3& v) {
    w.f32(v.x);
    w.f32(v.y);
    w.f32(v.z);
}

void put_surface(ChunkWriter& w, const Surface& s) {
    for (float f : s) w.f32(f);
}

void put_prelit(ChunkWriter& w, const std::vector<Colour>& colours) {
    for (const Colour& c : colours) {
        w.u8(c.r);
        w.u8(c.g);
        w.u8(c.b);
        w.u8(c.a);
    }
}

void put_tex_coords(ChunkWriter& w, const std::vector<TexCoord>& coords) {
    for (const TexCoord& t : coords) {
        w.f32(t.u);
        w.f32(t.v);
    }
}

std::vector<uint8_t> mesh_header_payload(const MeshHeader& header) {
    ChunkWriter w;
    size_t total = 0;
    for (const Mesh& m : header.meshes) total += m.indices.size();
    w.u32(header.flags);
    w.u32(static_cast<uint32_t>(header.meshes.size()));
    w.u32(static_cast<uint32_t>(total));
    for (const Mesh& m : header.meshes) {
        w.u32(static_cast<uint32_t>(m.indices.size()));
        w.u32(m.material);
        for (uint32_t index : m.indices) w.u32(index);
    }
    return w.take();
}

void put_texture(ChunkWriter& w, const Texture& t) {
    w.begin_chunk(textureChunk);
    w.begin_chunk(structChunk);
    // Bit 16 stays clear: mip levels are generated, never read from files.
    w.u32((t.filter & 0xff) | (t.addressU & 0xf) << 8 | (t.addressV & 0xf) << 12);
    w.end_chunk();
    w.string_chunk(t.name);
    w.string_chunk(t.mask);
    w.extension_chunk(t.extensions);
    w.end_chunk();
}

void put_material(ChunkWriter& w, const Material& m) {
    w.begin_chunk(materialChunk);
    w.begin_chunk(structChunk);
    w.u32(0);
    w.u8(m.colour.r);
    w.u8(m.colour.g);
    w.u8(m.colour.b);
    w.u8(m.colour.a);
    w.u32(0);
    w.u32(m.texture ? 1 : 0);
    put_surface(w, m.surface);
    w.end_chunk();
    if (m.texture) put_texture(w, *m.texture);
    w.extension_chunk(m.extensions);
    w.end_chunk();
}

void put_material_list(ChunkWriter& w, const std::vector<MaterialEntry>& materials) {
    w.begin_chunk(materialListChunk);
    w.begin_chunk(structChunk);
    w.u32(static_cast<uint32_t>(materials.size()));
    for (const MaterialEntry& e : materials) w.i32(e.shareOf < 0 ? -1 : e.shareOf);
    w.end_chunk();
    for (const MaterialEntry& e : materials)
        if (e.shareOf < 0) put_material(w, e.material);
    w.end_chunk();
}

void put_geometry(ChunkWriter& w, const Geometry& g) {
    w.begin_chunk(geometryChunk);
    put_geometry_struct(w, g);
    put_material_list(w, g.materials);
    std::vector<PluginData> extensions = g.extensions;
    if (g.meshHeader) extensions.push_back({meshHeaderPlugin, mesh_header_payload(*g.meshHeader)});
    w.extension_chunk(extensions);
    w.end_chunk();
}

void put_frame_list(ChunkWriter& w, const std::vector<Frame>& frames) {
    w.begin_chunk(frameListChunk);
    w.begin_chunk(structChunk);
    w.i32(static_cast<int32_t>(frames.size()));
    for (const Frame& f : frames) put_frame_record(w, f);
    w.end_chunk();
    for (const Frame& f : frames) w.extension_chunk(f.extensions);
    w.end_chunk();
}

void put_atomic(ChunkWriter& w, const Atomic& a, const Geometry* inlineGeometry) {
    w.begin_chunk(atomicChunk);
    if (inlineGeometry != nullptr) {
        w.begin_chunk(structChunk, inlineGeometryVersion);
        w.u32(a.frame);
        w.u32(a.flags);
        w.u32(0);
        w.end_chunk();
        put_geometry(w, *inlineGeometry);
    } else {
        w.begin_chunk(structChunk);
        w.u32(a.frame);
        w.u32(a.geometry);
        w.u32(a.flags);
        w.u32(0);
        w.end_chunk();
    }
    w.extension_chunk(a.extensions);
    w.end_chunk();
}

void put_clump(ChunkWriter& w, const Clump& c) {
    const bool list = c.storage == GeometryStorage::List;
    w.begin_chunk(clumpChunk);
    w.begin_chunk(structChunk, list ? chunkVersion : inlineGeometryVersion);
    w.i32(static_cast<int32_t>(c.atomics.size()));
    w.end_chunk();
    put_frame_list(w, c.frames);
    if (list) {
        w.begin_chunk(geometryListChunk);
        w.begin_chunk(structChunk);
        w.i32(static_cast<int32_t>(c.geometries.size()));
        w.end_chunk();
        for (const Geometry& g : c.geometries) put_geometry(w, g);
        w.end_chunk();
    }
    for (const Atomic& a : c.atomics)
        put_atomic(w, a, list ? nullptr : &c.geometries.at(a.geometry));
    w.extension_chunk(c.extensions);
    w.end_chunk();
}

WriteResult write_clump(const Clump& clump, std::vector<uint8_t>& out) {
    if (std::string problem = check_clump(clump); !problem.empty()) return {problem};
    ChunkWriter w;
    put_clump(w, clump);
    out = w.take();
    return {};
}

WriteResult write_geometry(const Geometry& geometry, std::vector<uint8_t>& out) {
    if (std::string problem = check_geometry(geometry); !problem.empty()) return {problem};
    ChunkWriter w;
    put_geometry(w, geometry);
    out = w.take();
    return {};
}

WriteResult write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return {"cannot open \"" + path + "\" for writing"};
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // Closing flushes: a full disk may only show here.
    if (std::fclose(file) != 0 || !written) return {"cannot write \"" + path + "\""};
    return {};
}

} // namespace modelwriter
