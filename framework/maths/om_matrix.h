// OmMatrix and the affine matrix routines behind the maths service.
#pragma once

#include "framework/maths/maths_functions.h"

// Rows right, up, at and position: p maps to p.x right + p.y up + p.z at + position. A product
// A x B applies A first.
struct OmMatrix {
    OmVector3 right, up, at, position;
};

// How a new transform T joins the matrix M.
enum OmCombineMode : int32_t {
    OM_COMBINE_REPLACE = 0,    // M = T
    OM_COMBINE_PRECONCAT = 1,  // M = T x M: T applies first
    OM_COMBINE_POSTCONCAT = 2, // M = M x T: T applies last
};

// out = a x b; out must be neither a nor b.
void OmMatrixMultiply(OmMatrix* out, const OmMatrix* a, const OmMatrix* b);
// Every combine below leaves the matrix alone for a mode outside 0-2.
void OmMatrixScale(OmMatrix* matrix, const OmVector3* scale, int32_t mode);
void OmMatrixTranslate(OmMatrix* matrix, const OmVector3* offset, int32_t mode);
// Mode 0 copies `other`; 1 M = other x M; 2 M = M x other.
void OmMatrixTransform(OmMatrix* matrix, const OmMatrix* other, int32_t mode);
// The axis (unit), angle in radians and a point on the axis of the rotation in `matrix`.
void OmMatrixQueryRotate(const OmMatrix* matrix, OmVector3* axis, float* radians,
                         OmVector3* centre);
// General affine inverse (adjugate over the determinant; a singular matrix keeps the
// unscaled adjugate).
void OmMatrixInvert(OmMatrix* out, const OmMatrix* in);
// Inverse of a rotation plus translation: the transposed rotation.
void OmMatrixInvertOrthonormal(OmMatrix* out, const OmMatrix* in);
// Makes the axes unit length and mutually perpendicular, keeping the best-conditioned one.
void OmMatrixOrthoNormalize(OmMatrix* out, const OmMatrix* in);
// Rotation about an axis through the origin by `degrees`.
void OmMatrixRotate(OmMatrix* matrix, const OmVector3* axis, float degrees, int32_t mode);
// The same from a unit axis, 1 - cos and sin.
void OmMatrixRotateCosSin(OmMatrix* matrix, const OmVector3* unit_axis, float one_minus_cos,
                          float sin, int32_t mode);
void OmTransformPoint(OmVector3* point, const OmMatrix* matrix);
void OmTransformVector(OmVector3* vector, const OmMatrix* matrix);
