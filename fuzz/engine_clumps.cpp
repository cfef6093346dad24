// Fuzzes the clump chunk of model files: the frame list, the geometry list (or the older
// geometries inside each atomic), the atomics and every extension, with materials whose
// textures are read by name along the image path. Each clump read is queried as the game's
// collision code does (a sphere and a line through every atomic against its triangles), then
// destroyed with its frames, atomics and geometries.
//
// Input: the stream's bytes: clump chunks (type 0x10), possibly among other chunks.
#include "engine/world/lg_collision.h"
#include "engine/world/lg_geometry.h"
#include "fuzz/model_harness.h"

#include <vector>

namespace {

LgCollisionPrimitive* check_triangle(LgCollisionPrimitive* primitive, LgCollisionTriangle* triangle,
                                     float, void* data) {
    const auto* geometry = static_cast<const LgGeometry*>(data);
    fuzzing::require(triangle->index >= 0 && triangle->index < geometry->numTriangles,
                     "hits name a triangle of the geometry");
    return primitive;
}

LgAtomic* query_atomic(LgAtomic* atomic, void*) {
    if (atomic->geometry == nullptr) return atomic;
    const LgSphere sphere = *LgAtomicGetWorldBoundingSphere(atomic);
    LgCollisionPrimitive p;
    p.type = LgCollisionSphere;
    p.sphere = sphere;
    LgAtomicForAllIntersections(atomic, &p, check_triangle, atomic->geometry);
    p.type = LgCollisionLine;
    p.line = {{sphere.center.x - sphere.radius, sphere.center.y, sphere.center.z},
              {sphere.center.x + sphere.radius, sphere.center.y, sphere.center.z}};
    LgAtomicForAllIntersections(atomic, &p, check_triangle, atomic->geometry);
    return atomic;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    const auto clumps =
        fuzzing::read_each_chunk<LgClump>(in.get(), LgChunkClump, 4, LgClumpStreamRead);
    // An empty frame list is allowed: the clump and its atomics then have no frame.
    for (LgClump* c : clumps) LgClumpForAllAtomics(c, query_atomic, nullptr);
    for (LgClump* c : clumps) LgClumpDestroy(c);
    return 0;
}
