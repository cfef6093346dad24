// The collision queries: dispatch by primitive, the BSP line and point walks, each sector's
// triangle tests through its collision tree, the tied atomics' sphere tests with the query
// stamp, one atomic's own triangles, and the ray under a camera pixel.
#include "engine/world/lg_collision.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_world_tie.h"
#include "engine/world/lg_world_walk.h"

#include <cmath>

namespace {

constexpr int32_t treeStackSize = LgCollisionTreeMaxNode + 1;

LgVector sub(const LgVector& a, const LgVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(const LgVector& a, const LgVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
LgVector along(const LgVector& s, const LgVector& e, float t) {
    return {s.x + (e.x - s.x) * t, s.y + (e.y - s.y) * t, s.z + (e.z - s.z) * t};
}
// Sign-bit rules of the walks: negative has the sign bit set, positive has integer bits above
// 0, so +0 (a point on the plane) is neither and -0 counts as negative.
bool negative(float v) {
    return LgFloatBits(v) < 0;
}
bool positive(float v) {
    return LgFloatBits(v) > 0;
}
// Where a segment meets the plane on `axis` at `value`: its own end at t 0 or 1, else the cut
// with the axis coordinate put on the plane, so the pieces meet exactly there.
LgVector crossing(const LgVector& s, const LgVector& e, float t, int32_t axis, float value) {
    if (!(t > 0.0f)) return s;
    if (!(t < 1.0f)) return e;
    LgVector p = along(s, e, t);
    (&p.x)[axis] = value;
    return p;
}

uint32_t& collision_stamp() {
    return LgEngineInstancePtr->collisionStamp;
}

LgCollisionTriangle triangle_record(LgVector* a, LgVector* b, LgVector* c, int32_t index) {
    LgCollisionTriangle t;
    LgVector n;
    const LgVector e1 = sub(*b, *a), e2 = sub(*c, *a);
    LgVectorCrossProduct(&n, &e1, &e2);
    const float len = std::sqrt(dot(n, n));
    t.normal = len > 0.0f ? LgVector{n.x / len, n.y / len, n.z / len} : LgVector{0, 0, 0};
    t.point = *a;
    t.index = index;
    t.vertices[0] = a;
    t.vertices[1] = b;
    t.vertices[2] = c;
    return t;
}

// --- Per-sector triangle tests through the collision tree ---------------------------------

struct TriangleQuery {
    LgCollisionPrimitive* primitive;
    LgWorldTriangleIntersectionCallBack callBack;
    void* data;
};

// Tests the node's run of triangles; false when the callback stopped the query.
template <typename Test>
bool test_node_triangles(LgAtomicSector* s, const uint8_t* node, const TriangleQuery& q,
                         Test&& test) {
    const bool split = (node[0] & LgCollisionTreeSplit) != 0;
    const uint32_t count = split ? (node[0] & 0x1f) : node[0];
    for (uint32_t k = 0; k < count; ++k) {
        const int32_t index = node[2] + static_cast<int32_t>(k);
        const LgWorldTriangle& t = s->triangles[index];
        LgVector* a = &s->vertices[t.vertIndex[0]];
        LgVector* b = &s->vertices[t.vertIndex[1]];
        LgVector* c = &s->vertices[t.vertIndex[2]];
        LgCollisionTriangle record = triangle_record(a, b, c, index);
        float distance = 0.0f;
        if (!test(*a, *b, *c, record, distance)) continue;
        if (q.callBack(q.primitive, s, &record, distance, q.data) == nullptr) return false;
    }
    return true;
}

bool sector_line_test(LgAtomicSector* s, LgVector start, LgVector end, const TriangleQuery& q) {
    const uint8_t* tree = s->collisionTree;
    if (tree == nullptr) return true;
    const LgLine& whole = q.primitive->line;
    const LgVector delta = sub(whole.end, whole.start);
    const auto test = [&](const LgVector& a, const LgVector& b, const LgVector& c,
                          LgCollisionTriangle&, float& distance) {
        return LgCollisionLineTriangle(whole.start, delta, a, b, c, &distance);
    };
    struct Pending {
        int32_t node;
        LgVector s, e;
    };
    Pending stack[treeStackSize];
    int32_t depth = 0;
    int32_t node = 1;
    for (;;) {
        const uint8_t* n = tree + 3 * node;
        if (!test_node_triangles(s, n, q, test)) return false;
        if ((n[0] & LgCollisionTreeSplit) != 0 && 2 * node + 1 <= LgCollisionTreeMaxNode) {
            const int32_t axis = (n[0] >> 5) & 3;
            const float v = (&s->vertices[n[1]].x)[axis];
            const float ds = (&start.x)[axis] - v, de = (&end.x)[axis] - v;
            // The near child is the start's side (the end's when the start is on the split);
            // the far child gets what of the segment reaches its side, also a segment that
            // only touches the split, whose triangles may reach the split from either side.
            const bool startLow = ds < 0.0f || (ds == 0.0f && de < 0.0f);
            const int32_t nearNode = startLow ? 2 * node : 2 * node + 1;
            const int32_t farNode = startLow ? 2 * node + 1 : 2 * node;
            if (ds == 0.0f && de == 0.0f) {
                stack[depth++] = {farNode, start, end};
            } else if (ds == 0.0f) {
                stack[depth++] = {farNode, start, start};
            } else if (de == 0.0f) {
                stack[depth++] = {farNode, end, end};
            } else if ((ds < 0.0f) != (de < 0.0f)) {
                const LgVector cut = crossing(start, end, ds / (ds - de), axis, v);
                stack[depth++] = {farNode, cut, end};
                end = cut;
            }
            node = nearNode;
            continue;
        }
        if (depth == 0) return true;
        const Pending& p = stack[--depth];
        node = p.node;
        start = p.s;
        end = p.e;
    }
}

// The tree walked with a box: inclusive on the split, so a box of zero extent lying on it
// visits both children rather than neither.
template <typename Test>
bool sector_box_walk(LgAtomicSector* s, const LgVector& inf, const LgVector& sup,
                     const TriangleQuery& q, Test&& test) {
    const uint8_t* tree = s->collisionTree;
    if (tree == nullptr) return true;
    int32_t stack[treeStackSize];
    int32_t depth = 0;
    stack[depth++] = 1;
    while (depth > 0) {
        const int32_t node = stack[--depth];
        const uint8_t* n = tree + 3 * node;
        if (!test_node_triangles(s, n, q, test)) return false;
        if ((n[0] & LgCollisionTreeSplit) == 0 || 2 * node + 1 > LgCollisionTreeMaxNode) continue;
        const int32_t axis = (n[0] >> 5) & 3;
        const float v = (&s->vertices[n[1]].x)[axis];
        if ((&sup.x)[axis] >= v) stack[depth++] = 2 * node + 1;
        if ((&inf.x)[axis] <= v) stack[depth++] = 2 * node;
    }
    return true;
}

bool sector_sphere_test(LgAtomicSector* s, const LgSphere& sphere, const TriangleQuery& q) {
    const LgVector& c = sphere.center;
    const float r = sphere.radius;
    const LgVector inf = {c.x - r, c.y - r, c.z - r}, sup = {c.x + r, c.y + r, c.z + r};
    return sector_box_walk(s, inf, sup, q,
                           [&](const LgVector& a, const LgVector& b, const LgVector& cc,
                               LgCollisionTriangle& record, float& distance) {
                               return LgCollisionSphereTriangle(c, r, a, b, cc, &record.normal,
                                                                &distance);
                           });
}

bool sector_box_test(LgAtomicSector* s, const LgBBox& box, const TriangleQuery& q) {
    return sector_box_walk(s, box.inf, box.sup, q,
                           [&](const LgVector& a, const LgVector& b, const LgVector& c,
                               LgCollisionTriangle&, float& distance) {
                               distance = 0.0f;
                               return LgCollisionBoxTriangle(box, a, b, c);
                           });
}

// --- BSP walks ------------------------------------------------------------------------------

// Hands each atomic sector the part of the segment inside it; visit returns false to stop.
template <typename Visit>
void walk_line(const LgWorld* world, const LgVector& start, const LgVector& end, Visit&& visit) {
    struct Pending {
        LgWorldSector* sector;
        LgVector s, e;
    };
    LgBspStack<Pending> stack;
    Pending cur = {world->rootSector, start, end};
    while (cur.sector != nullptr) {
        if (cur.sector->type == LgSectorAtomic) {
            if (!visit(reinterpret_cast<LgAtomicSector*>(cur.sector), cur.s, cur.e)) return;
            if (!stack.pop(cur)) return;
            continue;
        }
        const auto* p = reinterpret_cast<const LgPlaneSector*>(cur.sector);
        const int32_t a = p->type;
        const float s = LgVectorAxis(cur.s, a), e = LgVectorAxis(cur.e, a);
        const float sL = s - p->leftValue, eL = e - p->leftValue;
        const float sR = s - p->rightValue, eR = e - p->rightValue;
        LgWorldSector* left = p->leftSubTree;
        LgWorldSector* right = p->rightSubTree;
        const int32_t axis = a >> 2;
        if (negative(sR) && negative(eR)) {
            cur.sector = left;
        } else if (positive(sL) && positive(eL)) {
            cur.sector = right;
        } else if (negative(sL) == negative(eL) && negative(sR) == negative(eR)) {
            // Touching or lying in the planes, or inside the overlap: both sides, whole.
            const bool rightFirst = s >= e;
            stack.push({rightFirst ? left : right, cur.s, cur.e});
            cur.sector = rightFirst ? right : left;
        } else {
            const LgVector P = crossing(cur.s, cur.e, -sL / (eL - sL), axis, p->leftValue);
            const LgVector Q = crossing(cur.s, cur.e, -sR / (eR - sR), axis, p->rightValue);
            if (positive(sR) && positive(eR)) { // crosses the left value only
                if (!negative(sL)) {
                    stack.push({left, P, cur.e});
                    cur.sector = right;
                } else {
                    stack.push({right, cur.s, cur.e});
                    cur = {left, cur.s, P};
                }
            } else if (negative(sL) && negative(eL)) { // crosses the right value only
                if (!negative(sR)) {
                    stack.push({left, cur.s, cur.e});
                    cur = {right, cur.s, Q};
                } else {
                    stack.push({right, Q, cur.e});
                    cur.sector = left;
                }
            } else if (negative(sL)) {
                stack.push({right, Q, cur.e});
                cur = {left, cur.s, P};
            } else {
                stack.push({left, P, cur.e});
                cur = {right, cur.s, Q};
            }
        }
    }
}

// Visits the sectors a point lies in.
template <typename Visit>
void walk_point(const LgWorld* world, const LgVector& point, Visit&& visit) {
    LgBspStack<LgWorldSector*> stack;
    LgWorldSector* s = world->rootSector;
    while (s != nullptr) {
        if (s->type == LgSectorAtomic) {
            if (!visit(reinterpret_cast<LgAtomicSector*>(s))) return;
            if (!stack.pop(s)) return;
            continue;
        }
        const auto* p = reinterpret_cast<const LgPlaneSector*>(s);
        const int32_t v = LgFloatBits(LgVectorAxis(point, p->type));
        const bool left = v <= LgFloatBits(p->leftValue);
        const bool right = v >= LgFloatBits(p->rightValue);
        if (left && right) stack.push(p->rightSubTree);
        if (left)
            s = p->leftSubTree;
        else if (right)
            s = p->rightSubTree;
        else if (!stack.pop(s))
            return;
    }
}

// The sectors an atomic is tied to.
template <typename Visit>
void walk_ties(LgAtomic* atomic, Visit&& visit) {
    for (LgLink* l = atomic->sectorTies.next; l != &atomic->sectorTies;) {
        LgLink* next = l->next;
        if (!visit(LgTieOfObjectLink(l)->sector)) return;
        l = next;
    }
}

bool refuse_nulls(const void* target, const void* primitive, bool hasCallBack) {
    if (target != nullptr && primitive != nullptr && hasCallBack) return false;
    LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
    return true;
}

bool box_below_zero(const LgBBox& box) {
    return negative(box.inf.x) || negative(box.inf.y) || negative(box.inf.z);
}

// --- Atomic tests -----------------------------------------------------------------------------

struct AtomicQuery {
    LgCollisionPrimitive* primitive;
    LgWorldAtomicIntersectionCallBack callBack;
    void* data;
    uint32_t stamp;
    LgAtomic* self; // an atomic primitive never reports itself
};

bool atomic_hit(const LgCollisionPrimitive* p, const LgSphere& target, const LgSphere* probe,
                float& distance) {
    const LgVector& c = target.center;
    const float r = target.radius;
    switch (p->type) {
    case LgCollisionLine: {
        const LgVector d = sub(p->line.end, p->line.start), cs = sub(c, p->line.start);
        const float l2 = dot(d, d);
        const float f = l2 > 0.0f ? dot(cs, d) / l2 : 0.0f;
        if (dot(cs, cs) < r * r) {
            distance = f;
            return true;
        }
        if (!(f >= 0.0f && f < 1.0f)) return false;
        const LgVector off = {cs.x - d.x * f, cs.y - d.y * f, cs.z - d.z * f};
        distance = f;
        return dot(off, off) <= r * r;
    }
    case LgCollisionBox: {
        const LgBBox& b = p->box;
        distance = 0.0f;
        return c.x + r >= b.inf.x && c.x - r < b.sup.x && c.y + r >= b.inf.y && c.y - r < b.sup.y &&
               c.z + r >= b.inf.z && c.z - r < b.sup.z;
    }
    default: {
        const LgVector gap = sub(c, probe->center);
        const float reach = r + probe->radius;
        const float d = std::sqrt(dot(gap, gap));
        if (!(d < reach)) return false;
        distance = d / reach;
        return true;
    }
    }
}

// The walk keeps a marker tie behind the current one, so a callback may take its atomic out
// of the world (unlinking the current tie) without losing the walk's place.
bool sector_atomic_test(LgAtomicSector* s, const AtomicQuery& q, const LgSphere* probe) {
    LgLink* head = &s->collAtomicsInWorldSector;
    LgSectorTie marker = {};
    for (LgLink* l = head->next; l != head;) {
        LgSectorTie* tie = LgTieOfSectorLink(l);
        auto* atomic = static_cast<LgAtomic*>(tie->object);
        if (atomic == nullptr || tie->sector == nullptr || atomic->collisionFrame == q.stamp ||
            atomic == q.self) {
            l = l->next;
            continue;
        }
        atomic->collisionFrame = q.stamp;
        marker.inSector.next = l->next;
        marker.inSector.prev = l;
        l->next->prev = &marker.inSector;
        l->next = &marker.inSector;
        float distance = 0.0f;
        bool go = true;
        if (atomic_hit(q.primitive, *LgAtomicGetWorldBoundingSphere(atomic), probe, distance))
            go = q.callBack(q.primitive, s, atomic, distance, q.data) != nullptr;
        l = marker.inSector.next;
        LgLinkRemove(&marker.inSector);
        if (!go) return false;
    }
    return true;
}

// --- One atomic's triangles -------------------------------------------------------------------

LgVector morph_vertex(const LgGeometry* g, const LgInterpolator& ip, int32_t i) {
    const int32_t n = g->numMorphTargets, s = ip.startMorphTarget, e = ip.endMorphTarget;
    const bool sValid = s >= 0 && s < n, eValid = e >= 0 && e < n;
    const LgVector& a = g->morphTarget[sValid ? s : 0].verts[i];
    if (s == e || !sValid || !eValid) return a;
    return along(a, g->morphTarget[e].verts[i], ip.position * ip.recipTime);
}

} // namespace

LgWorld* LgWorldForAllTriangleIntersections(LgWorld* world, LgCollisionPrimitive* primitive,
                                            LgWorldTriangleIntersectionCallBack callBack,
                                            void* data) {
    if (refuse_nulls(world, primitive, callBack != nullptr)) return nullptr;
    const TriangleQuery q = {primitive, callBack, data};
    switch (primitive->type) {
    case LgCollisionLine:
        ++collision_stamp();
        walk_line(world, primitive->line.start, primitive->line.end,
                  [&](LgAtomicSector* s, const LgVector& a, const LgVector& b) {
                      return sector_line_test(s, a, b, q);
                  });
        return world;
    case LgCollisionSphere: {
        ++collision_stamp();
        const LgSphere& sp = primitive->sphere;
        const LgVector r = {sp.radius, sp.radius, sp.radius};
        LgVector inf, sup;
        LgVectorSub(&inf, &sp.center, &r);
        LgVectorAdd(&sup, &sp.center, &r);
        LgWorldWalkBox(world, inf, sup,
                       [&](LgAtomicSector* s) { return sector_sphere_test(s, sp, q); });
        return world;
    }
    case LgCollisionBox:
        ++collision_stamp();
        if (box_below_zero(primitive->box)) {
            LgErrorRaise(LgErrorGroupWorld, LgErrBoxBelowZero);
            return world;
        }
        LgWorldWalkBox(world, primitive->box.inf, primitive->box.sup,
                       [&](LgAtomicSector* s) { return sector_box_test(s, primitive->box, q); });
        return world;
    case LgCollisionAtomic: {
        if (primitive->atomic == nullptr) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
            return nullptr;
        }
        ++collision_stamp();
        const LgSphere sp = *LgAtomicGetWorldBoundingSphere(primitive->atomic);
        walk_ties(primitive->atomic,
                  [&](LgAtomicSector* s) { return sector_sphere_test(s, sp, q); });
        return world;
    }
    default: LgErrorRaise(LgErrorGroupWorld, LgErrUnsupportedPrimitive); return nullptr;
    }
}

LgWorld* LgWorldForAllAtomicIntersections(LgWorld* world, LgCollisionPrimitive* primitive,
                                          LgWorldAtomicIntersectionCallBack callBack, void* data) {
    if (refuse_nulls(world, primitive, callBack != nullptr)) return nullptr;
    if (primitive->type < LgCollisionLine || primitive->type > LgCollisionAtomic) {
        LgErrorRaise(LgErrorGroupWorld, LgErrUnsupportedPrimitive);
        return nullptr;
    }
    if (primitive->type == LgCollisionAtomic && primitive->atomic == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return nullptr;
    }
    const AtomicQuery q = {primitive, callBack, data, ++collision_stamp(),
                           primitive->type == LgCollisionAtomic ? primitive->atomic : nullptr};
    switch (primitive->type) {
    case LgCollisionLine:
        walk_line(world, primitive->line.start, primitive->line.end,
                  [&](LgAtomicSector* s, const LgVector&, const LgVector&) {
                      return sector_atomic_test(s, q, nullptr);
                  });
        break;
    case LgCollisionPoint: {
        const LgSphere probe = {primitive->point, 0.0f};
        walk_point(world, primitive->point,
                   [&](LgAtomicSector* s) { return sector_atomic_test(s, q, &probe); });
        break;
    }
    case LgCollisionSphere: {
        const LgSphere& sp = primitive->sphere;
        const LgVector inf = {sp.center.x - sp.radius, sp.center.y - sp.radius,
                              sp.center.z - sp.radius};
        const LgVector sup = {sp.center.x + sp.radius, sp.center.y + sp.radius,
                              sp.center.z + sp.radius};
        LgWorldWalkBox(world, inf, sup,
                       [&](LgAtomicSector* s) { return sector_atomic_test(s, q, &sp); });
        break;
    }
    case LgCollisionBox:
        LgWorldWalkBox(world, primitive->box.inf, primitive->box.sup,
                       [&](LgAtomicSector* s) { return sector_atomic_test(s, q, nullptr); });
        break;
    default: {
        const LgSphere probe = *LgAtomicGetWorldBoundingSphere(primitive->atomic);
        walk_ties(primitive->atomic,
                  [&](LgAtomicSector* s) { return sector_atomic_test(s, q, &probe); });
        break;
    }
    }
    return world;
}

LgAtomic* LgAtomicForAllIntersections(LgAtomic* atomic, LgCollisionPrimitive* primitive,
                                      LgAtomicIntersectionCallBack callBack, void* data) {
    if (refuse_nulls(atomic, primitive, callBack != nullptr)) return nullptr;
    const uint32_t type = primitive->type;
    if (type != LgCollisionLine && type != LgCollisionSphere && type != LgCollisionAtomic) {
        LgErrorRaise(LgErrorGroupWorld, LgErrUnsupportedPrimitive);
        return nullptr;
    }
    if (type == LgCollisionAtomic && primitive->atomic == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return nullptr;
    }
    const LgGeometry* g = atomic->geometry;
    if (g == nullptr || g->numMorphTargets == 0) return atomic;
    // The primitive in the atomic's model space.
    LgMatrix inverse;
    LgMatrixSetIdentity(&inverse);
    if (LgFrame* frame = LgAtomicGetFrame(atomic))
        LgMatrixInvert(&inverse, LgFrameGetWorldMatrix(frame));
    LgVector s{}, e{}, centre{};
    float radius = 0.0f;
    if (type == LgCollisionLine) {
        LgVectorTransformPoints(&s, &primitive->line.start, 1, &inverse);
        LgVectorTransformPoints(&e, &primitive->line.end, 1, &inverse);
    } else {
        const LgSphere world = type == LgCollisionSphere
                                   ? primitive->sphere
                                   : *LgAtomicGetWorldBoundingSphere(primitive->atomic);
        LgVectorTransformPoints(&centre, &world.center, 1, &inverse);
        radius = world.radius * std::sqrt(dot(inverse.right, inverse.right));
    }
    const LgVector delta = sub(e, s);
    for (int32_t i = 0; i < g->numTriangles; ++i) {
        const LgTriangle& t = g->triangles[i];
        LgVector v[3];
        for (int k = 0; k < 3; ++k) v[k] = morph_vertex(g, atomic->interpolator, t.vertIndex[k]);
        LgCollisionTriangle record = triangle_record(&v[0], &v[1], &v[2], i);
        float distance = 0.0f;
        const bool hit = type == LgCollisionLine
                             ? LgCollisionLineTriangle(s, delta, v[0], v[1], v[2], &distance)
                             : LgCollisionSphereTriangle(centre, radius, v[0], v[1], v[2],
                                                         &record.normal, &distance);
        if (hit && callBack(primitive, &record, distance, data) == nullptr) break;
    }
    return atomic;
}

LgCamera* LgCameraCalcPixelRay(LgCamera* camera, LgLine* line, const LgVector2* pixel) {
    if (camera == nullptr || line == nullptr || pixel == nullptr ||
        camera->frameBuffer == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return nullptr;
    }
    const float u = pixel->x / static_cast<float>(camera->frameBuffer->width);
    const float v = pixel->y / static_cast<float>(camera->frameBuffer->height);
    const auto on_plane = [u, v](const LgVector* c) {
        const LgVector a = along(c[0], c[1], u), b = along(c[3], c[2], u);
        return along(a, b, v);
    };
    line->start = on_plane(camera->frustumCorners);
    line->end = on_plane(camera->frustumCorners + 4);
    return camera;
}
