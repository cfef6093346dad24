// The geometry chunk: struct (header, vertex arrays, triangles, morph targets), material list
// and extension, with every count and index checked against the chunk and the lists.
#include "engine/core/lg_error.h"
#include "engine/core/lg_stream.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_struct_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t headerSize = 28;
constexpr uint32_t targetRecordSize = 24;
// The most a geometry's arrays may take, as for images and worlds.
constexpr uint64_t largestGeometryBytes = uint64_t{256} << 20;
// Atomics' interpolators name morph targets in 16 bits; more could never be shown.
constexpr int32_t maxMorphTargets = 0x7fff;

void fail_bad_data() {
    LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
}

struct Header {
    uint32_t flags;
    int32_t numTriangles;
    int32_t numVertices;
    int32_t numMorphTargets;
    float surface[3];
};

// Counts must be non-negative and fit the chunk, each morph target with its record and its
// positions (every target gets a position block, so a count of targets whose records say
// "no positions" would otherwise clear megabytes for each 24 bytes of file), so no hostile
// count gets an allocation larger than the file. The chunk's length is the file's word too, so
// the arrays are also held to what no model of the game comes near.
bool counts_fit(const Header& h, uint64_t left) {
    if (h.numTriangles < 0 || h.numVertices < 0 || h.numMorphTargets < 0 ||
        h.numMorphTargets > maxMorphTargets)
        return false;
    const auto v = static_cast<uint64_t>(h.numVertices);
    uint64_t needed = 8 * static_cast<uint64_t>(h.numTriangles);
    if ((h.flags & LgGeometryPrelit) != 0) needed += 4 * v;
    if ((h.flags & LgGeometryTextured) != 0) needed += 8 * v;
    const int32_t targets = h.numMorphTargets > 1 ? h.numMorphTargets : 1;
    needed += (targetRecordSize + 12 * v) * static_cast<uint64_t>(targets);
    return needed <= left && needed <= largestGeometryBytes;
}

bool read_triangles(LgStructReader& in, LgGeometry* g) {
    const int32_t v = g->numVertices;
    uint32_t pair[2];
    for (int32_t i = 0; i < g->numTriangles; ++i) {
        if (!in.words(pair, sizeof(pair))) return false;
        const uint32_t a = pair[0] >> 16, b = pair[0] & 0xffff, c = pair[1] >> 16;
        if (a >= static_cast<uint32_t>(v) || b >= static_cast<uint32_t>(v) ||
            c >= static_cast<uint32_t>(v)) {
            fail_bad_data();
            return false;
        }
        g->triangles[i] = {
            {static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(c)},
            static_cast<uint16_t>(pair[1] & 0xffff)};
    }
    return true;
}

// Every geometry has at least the target of its creation, with its record. Each target past
// the first is added once its record is read, so the target array grows with what the stream
// really holds rather than with the header's count.
bool read_morph_targets(LgStructReader& in, LgGeometry* g, int32_t count) {
    const uint64_t block = 12 * static_cast<uint64_t>(g->numVertices);
    for (int32_t i = 0; i < count; ++i) {
        uint32_t record[6];
        if (!in.words(record, sizeof(record))) return false;
        if (i >= g->numMorphTargets && LgGeometryAddMorphTarget(g) < 0) return false;
        LgMorphTarget& target = g->morphTarget[i];
        std::memcpy(&target.boundingSphere, record, sizeof(LgSphere));
        const bool hasPositions = record[4] != 0, hasNormals = record[5] != 0;
        if (block == 0) continue;
        // A target without positions gets zeros rather than whatever the block held.
        if (!hasPositions)
            std::memset(target.verts, 0, block);
        else if (!in.words(target.verts, block))
            return false;
        // Normals a geometry has no block for are passed over, not written anywhere.
        if (hasNormals &&
            !(target.normals != nullptr ? in.words(target.normals, block) : in.skip(block)))
            return false;
        if (!hasNormals && target.normals != nullptr) std::memset(target.normals, 0, block);
    }
    return true;
}

bool read_struct(LgStream* stream, LgGeometry*& g) {
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return false;
    LgStructReader in(stream, length);
    Header h;
    if (!in.words(&h, headerSize)) return false;
    if (!counts_fit(h, in.left())) {
        fail_bad_data();
        return false;
    }
    g = LgGeometryCreate(h.numVertices, h.numTriangles, h.flags);
    if (g == nullptr) return false;
    g->surfaceProps = {h.surface[0], h.surface[1], h.surface[2]};
    const auto v = static_cast<uint64_t>(g->numVertices);
    if (g->preLitLum != nullptr && !in.bytes(g->preLitLum, 4 * v)) return false;
    if (g->texCoords != nullptr && !in.words(g->texCoords, 8 * v)) return false;
    return read_triangles(in, g) && read_morph_targets(in, g, std::max(h.numMorphTargets, 1)) &&
           in.finish();
}

// Every triangle names an entry of the list; "no material" cannot come from a file.
bool material_indices_valid(const LgGeometry* g) {
    for (int32_t i = 0; i < g->numTriangles; ++i)
        if (g->triangles[i].matIndex >= g->matList.numMaterials) return false;
    return true;
}

// Triangle indices hold no references until the list is read and checked, so a failed read
// must not release through them.
void forget_triangle_materials(LgGeometry* g) {
    for (int32_t i = 0; i < g->numTriangles; ++i) g->triangles[i].matIndex = LgTriangleNoMaterial;
}

} // namespace

LgGeometry* LgGeometryStreamRead(LgStream* stream) {
    if (stream == nullptr) return nullptr;
    LgGeometry* g = nullptr;
    const auto discard = [&g]() -> LgGeometry* {
        if (g != nullptr) {
            forget_triangle_materials(g);
            LgGeometryRelease(g);
        }
        return nullptr;
    };
    if (!read_struct(stream, g)) return discard();
    if (!LgStreamFindChunk(stream, LgChunkMaterialList, nullptr, nullptr) ||
        LgMaterialListStreamRead(stream, &g->matList) == nullptr)
        return discard();
    if (!material_indices_valid(g)) {
        fail_bad_data();
        return discard();
    }
    for (int32_t i = 0; i < g->numTriangles; ++i)
        LgMaterialAddRef(LgMaterialListGet(&g->matList, g->triangles[i].matIndex));
    if (LgPluginRegistryStreamReadExtension(&LgGeometryRegistry, stream, g) == nullptr ||
        LgGeometryUnlock(g) == nullptr) {
        LgGeometryRelease(g);
        return nullptr;
    }
    return g;
}
