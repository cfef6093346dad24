// The mission editor's overlay: markers for every entry, the vehicles' firing sectors, the
// goal icons and the 3D cursor drawn in the world, then the information lines (map, counts,
// archetype choices, the selection's fields and the last save's result).
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_objects.h"
#include "engine/core/lg_texture.h"
#include "game/rules/tavrin_mission.h"
#include "game/tv_frontend_services.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kStateTextureRaster = 1;
constexpr int32_t kStateEndOfOverlay = 4;
constexpr uint32_t kTransformWholeVertices = 1;
constexpr float kLayoutWidth = 640.0f;
constexpr float kLayoutHeight = 480.0f;
constexpr float kMarkerRadius = 10.0f;
constexpr float kMarkerLift = 10.0f;
constexpr float kCursorRadius = 7.0f;
constexpr float kIconLift = 15.0f;
constexpr float kIconHalfSize = 8.0f;
constexpr int32_t kArcSegments = 8;
constexpr float kPi = 3.14159265f;
// The goal types whose target is a group or an object id.
constexpr int32_t kTargetGoalTypes[] = {48, 112, 128, 144, 288, 336, 352};

void engine_sink(int32_t type, const LgIm3DVertex* vertices, int32_t count, LgTexture* texture) {
    LgRenderStateSet(kStateTextureRaster, texture ? LgTextureGetRaster(texture) : nullptr);
    // Every batch is of whole vertex records: an untextured transform would read them at the
    // world's shorter stride and scatter the lines over the screen.
    if (!LgIm3DTransform(vertices, count, nullptr, kTransformWholeVertices)) return;
    LgIm3DRenderPrimitive(type);
    LgIm3DEnd();
}

TvEditorPrimitiveSink& sink() {
    static TvEditorPrimitiveSink current = engine_sink;
    return current;
}

LgIm3DVertex vertex(const LgVector& p, LgRGBA colour, float u = 0.0f, float v = 0.0f) {
    return {p, {0.0f, 0.0f, 0.0f}, colour, u, v};
}

// Line-list segments of an octagon of `radius` around (x, y, z).
void add_octagon(std::vector<LgIm3DVertex>& lines, const LgVector& centre, float radius,
                 LgRGBA colour) {
    for (int32_t i = 0; i < 8; ++i) {
        const float a = static_cast<float>(i) * kPi / 4.0f;
        const float b = static_cast<float>(i + 1) * kPi / 4.0f;
        lines.push_back(vertex(
            {centre.x + radius * std::cos(a), centre.y, centre.z + radius * std::sin(a)}, colour));
        lines.push_back(vertex(
            {centre.x + radius * std::cos(b), centre.y, centre.z + radius * std::sin(b)}, colour));
    }
}

// The firing sector of a vehicle: two edges and an arc of its range around its heading.
void add_sector(std::vector<LgIm3DVertex>& lines, const TvMissionVehicleEntry& entry,
                LgRGBA colour) {
    const LgVector& p = entry.matrix.pos;
    const float heading = std::atan2(entry.matrix.at.x, entry.matrix.at.z);
    const float half = entry.angle * 0.5f;
    const auto point = [&](float angle) {
        return LgVector{p.x + entry.range * std::sin(angle), p.y + kMarkerLift,
                        p.z + entry.range * std::cos(angle)};
    };
    const LgVector origin{p.x, p.y + kMarkerLift, p.z};
    lines.push_back(vertex(origin, colour));
    lines.push_back(vertex(point(heading - half), colour));
    lines.push_back(vertex(origin, colour));
    lines.push_back(vertex(point(heading + half), colour));
    for (int32_t i = 0; i < kArcSegments; ++i) {
        const float step = entry.angle / kArcSegments;
        lines.push_back(vertex(point(heading - half + step * static_cast<float>(i)), colour));
        lines.push_back(vertex(point(heading - half + step * static_cast<float>(i + 1)), colour));
    }
}

