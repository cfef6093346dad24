// Small vector and matrix helpers shared by the plane's flight, collision and update code.
#pragma once

#include "engine/core/lg_matrix.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_collision.h"
#include "game/world/tv_plane.h"

#include <cmath>

namespace tvplane {

inline LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline float dot(LgVector a, LgVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline LgVector cross(LgVector a, LgVector b) {
    LgVector out;
    LgVectorCrossProduct(&out, &a, &b);
    return out;
}

inline constexpr LgVector kAxisX = {1.0f, 0.0f, 0.0f};
inline constexpr LgVector kAxisZ = {0.0f, 0.0f, 1.0f};

// Turns the matrix about one of its own axes (the rotation comes first), in degrees.
inline void turn_local(LgMatrix* m, LgVector axis, float degrees) {
    LgMatrixRotate(m, &axis, degrees, LgCombinePreConcat);
}

// A line primitive from start to end.
inline LgCollisionPrimitive line_of(LgVector start, LgVector end) {
    LgCollisionPrimitive p{};
    p.line = {start, end};
    p.type = LgCollisionLine;
    return p;
}

// The landscape's fraction of the line's first ground crossing, 0 when none (or no
// landscape).
float ground_fraction(const TvObjectFields& o, LgVector start, LgVector end);
// The landscape's ground point on the line written into *point (untouched when none).
void ground_point(const TvObjectFields& o, LgVector start, LgVector end, LgVector* point);

// The object owning the atomic when a contact probe acts on it: not the plane itself and
// not a take-off point; null otherwise.
ITvObject* probe_target(LgAtomic* atomic, int32_t self_id);
// Whether a contact probe of the step from start to end could meet an atomic of a probe
// target; when not, the probes' walks over the world's objects are skipped.
bool targets_near(Plane plane, LgVector start, LgVector end);

} // namespace tvplane
