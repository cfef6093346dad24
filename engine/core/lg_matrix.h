// 4x3 row-vector matrices with identity and orthonormal flags (engine module 0x402).
#pragma once

#include "engine/core/lg_types.h"

// The multiply routine writes dst = a x b (elements only, not the flags word); dst may be a.
using LgMatrixMultiplyFunc = void (*)(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b);

// How a new transform combines with a matrix.
enum LgOpCombineType : int32_t {
    LgCombineReplace = 0,
    LgCombinePreConcat = 1,  // the new transform is applied before the matrix
    LgCombinePostConcat = 2, // after it
};

// The matrix module's slice.
struct LgMatrixSlice {
    LgFreeList* matrixList;
    uint32_t optimizeMask; // LgMatrixFlagIdentity: identity short cuts on
    LgMatrixMultiplyFunc multiply;
};

// Installs the multiply routine; null reinstalls the portable one. Returns 1.
int32_t LgMatrixSetMultiplyRoutine(LgMatrixMultiplyFunc routine);
// Must follow any direct write of matrix elements: clears the identity and orthonormal flags.
void LgMatrixMarkChanged(LgMatrix* matrix);
// Identity rotation, zero position, flags identity | orthonormal.
LgMatrix* LgMatrixSetIdentity(LgMatrix* matrix);
// dst = a x b (a applied first). Any of the three may be the same matrix.
LgMatrix* LgMatrixMultiply(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b);
LgMatrix* LgMatrixOrthoNormalize(LgMatrix* dst, const LgMatrix* src);
// Angle in degrees about the axis (right-hand rule). Null and {1, 0x80000003} for a bad combine.
LgMatrix* LgMatrixRotate(LgMatrix* matrix, const LgVector* axis, float angle, int32_t combine);
LgMatrix* LgMatrixScale(LgMatrix* matrix, const LgVector* scale, int32_t combine);
LgMatrix* LgMatrixTranslate(LgMatrix* matrix, const LgVector* translation, int32_t combine);
LgMatrix* LgMatrixInvert(LgMatrix* dst, const LgMatrix* src);
// Decomposes the rotation into a unit axis, an angle in degrees and a centre on the axis.
const LgMatrix* LgMatrixQueryRotate(const LgMatrix* matrix, LgVector* axis, float* angle,
                                    LgVector* center);
float LgMatrixDeterminant(const LgMatrix* matrix);
float LgMatrixOrthogonalError(const LgMatrix* matrix);
float LgMatrixNormalError(const LgMatrix* matrix);

// The portable multiply (natural summation order).
void LgMatrixMultiplyPortable(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b);

void* LgMatrixOpen(void* instance, int32_t offset, int32_t size);
void* LgMatrixClose(void* instance, int32_t offset, int32_t size);
