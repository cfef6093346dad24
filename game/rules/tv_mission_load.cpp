// Reading mission.ini: the map, offset, goals, time limit, reinforcements, the archetype of
// every kind the mission names, and the ground, air and vehicle entries.
#include "engine/world/lg_world.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_mission_classes.h"
#include "game/rules/tv_mission_values.h"
#include "game/tv_frontend_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tvmission;

namespace {

constexpr const char* kSource = "tvopmission";
constexpr int32_t kTextureBudget = 4000;
constexpr float kDefaultOffsetMargin = 100.0f;
constexpr uint32_t kMapNameLimit = 64;
constexpr uint32_t kGroundListLimit = 512;
constexpr uint32_t kKindListLimit = 256;
constexpr uint32_t kEntryNameLimit = 64;
constexpr int32_t kPlayerGroupsWithSideA = 258; // groups 1 and 8
constexpr int32_t kPlayerGroupsWithSideB = 514; // groups 1 and 9
constexpr const char* kTakeoffPointKind = "takeoffpoint";

} // namespace

ComRef<IFileStorage> TvMissionStorage() {
    ComRef<IFileStorage> storage;
    IUnknown* shared = OmLookupGlobalObject(CLSID_FileStorage);
    if (!shared) {
        TvOpenDemoRecordings();
        shared = OmLookupGlobalObject(CLSID_FileStorage);
    }
    if (shared &&
        shared->QueryInterface(IID_IFileStorage, reinterpret_cast<void**>(storage.put())) >= 0)
        return storage;
    OmCreate(CLSID_Storage, IID_IFileStorage, storage.put());
    return storage;
}

namespace {

// The mission file in a property sheet; null on failure. A damaged copy of one of the three
// protected missions ends the program; any other mission reads on.
ComRef<IPropertySheet> open_mission(int32_t number) {
    char path[64];
    std::snprintf(path, sizeof(path), "missions\\%d\\mission.ini", number);
    ComRef<IFileStorage> storage = TvMissionStorage();
    if (!storage) return {};
    ComRef<IByteStream> stream;
    const OmResult r = storage->Open(path, OM_OPEN_READ, OM_OPEN_TEXT, stream.put());
    if (r < 0 || !stream) {
        TvLogError2(kSource, __LINE__, "Could not open mission file:", path);
        return {};
    }
    if (r == OM_S_INTEGRITY_FAILED && number >= 101 && number <= 103) {
        TvFatalDamagedFiles(kSource, __LINE__, path);
        return {};
    }
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) return {};
    if (sheet->Load(stream.get()) < 0)
        TvLogError2(kSource, __LINE__, "Could not read the whole mission file:", path);
    return sheet;
}

// The names "<prefix>0", "<prefix>1", ... in turn: the entry sections are looked up by index
// well over a thousand times per mission, so each name is the last one counted up in place.
class IndexedSection {
public:
    explicit IndexedSection(const char* prefix) : digits_(std::strlen(prefix)), end_(digits_ + 1) {
        std::memcpy(text_, prefix, digits_);
        text_[digits_] = '0';
        text_[end_] = '\0';
    }
    const char* name() const { return text_; }
    void next() {
        size_t at = end_;
        while (at > digits_ && text_[at - 1] == '9') text_[--at] = '0';
        if (at > digits_) {
            ++text_[at - 1];
            return;
        }
        // All nines: one digit more, "1" followed by the zeros.
        text_[digits_] = '1';
        text_[end_++] = '0';
        text_[end_] = '\0';
    }

private:
    char text_[32]{};
    size_t digits_, end_;
};

// The blank-separated names of a list value, in order.
template <class Visit>
void for_each_name(char* list, Visit visit) {
    for (char* name = std::strtok(list, " \t"); name; name = std::strtok(nullptr, " \t"))
        if (!visit(name)) return;
}

void store_name(char (&slot)[kTvMissionNameSize], const char* name) {
    std::strncpy(slot, name, kTvMissionNameSize - 1);
    slot[kTvMissionNameSize - 1] = '\0';
}

int32_t find_name(const char (*names)[kTvMissionNameSize], int32_t count, const char* name) {
    for (int32_t i = 0; i < count; ++i)
        if (std::strcmp(names[i], name) == 0) return i;
    return -1;
}

