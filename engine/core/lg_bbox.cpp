// Axis-aligned bounding boxes.
#include "engine/core/lg_bbox.h"

#include <algorithm>

LgBBox* LgBBoxFromPoint(LgBBox* box, const LgVector* point) {
    box->sup = *point;
    box->inf = *point;
    return box;
}

LgBBox* LgBBoxExtend(LgBBox* box, const LgVector* point) {
    box->inf = {std::min(box->inf.x, point->x), std::min(box->inf.y, point->y),
                std::min(box->inf.z, point->z)};
    box->sup = {std::max(box->sup.x, point->x), std::max(box->sup.y, point->y),
                std::max(box->sup.z, point->z)};
    return box;
}

LgBBox* LgBBoxFromPoints(LgBBox* box, const LgVector* points, int32_t count) {
    if (count <= 0) return box;
    LgBBoxFromPoint(box, &points[0]);
    for (int32_t i = 1; i < count; ++i) LgBBoxExtend(box, &points[i]);
    return box;
}

int32_t LgBBoxContainsPoint(const LgBBox* box, const LgVector* point) {
    return box->inf.x <= point->x && point->x <= box->sup.x && box->inf.y <= point->y &&
           point->y <= box->sup.y && box->inf.z <= point->z && point->z <= box->sup.z;
}
