// Writes model descriptions as the engine's chunks: clump (0x10) with its frame list,
// geometry list and atomics, geometry (0xf), material list (8), material (7), texture (6).
// Each writer appends one whole chunk, header included.
#pragma once

#include "tools/modelwriter/chunk_writer.h"
#include "tools/modelwriter/model.h"

#include <string>
#include <vector>

namespace modelwriter {

// The outcome of a checked write: empty error on success.
struct WriteResult {
    std::string error;
    explicit operator bool() const { return error.empty(); }
};

// Checked entry points: the description is checked first and nothing is written when it
// fails.
WriteResult write_clump(const Clump& clump, std::vector<uint8_t>& out);
WriteResult write_geometry(const Geometry& geometry, std::vector<uint8_t>& out);
WriteResult write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// Field writers shared by the model and world writers.
void put_vec(ChunkWriter& w, const Vec3& v);
void put_surface(ChunkWriter& w, const Surface& s);
void put_prelit(ChunkWriter& w, const std::vector<Colour>& colours); // RGBA bytes
void put_tex_coords(ChunkWriter& w, const std::vector<TexCoord>& coords);

// Unchecked chunk writers for composing larger files (and for hostile test files).
void put_texture(ChunkWriter& w, const Texture& texture);
void put_material(ChunkWriter& w, const Material& material);
void put_material_list(ChunkWriter& w, const std::vector<MaterialEntry>& materials);
void put_geometry(ChunkWriter& w, const Geometry& geometry);
void put_frame_list(ChunkWriter& w, const std::vector<Frame>& frames);
// The atomic's struct names its frame and geometry; with `inlineGeometry` the older struct
// without a geometry index is written, followed by that geometry's chunk.
void put_atomic(ChunkWriter& w, const Atomic& atomic, const Geometry* inlineGeometry);
void put_clump(ChunkWriter& w, const Clump& clump);
// The mesh header's extension payload (plug-in 0x50e).
std::vector<uint8_t> mesh_header_payload(const MeshHeader& header);

} // namespace modelwriter