// The fields every entry section carries; absent keys leave the field as it was.
void read_placement(IPropertySheet* sheet, TvCreateDescriptor& entry, const LgVector& offset,
                    int32_t& largest_id) {
    if (read_int(sheet, "id", &entry.id) && entry.id > largest_id) largest_id = entry.id;
    if (read_vector(sheet, "pos", &entry.matrix.pos)) {
        entry.matrix.pos.x += offset.x;
        entry.matrix.pos.y += offset.y;
        entry.matrix.pos.z += offset.z;
    }
    read_vector(sheet, "up", &entry.matrix.up);
    read_vector(sheet, "at", &entry.matrix.at);
    read_vector(sheet, "right", &entry.matrix.right);
    entry.matrix.flags = 0;
}

float kind_endurance(ITvObject* kind) {
    uintptr_t value = 0;
    if (kind->GetProperty(kTvPropEndurance, &value) < 0 || !value) return 0.0f;
    return *reinterpret_cast<const float*>(value);
}

uint32_t kind_flags(ITvObject* kind) {
    uintptr_t value = 0;
    kind->GetProperty(kTvPropFlags, &value);
    return static_cast<uint32_t>(value);
}

const TvFlightTable* kind_flight_table(ITvObject* kind) {
    uintptr_t value = 0;
    if (kind->GetProperty(kTvPlanePropFlightTable, &value) < 0) return nullptr;
    return reinterpret_cast<const TvFlightTable*>(value);
}

void log_create_failure(const char* kind, const char* name, OmResult r) {
    char detail[96];
    std::snprintf(detail, sizeof(detail), "%s (%s, 0x%08x)", name, kind, static_cast<uint32_t>(r));
    TvLogError2(kSource, __LINE__, "Could not create the archetype", detail);
}

} // namespace

namespace tvmission {

bool read_int(IPropertySheet* sheet, const char* key, int32_t* out) {
    char value[kValueSize];
    if (sheet->GetString(key, value, sizeof(value)) < 0) return false;
    return std::sscanf(value, "%d", out) == 1;
}

bool read_float(IPropertySheet* sheet, const char* key, float* out) {
    char value[kValueSize];
    if (sheet->GetString(key, value, sizeof(value)) < 0) return false;
    return std::sscanf(value, "%f", out) == 1;
}

bool read_vector(IPropertySheet* sheet, const char* key, LgVector* out) {
    char value[kValueSize];
    if (sheet->GetString(key, value, sizeof(value)) < 0) return false;
    return std::sscanf(value, "%f%f%f", &out->x, &out->y, &out->z) > 0;
}

bool read_text(IPropertySheet* sheet, const char* key, char* out, uint32_t size) {
    return sheet->GetString(key, out, size) >= 0;
}

float archetype_endurance(ITvObject* kind) {
    return kind ? kind_endurance(kind) : 0.0f;
}

float archetype_high_speed(ITvObject* kind) {
    const TvFlightTable* table = kind ? kind_flight_table(kind) : nullptr;
    return table ? table->high_speed : 0.0f;
}

uint32_t archetype_flags(ITvObject* kind) {
    return kind ? kind_flags(kind) : 0;
}

} // namespace tvmission

