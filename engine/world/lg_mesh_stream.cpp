// The mesh header's binary form (extension plug-in 0x50e): flags, counts, then per mesh its
// index count, material index and vertex indices, all 32-bit; and its stream functions on
// geometries.
#include "engine/core/lg_error.h"
#include "engine/core/lg_stream.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_mesh.h"

namespace {

constexpr uint32_t headSize = 12;
constexpr uint32_t meshHeadSize = 8;
constexpr uint32_t indexRun = 256; // indices move in runs of this many words

void fail_bad_data() {
    LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
}

// Reads one mesh's indices; each must name a vertex of the owner and fit 16 bits.
bool read_indices(LgStream* stream, uint16_t* out, uint32_t count, uint32_t numVertices) {
    uint32_t run[indexRun];
    while (count > 0) {
        const uint32_t n = count < indexRun ? count : indexRun;
        if (LgStreamReadInt32s(stream, run, n * 4) == nullptr) return false;
        for (uint32_t i = 0; i < n; ++i) {
            if (run[i] >= numVertices || run[i] > 0xffff) {
                fail_bad_data();
                return false;
            }
            *out++ = static_cast<uint16_t>(run[i]);
        }
        count -= n;
    }
    return true;
}

bool read_meshes(LgStream* stream, LgMeshHeader* header, const LgMaterialList* materials,
                 uint32_t numVertices) {
    LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    uint16_t* cursor = header->numMeshes > 0 ? meshes[0].indices : nullptr;
    uint32_t remaining = header->totalIndicesInMesh;
    for (uint32_t m = 0; m < header->numMeshes; ++m) {
        uint32_t head[2];
        if (LgStreamReadInt32s(stream, head, sizeof(head)) == nullptr) return false;
        const uint32_t count = head[0], materialIndex = head[1];
        if (count > remaining || materials == nullptr ||
            materialIndex >= static_cast<uint32_t>(materials->numMaterials)) {
            fail_bad_data();
            return false;
        }
        meshes[m] = {cursor, count,
                     LgMaterialListGet(materials, static_cast<int32_t>(materialIndex))};
        if (!read_indices(stream, cursor, count, numVertices)) return false;
        cursor += count;
        remaining -= count;
    }
    if (remaining != 0) fail_bad_data();
    return remaining == 0;
}

LgStream* geometry_mesh_read(LgStream* stream, int32_t length, void* object, int32_t, int32_t) {
    auto* g = static_cast<LgGeometry*>(object);
    LgMeshHeader* header = LgMeshHeaderStreamRead(
        stream, static_cast<uint32_t>(length), &g->matList, static_cast<uint32_t>(g->numVertices));
    if (header == nullptr) return nullptr;
    if (g->mesh != nullptr) LgMeshHeaderDestroy(g->mesh);
    g->mesh = header;
    return stream;
}

LgStream* geometry_mesh_write(LgStream* stream, int32_t, const void* object, int32_t, int32_t) {
    const auto* g = static_cast<const LgGeometry*>(object);
    if (g->mesh == nullptr) return stream;
    return LgMeshHeaderStreamWrite(g->mesh, stream, &g->matList) != nullptr ? stream : nullptr;
}

// -1: no header, so nothing to write.
int32_t geometry_mesh_size(const void* object, int32_t, int32_t) {
    const auto* g = static_cast<const LgGeometry*>(object);
    return g->mesh != nullptr ? LgMeshHeaderStreamSize(g->mesh) : -1;
}

} // namespace

LgMeshHeader* LgMeshHeaderStreamRead(LgStream* stream, uint32_t length,
                                     const LgMaterialList* materials, uint32_t numVertices) {
    if (stream == nullptr) return nullptr;
    uint32_t head[3];
    if (length < headSize || LgStreamReadInt32s(stream, head, headSize) == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
        return nullptr;
    }
    const uint32_t flags = head[0], numMeshes = head[1], total = head[2];
    const uint64_t size = headSize + uint64_t{meshHeadSize} * numMeshes + uint64_t{4} * total;
    if (numMeshes > 0xffff || size > length) {
        fail_bad_data();
        return nullptr;
    }
    LgMeshHeader* header = LgMeshHeaderAllocate(flags, numMeshes, total);
    if (header == nullptr) return nullptr;
    if (!read_meshes(stream, header, materials, numVertices) ||
        LgStreamSkip(stream, length - static_cast<uint32_t>(size)) == nullptr) {
        LgMeshHeaderDestroy(header);
        return nullptr;
    }
    return header;
}

LgMeshHeader* LgMeshHeaderStreamWrite(LgMeshHeader* header, LgStream* stream,
                                      const LgMaterialList* materials) {
    if (header == nullptr || stream == nullptr) return nullptr;
    const uint32_t head[3] = {header->flags, header->numMeshes, header->totalIndicesInMesh};
    if (LgStreamWriteInt32s(stream, head, sizeof(head)) == nullptr) return nullptr;
    const LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    uint32_t run[indexRun];
    for (uint32_t m = 0; m < header->numMeshes; ++m) {
        const int32_t index = LgMaterialListFind(materials, meshes[m].material);
        const uint32_t meshHead[2] = {meshes[m].numIndices,
                                      index >= 0 ? static_cast<uint32_t>(index) : 0};
        if (LgStreamWriteInt32s(stream, meshHead, sizeof(meshHead)) == nullptr) return nullptr;
        for (uint32_t done = 0; done < meshes[m].numIndices;) {
            const uint32_t left = meshes[m].numIndices - done;
            const uint32_t n = left < indexRun ? left : indexRun;
            for (uint32_t i = 0; i < n; ++i) run[i] = meshes[m].indices[done + i];
            if (LgStreamWriteInt32s(stream, run, n * 4) == nullptr) return nullptr;
            done += n;
        }
    }
    return header;
}

int32_t LgMeshHeaderStreamSize(const LgMeshHeader* header) {
    if (header == nullptr) return 0;
    return static_cast<int32_t>(headSize + meshHeadSize * header->numMeshes +
                                4 * header->totalIndicesInMesh);
}

int32_t LgGeometryMeshHeaderPluginAttach() {
    if (LgGeometryRegisterPlugin(0, LgPluginMeshHeader, nullptr, nullptr, nullptr) < 0) return -1;
    return LgGeometrySetStreamFunctions(LgPluginMeshHeader, geometry_mesh_read, geometry_mesh_write,
                                        geometry_mesh_size);
}
