// The AI plane's goal entries: allocation, the stack primitives, one push routine per goal
// code, and the mission's goals turned into entries.
#include "framework/core/memory.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_game.h"

#include <new>

namespace {

constexpr float kFormOnRange = 30.0f;

// The target's position for a station offset, or false when it does not exist.
bool target_position(const TavrinAIPlane& plane, int32_t target, LgVector* out) {
    if (!plane.game) return false;
    const LgVector* own = plane.matrix ? &plane.matrix->pos : nullptr;
    ITvObject* object = plane.game->FindTarget(target, own);
    if (!object) return false;
    uintptr_t where = 0;
    if (object->GetProperty(kTvPropPosition, &where) < 0 || !where) return false;
    *out = *reinterpret_cast<const LgVector*>(where);
    return true;
}

int32_t push_new(TvGoalStack* stack, TvGoalEntry* entry) {
    if (!entry) return 0;
    TvPushGoal(stack, entry);
    return 1;
}

TvGoalEntry* with_target(uint32_t code, int32_t target) {
    TvGoalEntry* entry = TvNewGoal(code);
    if (entry) entry->target = target;
    return entry;
}

// A station-keeping goal: the offset from the target, level with it.
int32_t push_station(TavrinAIPlane& plane, TvGoalStack* stack, uint32_t code, int32_t target,
                     LgVector point, float real) {
    LgVector at{};
    if (!target_position(plane, target, &at)) return 0;
    TvGoalEntry* entry = with_target(code, target);
    if (!entry) return 0;
    entry->point = {point.x - at.x, 0.0f, point.z - at.z};
    entry->real = real;
    return push_new(stack, entry);
}

} // namespace

TvGoalEntry* TvNewGoal(uint32_t code) {
    void* block = OmAllocMemory(sizeof(TvGoalEntry));
    if (!block) return nullptr;
    auto* entry = new (block) TvGoalEntry{};
    entry->code = code;
    return entry;
}

void TvPushGoal(TvGoalStack* stack, TvGoalEntry* entry) {
    if (!stack || !entry) return;
    entry->next = stack->sub_top;
    stack->sub_top = entry;
}

TvGoalEntry* TvPopGoal(TvGoalStack* stack) {
    if (!stack || !stack->sub_top) return nullptr;
    TvGoalEntry* top = stack->sub_top;
    stack->sub_top = top->next;
    top->next = nullptr;
    return top;
}

bool TvUnlinkGoal(TvGoalStack* stack, TvGoalEntry* entry) {
    if (!stack || !entry) return false;
    for (TvGoalEntry** link = &stack->sub_top; *link; link = &(*link)->next) {
        if (*link != entry) continue;
        *link = entry->next;
        entry->next = nullptr;
        return true;
    }
    return false;
}

void TvFreeGoals(TvGoalStack* stack) {
    while (TvGoalEntry* entry = TvPopGoal(stack)) TvFreeGoal(entry);
}

void TvFreeGoal(TvGoalEntry* entry) {
    if (!entry) return;
    TvFreeGoals(entry);
    OmFreeMemory(entry);
}

int32_t TvPushTakeOff(TvGoalStack* stack) {
    TvGoalEntry* entries[4] = {};
    for (uint32_t phase = 0; phase < 4; ++phase) entries[phase] = TvNewGoal(kTvGoalTakeOff + phase);
    for (TvGoalEntry* entry : entries) {
        if (entry) continue;
        for (TvGoalEntry* e : entries) OmFreeMemory(e);
        return 0;
    }
    // The goal itself lowest, then 19, 18 and 17 on top.
    TvPushGoal(stack, entries[0]);
    for (int phase = 3; phase >= 1; --phase) TvPushGoal(stack, entries[phase]);
    return 1;
}

int32_t TvPushFlyTo(TvGoalStack* stack, LgVector point, float squared_radius) {
    TvGoalEntry* entry = TvNewGoal(kTvGoalFlyTo);
    if (!entry) return 0;
    entry->point = point;
    entry->real = squared_radius;
    return push_new(stack, entry);
}

int32_t TvPushFormOn(TavrinAIPlane& plane, TvGoalStack* stack, int32_t target, LgVector point) {
    return push_station(plane, stack, kTvGoalFormOn, target, point, kFormOnRange);
}

int32_t TvPushFlyToFor(TvGoalStack* stack, LgVector point, float seconds) {
    TvGoalEntry* entry = TvNewGoal(kTvGoalFlyToFor);
    if (!entry) return 0;
    entry->point = point;
    entry->real = seconds;
    return push_new(stack, entry);
}

