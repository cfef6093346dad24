// The in-game mission editor's input: the 3D cursor, selecting the entry or goal nearest to
// it, moving and turning entries, the keys that change the selected entry or goal, placing new
// entries of the chosen archetypes and deleting entries. Edits change the mission's entry
// tables (the next spawn and the saved file); moving, deleting and placing also reach the
// live objects.
#include "engine/core/lg_texture.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_game.h"
#include "game/rules/tv_mission_classes.h"
#include "game/rules/tv_mission_values.h"
#include "game/world/tv_model_files.h"
#include "media/input/input_event.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace tvmission;

namespace {

constexpr const char* kIconFolder = "Ui\\editor\\planes\\";
constexpr uint16_t kKindKeyReleased = 16;
constexpr uint16_t kKindKeyPressed = 17;
constexpr uint16_t kKindMouseX = 48;
constexpr uint16_t kKindMouseY = 49;
constexpr uint16_t kKindMouseWheel = 50;
constexpr uint16_t kKindMouseButton1 = 65;
constexpr uint32_t kButtonPressed = 0x23;
constexpr uint32_t kButtonReleased = 0x24;
constexpr uint32_t kKeyDelete = 0x7f;
constexpr uint32_t kKeyDeleteKey = 0x8e; // the keyboard's own Delete code
constexpr uint32_t kKeyKeypadPlus = 0xa5;
constexpr uint32_t kKeyKeypadMinus = 0xa4;
constexpr int32_t kModeSelect = 0;
constexpr int32_t kModeMove = 1;
constexpr int32_t kModeTurn = 2;
constexpr int32_t kModeSelectEntries = 3;
constexpr float kStartScore = 210.0f;
constexpr float kBodyWeight = 10.0f;
constexpr float kHandleReach = 10.0f;
constexpr float kHandleLength = 30.0f;
constexpr float kGoalReach = 15.0f;
constexpr float kTurnStep = 0.174f;
constexpr int32_t kMaxId = kTvMaxIds - 1;
constexpr uint32_t kIdentityFlags = 0x20003;

float distance(const LgVector& a, const LgVector& b) {
    const float x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
    return std::sqrt(x * x + y * y + z * z);
}
float flat_distance(const LgVector& a, const LgVector& b) {
    const float x = a.x - b.x, z = a.z - b.z;
    return std::sqrt(x * x + z * z);
}
LgVector cross(const LgVector& a, const LgVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// The unit vector of v, or false when v has no usable length.
bool normalise(const LgVector& v, LgVector* out) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!std::isfinite(length) || length < 1e-6f) return false;
    *out = {v.x / length, v.y / length, v.z / length};
    return true;
}
bool finite(const LgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

int32_t goal_type_index(int32_t type) {
    for (int32_t i = 0; i < 16; ++i)
        if (kTvEditorGoalTypes[i] == type) return i;
    return -1;
}

// Steps a choice over `count` archetypes; nothing to choose from leaves it.
void step_choice(int32_t& choice, int32_t count, int32_t step) {
    if (count <= 0) return;
    choice = ((choice + step) % count + count) % count;
}

void add_clamped(float& value, float step) {
    value += step;
    if (value < 0.0f) value = 0.0f;
}

} // namespace

void TavrinMission::load_goal_icons() {
    release_goal_icons();
    TvImagePath icons(kIconFolder);
    for (int32_t code : kTvEditorGoalTypes) {
        char name[16];
        std::snprintf(name, sizeof(name), "%d", code);
        goal_icons[code] = LgTextureRead(name, nullptr);
    }
}

void TavrinMission::release_goal_icons() {
    for (LgTexture*& icon : goal_icons) {
        if (icon) LgTextureDestroy(icon);
        icon = nullptr;
    }
}

void TavrinMission::release_removed_objects() {
    for (int32_t i = 0; i < removed_count; ++i) {
        if (removed_objects[i]) removed_objects[i]->Release();
        removed_objects[i] = nullptr;
    }
    removed_count = 0;
}

