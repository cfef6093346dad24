// Axis-aligned bounding boxes over engine vectors (cameras' frusta, collision volumes).
#pragma once

#include "engine/core/lg_objects.h"

// sup = inf = point; returns the box.
LgBBox* LgBBoxFromPoint(LgBBox* box, const LgVector* point);
// Widens the box to hold the point; returns the box.
LgBBox* LgBBoxExtend(LgBBox* box, const LgVector* point);
// The box of count points (count >= 1); returns the box.
LgBBox* LgBBoxFromPoints(LgBBox* box, const LgVector* points, int32_t count);
// 1 when inf <= point <= sup on all three axes (the surface counts as inside), else 0.
int32_t LgBBoxContainsPoint(const LgBBox* box, const LgVector* point);