OmResult TavrinMission::LoadMission(int32_t number, char* player_plane_name) {
    ComRef<IPropertySheet> sheet = open_mission(number);
    if (!sheet) return OM_E_FAIL;
    TvShowLoadingProgress(0.1f);

    // A mission loaded again lets go of what the earlier load made.
    Unload();
    ground_kind_count = vehicle_kind_count = plane_kind_count = 0;
    ground_entry_count = vehicle_entry_count = air_entry_count = 0;
    const int32_t map_budget = kTextureBudget / 2;
    const int32_t object_budget = kTextureBudget / 4;

    music_track = 0;
    if (sheet->SetSection("music") >= 0) read_int(sheet.get(), "track", &music_track);

    // A mission without its map has no world to place anything in.
    if (sheet->SetSection("map") < 0) {
        TvLogError(kSource, __LINE__, "The mission has no [map] section");
        return OM_E_FAIL;
    }
    char map[kMapNameLimit];
    if (!read_text(sheet.get(), "map", map, sizeof(map)) || map[0] == '\0' ||
        std::strlen(map) >= kTvMissionNameSize) {
        TvLogError(kSource, __LINE__, "The mission's map name is missing or too long");
        return OM_E_FAIL;
    }
    ITvBSPLandscape* made = nullptr;
    if (OmCreate(CLSID_TavrinBSPLandscape, IID_ITvBSPLandscape, &made) < 0 || !made) {
        TvLogError(kSource, __LINE__, "Could not create the landscape");
        return OM_E_FAIL;
    }
    landscape = made;
    LoadTextureList(map, map_budget);
    TvShowLoadingProgress(0.13f);
    if (landscape->LoadMap(map) < 0) {
        TvLogError2(kSource, __LINE__, "Could not load the map:", map);
        return OM_E_FAIL;
    }
    LgWorld* world = nullptr;
    landscape->GetWorld(&world);
    store_name(map_name, map);

    if (!read_vector(sheet.get(), "offset", &offset)) {
        offset = {};
        if (world) {
            const LgBBox* box = LgWorldGetBoundingBox(world);
            offset = {box->inf.x - kDefaultOffsetMargin, box->inf.y - kDefaultOffsetMargin,
                      box->inf.z - kDefaultOffsetMargin};
        }
    }
    safe_height = kTvDefaultSafeHeight;
    read_float(sheet.get(), "safeheight", &safe_height);

    for (float& goal : group_goals) goal = 0.0f;
    time_limit = 0.0f;
    if (sheet->SetSection("mission") >= 0) {
        for (int32_t g = 0; g < kTvMissionGroupGoals; ++g) {
            char key[16];
            std::snprintf(key, sizeof(key), "Group%d", g);
            read_float(sheet.get(), key, &group_goals[g]);
        }
        read_float(sheet.get(), "timelimit", &time_limit);
    }
    elapsed = 0.0f;
    TvShowLoadingProgress(0.15f);

    reinforcement_count = 0;
    if (sheet->SetSection("reinforcements") >= 0) {
        for (int32_t k = 1; k <= kTvMissionMaxReinforcements; ++k) {
            char key[16];
            std::snprintf(key, sizeof(key), "%d", k);
            if (!read_int(sheet.get(), key, &reinforcement_thresholds[k - 1])) break;
            reinforcement_count = k;
        }
    }
    TvShowLoadingProgress(0.2f);

    LoadTextureList("objects", object_budget);
    const OmResult kinds = read_archetypes(sheet.get());
    if (kinds < 0) return kinds;

    int32_t largest_id = 0;
    read_ground_entries(sheet.get(), largest_id);
    read_air_entries(sheet.get(), player_plane_name, largest_id);
    read_vehicle_entries(sheet.get(), largest_id);

    create_text_chain();
    editor = {};
    load_goal_icons();
    next_id = largest_id + 1;
    return OM_S_OK;
}