OmResult TavrinMission::HandleEditorInput(const TvEvent* event) {
    if (!event || !event->data) return OM_S_OK;
    if (event->code == 1) {
        const LgVector cursor = *reinterpret_cast<const LgVector*>(event->data);
        if (finite(cursor)) editor_cursor = cursor;
        return OM_S_OK;
    }
    if (event->code != kTvEventInput) return OM_S_OK;
    const auto& input = *reinterpret_cast<const InputEvent*>(event->data);
    switch (input.code) {
    case kKindKeyReleased:
        if (input.value == 'l')
            editor.mode = kModeSelect;
        else
            editor_key(input.value);
        break;
    case kKindKeyPressed:
        if (input.value == 'l') editor.mode = kModeSelectEntries;
        break;
    case kKindMouseButton1:
        if (input.value == kButtonPressed)
            editor.mode = editor.selection == kTvEditorGoal || editor.selected_goal == 0
                              ? kModeMove
                              : kModeTurn;
        else if (input.value == kButtonReleased)
            editor.mode = kModeSelect;
        break;
    case kKindMouseX:
    case kKindMouseY:
    case kKindMouseWheel: editor_motion(); break;
    default: break;
    }
    return OM_S_OK;
}

void TavrinMission::editor_motion() {
    switch (editor.mode) {
    case kModeMove: editor_move(); break;
    case kModeTurn: editor_turn(); break;
    default: editor_select(); break;
    }
}

void TavrinMission::editor_select() {
    const bool goals = editor.mode != kModeSelectEntries;
    editor.selection = kTvEditorNone;
    editor.selected_id = 0;
    editor.selected_goal = 0;
    editor.selected_entry = nullptr;
    float best = kStartScore;
    const auto choose = [&](int32_t kind, TvCreateDescriptor& entry, int32_t goal) {
        editor.selection = kind;
        editor.selected_id = entry.id;
        editor.selected_goal = goal;
        editor.selected_entry = &entry;
    };
    const auto score_entry = [&](TvCreateDescriptor& entry, int32_t kind) {
        if (!entry.archetype) return; // deleted
        const LgVector& p = entry.matrix.pos;
        const float body = kBodyWeight * distance(p, editor_cursor);
        if (body < best) {
            best = body;
            choose(kind, entry, 0);
        }
        const LgVector& at = entry.matrix.at;
        const LgVector handle{p.x + at.x * kHandleLength, p.y + at.y * kHandleLength,
                              p.z + at.z * kHandleLength};
        const float reach = distance(handle, editor_cursor);
        if (reach < kHandleReach && reach < best) {
            best = reach;
            choose(kind, entry, 1);
        }
    };
    for (int32_t i = 0; i < ground_entry_count; ++i)
        score_entry(ground_entries[i], kTvEditorGround);
    for (int32_t i = 0; i < vehicle_entry_count; ++i)
        score_entry(vehicle_entries[i], kTvEditorVehicle);
    for (int32_t i = 0; i < air_entry_count; ++i) {
        TvMissionAirEntry& entry = air_entries[i];
        score_entry(entry, kTvEditorAir);
        if (!goals || !entry.archetype) continue;
        for (int32_t g = 0; g < entry.goal_count && g < kTvMissionGoalCapacity; ++g) {
            const float reach = flat_distance(entry.goals[g].position, editor_cursor);
            if (reach < kGoalReach && reach < best) {
                best = reach;
                choose(kTvEditorGoal, entry, g);
            }
        }
    }
}

