// The box gather over the engine's world-triangle walk.
#include "game/world/tv_world_triangles.h"

namespace {

struct Gather {
    int32_t count;
    int32_t capacity;
    TvCollisionTriangle* out;
};

LgCollisionPrimitive* gather_triangle(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                      LgCollisionTriangle* triangle, float, void* data) {
    auto* g = static_cast<Gather*>(data);
    if (g->count >= g->capacity) return nullptr;
    g->out[g->count++] = *triangle;
    return primitive;
}

} // namespace

int32_t TvGatherWorldTriangles(LgWorld* world, const LgVector* upper, const LgVector* lower,
                               int32_t capacity, TvCollisionTriangle* out) {
    if (!world || !upper || !lower || !out || capacity <= 0) return 0;
    LgCollisionPrimitive box{};
    box.box.sup = *upper;
    box.box.inf = *lower;
    box.type = LgCollisionBox;
    Gather gather{0, capacity, out};
    LgWorldForAllTriangleIntersections(world, &box, gather_triangle, &gather);
    return gather.count;
}