int32_t TvPushEngage(TvGoalStack* stack, int32_t target) {
    TvGoalEntry* engage = with_target(kTvGoalEngage, target);
    TvGoalEntry* phase = with_target(kTvGoalEngage + 1, target);
    if (!engage || !phase) {
        OmFreeMemory(engage);
        OmFreeMemory(phase);
        return 0;
    }
    TvPushGoal(stack, engage);
    TvPushGoal(stack, phase);
    return 1;
}

int32_t TvPushStrike(TvGoalStack* stack, int32_t target) {
    return push_new(stack, with_target(kTvGoalStrike, target));
}

int32_t TvPushBomb(TvGoalStack* stack, int32_t target) {
    return push_new(stack, with_target(kTvGoalBomb, target));
}

int32_t TvPushStartInFlight(TvGoalStack* stack, LgVector point) {
    TvGoalEntry* entry = TvNewGoal(kTvGoalStartInFlight);
    if (!entry) return 0;
    entry->point = point;
    return push_new(stack, entry);
}

int32_t TvPushWaitForTarget(TvGoalStack* stack, LgVector point, int32_t target,
                            float squared_radius) {
    TvGoalEntry* entry = with_target(kTvGoalWaitForTarget, target);
    if (!entry) return 0;
    entry->point = point;
    entry->real = squared_radius;
    return push_new(stack, entry);
}

int32_t TvPushRetaliateOn(TavrinAIPlane& plane, TvGoalStack* stack, float engage_parameter) {
    plane.engage_parameter = engage_parameter;
    return push_new(stack, TvNewGoal(kTvGoalRetaliateOn));
}

int32_t TvPushRetaliateOff(TvGoalStack* stack) {
    return push_new(stack, TvNewGoal(kTvGoalRetaliateOff));
}

int32_t TvPushEscort(TavrinAIPlane& plane, TvGoalStack* stack, int32_t target, LgVector point,
                     float range) {
    return push_station(plane, stack, kTvGoalEscort, target, point, range);
}

int32_t TvPushWaitTime(TvGoalStack* stack, float seconds) {
    TvGoalEntry* entry = TvNewGoal(kTvGoalWaitTime);
    if (!entry) return 0;
    entry->real = seconds;
    return push_new(stack, entry);
}

int32_t TvPushHide(TvGoalStack* stack) {
    return push_new(stack, TvNewGoal(kTvGoalHide));
}

int32_t TvPushWaitReinforcement(TvGoalStack* stack, int32_t reinforcements_used) {
    TvGoalEntry* entry = TvNewGoal(kTvGoalWaitReinforcement);
    if (!entry) return 0;
    entry->integer = reinforcements_used;
    return push_new(stack, entry);
}

int32_t TvPushMissionGoal(TavrinAIPlane& plane, TvGoalStack* stack, const TvMissionGoal& goal) {
    const LgVector& p = goal.position;
    switch (static_cast<uint32_t>(goal.type)) {
    case kTvGoalTakeOff: return TvPushTakeOff(stack);
    case kTvGoalFlyTo: return TvPushFlyTo(stack, p, goal.real * goal.real);
    case kTvGoalFormOn: return TvPushFormOn(plane, stack, goal.target_id, p);
    case kTvGoalFlyToFor: return TvPushFlyToFor(stack, p, goal.real);
    case kTvGoalEngage: return TvPushEngage(stack, goal.target_id);
    case kTvGoalStrike: return TvPushStrike(stack, goal.target_id);
    case kTvGoalBomb: return TvPushBomb(stack, goal.target_id);
    case kTvGoalStartInFlight: return TvPushStartInFlight(stack, p);
    case kTvGoalWaitForTarget:
        return TvPushWaitForTarget(stack, p, goal.target_id, goal.real * goal.real);
    case kTvGoalRetaliateOn: return TvPushRetaliateOn(plane, stack, goal.real);
    case kTvGoalRetaliateOff: return TvPushRetaliateOff(stack);
    case kTvGoalEscort: return TvPushEscort(plane, stack, goal.target_id, p, goal.real);
    case kTvGoalWaitTime: return TvPushWaitTime(stack, goal.real);
    case kTvGoalHide: return TvPushHide(stack);
    case kTvGoalWaitReinforcement: return TvPushWaitReinforcement(stack, goal.integer);
    default: return 0;
    }
}
