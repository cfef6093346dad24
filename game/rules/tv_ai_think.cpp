// The AI plane's think step: the walk over its goals, the battle area, the bank-rate limit and
// the idle goal, then the plane's own update; hiding and appearing; the radio lines.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_plane_internal.h"

#include <cmath>

namespace tvai {

namespace {

using tvplane::add;
using tvplane::dot;
using tvplane::scale;
using tvplane::sub;

constexpr float kBattleMargin = 500.0f;
constexpr float kWarningMargin = 600.0f;
constexpr float kReturnInset = 700.0f;
constexpr float kReturnClimb = 200.0f;
constexpr float kReturnSeconds = 1.25f;
constexpr float kBankRateFactor = 3.0f;
constexpr float kWanderRadiusSquared = 100.0f * 100.0f;
constexpr float kRadioLineY = 160.0f;
constexpr float kAwayFromCentre = 0.4f;

const LgBBox* world_box(const TavrinAIPlane& plane) {
    LgWorld* world = tvplane::world_of(plane);
    return world ? LgWorldGetBoundingBox(world) : nullptr;
}

bool near_edge(float v, float low, float high, float margin) {
    return v < low + margin || v > high - margin;
}

// A point of the world box drawn at random (10 bits per axis).
LgVector random_point(const LgBBox& box) {
    auto along = [](float low, float high) {
        return low + (high - low) * static_cast<float>(LgRandom() & 0x3ff) / 1023.0f;
    };
    const float x = along(box.inf.x, box.sup.x);
    const float y = along(box.inf.y, box.sup.y);
    const float z = along(box.inf.z, box.sup.z);
    return {x, y, z};
}

// Beyond the battle area with nothing to do: head back 700 inside the edge, 200 higher.
void return_to_battle(TavrinAIPlane& plane, const LgBBox& box) {
    const LgVector& pos = plane.matrix->pos;
    LgVector aim = add(pos, scale(plane.matrix->at, plane.speed));
    if (pos.x < box.inf.x + kBattleMargin) aim.x = box.inf.x + kReturnInset;
    if (pos.x > box.sup.x - kBattleMargin) aim.x = box.sup.x - kReturnInset;
    if (pos.z < box.inf.z + kBattleMargin) aim.z = box.inf.z + kReturnInset;
    if (pos.z > box.sup.z - kBattleMargin) aim.z = box.sup.z - kReturnInset;
    aim.y += kReturnClimb;
    TvPushFlyToFor(&plane.goals, aim, kReturnSeconds);
}

void limit_bank_rate(TavrinAIPlane& plane, float dt) {
    const float step = kBankRateFactor * plane.flight.roll * dt;
    const float change = plane.bank - plane.last_bank_demand;
    if (std::fabs(change) > step)
        plane.bank = plane.last_bank_demand + (change > 0.0f ? step : -step);
    plane.last_bank_demand = plane.bank;
}

} // namespace

Area area_of(const TavrinAIPlane& plane) {
    const LgBBox* box = world_box(plane);
    if (!box || !plane.matrix) return Area::Inside;
    const LgVector& p = plane.matrix->pos;
    auto beyond = [&](float margin) {
        return near_edge(p.x, box->inf.x, box->sup.x, margin) ||
               near_edge(p.z, box->inf.z, box->sup.z, margin);
    };
    if (beyond(kBattleMargin)) return Area::Outside;
    if (beyond(kWarningMargin)) return Area::WarningBand;
    return Area::Inside;
}

void run_goals(TavrinAIPlane& plane, float dt) {
    TvGoalStack* stack = &plane.goals;
    while (TvGoalEntry* goal = stack->sub_top) {
        if (run_behaviour(plane, goal, dt)) {
            // The behaviour may have pushed goals over it: unlink this entry wherever it lies.
            TvUnlinkGoal(stack, goal);
            TvFreeGoal(goal);
            return;
        }
        stack = goal;
    }
}

void hide(TavrinAIPlane& plane) {
    if (plane.model) {
        if (LgWorld* world = LgClumpGetWorld(plane.model)) LgWorldRemoveClump(world, plane.model);
    }
    plane.hidden = 1;
    TvSoundStop(plane.engine_sound);
}

void appear(TavrinAIPlane& plane) {
    if (plane.model && !LgClumpGetWorld(plane.model)) {
        if (LgWorld* world = tvplane::world_of(plane)) LgWorldAddClump(world, plane.model);
    }
    plane.hidden = 0;
    TvSoundPlay(plane.engine_sound, 1);
}

} // namespace tvai

OmResult TavrinAIPlane::Update() {
    if (state == kTvPlaneCrashed) return TavrinPlane::Update();
    const float dt = tvplane::frame_time(*this);
    tvai::run_goals(*this, dt);

    const LgBBox* box = tvai::world_box(*this);
    if (!goals.sub_top && box && matrix && tvai::area_of(*this) == tvai::Area::Outside)
        tvai::return_to_battle(*this, *box);

    const bool player = (flags & kTvFlagPlayerPlane) != 0;
    if (!player) tvai::limit_bank_rate(*this, dt);
    damage_recently = std::max(0.0f, damage_recently - dt);

    if (!goals.sub_top && !player && !(flags & kTvFlagNetworkDriven) && box)
        TvPushFlyTo(&goals, tvai::random_point(*box), tvai::kWanderRadiusSquared);

    // A hidden plane is out of the world: it neither flies nor sounds until it appears.
    if (hidden) return OM_S_OK;
    const OmResult r = TavrinPlane::Update();
    if (!(flags & kTvFlagNetworkDriven) && model_frame) LgFrameMarkDirty(model_frame);
    return r;
}

OmResult TavrinAIPlane::DrawCockpitHud() {
    const char* line = nullptr;
    switch (tvai::area_of(*this)) {
    case tvai::Area::Outside:
        line = TvGetString("returntobattle", "STRING \"returntobattle\" NOT IN FILE");
        skip_controls_once = 1;
        break;
    case tvai::Area::WarningBand:
        if (const LgBBox* box = tvai::world_box(*this)) {
            const LgVector centre = tvplane::scale(tvplane::add(box->inf, box->sup), 0.5f);
            if (tvplane::dot(matrix->at, tvplane::sub(centre, matrix->pos)) < tvai::kAwayFromCentre)
                line = TvGetString("nearadgeofbattle", "STRING \"nearadgeofbattle\" NOT IN FILE");
        }
        break;
    case tvai::Area::Inside: break;
    }
    if (line && game) game->DrawCentredText(tvai::kRadioLineY, line, 0);
    return TavrinPlane::DrawCockpitHud();
}
