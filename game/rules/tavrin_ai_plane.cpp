// The AI plane: interfaces, creation over an archetype with the mission's goals, the answers
// to hits (evasion or retaliation, hit and kill reports to the attacker), the hit and kill
// counters, and the hidden status.
#include "game/rules/tavrin_ai_plane.h"

#include "engine/world/lg_clump.h"
#include "engine/world/lg_random.h"
#include "framework/core/memory.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_bsp_landscape.h"

#include <algorithm>
#include <bit>
#include <new>

namespace {

const OmClassRecord classes[] = {
    {&CLSID_TavrinAIPlane, nullptr, nullptr, OmCreateComponent<TavrinAIPlane>, "TavrinAIPlane"}};

float random10() {
    return static_cast<float>(LgRandom() & 0x3ff);
}

LgVector offset(LgVector base, LgVector direction, float s) {
    return {base.x + direction.x * s, base.y + direction.y * s, base.z + direction.z * s};
}

} // namespace

OM_DEFINE_MODULE(TavrinAIPlane, classes)

TavrinAIPlane::~TavrinAIPlane() = default;

OmResult TavrinAIPlane::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_ITvObject, static_cast<ITvPlane*>(this)},
                               {&IID_ITvAIPlane, static_cast<ITvPlane*>(this)}});
}

OmResult TavrinAIPlane::Create(TvCreateDescriptor* descriptor) {
    TvFreeGoals(&goals);
    hidden = 0;
    engage_parameter = 0.0f;
    if (descriptor && descriptor->archetype) {
        uintptr_t table = 0;
        if (descriptor->archetype->GetProperty(kTvPlanePropFlightTable, &table) >= 0 && table)
            flight = *reinterpret_cast<const TvFlightTable*>(table);
        uintptr_t value = 0;
        if (descriptor->archetype->GetProperty(kTvPropLandscape, &value) >= 0)
            TavrinPlane::SetProperty(kTvPropLandscape, value);
        if (descriptor->archetype->GetProperty(kTvPropWorld, &value) >= 0)
            world = reinterpret_cast<LgWorld*>(value);
    }
    // The base object's create drops the landscape and world references: keep them.
    ITvBSPLandscape* kept_landscape = landscape;
    if (kept_landscape) kept_landscape->AddRef();
    LgWorld* kept_world = world;
    const OmResult r = TavrinPlane::Create(descriptor);
    if (!landscape)
        landscape = kept_landscape;
    else if (kept_landscape)
        kept_landscape->Release();
    if (!world) world = kept_world;
    if (r < 0) return r;

    if (descriptor && model) {
        TvClumpSetOwner(model, self);
        matrix->at.y = 0.2f;
        LgVector up;
        LgVectorCrossProduct(&up, &matrix->at, &matrix->right);
        matrix->up = up;
        LgMatrixMarkChanged(matrix);
    }
    // The mission's goals, last first, so that the first goal of the file ends on top.
    if (descriptor && descriptor->archetype) {
        const auto* entry = static_cast<const TvMissionAirEntry*>(descriptor);
        const int32_t count = std::clamp(entry->goal_count, 0, kTvMissionGoalCapacity);
        for (int32_t i = count - 1; i >= 0; --i) TvPushMissionGoal(*this, &goals, entry->goals[i]);
    }
    guidance_side = guidance_vertical = guidance_forward = 1.0f;
    bank = 0.0f;
    last_bank_demand = time_since_firing = damage_recently = 0.0f;
    retaliate = 0;
    return OM_S_OK;
}

OmResult TavrinAIPlane::Destroy() {
    TvFreeGoals(&goals);
    return TavrinPlane::Destroy();
}

