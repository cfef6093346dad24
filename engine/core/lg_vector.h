// 3-vectors and the table square roots (engine module 0x401).
#pragma once

#include "engine/core/lg_types.h"

using LgVectorTransformFunc = LgVector* (*)(LgVector* out, const LgVector* in, int32_t count,
                                            const LgMatrix* matrix);

// The vector module's slice.
struct LgVectorSlice {
    uint32_t* sqrtTable;    // 4096 entries
    uint32_t* invSqrtTable; // 4096 entries
    LgVectorTransformFunc transformPoints;
    LgVectorTransformFunc transformVectors;
};

// Table square root (11-bit mantissa resolution, bit-exact with the engine's recipe); 0 for 0.
float LgSqrt(float value);
// Table inverse square root.
float LgInvSqrt(float value);

// out = in / |in|; returns the length. A zero vector gives (0, 0, 0), 0 and error {1, 24}.
float LgVectorNormalize(LgVector* out, const LgVector* in);
// out = in / |in|; returns 1 / |in| (0 and a zero vector for a zero vector).
float LgVectorNormalizeInv(LgVector* out, const LgVector* in);
float LgVectorLength(const LgVector* v);
float LgVector2Length(const LgVector2* v);
// out[i] = in[i] x rotation + position (out may be in).
LgVector* LgVectorTransformPoints(LgVector* out, const LgVector* in, int32_t count,
                                  const LgMatrix* matrix);
// out[i] = in[i] x rotation (out may be in).
LgVector* LgVectorTransformVectors(LgVector* out, const LgVector* in, int32_t count,
                                   const LgMatrix* matrix);

inline float LgVectorDotProduct(const LgVector* a, const LgVector* b) {
    return a->x * b->x + a->y * b->y + a->z * b->z;
}
inline LgVector* LgVectorCrossProduct(LgVector* out, const LgVector* a, const LgVector* b) {
    const LgVector r = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                        a->x * b->y - a->y * b->x};
    *out = r;
    return out;
}
inline LgVector* LgVectorAdd(LgVector* out, const LgVector* a, const LgVector* b) {
    *out = {a->x + b->x, a->y + b->y, a->z + b->z};
    return out;
}
inline LgVector* LgVectorSub(LgVector* out, const LgVector* a, const LgVector* b) {
    *out = {a->x - b->x, a->y - b->y, a->z - b->z};
    return out;
}
inline LgVector* LgVectorScale(LgVector* out, const LgVector* in, float s) {
    *out = {in->x * s, in->y * s, in->z * s};
    return out;
}

void* LgVectorOpen(void* instance, int32_t offset, int32_t size);
void* LgVectorClose(void* instance, int32_t offset, int32_t size);
