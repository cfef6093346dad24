// StdCMaths: the program-wide maths service behind IMaths.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/framework_startup.h"
#include "framework/maths/om_matrix.h"

inline constexpr GUID IID_IMaths = om_guid("DD5BDD46-C84F-11D4-871E-00C04F7963BA");

// Slots 3-15 return 0 (callers ignore it); every matrix operation takes its combine mode as
// the routines of om_matrix.h do.
struct IMaths : IUnknown {
    // out = a x b (out distinct from a and b).
    virtual OmResult Maths_MatrixMultiply(OmMatrix* out, const OmMatrix* a, const OmMatrix* b) = 0;
    virtual OmResult Maths_MatrixScale(OmMatrix* matrix, const OmVector3* scale, int32_t mode) = 0;
    virtual OmResult Maths_MatrixTranslate(OmMatrix* matrix, const OmVector3* offset,
                                           int32_t mode) = 0;
    virtual OmResult Maths_MatrixTransform(OmMatrix* matrix, const OmMatrix* other,
                                           int32_t mode) = 0;
    // The rotation's unit axis, its angle in degrees and a point on the axis.
    virtual OmResult Maths_MatrixQueryRotate(const OmMatrix* matrix, OmVector3* axis,
                                             float* degrees, OmVector3* centre) = 0;
    virtual OmResult Maths_MatrixInvert(OmMatrix* out, const OmMatrix* in) = 0;
    virtual OmResult Maths_MatrixInvertOrthonormal(OmMatrix* out, const OmMatrix* in) = 0;
    virtual OmResult Maths_MatrixOrthoNormalize(OmMatrix* out, const OmMatrix* in) = 0;
    virtual OmResult Maths_MatrixRotate(OmMatrix* matrix, const OmVector3* axis, float degrees,
                                        int32_t mode) = 0;
    virtual OmResult Maths_MatrixRotateCosSin(OmMatrix* matrix, const OmVector3* unit_axis,
                                              float one_minus_cos, float sin, int32_t mode) = 0;
    virtual OmResult Maths_TransformPoint(OmVector3* point, const OmMatrix* matrix) = 0;
    virtual OmResult Maths_TransformVector(OmVector3* vector, const OmMatrix* matrix) = 0;
    virtual OmResult Maths_Normalize(OmVector3* out, const OmVector3* in) = 0;
    // Returns the length of `in`.
    virtual float Maths_NormalizeFast(OmVector3* out, const OmVector3* in) = 0;
    virtual float Maths_Sqrt(float x) = 0;
    virtual float Maths_Pow(float x, float y) = 0;
    virtual float Maths_Sin(float degrees) = 0;
    virtual float Maths_Cos(float degrees) = 0;
    virtual float Maths_Tan(float degrees) = 0;
};

OM_DECLARE_MODULE(StdCMaths);
