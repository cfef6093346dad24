// The mission's entry records (ground objects, vehicles, planes) and goals. Every entry is a
// create descriptor, so a pointer to an entry is handed to the live object's Create.
#pragma once

#include "game/world/tv_object.h"

// A plane type's flight table (plane.ini; plane property 514), 25 floats in this order.
struct TvFlightTable {
    float diving_speed;
    float high_speed;
    float cruise_speed;
    float climb_speed;
    float stall_speed;
    float acceleration;
    float roll;
    float turn;
    float pitch;
    float lift;
    float ceiling;
    float drag;
    float energy_conversion;
    float front_length;
    float back_length;
    float port_length;
    float starboard_length;
    float up_length;
    float down_length;
    float fire_rate;
    float fire_interval; // 1 / fire rate
    float fire_on_time;
    float fire_cycle; // fire-on + fire-off
    float radar_minimum;
    float radar_maximum;
};
static_assert(sizeof(TvFlightTable) == 25 * sizeof(float));

inline constexpr int32_t kTvMissionGoalCapacity = 64;

// One goal of an air entry ("air%dgoal%d"); the type codes belong to the AI plane.
struct TvMissionGoal {
    int32_t type;
    LgVector position;
    int32_t target_id;
    float real;
    int32_t integer;
};

// A ground object of the mission: exactly the descriptor and the live object.
struct TvMissionGroundEntry : TvCreateDescriptor {
    ITvObject* live_object; // set when spawned; no reference held
};

// A vehicle (armed ground object): the armed object's words follow.
struct TvMissionVehicleEntry : TvMissionGroundEntry {
    int32_t target_group; // "targetgroup", default 8
    float angle;          // firing cone, "angle", default 1.57
    float range;          // "range", default 300
};

// A plane: its type's flight table, ordnance and goals follow.
struct TvMissionAirEntry : TvMissionGroundEntry {
    TvFlightTable flight; // filled by FillAirEntry and ChangePlaneType; zero when read
    float high_speed;
    int32_t ordinance_count;
    int32_t ordinance_left;
    int32_t ordinance_type;
    TvMissionGoal goals[kTvMissionGoalCapacity];
    int32_t goal_count;
};

// Defaults of the vehicle words.
inline constexpr int32_t kTvDefaultTargetGroup = 8;
inline constexpr float kTvDefaultFiringCone = 1.57f;
inline constexpr float kTvDefaultRange = 300.0f;
