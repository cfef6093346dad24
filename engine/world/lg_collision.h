// Collision and intersection queries: lines, points, spheres, boxes and atomics against the
// static triangles of a world, the atomics standing in it and one atomic's own triangles;
// the sectors' collision trees; and the world-space ray under a camera pixel.
#pragma once

#include "engine/world/lg_world.h"

// Primitive types.
constexpr uint32_t LgCollisionLine = 1;
constexpr uint32_t LgCollisionPoint = 2;
constexpr uint32_t LgCollisionSphere = 3;
constexpr uint32_t LgCollisionBox = 4;
constexpr uint32_t LgCollisionAtomic = 5;

struct LgLine {
    LgVector start;
    LgVector end;
};

struct LgCollisionPrimitive {
    union {
        LgLine line;
        LgVector point;
        LgSphere sphere;
        LgBBox box;
        LgAtomic* atomic;
    };
    uint32_t type;
};

// What a triangle callback receives; valid only during the call.
struct LgCollisionTriangle {
    LgVector normal; // unit, (b - a) x (c - a) normalised
    LgVector point;  // the first vertex
    int32_t index;   // in the sector's or the geometry's triangle array
    LgVector* vertices[3];
};

// Callbacks return their first argument (or anything non-null) to go on, null to stop.
using LgWorldTriangleIntersectionCallBack =
    LgCollisionPrimitive* (*)(LgCollisionPrimitive* primitive, LgAtomicSector* sector,
                              LgCollisionTriangle* triangle, float distance, void* data);
using LgWorldAtomicIntersectionCallBack = LgCollisionPrimitive* (*)(LgCollisionPrimitive* primitive,
                                                                    LgAtomicSector* sector,
                                                                    LgAtomic* atomic,
                                                                    float distance, void* data);
using LgAtomicIntersectionCallBack = LgCollisionPrimitive* (*)(LgCollisionPrimitive* primitive,
                                                               LgCollisionTriangle* triangle,
                                                               float distance, void* data);

// Line, sphere, box and atomic primitives against the sectors' triangles (through their
// collision trees; sectors without one report nothing). The world, or null on refusal.
LgWorld* LgWorldForAllTriangleIntersections(LgWorld* world, LgCollisionPrimitive* primitive,
                                            LgWorldTriangleIntersectionCallBack callBack,
                                            void* data);
// Every primitive type against the atomics tied to the sectors for collision; each atomic
// is reported at most once a query.
LgWorld* LgWorldForAllAtomicIntersections(LgWorld* world, LgCollisionPrimitive* primitive,
                                          LgWorldAtomicIntersectionCallBack callBack, void* data);
// Line, sphere and atomic primitives against the triangles of the atomic's geometry.
LgAtomic* LgAtomicForAllIntersections(LgAtomic* atomic, LgCollisionPrimitive* primitive,
                                      LgAtomicIntersectionCallBack callBack, void* data);
// The world-space segment from the near to the far plane under the pixel.
LgCamera* LgCameraCalcPixelRay(LgCamera* camera, LgLine* line, const LgVector2* pixel);

// The stored record: 3-byte nodes, node i at byte 3i, root node 1, children 2i and 2i + 1.
constexpr int32_t LgCollisionTreeRecordSize = 384;
constexpr int32_t LgCollisionTreeMaxNode = 127;
constexpr uint8_t LgCollisionTreeSplit = 0x80;

// The used part of a stored tree in bytes; 0 for null.
int32_t LgCollisionTreeGetSize(const uint8_t* tree);
// True when every node reachable from the root stays inside the record, names a vertex below
// numVertices as its split and keeps its triangles below numTriangles.
bool LgCollisionTreeValidate(const uint8_t* tree, uint32_t numVertices, uint32_t numTriangles);

// The shape tests the queries are made of (exposed for the tools and tests).
// Segment start, direction end - start; the fraction along it, when the triangle is hit
// from its front.
bool LgCollisionLineTriangle(const LgVector& start, const LgVector& delta, const LgVector& a,
                             const LgVector& b, const LgVector& c, float* distance);
// Distance: the centre's signed distance from the plane divided by -radius; normal out.
bool LgCollisionSphereTriangle(const LgVector& centre, float radius, const LgVector& a,
                               const LgVector& b, const LgVector& c, LgVector* normal,
                               float* distance);
// The triangle against the axis-aligned box [inf, sup].
bool LgCollisionBoxTriangle(const LgBBox& box, const LgVector& a, const LgVector& b,
                            const LgVector& c);
