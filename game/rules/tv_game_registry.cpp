// The game's registry: the master list, the id table and the ten group lists; registering,
// unregistering and spawning objects, and the queries objects find each other with.
#include "engine/world/lg_world_tie.h"
#include "framework/core/object_manager.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tv_mission_classes.h"
#include "game/tv_frontend_services.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kSource = "tvopgame";
constexpr float kFarthestTarget = 100000000.0f;
constexpr float kSelfDistanceSquared = 0.1f;
constexpr uint32_t kGroundArchetypeIndexProperty = 257;

uintptr_t property_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (object->GetProperty(id, &value) < 0) return 0;
    return value;
}

// The squared distance FindTarget weighs a member by; false for a member it passes over.
bool target_distance(ITvObject* member, const LgVector& position, float* out) {
    if (!member || member->IsDead() != 0) return false;
    const auto* p = reinterpret_cast<const LgVector*>(property_of(member, kTvPropPosition));
    if (!p) return false;
    const float dx = p->x - position.x, dy = p->y - position.y, dz = p->z - position.z;
    *out = dx * dx + dy * dy + dz * dz;
    return true;
}

// One step of FindTarget's choice: the first member of least distance wins.
bool nearer_target(float d, float best_distance) {
    return !(d <= kSelfDistanceSquared || d >= best_distance);
}

bool valid_group(int32_t g) {
    return g >= 0 && g < kTvGroupCount;
}

void log_object_problem(const char* message, int32_t value) {
    char detail[32];
    std::snprintf(detail, sizeof(detail), "%d", value);
    TvLogError2(kSource, __LINE__, message, detail);
}

} // namespace

OmResult TavrinGame::AddObject(ITvObject* object, uint32_t event_mask, uint32_t update_flags) {
    if (!object) return OM_E_FAIL;
    // A full registry refuses the object, so that its creator keeps (and frees) it.
    if (master_count_ >= kTvMaxObjects) return OM_E_FAIL;
    const bool viewport = event_mask == kTvEventMaskViewport;
    const auto id = static_cast<int32_t>(property_of(object, kTvPropId));
    if (!viewport && (id < 0 || id >= kTvMaxIds)) {
        log_object_problem("Object id out of range:", id);
        return OM_E_FAIL;
    }
    proximity_.forget_members();
    const int32_t i = master_count_++;
    master_objects_[i] = object;
    master_event_masks_[i] = event_mask;
    master_update_flags_[i] = update_flags;
    object->AddRef();
    // A model already in a world (the object's own) is not linked a second time.
    auto* model = reinterpret_cast<LgClump*>(property_of(object, kTvPropModel));
    if (model && world_ && !LgClumpGetWorld(model)) LgWorldAddClump(world_, model);
    if (viewport) return OM_S_OK;
    id_table_[id] = object;
    const auto* descriptor =
        reinterpret_cast<const TvCreateDescriptor*>(property_of(object, kTvPropDescriptor));
    if (!descriptor) return OM_S_OK;
    for (int32_t g = 0; g < kTvGroupCount; ++g) {
        if ((descriptor->group_mask & (1u << g)) == 0) continue;
        TvGroupList& list = groups_[g];
        if (list.count >= kTvMaxGroupMembers) {
            log_object_problem("Group list full:", g);
            continue;
        }
        list.members[list.count++] = object;
    }
    return OM_S_OK;
}

OmResult TavrinGame::RemoveObject(ITvObject* object) {
    if (!object) return OM_E_FAIL;
    proximity_.forget_members();
    const auto id = static_cast<int32_t>(property_of(object, kTvPropId));
    // Only this object's own entry: another object may hold the id by now.
    if (id >= 0 && id < kTvMaxIds && id_table_[id] == object) id_table_[id] = nullptr;
    for (TvGroupList& list : groups_)
        for (int32_t i = 0; i < list.count; ++i)
            if (list.members[i] == object) list.members[i] = nullptr;
    for (int32_t i = 0; i < master_count_; ++i) {
        if (master_objects_[i] != object) continue;
        master_objects_[i] = nullptr;
        master_event_masks_[i] = 0;
        master_update_flags_[i] = 0;
        object->Release();
    }
    return OM_S_OK;
}

OmResult TavrinGame::SpawnGroundObject(const char* name, uint32_t spawn_flags, ITvObject** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if ((spawn_flags & kTvEventMaskWorldObject) == 0) return OM_S_OK;
    int32_t index = -1;
    if (!name || !*name) {
        if (default_ground_archetype_ < ground_archetype_count_) index = default_ground_archetype_;
    } else {
        for (int32_t i = 0; i < ground_archetype_count_ && index < 0; ++i)
            if (std::strncmp(ground_archetype_names_[i], name, 32) == 0) index = i;
    }
    if (index < 0) return OM_E_FAIL;
    ITvObject* object = nullptr;
    OmResult r = OmCreateInstance(CLSID_TavrinGroundObject, nullptr, 0, IID_ITvObject,
                                  reinterpret_cast<void**>(&object));
    if (r < 0 || !object) return OM_E_FAIL;
    object->Create(nullptr);
    object->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world_));
    object->SetProperty(kGroundArchetypeIndexProperty, static_cast<uintptr_t>(index));
    r = AddObject(object, kTvEventMaskWorldObject, kTvDrawEffects | kTvUpdateEveryFrame);
    if (r < 0) {
        object->Release();
        return r;
    }
    *out = object;
    return OM_S_OK;
}