OmResult TavrinMission::read_archetypes(IPropertySheet* sheet) {
    if (sheet->SetSection("archetypes") < 0) return OM_S_OK;
    LgWorld* world = nullptr;
    if (landscape) landscape->GetWorld(&world);

    char list[kGroundListLimit];
    if (read_text(sheet, "ground", list, sizeof(list))) {
        OmResult failure = OM_S_OK;
        for_each_name(list, [&](const char* name) {
            if (ground_kind_count >= kTvMissionMaxGroundKinds) return false;
            TvGroundKindLoading* kind = nullptr;
            const OmResult r =
                OmCreateInstance(CLSID_TavrinGroundObject, nullptr, 0, IID_ITvGroundObject,
                                 reinterpret_cast<void**>(&kind));
            if (r < 0 || !kind) {
                log_create_failure("TavrinGroundObject", name, r);
                failure = r < 0 ? r : OM_E_FAIL;
                return false;
            }
            kind->Create(nullptr);
            const bool takeoff = std::strcmp(name, kTakeoffPointKind) == 0;
            kind->SetProperty(kTvPropFlags, takeoff ? kTvFlagTakeoffPoint | kTvFlagFromMission
                                                    : kTvFlagFromMission);
            kind->LoadObject(name);
            ground_kinds[ground_kind_count] = kind;
            store_name(ground_kind_names[ground_kind_count], name);
            ++ground_kind_count;
            TvShowLoadingProgress(0.4f + 0.002f * static_cast<float>(ground_kind_count));
            return true;
        });
        if (failure < 0) return failure;
    }

    LoadTextureList("planes", kTextureBudget / 4);
    sheet->SetSection("archetypes");
    if (read_text(sheet, "air", list, kKindListLimit)) {
        OmResult failure = OM_S_OK;
        for_each_name(list, [&](const char* name) {
            if (plane_kind_count >= kTvMissionMaxPlaneKinds) return false;
            ITvAIPlane* kind = nullptr;
            const OmResult r = OmCreateInstance(CLSID_TavrinAIPlane, nullptr, 0, IID_ITvAIPlane,
                                                reinterpret_cast<void**>(&kind));
            if (r < 0 || !kind) {
                log_create_failure("TavrinAIPlane", name, r);
                failure = r < 0 ? r : OM_E_FAIL;
                return false;
            }
            kind->Create(nullptr);
            kind->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
            kind->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
            kind->SetProperty(kTvPropFlags, kTvFlagPlaneKind);
            if (kind->LoadPlane(name) < 0)
                TvLogError2(kSource, __LINE__, "Could not load plane:", name);
            plane_kinds[plane_kind_count] = kind;
            store_name(plane_kind_names[plane_kind_count], name);
            ++plane_kind_count;
            return true;
        });
        if (failure < 0) return failure;
    }

    TvShowLoadingProgress(0.5f);
    LoadTextureList("objects", kTextureBudget / 4);
    sheet->SetSection("archetypes");
    if (read_text(sheet, "vehicle", list, kKindListLimit)) {
        OmResult failure = OM_S_OK;
        for_each_name(list, [&](const char* name) {
            if (vehicle_kind_count >= kTvMissionMaxVehicleKinds) return false;
            TvGroundKindLoading* kind = nullptr;
            const OmResult r =
                OmCreateInstance(CLSID_TavrinAIGroundObject, nullptr, 0, IID_ITvGroundObject,
                                 reinterpret_cast<void**>(&kind));
            if (r < 0 || !kind) {
                log_create_failure("TavrinAIGroundObject", name, r);
                failure = r < 0 ? r : OM_E_FAIL;
                return false;
            }
            kind->Create(nullptr);
            kind->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
            kind->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
            kind->SetProperty(kTvPropFlags, kTvFlagFromMission);
            kind->LoadObject(name);
            vehicle_kinds[vehicle_kind_count] = kind;
            store_name(vehicle_kind_names[vehicle_kind_count], name);
            ++vehicle_kind_count;
            return true;
        });
        if (failure < 0) return failure;
    }
    return OM_S_OK;
}

void TavrinMission::read_ground_entries(IPropertySheet* sheet, int32_t& largest_id) {
    ground_entry_count = 0;
    IndexedSection section("ground");
    for (int32_t i = 0; i < kTvMissionMaxGroundEntries; ++i, section.next()) {
        if (sheet->SetSection(section.name()) < 0) continue;
        char name[kEntryNameLimit];
        if (!read_text(sheet, "name", name, sizeof(name))) continue;
        const int32_t kind = find_name(ground_kind_names, ground_kind_count, name);
        if (kind < 0) continue;
        TvMissionGroundEntry& entry = ground_entries[ground_entry_count];
        entry = {};
        read_placement(sheet, entry, offset, largest_id);
        entry.archetype = ground_kinds[kind];
        entry.endurance = kind_endurance(ground_kinds[kind]);
        read_float(sheet, "endurance", &entry.endurance);
        int32_t groups = 0;
        read_int(sheet, "groups", &groups);
        entry.group_mask = static_cast<uint32_t>(groups);
        entry.flags = kind_flags(ground_kinds[kind]);
        entry.archetype_index = kind;
        entry.game = game;
        ++ground_entry_count;
    }
}

