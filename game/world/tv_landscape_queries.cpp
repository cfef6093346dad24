// The landscape's line queries against the world's static triangles: the crossing point, a
// matrix set on the crossing, the nearest crossing's fraction and the height above ground.
#include "engine/world/lg_collision.h"
#include "game/world/tavrin_bsp_landscape.h"

namespace {

LgVector point_along(const LgLine& line, float fraction) {
    return {line.start.x + (line.end.x - line.start.x) * fraction,
            line.start.y + (line.end.y - line.start.y) * fraction,
            line.start.z + (line.end.z - line.start.z) * fraction};
}

// Without a world the walk reports nothing.
void walk(LgWorld* world, LgCollisionPrimitive* line, LgWorldTriangleIntersectionCallBack callback,
          void* data) {
    line->type = LgCollisionLine;
    if (world != nullptr) LgWorldForAllTriangleIntersections(world, line, callback, data);
}

// Every crossing in walk order overwrites the point, so the last one wins.
LgCollisionPrimitive* hit_point(LgCollisionPrimitive* line, LgAtomicSector*, LgCollisionTriangle*,
                                float fraction, void* data) {
    *static_cast<LgVector*>(data) = point_along(line->line, fraction);
    return line;
}

LgCollisionPrimitive* hit_orient(LgCollisionPrimitive* line, LgAtomicSector*,
                                 LgCollisionTriangle* triangle, float fraction, void* data) {
    auto* m = static_cast<LgMatrix*>(data);
    m->pos = point_along(line->line, fraction);
    m->up = triangle->normal;
    LgVector right, at;
    LgVectorCrossProduct(&right, &m->up, &m->at);
    m->right = right;
    LgVectorCrossProduct(&at, &m->right, &m->up);
    m->at = at;
    LgMatrixOrthoNormalize(m, m);
    return line;
}

LgCollisionPrimitive* hit_fraction(LgCollisionPrimitive* line, LgAtomicSector*,
                                   LgCollisionTriangle*, float fraction, void* data) {
    float* nearest = static_cast<float*>(data);
    if (fraction < *nearest) *nearest = fraction;
    return line;
}

} // namespace

OmResult TavrinBSPLandscape::LineHitPoint(LgCollisionPrimitive* line, LgVector* out) {
    if (line == nullptr || out == nullptr) return OM_S_OK;
    walk(world, line, hit_point, out);
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::LineHitOrient(LgCollisionPrimitive* line, LgMatrix* matrix) {
    if (line == nullptr || matrix == nullptr) return OM_S_OK;
    walk(world, line, hit_orient, matrix);
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::LineHitFraction(LgCollisionPrimitive* line, float* out) {
    if (line == nullptr || out == nullptr) return OM_S_OK;
    float nearest = 2.0f;
    walk(world, line, hit_fraction, &nearest);
    *out = nearest > 1.0f ? 0.0f : nearest;
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::HeightAboveGround(const LgVector* point, float* out) {
    if (point == nullptr || out == nullptr) return OM_S_OK;
    *out = 0.0f;
    if (world == nullptr) return OM_S_OK;
    const float bottom = LgWorldGetBoundingBox(world)->inf.y;
    LgCollisionPrimitive line{};
    line.line = {*point, {point->x, bottom, point->z}};
    float fraction = 0.0f;
    LineHitFraction(&line, &fraction);
    *out = (point->y - bottom) * fraction;
    return OM_S_OK;
}