ITvObject* TavrinGame::GetObjectById(int32_t id) {
    if (id < 0 || id >= kTvMaxIds) return nullptr;
    ITvObject* object = id_table_[id];
    return object && object->IsDead() == 0 ? object : nullptr;
}

ITvObject* TavrinGame::FindNearestObject(const LgVector*) {
    return nullptr;
}

ITvObject* TavrinGame::FindTarget(int32_t id, const LgVector* position) {
    void* client = nullptr;
    if (QueryInterface(IID_ITvClientGame, &client) >= 0 && client) {
        static_cast<IUnknown*>(client)->Release();
        return FindNearestObject(position);
    }
    if (id >= 1) return GetObjectById(id);
    const int32_t g = -id;
    if (!valid_group(g) || !position) return nullptr;
    ITvObject* found = nullptr;
    if (find_target_in_grid(g, *position, &found)) return found;
    return find_target_by_walk(g, *position);
}

ITvObject* TavrinGame::find_target_by_walk(int32_t g, const LgVector& position) {
    ITvObject* best = nullptr;
    float best_distance = kFarthestTarget;
    const TvGroupList& list = groups_[g];
    for (int32_t i = 0; i < list.count; ++i) {
        float d = 0.0f;
        if (!target_distance(list.members[i], position, &d) || !nearer_target(d, best_distance))
            continue;
        best_distance = d;
        best = list.members[i];
    }
    return best;
}

bool TavrinGame::find_target_in_grid(int32_t g, const LgVector& position, ITvObject** found) {
    const TvSpatialGrid* grid = proximity_.grid(g, position, 0.0f);
    // A non-finite distance would upset the order of the walk's comparisons: such a search
    // is left to the walk.
    if (!grid || !std::isfinite(position.y)) return false;
    std::vector<std::pair<int32_t, float>>& seen = seen_targets_; // slot, distance
    std::vector<int32_t>& ring = ring_slots_;
    seen.clear();
    ring.clear();
    const TvGroupList& list = groups_[g];
    float least = kFarthestTarget;
    for (int32_t k = 0; grid->collect_ring(position.x, position.z, k, ring); ++k) {
        for (const int32_t slot : ring) {
            float d = 0.0f;
            if (!target_distance(list.members[slot], position, &d)) continue;
            if (!std::isfinite(d)) return false;
            seen.emplace_back(slot, d);
            if (nearer_target(d, least)) least = d;
        }
        ring.clear();
        // Every member in a ring further out is at least this far away horizontally.
        const double beyond = grid->beyond_ring(position.x, position.z, k);
        if (beyond * beyond > double(least)) break;
    }
    // The walk's choice over the members seen, in list order: the nearest member is among
    // them, and so is every member before it in the list as near as it.
    std::sort(seen.begin(), seen.end());
    ITvObject* best = nullptr;
    float best_distance = kFarthestTarget;
    for (const auto& [slot, distance] : seen) {
        if (!nearer_target(distance, best_distance)) continue;
        best_distance = distance;
        best = list.members[slot];
    }
    *found = best;
    return true;
}

float TavrinGame::GetGroupStrength(int32_t group) {
    if (!valid_group(group) || groups_[group].count == 0) return 0.0f;
    const TvGroupList& list = groups_[group];
    int32_t alive = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        if (!list.members[i]) continue;
        const int32_t status = list.members[i]->IsDead();
        if (status == 0 || status == 2) ++alive;
    }
    return static_cast<float>(alive) / static_cast<float>(list.count) * 100.0f;
}

OmResult TavrinGame::ForEachLiveInGroup(int32_t group_id, TvGroupCallback callback, void* context) {
    if (group_id > 0 || !valid_group(-group_id) || !callback) return OM_E_FAIL;
    const TvGroupList& list = groups_[-group_id];
    for (int32_t i = 0; i < list.count; ++i)
        if (list.members[i] && list.members[i]->IsDead() == 0) callback(list.members[i], context);
    return OM_S_OK;
}

OmResult TavrinGame::MoveObjectToGroup(ITvObject* object, int32_t group_a, int32_t group_b) {
    if (!object || !valid_group(group_a) || !valid_group(group_b)) return OM_E_FAIL;
    proximity_.forget_members();
    TvGroupList& from = groups_[group_a];
    for (int32_t i = 0; i < from.count; ++i) {
        if (from.members[i] != object) continue;
        std::memmove(&from.members[i], &from.members[i + 1],
                     sizeof(ITvObject*) * static_cast<size_t>(from.count - i - 1));
        from.members[--from.count] = nullptr;
        break;
    }
    TvGroupList& to = groups_[group_b];
    if (to.count >= kTvMaxGroupMembers) {
        log_object_problem("Group list full:", group_b);
        return OM_E_FAIL;
    }
    to.members[to.count++] = object;
    return OM_S_OK;
}

void TavrinGame::CollectTakeoffPoints() {
    takeoff_count_ = 0;
    for (int32_t i = 0; i < master_count_; ++i) {
        ITvObject* object = master_objects_[i];
        if (!object || (property_of(object, kTvPropFlags) & kTvFlagTakeoffPoint) == 0) continue;
        if (takeoff_count_ >= kTvMaxTakeoffPoints) {
            log_object_problem("Too many take-off points:", takeoff_count_ + 1);
            break;
        }
        takeoff_points_[takeoff_count_++] = {
            reinterpret_cast<LgMatrix*>(property_of(object, kTvPropMatrix)),
            static_cast<uint32_t>(property_of(object, kTvPropGroupMask)), 0};
    }
}
