// OmBezierCurve: one cubic Bezier segment in three dimensions, with its point, tangent and
// second derivative at a curve parameter.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_OmBezierCurve = om_guid("df99bcf9-65c6-42cb-93f3-da68cb6f483a");
inline constexpr GUID IID_IOmBezierCurve = om_guid("6dc833f5-e4ce-4e03-8611-7aa8907a77e0");

inline constexpr uint32_t kOmBezierPointCount = 4;

struct IOmBezierCurve : IUnknown {
    // Control point 0..3. OM_E_FAIL for any other index, nothing changed.
    virtual OmResult SetPoint(uint32_t index, const LgVector* point) = 0;
    // Control point 0..3 and, when asked, its curve parameter (index / 3). OM_E_FAIL for any
    // other index, nothing written.
    virtual OmResult GetPoint(uint32_t index, LgVector* point, float* parameter) = 0;
    // 4.
    virtual int32_t GetPointCount() = 0;
    // Not supported: OM_E_FAIL.
    virtual OmResult InsertPoint(uint32_t index, const LgVector* point, float parameter) = 0;
    virtual OmResult RemovePoint(uint32_t index, LgVector* point, float* parameter) = 0;
    // The point at t (not clamped: outside 0..1 the polynomial extrapolates). 0.
    virtual OmResult Evaluate(LgVector* point, float t) = 0;
    // The first derivative at t. 0.
    virtual OmResult Tangent(LgVector* vector, float t) = 0;
    // The second derivative at t. 0.
    virtual OmResult Curvature(LgVector* vector, float t) = 0;
};

OM_DECLARE_MODULE(OmBezierCurve);