OmResult TavrinAIPlane::HandleEvent(const TvEvent* event) {
    if (event && event->code == kTvEventHitVictim) {
        const auto victim_groups = static_cast<uint32_t>(event->data);
        if (victim_groups & group_mask) {
            // A friend was hit: break away, unless already evading or idle.
            if (goals.sub_top && goals.sub_top->code != kTvGoalFlyToFor && matrix) {
                LgVector point = offset(matrix->pos, matrix->at, 1023.0f);
                for (int axis = 0; axis < 3; ++axis) {
                    const LgVector up_part = {axis == 0 ? matrix->up.x : 0.0f,
                                              axis == 1 ? matrix->up.y : 0.0f,
                                              axis == 2 ? matrix->up.z : 0.0f};
                    point = offset(point, up_part, random10() - 512.0f);
                }
                for (int axis = 0; axis < 3; ++axis) {
                    const LgVector right_part = {axis == 0 ? matrix->right.x : 0.0f,
                                                 axis == 1 ? matrix->right.y : 0.0f,
                                                 axis == 2 ? matrix->right.z : 0.0f};
                    point = offset(point, right_part, random10() - 512.0f);
                }
                TvPushFlyToFor(&goals, point, 1.0f);
            }
        } else {
            time_since_firing = 0.0f;
            ++hits_scored;
        }
    } else if (event && event->code == kTvEventKilledVictim) {
        const auto victim_groups = static_cast<uint32_t>(event->data);
        if (victim_groups & (1u << kTvGroupSideA)) ++kills_side_a;
        if (victim_groups & (1u << kTvGroupSideB)) ++kills_side_b;
    }
    return TavrinPlane::HandleEvent(event);
}

void TavrinAIPlane::react_to_hit(int32_t attacker_id) {
    if (!goals.sub_top || !matrix) return;
    if (retaliate) {
        ITvObject* attacker = game ? game->GetObjectById(attacker_id) : nullptr;
        if (!attacker) return;
        uintptr_t attacker_groups = 0;
        attacker->GetProperty(kTvPropGroupMask, &attacker_groups);
        if (attacker_groups & group_mask) return;
        // An engagement on top (the goal or its phase) only draws a new break direction.
        if (TvIsEngagement(goals.sub_top))
            break_chosen = 0;
        else
            TvPushEngage(&goals, attacker_id);
        return;
    }
    if (goals.sub_top->code == kTvGoalFlyToFor) return;
    LgVector point = offset(matrix->pos, matrix->at, 50.0f);
    point.x += matrix->right.x * (random10() * 0.9765625f - 1.0f);
    point.y += matrix->right.y * (random10() * 0.9765625f - 1.0f);
    point.z += matrix->right.z * (random10() * 0.9765625f - 1.0f);
    TvPushFlyToFor(&goals, point, 0.5f);
}

void TavrinAIPlane::answer_hit(int32_t attacker_id, bool killed) {
    react_to_hit(attacker_id);
    ITvObject* attacker = game ? game->GetObjectById(attacker_id) : nullptr;
    if (!attacker) return;
    const TvEvent hit{kTvEventHitVictim, group_mask};
    attacker->HandleEvent(&hit);
    if (killed) {
        const TvEvent kill{kTvEventKilledVictim, group_mask};
        attacker->HandleEvent(&kill);
    }
}

OmResult TavrinAIPlane::AddDamage(float amount, int32_t attacker_id) {
    if (attacker_id != 0 && attacker_id != id)
        answer_hit(attacker_id, damage < endurance && damage + amount >= endurance);
    damage_recently += amount;
    const OmResult r = TavrinPlane::AddDamage(amount, attacker_id);
    if (damage >= endurance) TvFreeGoals(&goals);
    return r;
}

OmResult TavrinAIPlane::SetDamage(uint32_t word, float value, uint32_t attacker_word) {
    const auto attacker_id = static_cast<int32_t>(attacker_word);
    if (attacker_id != 0 && attacker_id != id)
        answer_hit(attacker_id, damage < endurance && value >= endurance);
    damage_recently += std::bit_cast<float>(word);
    const OmResult r = TavrinPlane::SetDamage(word, value, attacker_word);
    if (damage >= endurance) TvFreeGoals(&goals);
    return r;
}

int32_t TavrinAIPlane::IsDead() {
    return hidden ? 2 : TavrinPlane::IsDead();
}