void TavrinMission::editor_move() {
    if (!editor.selected_entry) return;
    if (editor.selection == kTvEditorGoal) {
        auto* entry = static_cast<TvMissionAirEntry*>(editor.selected_entry);
        if (editor.selected_goal < 0 || editor.selected_goal >= entry->goal_count) return;
        entry->goals[editor.selected_goal].position.x = editor_cursor.x;
        entry->goals[editor.selected_goal].position.z = editor_cursor.z;
        return;
    }
    editor.selected_entry->matrix.pos = editor_cursor;
    if (!game) return;
    if (ITvObject* live = game->GetObjectById(editor.selected_id))
        live->SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&editor_cursor));
}

void TavrinMission::editor_turn() {
    if (!editor.selected_entry || editor.selection == kTvEditorGoal) return;
    LgMatrix& m = editor.selected_entry->matrix;
    const LgVector towards{editor_cursor.x - m.pos.x, editor_cursor.y - m.pos.y,
                           editor_cursor.z - m.pos.z};
    // On the entry's own position, or looking along its up row, the orientation stays.
    LgVector at{}, right{}, old_up{};
    if (!normalise(towards, &at)) return;
    // An entry read without an up row turns about the vertical.
    if (!normalise(m.up, &old_up)) old_up = {0.0f, 1.0f, 0.0f};
    if (!normalise(cross(old_up, at), &right)) return;
    LgVector up = cross(at, right);
    up = {up.x + 0.0f, up.y + 0.0f, up.z + 0.0f}; // no negative zeros in the saved rows
    if (!finite(up)) return;
    m.at = at;
    m.right = right;
    m.up = up;
}

void TavrinMission::editor_key(uint32_t key) {
    switch (key) {
    case 'f': step_choice(editor.ground_choice, ground_kind_count, -1); return;
    case 'h': step_choice(editor.ground_choice, ground_kind_count, 1); return;
    case 'c': step_choice(editor.vehicle_choice, vehicle_kind_count, -1); return;
    case 'b': step_choice(editor.vehicle_choice, vehicle_kind_count, 1); return;
    case 'o': step_choice(editor.plane_choice, plane_kind_count, -1); return;
    case '[': step_choice(editor.plane_choice, plane_kind_count, 1); return;
    case 'g': editor_place(kTvEditorGround); return;
    case 'v': editor_place(kTvEditorVehicle); return;
    case 'p': editor_place(kTvEditorAir); return;
    default: break;
    }
    if (!editor.selected_entry) return;
    if (editor.selection == kTvEditorGoal) {
        editor_goal_key(key, *static_cast<TvMissionAirEntry*>(editor.selected_entry),
                        editor.selected_goal);
        return;
    }
    if (key == 'm' && editor.selection == kTvEditorAir) {
        // A new goal at the front of the plane's list.
        editor_goal_key(key, *static_cast<TvMissionAirEntry*>(editor.selected_entry), -1);
        return;
    }
    editor_entry_key(key);
}

void TavrinMission::editor_goal_key(uint32_t key, TvMissionAirEntry& entry, int32_t index) {
    const int32_t count = entry.goal_count;
    if (key == 'm') {
        if (count >= kTvMissionGoalCapacity || count < 0) return;
        const int32_t at = index + 1;
        if (at < 0 || at > count) return;
        for (int32_t g = count; g > at; --g) entry.goals[g] = entry.goals[g - 1];
        entry.goals[at] = {32, editor_cursor, 0, 50.0f, 0};
        ++entry.goal_count;
        return;
    }
    if (index < 0 || index >= count) return;
    TvMissionGoal& goal = entry.goals[index];
    if (key >= '0' && key <= '9') {
        goal.target_id = -static_cast<int32_t>(key - '0');
        return;
    }
    switch (key) {
    case ',':
    case 'n': {
        const int32_t i = goal_type_index(goal.type);
        if (i < 0) return; // a type outside the list is left
        goal.type = kTvEditorGoalTypes[(i + (key == ',' ? 1 : 15)) % 16];
        return;
    }
    case '/': ++goal.integer; return;
    case '.': --goal.integer; return;
    case '\'': goal.real += 5.0f; return;
    case ';': goal.real -= 5.0f; return;
    case 'a': goal.position.y += 10.0f; return;
    case 'z': goal.position.y -= 10.0f; return;
    case 'j':
        if (index > 0) {
            std::swap(entry.goals[index], entry.goals[index - 1]);
            editor.selected_goal = index - 1;
        }
        return;
    case 'k':
        if (index + 1 < count) {
            std::swap(entry.goals[index], entry.goals[index + 1]);
            editor.selected_goal = index + 1;
        }
        return;
    case kKeyDelete:
    case kKeyDeleteKey:
        for (int32_t g = index; g + 1 < count; ++g) entry.goals[g] = entry.goals[g + 1];
        entry.goals[count - 1] = {};
        --entry.goal_count;
        // The selection stays on a goal that exists, or clears.
        if (entry.goal_count == 0) {
            editor.selection = kTvEditorNone;
            editor.selected_entry = nullptr;
            editor.selected_goal = 0;
        } else if (editor.selected_goal >= entry.goal_count) {
            editor.selected_goal = entry.goal_count - 1;
        }
        return;
    default: return;
    }
}

