// The cubic Bezier segment component: four control points, evaluated in Bernstein form.
#include "game/world/om_bezier_curve.h"

namespace {

class OmBezierCurve final : public OmObject<OmBezierCurve, IOmBezierCurve> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmBezierCurve, this}});
    }
    OmResult SetPoint(uint32_t index, const LgVector* point) override {
        if (index >= kOmBezierPointCount || !point) return OM_E_FAIL;
        points_[index] = *point;
        return OM_S_OK;
    }
    OmResult GetPoint(uint32_t index, LgVector* point, float* parameter) override {
        if (index >= kOmBezierPointCount || !point) return OM_E_FAIL;
        *point = points_[index];
        if (parameter) *parameter = float(index) * 0.33333334f;
        return OM_S_OK;
    }
    int32_t GetPointCount() override { return kOmBezierPointCount; }
    OmResult InsertPoint(uint32_t, const LgVector*, float) override { return OM_E_FAIL; }
    OmResult RemovePoint(uint32_t, LgVector*, float*) override { return OM_E_FAIL; }
    OmResult Evaluate(LgVector* point, float t) override {
        const float s = 1.0f - t;
        return combine(point, {s * s * s, 3.0f * t * s * s, 3.0f * t * t * s, t * t * t});
    }
    OmResult Tangent(LgVector* vector, float t) override {
        const float s = 1.0f - t;
        return combine(vector, {-3.0f * s * s, 3.0f * (3.0f * t * t - 4.0f * t + 1.0f),
                                3.0f * t * (2.0f - 3.0f * t), 3.0f * t * t});
    }
    OmResult Curvature(LgVector* vector, float t) override {
        return combine(vector, {6.0f * (1.0f - t), 18.0f * t - 12.0f, 6.0f - 18.0f * t, 6.0f * t});
    }

private:
    struct Weights {
        float w[kOmBezierPointCount];
    };
    // Sums the weighted control points from zero, point by point in order.
    OmResult combine(LgVector* out, Weights weights) const {
        if (!out) return OM_E_FAIL;
        LgVector sum{0.0f, 0.0f, 0.0f};
        for (uint32_t i = 0; i < kOmBezierPointCount; ++i) {
            sum.x += weights.w[i] * points_[i].x;
            sum.y += weights.w[i] * points_[i].y;
            sum.z += weights.w[i] * points_[i].z;
        }
        *out = sum;
        return OM_S_OK;
    }

    LgVector points_[kOmBezierPointCount]{};
};

const OmClassRecord classes[] = {
    {&CLSID_OmBezierCurve, nullptr, nullptr, OmCreateComponent<OmBezierCurve>, "OmBezierCurve"}};

} // namespace

OM_DEFINE_MODULE(OmBezierCurve, classes)
