// Gathering the static world triangles that touch an axis-aligned box, for the shadow
// projector and the contact solvers.
#pragma once

#include "engine/world/lg_collision.h"

// A world triangle as the engine's walk reports it: plane normal, first vertex, index in its
// sector, and pointers into the sector's vertex array (valid while the world exists).
using TvCollisionTriangle = LgCollisionTriangle;

// Copies the triangles touching the box (upper corner first, then the lower corner) into
// `out`, in the engine's walk order, at most `capacity` of them; the walk stops at the first
// triangle that finds the array full. The count (0..capacity); 0 for a null world or array.
int32_t TvGatherWorldTriangles(LgWorld* world, const LgVector* upper, const LgVector* lower,
                               int32_t capacity, TvCollisionTriangle* out);
