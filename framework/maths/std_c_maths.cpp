// StdCMaths: one shared object forwarding to the maths routines; the last release frees it
// and a later creation builds it again.
#include "framework/maths/std_c_maths.h"

#include "framework/core/static_state.h"

namespace {

class StdCMaths;
StdCMaths* instance = nullptr;
// Tests start each case from a framework that never made the instance.
const OmStaticStateReset reset_instance([] { instance = nullptr; });

class StdCMaths final : public OmObject<StdCMaths, IMaths> {
public:
    ~StdCMaths() { instance = nullptr; }
    OmResult init() { return OmMathsTablesInit(); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IMaths, this}});
    }

    OmResult Maths_MatrixMultiply(OmMatrix* out, const OmMatrix* a, const OmMatrix* b) override {
        OmMatrixMultiply(out, a, b);
        return OM_S_OK;
    }
    OmResult Maths_MatrixScale(OmMatrix* matrix, const OmVector3* scale, int32_t mode) override {
        OmMatrixScale(matrix, scale, mode);
        return OM_S_OK;
    }
    OmResult Maths_MatrixTranslate(OmMatrix* matrix, const OmVector3* offset,
                                   int32_t mode) override {
        OmMatrixTranslate(matrix, offset, mode);
        return OM_S_OK;
    }
    OmResult Maths_MatrixTransform(OmMatrix* matrix, const OmMatrix* other, int32_t mode) override {
        OmMatrixTransform(matrix, other, mode);
        return OM_S_OK;
    }
    OmResult Maths_MatrixQueryRotate(const OmMatrix* matrix, OmVector3* axis, float* degrees,
                                     OmVector3* centre) override {
        float radians;
        OmMatrixQueryRotate(matrix, axis, &radians, centre);
        *degrees = radians * OM_RADIANS_TO_DEGREES;
        return OM_S_OK;
    }
    OmResult Maths_MatrixInvert(OmMatrix* out, const OmMatrix* in) override {
        OmMatrixInvert(out, in);
        return OM_S_OK;
    }
    OmResult Maths_MatrixInvertOrthonormal(OmMatrix* out, const OmMatrix* in) override {
        OmMatrixInvertOrthonormal(out, in);
        return OM_S_OK;
    }
    OmResult Maths_MatrixOrthoNormalize(OmMatrix* out, const OmMatrix* in) override {
        OmMatrixOrthoNormalize(out, in);
        return OM_S_OK;
    }
    OmResult Maths_MatrixRotate(OmMatrix* matrix, const OmVector3* axis, float degrees,
                                int32_t mode) override {
        OmMatrixRotate(matrix, axis, degrees, mode);
        return OM_S_OK;
    }
    OmResult Maths_MatrixRotateCosSin(OmMatrix* matrix, const OmVector3* unit_axis,
                                      float one_minus_cos, float sin, int32_t mode) override {
        OmMatrixRotateCosSin(matrix, unit_axis, one_minus_cos, sin, mode);
        return OM_S_OK;
    }
    OmResult Maths_TransformPoint(OmVector3* point, const OmMatrix* matrix) override {
        OmTransformPoint(point, matrix);
        return OM_S_OK;
    }
    OmResult Maths_TransformVector(OmVector3* vector, const OmMatrix* matrix) override {
        OmTransformVector(vector, matrix);
        return OM_S_OK;
    }
    OmResult Maths_Normalize(OmVector3* out, const OmVector3* in) override {
        OmVector3Normalize(out, in);
        return OM_S_OK;
    }
    float Maths_NormalizeFast(OmVector3* out, const OmVector3* in) override {
        return OmVector3NormalizeFast(out, in);
    }
    float Maths_Sqrt(float x) override { return OmSqrtFast(x); }
    float Maths_Pow(float x, float y) override { return OmPow(x, y); }
    float Maths_Sin(float degrees) override { return OmSinDeg(degrees); }
    float Maths_Cos(float degrees) override { return OmCosDeg(degrees); }
    float Maths_Tan(float degrees) override { return OmTanDeg(degrees); }
};

OmResult create_maths(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(instance, outer, out);
}

const OmClassRecord classes[] = {{&CLSID_StdCMaths, nullptr, nullptr, create_maths, "StdCMaths"}};

} // namespace

OM_DEFINE_MODULE(StdCMaths, classes)
