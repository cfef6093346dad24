// Writing a mission back as mission.ini in the form the reader takes: positions as they stand
// (offset already applied, so the offset is written as zero), sections numbered densely, the
// safe height and the reinforcement thresholds kept.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_mission_values.h"
#include "game/tv_frontend_services.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace tvmission;

namespace {

constexpr const char* kSource = "tvopmission";

class SheetWriter {
public:
    explicit SheetWriter(IPropertySheet* sheet) : sheet_(sheet) {}
    void section(const char* name) { sheet_->UseSection(name); }
    void text(const char* key, const char* value) { sheet_->SetString(key, value); }
    void integer(const char* key, int32_t value, const char* format = "%d") {
        char buffer[32];
        std::snprintf(buffer, sizeof(buffer), format, value);
        text(key, buffer);
    }
    void real(const char* key, float value) { text(key, real_text(value).c_str()); }
    // Written only when it would not read back as the default: a value that prints as the
    // default (a tiny negative as "-0.000000") would be left out by the next save.
    void real_unless(const char* key, float value, float fallback) {
        if (read_back(value) != read_back(fallback)) real(key, value);
    }
    void vector(const char* key, const LgVector& v) {
        char buffer[160];
        const int length =
            std::snprintf(buffer, sizeof(buffer), "%f %f %f", static_cast<double>(v.x),
                          static_cast<double>(v.y), static_cast<double>(v.z));
        // The reader takes values shorter than kValueSize: coordinates too far out for that in
        // fixed notation are written in exponent form, which reads back exactly.
        if (length < 0 || length >= static_cast<int>(kValueSize))
            std::snprintf(buffer, sizeof(buffer), "%.9g %.9g %.9g", static_cast<double>(v.x),
                          static_cast<double>(v.y), static_cast<double>(v.z));
        text(key, buffer);
    }
    void placement(const TvCreateDescriptor& entry) {
        vector("pos", entry.matrix.pos);
        vector("up", entry.matrix.up);
        vector("at", entry.matrix.at);
        vector("right", entry.matrix.right);
    }

private:
    static std::string real_text(float value) {
        char buffer[64];
        std::snprintf(buffer, sizeof(buffer), "%f", static_cast<double>(value));
        return buffer;
    }
    static float read_back(float value) { return std::strtof(real_text(value).c_str(), nullptr); }

    IPropertySheet* sheet_;
};

// "name name ... " with one blank after every name.
template <class Keep>
std::string name_list(const char (*names)[kTvMissionNameSize], int32_t count, Keep keep) {
    std::string list;
    for (int32_t i = 0; i < count; ++i)
        if (keep(i)) list.append(names[i]).append(" ");
    return list;
}

bool valid_index(int32_t index, int32_t count) {
    return index >= 0 && index < count;
}

} // namespace

