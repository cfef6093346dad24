// The AI plane's behaviours by goal code, and the steering they share: aiming at a point,
// giving way to traffic, pulling up from terrain, keeping station on another plane, and
// escorting it.
#include "engine/world/lg_collision.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_ai_target.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_plane_internal.h"

#include <algorithm>
#include <cmath>

namespace tvai {

namespace {

using tvplane::add;
using tvplane::cross;
using tvplane::dot;
using tvplane::scale;
using tvplane::sub;

constexpr float kAimDegrees = -90.0f;
constexpr float kTrafficSeconds = 1.5f;
constexpr float kTrafficGain = 2.5f;
constexpr float kTrafficDodge = 50.0f;
constexpr float kProbeLength = 300.0f;
constexpr float kTerrainPitch = -20.0f;
constexpr float kTerrainPitchPerUnit = 5.0f;
constexpr float kLevelClearance = 120.0f;
constexpr float kLevelClearancePerSlope = 90.0f;
constexpr float kLevelPitchPerSlope = 70.0f;
constexpr float kLevelPitch = 20.0f;
constexpr float kStationBand = 1.0f;
constexpr float kStationThrottleStep = 0.1f;
constexpr float kStationThrottleFloor = 0.5f;
constexpr float kEscortLeash = 1.5f;

float horizontal_squared(LgVector a, LgVector b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return dx * dx + dz * dz;
}

float distance(LgVector a, LgVector b) {
    const LgVector d = sub(a, b);
    return std::sqrt(dot(d, d));
}

void set_state(TavrinAIPlane& plane, int32_t state) {
    plane.plane_self->SetProperty(kTvPlanePropState, static_cast<uint32_t>(state));
}

bool take_off(TavrinAIPlane& plane, const TvGoalEntry* goal) {
    switch (goal->code & kTvGoalPhaseMask) {
    case 1: // taxi
        set_state(plane, kTvPlaneTaxiing);
        return true;
    case 2: // run up
        plane.throttle = 1.0f;
        return plane.speed > plane.flight.cruise_speed || plane.state == kTvPlaneFlying;
    case 3: // lift off
        plane.pitch_rate = -1.0f;
        return plane.state == kTvPlaneFlying;
    default: return goal->sub_top == nullptr;
    }
}

bool start_in_flight(TavrinAIPlane& plane, const TvGoalEntry* goal) {
    plane.matrix->pos = goal->point;
    plane.previous_matrix.pos = goal->point;
    LgMatrixMarkChanged(plane.matrix);
    plane.throttle = 1.0f;
    plane.speed = plane.flight.cruise_speed;
    set_state(plane, kTvPlaneFlying);
    return true;
}

bool wait_for_target(TavrinAIPlane& plane, const TvGoalEntry* goal) {
    if (!plane.hidden) hide(plane);
    const TargetView target = find_target(plane, goal->target, &plane.matrix->pos);
    if (!target) return false;
    if (horizontal_squared(target.position(), goal->point) >= goal->real) return false;
    appear(plane);
    return true;
}

bool wait_time(TavrinAIPlane& plane, TvGoalEntry* goal, float dt) {
    if (!plane.hidden) hide(plane);
    goal->real -= dt;
    if (goal->real >= 0.0f) return false;
    appear(plane);
    return true;
}

bool wait_reinforcement(TavrinAIPlane& plane, const TvGoalEntry* goal) {
    if (!plane.hidden) hide(plane);
    if (!plane.game || plane.game->GetReinforcementsUsed() != goal->integer) return false;
    appear(plane);
    return true;
}

} // namespace

void aim_at(TavrinAIPlane& plane, LgVector point) {
    const LgMatrix& m = *plane.matrix;
    LgVector d = sub(point, m.pos);
    LgVectorNormalize(&d, &d);
    const float forward = dot(m.at, d);
    float side = dot(m.right, d);
    const float vertical = dot(m.up, d);
    if (forward < 0.0f) side = side < 0.0f ? -1.0f : 1.0f;
    plane.guidance_side = side;
    plane.guidance_vertical = vertical;
    plane.guidance_forward = forward;
    plane.bank = side * kAimDegrees;
    plane.pitch_rate = vertical * kAimDegrees;
    avoid_traffic(plane);
}

void avoid_traffic(TavrinAIPlane& plane) {
    if (plane.goals.sub_top && plane.goals.sub_top->code == kTvGoalFlyToFor) return;
    const TargetView other = find_target(plane, -kTvGroupSideA, &plane.matrix->pos);
    if (!other) return;
    uintptr_t table = 0;
    if (other.object->GetProperty(kTvPlanePropFlightTable, &table) < 0 || !table) return;
    const auto& flight = *reinterpret_cast<const TvFlightTable*>(table);
    const LgVector d = sub(other.position(), plane.matrix->pos);
    if (dot(d, d) >= kTrafficGain * flight.starboard_length * flight.back_length) return;
    const LgVector away = scale(cross(other.matrix->at, plane.matrix->up), kTrafficDodge);
    TvPushFlyToFor(&plane.goals, add(plane.matrix->pos, away), kTrafficSeconds);
}

void steer_clear(TavrinAIPlane& plane, bool level) {
    const LgMatrix& m = *plane.matrix;
    const float starboard = plane.flight.starboard_length;
    LgVector start = m.pos;
    start.y -= starboard;
    start = add(start, scale(m.right, starboard * plane.bank / 90.0f));
    const LgVector end = add(start, scale(m.at, kProbeLength));
    float fraction = 0.0f;
    if (plane.landscape) {
        LgCollisionPrimitive line = tvplane::line_of(start, end);
        plane.landscape->LineHitFraction(&line, &fraction);
    }
    const float h = fraction * kProbeLength;
    const bool inverted = m.up.y < 0.0f;
    if (h > 0.0f && h < kProbeLength) {
        const float pitch = kTerrainPitch - (kProbeLength - h) / kTerrainPitchPerUnit;
        plane.pitch_rate = inverted ? -pitch : pitch;
        return;
    }
    if (level && plane.ground_clearance < kLevelClearance - kLevelClearancePerSlope * m.at.y)
        plane.pitch_rate = m.at.y * kLevelPitchPerSlope + (inverted ? kLevelPitch : -kLevelPitch);
}

void keep_station(TavrinAIPlane& plane, const TvGoalEntry* goal, const TargetView& target) {
    LgVector point;
    LgVectorTransformPoints(&point, &goal->point, 1, target.matrix);
    aim_at(plane, point);
    steer_clear(plane, true);
    // The target's speed along this plane's heading against this plane's own: open the
    // throttle when it draws away, ease off (to half at most) when this plane closes on it.
    const float d = dot(scale(target.matrix->at, target.speed), plane.matrix->at) - plane.speed;
    if (d > kStationBand)
        plane.throttle = 1.0f;
    else if (d < -kStationBand)
        plane.throttle = std::max(kStationThrottleFloor, 1.0f + kStationThrottleStep * d);
}

bool escort(TavrinAIPlane& plane, TvGoalEntry* goal) {
    const TargetView target = find_target(plane, goal->target, &plane.matrix->pos);
    if (!target) return true;
    if (!goal->sub_top) {
        keep_station(plane, goal, target);
    } else if (TvIsEngagement(goal->sub_top) &&
               distance(plane.matrix->pos, target.position()) > kEscortLeash * goal->real) {
        // Too far from the escorted plane: leave the fight.
        TvFreeGoals(goal);
    }
    const int32_t enemies =
        (plane.group_mask & (1u << kTvGroupSideA)) ? -kTvGroupSideB : -kTvGroupSideA;
    const TargetView enemy = find_target(plane, enemies, &target.position());
    if (enemy && !goal->sub_top && distance(enemy.position(), plane.matrix->pos) < goal->real) {
        int32_t id = 0;
        uintptr_t value = 0;
        if (enemy.object->GetProperty(kTvPropId, &value) >= 0) id = static_cast<int32_t>(value);
        TvPushEngage(goal, id);
    }
    return false;
}

bool run_behaviour(TavrinAIPlane& plane, TvGoalEntry* goal, float dt) {
    if (!plane.matrix) return false;
    switch (goal->code & ~kTvGoalPhaseMask) {
    case kTvGoalTakeOff: return take_off(plane, goal);
    case kTvGoalFlyTo:
        if (horizontal_squared(goal->point, plane.matrix->pos) < goal->real) return true;
        aim_at(plane, goal->point);
        steer_clear(plane, true);
        return false;
    case kTvGoalFormOn: {
        const TargetView target = find_target(plane, goal->target, &plane.matrix->pos);
        if (!target) return true;
        keep_station(plane, goal, target);
        return false;
    }
    case kTvGoalFlyToFor:
        goal->real -= dt;
        if (goal->real < 0.0f) return true;
        aim_at(plane, goal->point);
        steer_clear(plane, true);
        return false;
    case kTvGoalEngage: return dogfight(plane, goal, dt);
    case kTvGoalStrike: return strike(plane, goal);
    case kTvGoalBomb: return bomb(plane, goal);
    case kTvGoalStartInFlight: return start_in_flight(plane, goal);
    case kTvGoalWaitForTarget: return wait_for_target(plane, goal);
    case kTvGoalRetaliateOn: plane.retaliate = 1; return true;
    case kTvGoalRetaliateOff: plane.retaliate = 0; return true;
    case kTvGoalEscort: return escort(plane, goal);
    case kTvGoalWaitTime: return wait_time(plane, goal, dt);
    case kTvGoalHide: hide(plane); return true;
    case kTvGoalWaitReinforcement: return wait_reinforcement(plane, goal);
    default: return false; // no behaviour: holds the goals below it
    }
}

} // namespace tvai
