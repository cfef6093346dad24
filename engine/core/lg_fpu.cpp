// The driver's fixed-order 4x3 multiply and its (empty) floating-point mode switch.
#include "engine/core/lg_fpu.h"

void LgFpuSetSingleRoundDown() {}

void LgFpuRestore() {}

namespace {

inline LgVector rotate_row(const LgVector& r, const LgMatrix* m) {
    return {r.x * m->right.x + (r.y * m->up.x + r.z * m->at.x),
            r.x * m->right.y + (r.y * m->up.y + r.z * m->at.y),
            r.x * m->right.z + (r.y * m->up.z + r.z * m->at.z)};
}

} // namespace

void LgMatrixMultiplyAsm(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b) {
    dst->right = rotate_row(a->right, b);
    dst->up = rotate_row(a->up, b);
    dst->at = rotate_row(a->at, b);
    const LgVector p = a->pos;
    dst->pos = {(p.x * b->right.x + b->pos.x) + (p.y * b->up.x + p.z * b->at.x),
                (p.x * b->right.y + b->pos.y) + (p.y * b->up.y + p.z * b->at.y),
                (p.x * b->right.z + b->pos.z) + (p.y * b->up.z + p.z * b->at.z)};
}