void TavrinMission::editor_entry_key(uint32_t key) {
    TvCreateDescriptor& entry = *editor.selected_entry;
    if (key >= '0' && key <= '9') {
        const int32_t digit = static_cast<int32_t>(key - '0');
        if (editor.selection == kTvEditorVehicle)
            static_cast<TvMissionVehicleEntry&>(static_cast<TvMissionGroundEntry&>(entry))
                .target_group = digit;
        else
            entry.group_mask ^= 1u << digit;
        return;
    }
    switch (key) {
    case '=': add_clamped(entry.endurance, 1.0f); return;
    case '-': add_clamped(entry.endurance, -1.0f); return;
    case '+':
    case kKeyKeypadPlus: add_clamped(entry.endurance, 5.0f); return;
    case '_':
    case kKeyKeypadMinus: add_clamped(entry.endurance, -5.0f); return;
    case 'a': entry.matrix.pos.y += 10.0f; return;
    case 'z': entry.matrix.pos.y -= 10.0f; return;
    case kKeyDelete:
    case kKeyDeleteKey: editor_delete_entry(); return;
    default: break;
    }
    auto& ground = static_cast<TvMissionGroundEntry&>(entry);
    if (editor.selection == kTvEditorVehicle) {
        auto& vehicle = static_cast<TvMissionVehicleEntry&>(ground);
        switch (key) {
        case 's': vehicle.angle -= kTurnStep; return;
        case 'd': vehicle.angle += kTurnStep; return;
        case 'y': add_clamped(vehicle.range, 10.0f); return;
        case 't': add_clamped(vehicle.range, -10.0f); return;
        default: return;
        }
    }
    if (editor.selection == kTvEditorAir) {
        auto& air = static_cast<TvMissionAirEntry&>(ground);
        switch (key) {
        case 'u': add_clamped(air.high_speed, -1.0f); return;
        case 'i': add_clamped(air.high_speed, 1.0f); return;
        case 'q': air.ordinance_type = 1; return;
        case 'w': air.ordinance_type = 2; return;
        case 'e':
            if (air.ordinance_count > 0) --air.ordinance_count;
            air.ordinance_left = air.ordinance_count;
            return;
        case 'r':
            ++air.ordinance_count;
            air.ordinance_left = air.ordinance_count;
            return;
        default: return;
        }
    }
}

