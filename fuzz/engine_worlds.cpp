// Fuzzes the world chunk: the world struct with its totals, the material list (textures read
// along the image path), the BSP of plane and atomic sectors with their vertex arrays,
// triangles, collision trees and mesh headers, and the extensions. Each world read is queried
// through its collision trees with a box, a sphere and a line over its whole extent, its
// sector meshes are checked against their sectors, and it is destroyed.
//
// Input: the stream's bytes: world chunks (type 0xb), possibly among other chunks.
#include "engine/world/lg_collision.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world.h"
#include "fuzz/model_harness.h"

namespace {

LgCollisionPrimitive* check_triangle(LgCollisionPrimitive* primitive, LgAtomicSector* sector,
                                     LgCollisionTriangle* triangle, float, void*) {
    fuzzing::require(triangle->index >= 0 && triangle->index < sector->numTriangles,
                     "hits name a triangle of their sector");
    for (const LgVector* v : triangle->vertices)
        fuzzing::require(v >= sector->vertices && v < sector->vertices + sector->numVertices,
                         "hit triangles' vertices are the sector's");
    return primitive;
}

LgAtomicSector* check_sector(LgAtomicSector* sector, void* data) {
    const auto* world = static_cast<const LgWorld*>(data);
    for (uint16_t i = 0; i < sector->numTriangles; ++i) {
        const LgWorldTriangle& t = sector->triangles[i];
        fuzzing::require(t.vertIndex[0] < sector->numVertices &&
                             t.vertIndex[1] < sector->numVertices &&
                             t.vertIndex[2] < sector->numVertices &&
                             sector->matListWindowBase + t.matIndex < world->matList.numMaterials,
                         "sector triangles name their sector's vertices and the world's materials");
    }
    if (sector->mesh == nullptr) return sector;
    LgMesh* meshes = LgMeshHeaderGetMeshes(sector->mesh);
    for (uint32_t m = 0; m < sector->mesh->numMeshes; ++m)
        for (uint32_t i = 0; i < meshes[m].numIndices; ++i)
            fuzzing::require(meshes[m].indices[i] < sector->numVertices,
                             "sector mesh indices name the sector's vertices");
    return sector;
}

void query(LgWorld* world) {
    const LgBBox box = *LgWorldGetBoundingBox(world);
    LgCollisionPrimitive p;
    p.type = LgCollisionBox;
    p.box = box;
    LgWorldForAllTriangleIntersections(world, &p, check_triangle, nullptr);
    p.type = LgCollisionLine;
    p.line = {box.sup, box.inf};
    LgWorldForAllTriangleIntersections(world, &p, check_triangle, nullptr);
    p.type = LgCollisionSphere;
    p.sphere.center = {(box.inf.x + box.sup.x) / 2, (box.inf.y + box.sup.y) / 2,
                       (box.inf.z + box.sup.z) / 2};
    p.sphere.radius = (box.sup.x - box.inf.x) / 4;
    LgWorldForAllTriangleIntersections(world, &p, check_triangle, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    const auto worlds =
        fuzzing::read_each_chunk<LgWorld>(in.get(), LgChunkWorld, 2, LgWorldStreamRead);
    for (LgWorld* w : worlds) {
        LgWorldForAllAtomicSectors(w, check_sector, w);
        query(w);
    }
    for (LgWorld* w : worlds) LgWorldDestroy(w);
    return 0;
}