OmResult TavrinMission::SaveMission(int32_t number) {
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) return OM_E_FAIL;
    // The new sheet's unnamed section stays: the file begins with its empty "[]" header, as
    // every sheet the program saves does.
    SheetWriter out(sheet.get());

    if (music_track != 0) {
        out.section("music");
        out.integer("track", music_track);
    }
    out.section("map");
    out.text("map", map_name);
    out.text("offset", "0 0 0");
    // Kept when it is not the default a reload would give anyway.
    out.real_unless("safeheight", safe_height, kTvDefaultSafeHeight);
    out.section("mission");
    for (int32_t g = 0; g < kTvMissionGroupGoals; ++g) {
        char key[16];
        std::snprintf(key, sizeof(key), "Group%d", g);
        out.real_unless(key, group_goals[g], 0.0f);
    }
    out.real_unless("timelimit", time_limit, 0.0f);

    if (reinforcement_count > 0) {
        out.section("reinforcements");
        for (int32_t k = 0; k < reinforcement_count && k < kTvMissionMaxReinforcements; ++k) {
            char key[16];
            std::snprintf(key, sizeof(key), "%d", k + 1);
            out.integer(key, reinforcement_thresholds[k]);
        }
    }

    out.section("archetypes");
    out.text("ground", name_list(ground_kind_names, ground_kind_count, [&](int32_t i) {
                           return (archetype_flags(ground_kinds[i]) & kTvFlagFromMission) != 0;
                       }).c_str());
    out.text("air",
             name_list(plane_kind_names, plane_kind_count, [](int32_t) { return true; }).c_str());
    out.text("vehicle", name_list(vehicle_kind_names, vehicle_kind_count, [](int32_t) {
                            return true;
                        }).c_str());

    char section[48];
    int32_t written = 0;
    for (int32_t i = 0; i < ground_entry_count; ++i) {
        const TvMissionGroundEntry& entry = ground_entries[i];
        if ((entry.flags & kTvFlagFromMission) == 0 || !entry.archetype ||
            !valid_index(entry.archetype_index, ground_kind_count))
            continue;
        std::snprintf(section, sizeof(section), "ground%d", written++);
        out.section(section);
        out.text("name", ground_kind_names[entry.archetype_index]);
        out.integer("id", entry.id);
        out.integer("groups", static_cast<int32_t>(entry.group_mask));
        out.real_unless("endurance", entry.endurance, archetype_endurance(entry.archetype));
        out.placement(entry);
    }

    written = 0;
    for (int32_t i = 0; i < vehicle_entry_count; ++i) {
        const TvMissionVehicleEntry& entry = vehicle_entries[i];
        if ((entry.flags & kTvFlagFromMission) == 0 || !entry.archetype ||
            !valid_index(entry.archetype_index, vehicle_kind_count))
            continue;
        std::snprintf(section, sizeof(section), "vehicle%d", written++);
        out.section(section);
        out.text("name", vehicle_kind_names[entry.archetype_index]);
        out.integer("id", entry.id);
        out.integer("groups", static_cast<int32_t>(entry.group_mask));
        out.real("angle", entry.angle);
        out.real("range", entry.range);
        out.integer("targetgroup", entry.target_group);
        out.real_unless("endurance", entry.endurance, archetype_endurance(entry.archetype));
        out.placement(entry);
    }

    written = 0;
    for (int32_t i = 0; i < air_entry_count; ++i) {
        const TvMissionAirEntry& entry = air_entries[i];
        if (!entry.archetype || !valid_index(entry.archetype_index, plane_kind_count)) continue;
        const int32_t number_written = written++;
        std::snprintf(section, sizeof(section), "air%d", number_written);
        out.section(section);
        // The player's chosen plane is not the mission's: the file keeps its own plane.
        out.text("name", air_file_names[i][0] != '\0' ? air_file_names[i]
                                                      : plane_kind_names[entry.archetype_index]);
        out.integer("id", entry.id);
        out.integer("groups", static_cast<int32_t>(entry.group_mask));
        out.integer("ordinancetype", entry.ordinance_type);
        out.integer("numordinance", entry.ordinance_count);
        if (entry.flags & kTvFlagPlayerPlane) out.text("player", "1");
        out.real_unless("endurance", entry.endurance, archetype_endurance(entry.archetype));
        out.real_unless("highspeed", entry.high_speed, archetype_high_speed(entry.archetype));
        out.placement(entry);
        for (int32_t g = 0; g < entry.goal_count && g < kTvMissionGoalCapacity; ++g) {
            const TvMissionGoal& goal = entry.goals[g];
            std::snprintf(section, sizeof(section), "air%dgoal%d", number_written, g);
            out.section(section);
            out.integer("type", goal.type);
            out.integer("targetid", goal.target_id);
            out.vector("pos", goal.position);
            out.real("real", goal.real);
            out.integer("int", goal.integer, "%i");
        }
    }

    char path[64];
    std::snprintf(path, sizeof(path), ".\\missions\\%d\\mission.ini", number);
    ComRef<IFileStorage> storage;
    if (OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) < 0) return OM_E_FAIL;
    ComRef<IByteStream> stream;
    if (storage->Open(path, OM_OPEN_WRITE, OM_OPEN_TEXT, stream.put()) < 0 || !stream) {
        TvLogError2(kSource, __LINE__, "Could not write mission file:", path);
        return OM_E_FAIL;
    }
    if (sheet->Save(stream.get()) < 0) {
        TvLogError2(kSource, __LINE__, "Could not write mission file:", path);
        return OM_E_FAIL;
    }
    return OM_S_OK;
}
