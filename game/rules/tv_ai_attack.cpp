// The AI plane's attacks: the dogfight with the guns, the attack run and the bombing pass with
// the secondary weapon.
#include "engine/world/lg_random.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_ai_target.h"
#include "game/world/tv_plane_internal.h"

#include <algorithm>
#include <cmath>

namespace tvai {

namespace {

using tvplane::add;
using tvplane::dot;
using tvplane::scale;
using tvplane::sub;

// Dogfight.
constexpr float kLeadPerUnit = 0.0036363637f; // the bullets' flight time per unit of range
constexpr float kLeadDrift = 0.75f;
constexpr float kThrottleDown = 0.3f;
constexpr float kThrottleUp = 0.5f;
constexpr float kThrottleLow = 0.65f;
constexpr float kBreakBank = -180.0f;
constexpr float kSideSteady = 0.3f;
constexpr float kGunCone = 0.8f;
constexpr float kGunRange = 300.0f;
constexpr float kBreakOffDamage = 0.8f;
// Attack run.
constexpr float kStrikeClimbAbove = 350.0f;
constexpr float kStrikeApproach = 300.0f;
constexpr float kStrikeLeadPerUnit = 0.01f;
constexpr float kStrikeTooClose = 75.0f;
constexpr float kStrikeTooLow = 100.0f;
constexpr float kStrikeClimbOut = 350.0f;
constexpr float kStrikeClimbOutHeight = 250.0f;
constexpr float kStrikeCone = 0.98f;
constexpr float kStrikeRange = 225.0f;
constexpr float kStrikeDryRun = 250.0f;
constexpr float kPullOutHeight = 150.0f;
// Bombing pass.
constexpr float kBombHigh = 160.0f;
constexpr float kBombLow = 140.0f;
constexpr float kBombCone = 0.9f;
constexpr float kBombRange = 600.0f;
constexpr float kBombFallTerm = 240.0f; // 4 x half the fall acceleration
constexpr float kBombFallDivisor = 120.0f;
constexpr float kBombDrop = -60.0f;
constexpr float kBombHitRadius = 30.0f;
constexpr float kBombDryRun = 200.0f;
constexpr float kBombOverfly = 20.0f;
constexpr float kBombTurnBack = 300.0f;

constexpr float kAimDegrees = -90.0f;
constexpr float kPassRadiusSquared = 40.0f * 40.0f;

float length(LgVector v) {
    return std::sqrt(dot(v, v));
}

LgVector normalised(LgVector v) {
    LgVectorNormalize(&v, &v);
    return v;
}

void store_guidance(TavrinAIPlane& plane, float forward, float side, float vertical) {
    plane.guidance_forward = forward;
    plane.guidance_side = side;
    plane.guidance_vertical = vertical;
}

// Out of the secondary weapon: the attack becomes a dogfight after a pass `ahead` units on
// at 150 over the target.
void out_of_ordinance(TavrinAIPlane& plane, TvGoalEntry* goal, const TargetView& target,
                      float ahead) {
    goal->code = kTvGoalEngage;
    LgVector point = add(plane.matrix->pos, scale(plane.matrix->at, ahead));
    point.y = target.position().y + kPullOutHeight;
    TvPushFlyTo(&plane.goals, point, kPassRadiusSquared);
}

} // namespace

bool dogfight(TavrinAIPlane& plane, TvGoalEntry* goal, float dt) {
    if (goal->sub_top) return false;
    const LgMatrix& m = *plane.matrix;
    const TargetView target = find_target(plane, goal->target, &m.pos);
    if (!target) return true;

    LgVector d = sub(target.position(), m.pos);
    float dist = 0.0f;
    if (!target.is_plane()) {
        dist = std::sqrt(d.x * d.x + d.z * d.z);
    } else {
        dist = length(d);
        const float k = dist * kLeadPerUnit * target.speed;
        const LgVector& up = target.matrix->up;
        d = add(d, scale(target.matrix->at, k));
        d = add(d, scale({up.x, 0.0f, up.z}, kLeadDrift * k));
        if (target.speed < plane.speed)
            plane.throttle -= dt * kThrottleDown;
        else if (target.speed > plane.speed)
            plane.throttle += dt * kThrottleUp;
        plane.throttle = std::clamp(plane.throttle, kThrottleLow, 1.0f);
    }
    d = normalised(d);

    const float forward = dot(m.at, d);
    float side = dot(m.right, d);
    const float vertical = dot(m.up, d);
    if (forward >= 0.0f) {
        goal->real = 0.0f;
        if (m.up.y < 0.0f) side = 1.0f;
    } else {
        // Target behind: break to one side, drawn once.
        if (!plane.break_chosen || goal->integer == 0) {
            goal->integer = (LgRandom() & 1) ? 1 : -1;
            plane.break_chosen = 1;
        }
        side = static_cast<float>(goal->integer);
    }
    store_guidance(plane, forward, side, vertical);
    plane.bank = std::clamp(side * kBreakBank, -90.0f, 90.0f);
    if (std::fabs(side) < kSideSteady) plane.time_since_firing = 0.0f;
    if (forward > 0.0f) plane.pitch_rate = vertical * kAimDegrees;

    if (forward > kGunCone && dist < kGunRange) {
        plane.plane_self->TvPlaneFire(kTvFireGuns);
        plane.time_since_firing = 0.0f;
    }
    plane.time_since_firing += dt;

    if (plane.damage > kBreakOffDamage * plane.endurance) return true;
    goal->real += dt;
    if (plane.engage_parameter != 0.0f && goal->real > plane.engage_parameter) return true;
    steer_clear(plane, (target.flags & kTvFlagPlayerPlane) == 0);
    return false;
}

bool strike(TavrinAIPlane& plane, TvGoalEntry* goal) {
    const LgMatrix& m = *plane.matrix;
    const TargetView target = find_target(plane, goal->target, &m.pos);
    if (!target) return true;
    const LgVector& at = target.position();

    LgVector d = sub(at, m.pos);
    float dist = 0.0f;
    if (!target.is_plane()) {
        dist = std::sqrt(d.x * d.x + d.z * d.z);
        if (dist > kStrikeApproach) d.y = at.y + kStrikeClimbAbove - m.pos.y;
    } else {
        dist = length(d);
        d = add(d, scale(target.matrix->at, dist * kStrikeLeadPerUnit));
    }
    d = normalised(d);

    if (!target.is_plane() && (dist < kStrikeTooClose || m.pos.y - at.y < kStrikeTooLow)) {
        // Too close or too low: climb away and come round again.
        const LgVector h = normalised({m.up.x + m.at.x, 0.0f, m.up.z + m.at.z});
        TvPushFlyTo(&plane.goals,
                    {m.pos.x + h.x * kStrikeClimbOut, at.y + kStrikeClimbOutHeight,
                     m.pos.z + h.z * kStrikeClimbOut},
                    kPassRadiusSquared);
    }

    const float forward = dot(m.at, d);
    float side = dot(m.right, d);
    float vertical = dot(m.up, d);
    if (forward < 0.0f) {
        side = 1.0f;
        vertical = 0.0f;
    }
    store_guidance(plane, forward, side, vertical);
    plane.bank = side * kAimDegrees;
    plane.pitch_rate = std::clamp(vertical * -180.0f, -90.0f, 90.0f);

    if (forward > kStrikeCone && dist < kStrikeRange &&
        plane.plane_self->TvPlaneFire(kTvFireOrdinance) < 0)
        out_of_ordinance(plane, goal, target, kStrikeDryRun);

    steer_clear(plane, true);
    return target.object->IsDead() != 0;
}

bool bomb(TavrinAIPlane& plane, TvGoalEntry* goal) {
    const LgMatrix& m = *plane.matrix;
    const TargetView target = find_target(plane, goal->target, &m.pos);
    if (!target) return true;
    const LgVector& at = target.position();

    LgVector d = {at.x - m.pos.x, 0.0f, at.z - m.pos.z};
    const float h = m.pos.y - at.y;
    const float dist = length(d);
    d = normalised(d);

    const float forward = dot(m.at, d);
    float side = dot(m.right, d);
    if (forward < 0.0f) side = side < 0.0f ? -1.0f : 1.0f;
    plane.guidance_forward = forward;
    plane.guidance_side = side;
    plane.bank = side * kAimDegrees;
    // Hold the height band; the flight model's pitch relaxation turns these small demands
    // into a gentle dive above the band and a gentle climb below it.
    if (h > kBombHigh) plane.pitch_rate = -1.0f;
    if (h < kBombLow) plane.pitch_rate = 1.0f;

    if (forward > kBombCone && dist < kBombRange) {
        // Where a bomb released now comes down.
        const float v = plane.speed * m.at.y;
        const float root = v * v + kBombFallTerm * h;
        if (root > 0.0f) {
            const float t = (v + std::sqrt(root)) / kBombFallDivisor;
            LgVector impact = add(m.pos, scale(m.at, plane.speed * t));
            impact.y += kBombDrop * t * t;
            if (length(sub(impact, at)) < kBombHitRadius &&
                plane.plane_self->TvPlaneFire(kTvFireOrdinance) < 0)
                out_of_ordinance(plane, goal, target, kBombDryRun);
        }
    }
    if (dist < kBombOverfly) {
        // Over the target: fly on and turn back for another pass.
        LgVector point = add(m.pos, scale(m.at, h + kBombTurnBack));
        point.y = m.pos.y;
        TvPushFlyTo(&plane.goals, point, kPassRadiusSquared);
    }
    steer_clear(plane, true);
    return false;
}

} // namespace tvai