std::string group_line(uint32_t mask) {
    std::string line = "Group Membership: ";
    for (int32_t g = 0; g < 10; ++g) {
        if ((mask & (1u << g)) == 0) continue;
        char part[16];
        std::snprintf(part, sizeof(part), "%d ", g);
        line += part;
    }
    return line;
}

bool targets_something(int32_t type) {
    for (int32_t t : kTargetGoalTypes)
        if (t == type) return true;
    return false;
}

} // namespace

void TvSetEditorPrimitiveSink(TvEditorPrimitiveSink sink_function) {
    sink() = sink_function ? sink_function : engine_sink;
}

void TavrinMission::draw_editor_markers() {
    constexpr LgRGBA ground{0, 255, 0, 255}, vehicle{255, 255, 0, 255}, air{0, 160, 255, 255},
        selected{255, 0, 0, 255}, cursor{255, 255, 255, 255};
    std::vector<LgIm3DVertex> lines;
    const auto colour_of = [&](const TvCreateDescriptor& entry, LgRGBA plain) {
        return editor.selected_entry == &entry && editor.selection != kTvEditorGoal ? selected
                                                                                    : plain;
    };
    const auto marker = [&](const TvCreateDescriptor& entry, LgRGBA plain) {
        const LgVector& p = entry.matrix.pos;
        add_octagon(lines, {p.x, p.y + kMarkerLift, p.z}, kMarkerRadius, colour_of(entry, plain));
    };
    for (int32_t i = 0; i < ground_entry_count; ++i)
        if (ground_entries[i].archetype) marker(ground_entries[i], ground);
    for (int32_t i = 0; i < vehicle_entry_count; ++i) {
        const TvMissionVehicleEntry& entry = vehicle_entries[i];
        if (!entry.archetype) continue;
        marker(entry, vehicle);
        add_sector(lines, entry, colour_of(entry, vehicle));
    }
    for (int32_t i = 0; i < air_entry_count; ++i)
        if (air_entries[i].archetype) marker(air_entries[i], air);
    // The cursor rides on the ground point under the pointer, lifted like the markers: at a
    // fixed height of 200 it would be buried under any ground above that and float away from
    // the pointer over ground below it.
    add_octagon(lines, {editor_cursor.x, editor_cursor.y + kMarkerLift, editor_cursor.z},
                kCursorRadius, cursor);
    if (!lines.empty())
        sink()(LgPrimLineList, lines.data(), static_cast<int32_t>(lines.size()), nullptr);

    // The goals of the planes, each a flat square with its type's icon.
    for (int32_t i = 0; i < air_entry_count; ++i) {
        const TvMissionAirEntry& entry = air_entries[i];
        if (!entry.archetype) continue;
        for (int32_t g = 0; g < entry.goal_count && g < kTvMissionGoalCapacity; ++g) {
            const TvMissionGoal& goal = entry.goals[g];
            // Types outside the table, or without an icon, draw nothing.
            if (goal.type < 0 || goal.type >= kTvMissionGoalIcons || !goal_icons[goal.type])
                continue;
            const LgVector& c = goal.position;
            const float y = c.y + kIconLift, h = kIconHalfSize;
            const LgRGBA white{255, 255, 255, 255};
            const LgIm3DVertex square[6] = {vertex({c.x - h, y, c.z - h}, white, 0, 1),
                                            vertex({c.x + h, y, c.z - h}, white, 1, 1),
                                            vertex({c.x + h, y, c.z + h}, white, 1, 0),
                                            vertex({c.x - h, y, c.z - h}, white, 0, 1),
                                            vertex({c.x + h, y, c.z + h}, white, 1, 0),
                                            vertex({c.x - h, y, c.z + h}, white, 0, 0)};
            sink()(LgPrimTriList, square, 6, goal_icons[goal.type]);
        }
    }
    LgRenderStateSet(kStateEndOfOverlay, reinterpret_cast<void*>(uintptr_t{1}));
}