void TavrinMission::read_air_entries(IPropertySheet* sheet, char* player_plane_name,
                                     int32_t& largest_id) {
    air_entry_count = 0;
    IndexedSection section("air");
    for (int32_t i = 0; i < kTvMissionMaxAirEntries; ++i, section.next()) {
        if (sheet->SetSection(section.name()) < 0) continue;

        // The player's entry takes the chosen plane, or tells the caller which it is.
        char file_name[kEntryNameLimit] = {};
        bool swapped = false;
        char groups_text[kEntryNameLimit];
        if (read_text(sheet, "groups", groups_text, sizeof(groups_text))) {
            const long groups = std::strtol(groups_text, nullptr, 10);
            if ((groups == kPlayerGroupsWithSideA || groups == kPlayerGroupsWithSideB) &&
                player_plane_name) {
                read_text(sheet, "name", file_name, sizeof(file_name));
                if (player_plane_name[0] != '\0') {
                    sheet->SetString("name", player_plane_name);
                    swapped = std::strcmp(file_name, player_plane_name) != 0;
                } else {
                    std::strncpy(player_plane_name, file_name, kTvPlayerPlaneNameSize - 1);
                    player_plane_name[kTvPlayerPlaneNameSize - 1] = '\0';
                }
            }
        }

        char name[kEntryNameLimit];
        if (!read_text(sheet, "name", name, sizeof(name))) continue;
        const int32_t kind = find_name(plane_kind_names, plane_kind_count, name);
        if (kind < 0) continue;
        const int32_t index = air_entry_count;
        TvMissionAirEntry& entry = air_entries[index];
        entry = {};
        std::memset(air_file_names[index], 0, sizeof(air_file_names[index]));
        if (swapped) std::memcpy(air_file_names[index], file_name, sizeof(file_name));
        read_placement(sheet, entry, offset, largest_id);
        int32_t groups = 0;
        read_int(sheet, "groups", &groups);
        entry.group_mask = static_cast<uint32_t>(groups);
        ITvObject* archetype = plane_kinds[kind];
        entry.archetype = archetype;
        entry.endurance = kind_endurance(archetype);
        read_float(sheet, "endurance", &entry.endurance);
        entry.high_speed = archetype_high_speed(archetype);
        read_float(sheet, "highspeed", &entry.high_speed);
        read_int(sheet, "ordinancetype", &entry.ordinance_type);
        read_int(sheet, "numordinance", &entry.ordinance_count);
        entry.ordinance_left = entry.ordinance_count;
        // Any value, the empty one included, marks the player's plane.
        char player[kGroundListLimit];
        entry.flags = read_text(sheet, "player", player, sizeof(player))
                          ? kTvFlagPlane | kTvFlagPlayerPlane
                          : kTvFlagPlane;
        entry.archetype_index = kind;

        // Goals stop at the first missing section.
        for (int32_t g = 0; g < kTvMissionGoalCapacity; ++g) {
            char goal_section[48];
            std::snprintf(goal_section, sizeof(goal_section), "air%dgoal%d", i, g);
            if (sheet->SetSection(goal_section) < 0) break;
            TvMissionGoal& goal = entry.goals[g];
            read_int(sheet, "type", &goal.type);
            if (read_vector(sheet, "pos", &goal.position)) {
                goal.position.x += offset.x;
                goal.position.y += offset.y;
                goal.position.z += offset.z;
            }
            read_int(sheet, "targetid", &goal.target_id);
            read_float(sheet, "real", &goal.real);
            read_int(sheet, "int", &goal.integer);
            entry.goal_count = g + 1;
        }
        entry.game = game;
        ++air_entry_count;
    }
}

void TavrinMission::read_vehicle_entries(IPropertySheet* sheet, int32_t& largest_id) {
    vehicle_entry_count = 0;
    IndexedSection section("vehicle");
    for (int32_t i = 0; i < kTvMissionMaxVehicleEntries; ++i, section.next()) {
        if (sheet->SetSection(section.name()) < 0) continue;
        char name[kEntryNameLimit];
        if (!read_text(sheet, "name", name, sizeof(name))) continue;
        const int32_t kind = find_name(vehicle_kind_names, vehicle_kind_count, name);
        if (kind < 0) continue;
        TvMissionVehicleEntry& entry = vehicle_entries[vehicle_entry_count];
        entry = {};
        entry.angle = kTvDefaultFiringCone;
        entry.range = kTvDefaultRange;
        entry.target_group = kTvDefaultTargetGroup;
        read_float(sheet, "angle", &entry.angle);
        read_float(sheet, "range", &entry.range);
        read_int(sheet, "targetgroup", &entry.target_group);
        read_placement(sheet, entry, offset, largest_id);
        int32_t groups = 0;
        read_int(sheet, "groups", &groups);
        entry.group_mask = static_cast<uint32_t>(groups);
        entry.archetype = vehicle_kinds[kind];
        entry.endurance = kind_endurance(vehicle_kinds[kind]);
        read_float(sheet, "endurance", &entry.endurance);
        entry.flags = kind_flags(vehicle_kinds[kind]);
        entry.archetype_index = kind;
        entry.game = game;
        ++vehicle_entry_count;
    }
}

int32_t TavrinMission::plane_kind_index(const char* name) const {
    return name ? find_name(plane_kind_names, plane_kind_count, name) : -1;
}
