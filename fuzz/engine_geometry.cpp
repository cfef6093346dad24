// Fuzzes the geometry chunk of model files: flags and counts, prelit colours, texture
// coordinates, triangles, morph targets with spheres and normals, the material list (with
// textures read along the image path) and the extension with its stored mesh header. The
// renderer indexes the vertex arrays with the mesh header's indices, so those must name
// vertices, both as read and as rebuilt from the triangles after a lock.
//
// Input: the stream's bytes: geometry chunks (type 0xf), possibly among other chunks.
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_mesh.h"
#include "fuzz/model_harness.h"

namespace {

void check_mesh(LgGeometry* g) {
    if (g->mesh == nullptr) return;
    LgMesh* meshes = LgMeshHeaderGetMeshes(g->mesh);
    uint32_t total = 0;
    for (uint32_t m = 0; m < g->mesh->numMeshes; ++m) {
        for (uint32_t i = 0; i < meshes[m].numIndices; ++i)
            fuzzing::require(meshes[m].indices[i] < g->numVertices,
                             "mesh indices name vertices of the geometry");
        total += meshes[m].numIndices;
    }
    fuzzing::require(total == g->mesh->totalIndicesInMesh, "the meshes hold the header's total");
}

void exercise(LgGeometry* g) {
    fuzzing::require(g->refCount == 1, "a geometry read holds one reference");
    fuzzing::require(g->numMorphTargets >= 1, "a geometry read has a morph target");
    for (int32_t i = 0; i < g->numTriangles; ++i)
        LgGeometryGetTriangleMaterial(g, &g->triangles[i]);
    check_mesh(g);
    LgGeometryLock(g, LgGeometryLockAll);
    if (LgGeometryUnlock(g) != nullptr) check_mesh(g);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    const auto geometries =
        fuzzing::read_each_chunk<LgGeometry>(in.get(), LgChunkGeometry, 4, LgGeometryStreamRead);
    for (LgGeometry* g : geometries) exercise(g);
    for (LgGeometry* g : geometries) LgGeometryRelease(g);
    return 0;
}