OmResult TavrinMission::DrawEditorInfo(ITvObject*) {
    draw_editor_markers();
    const float sx = static_cast<float>(TvGetScreenWidth()) / kLayoutWidth;
    const float sy = static_cast<float>(TvGetScreenHeight()) / kLayoutHeight;
    const auto line = [&](float x, float y, const char* text) {
        draw_line(x * sx, y * sy, text, nullptr);
    };
    char text[160];
    std::snprintf(text, sizeof(text), "Map: %s", map_name);
    line(350, 10, text);
    std::snprintf(text, sizeof(text), "No. of Ground Objects: %d", ground_entry_count);
    line(350, 30, text);
    std::snprintf(text, sizeof(text), "No. of Vehicles: %d", vehicle_entry_count);
    line(350, 50, text);
    std::snprintf(text, sizeof(text), "No. of Planes: %d", air_entry_count);
    line(350, 70, text);

    const auto chosen = [](const char(*names)[kTvMissionNameSize], int32_t count, int32_t i) {
        return i >= 0 && i < count ? names[i] : "";
    };
    std::snprintf(text, sizeof(text), "Ground Choice: %s",
                  chosen(ground_kind_names, ground_kind_count, editor.ground_choice));
    line(10, 10, text);
    std::snprintf(text, sizeof(text), "Vehicle Choice: %s",
                  chosen(vehicle_kind_names, vehicle_kind_count, editor.vehicle_choice));
    line(10, 30, text);
    std::snprintf(text, sizeof(text), "Plane Choice: %s",
                  chosen(plane_kind_names, plane_kind_count, editor.plane_choice));
    line(10, 50, text);
    const TvCreateDescriptor* entry = editor.selected_entry;
    if (editor.selection == kTvEditorNone || !entry) return OM_S_OK;
    std::snprintf(text, sizeof(text), "Selected ID: %d", editor.selected_id);
    line(350, 450, text);
    line(350, 430, group_line(entry->group_mask).c_str());
    std::snprintf(text, sizeof(text), "Endurance: %f", static_cast<double>(entry->endurance));
    line(350, 410, text);

    const auto& ground = static_cast<const TvMissionGroundEntry&>(*entry);
    if (editor.selection == kTvEditorVehicle) {
        std::snprintf(text, sizeof(text), "Target Group: %d",
                      static_cast<const TvMissionVehicleEntry&>(ground).target_group);
        line(10, 450, text);
    } else if (editor.selection == kTvEditorAir) {
        const auto& a = static_cast<const TvMissionAirEntry&>(ground);
        std::snprintf(text, sizeof(text), "HighSpeed: %f", static_cast<double>(a.high_speed));
        line(10, 450, text);
        std::snprintf(text, sizeof(text), "Ordinance Load: %d", a.ordinance_count);
        line(10, 430, text);
        line(10, 410,
             a.ordinance_type == 1   ? "Weapon type: Bombs"
             : a.ordinance_type == 2 ? "Weapon type: Rockets"
                                     : "No secondardy weapons installed.");
    } else if (editor.selection == kTvEditorGoal) {
        const auto& a = static_cast<const TvMissionAirEntry&>(ground);
        if (editor.selected_goal < 0 || editor.selected_goal >= a.goal_count) return OM_S_OK;
        const TvMissionGoal& goal = a.goals[editor.selected_goal];
        if (targets_something(goal.type)) {
            if (goal.target_id > 0)
                std::snprintf(text, sizeof(text), "Mission Target ID %d", goal.target_id);
            else
                std::snprintf(text, sizeof(text), "Mission Goal %d", -goal.target_id);
            line(10, 350, text);
        }
        std::snprintf(text, sizeof(text), "Mission Real value: %f", static_cast<double>(goal.real));
        line(10, 370, text);
        std::snprintf(text, sizeof(text), "Mission Integer value: %d", goal.integer);
        line(10, 390, text);
    }
    return OM_S_OK;
}