void TavrinMission::editor_delete_entry() {
    TvCreateDescriptor* entry = editor.selected_entry;
    entry->archetype = nullptr;
    static_cast<TvMissionGroundEntry*>(entry)->live_object = nullptr;
    editor.selection = kTvEditorNone;
    editor.selected_entry = nullptr;
    editor.selected_goal = 0;
    ITvObject* live = game ? game->GetObjectById(editor.selected_id) : nullptr;
    if (!live) return;
    // Others (an armed object's target, the camera, the world's atomics) may still point at
    // it: the object leaves the game and its world but lives on until the next start.
    const auto kCapacity = static_cast<int32_t>(std::size(removed_objects));
    if (removed_count < kCapacity) {
        live->AddRef();
        removed_objects[removed_count++] = live;
    }
    uintptr_t model = 0;
    if (live->GetProperty(kTvPropModel, &model) >= 0 && model) {
        auto* clump = reinterpret_cast<LgClump*>(model);
        if (LgWorld* world = LgClumpGetWorld(clump)) LgWorldRemoveClump(world, clump);
    }
    game->RemoveObject(live);
}

void TavrinMission::editor_place(int32_t kind) {
    if (next_id < 0 || next_id > kMaxId) return;
    const auto place = [&](TvCreateDescriptor& entry, ITvObject* archetype, int32_t choice) {
        entry.id = next_id;
        entry.matrix = {};
        entry.matrix.right = {1.0f, 0.0f, 0.0f};
        entry.matrix.up = {0.0f, 1.0f, 0.0f};
        entry.matrix.at = {0.0f, 0.0f, 1.0f};
        entry.matrix.pos = editor_cursor;
        entry.matrix.flags = kIdentityFlags;
        entry.archetype = archetype;
        entry.archetype_index = choice;
        entry.endurance = archetype_endurance(archetype);
        entry.game = game;
    };
    switch (kind) {
    case kTvEditorGround: {
        const int32_t choice = editor.ground_choice;
        if (ground_entry_count >= kTvMissionMaxGroundEntries || choice < 0 ||
            choice >= ground_kind_count || !ground_kinds[choice])
            return;
        TvMissionGroundEntry& entry = ground_entries[ground_entry_count];
        entry = {};
        place(entry, ground_kinds[choice], choice);
        entry.flags = archetype_flags(ground_kinds[choice]);
        ++ground_entry_count;
        if (ITvObject* o = SpawnGroundEntry(&entry, CLSID_TavrinGroundObject)) o->Release();
        break;
    }
    case kTvEditorVehicle: {
        const int32_t choice = editor.vehicle_choice;
        if (vehicle_entry_count >= kTvMissionMaxVehicleEntries || choice < 0 ||
            choice >= vehicle_kind_count || !vehicle_kinds[choice])
            return;
        TvMissionVehicleEntry& entry = vehicle_entries[vehicle_entry_count];
        entry = {};
        place(entry, vehicle_kinds[choice], choice);
        entry.flags = archetype_flags(vehicle_kinds[choice]);
        entry.target_group = kTvDefaultTargetGroup;
        entry.angle = kTvDefaultFiringCone;
        entry.range = kTvDefaultRange;
        ++vehicle_entry_count;
        if (ITvObject* o = SpawnVehicleEntry(&entry, CLSID_TavrinAIGroundObject)) o->Release();
        break;
    }
    case kTvEditorAir: {
        const int32_t choice = editor.plane_choice;
        if (air_entry_count >= kTvMissionMaxAirEntries || choice < 0 ||
            choice >= plane_kind_count || !plane_kinds[choice])
            return;
        const int32_t index = air_entry_count;
        TvMissionAirEntry& entry = air_entries[index];
        entry = {};
        std::memset(air_file_names[index], 0, sizeof(air_file_names[index]));
        place(entry, plane_kinds[choice], choice);
        uintptr_t table = 0;
        if (plane_kinds[choice]->GetProperty(kTvPlanePropFlightTable, &table) >= 0 && table)
            entry.flight = *reinterpret_cast<const TvFlightTable*>(table);
        entry.high_speed = archetype_high_speed(plane_kinds[choice]);
        entry.flags = kTvFlagPlane;
        ++air_entry_count;
        if (ITvObject* o = SpawnAirEntry(&entry, CLSID_TavrinAIPlane)) o->Release();
        break;
    }
    default: return;
    }
    ++next_id;
}
