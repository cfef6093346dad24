// What the AI plane's behaviours read of another object: its matrix, flags and speed, and the
// target search they all start from.
#pragma once

#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_game.h"

namespace tvai {

struct TargetView {
    ITvObject* object = nullptr;
    const LgMatrix* matrix = nullptr;
    uint32_t flags = 0;
    float speed = 0.0f; // planes only (property 515)

    explicit operator bool() const { return object && matrix; }
    bool is_plane() const { return (flags & kTvFlagPlane) != 0; }
    const LgVector& position() const { return matrix->pos; }
};

inline TargetView view_of(ITvObject* object) {
    TargetView view;
    if (!object) return view;
    uintptr_t value = 0;
    if (object->GetProperty(kTvPropMatrix, &value) < 0 || !value) return view;
    view.object = object;
    view.matrix = reinterpret_cast<const LgMatrix*>(value);
    if (object->GetProperty(kTvPropFlags, &value) >= 0) view.flags = static_cast<uint32_t>(value);
    if (object->GetProperty(kTvPlanePropSpeed, &value) >= 0 && value)
        view.speed = *reinterpret_cast<const float*>(value);
    return view;
}

// The game's target search from the plane's position: an id, or the nearest live member of
// group -id.
inline TargetView find_target(const TavrinAIPlane& plane, int32_t id, const LgVector* from) {
    if (!plane.game) return {};
    return view_of(plane.game->FindTarget(id, from));
}

// The station-keeping of form-on and escort: aim at the offset from the target, steer clear,
// and match the target's speed with the throttle.
void keep_station(TavrinAIPlane& plane, const TvGoalEntry* goal, const TargetView& target);

} // namespace tvai
