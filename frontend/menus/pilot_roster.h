// The pilot roster the menus work on: seven pilot records with their used flags and the
// current pilot index. Pages number pilots from 1 (pilot n is slot n - 1).
#pragma once

#include <cstdint>

inline constexpr int32_t TV_PILOT_SLOTS = 7;
// The pilot index that stands for the multiplayer pilot.
inline constexpr int32_t TV_MULTIPLAYER_PILOT = 6;
inline constexpr int32_t TV_SIDE_ALLIED = 8;
inline constexpr int32_t TV_SIDE_CENTRAL = 9;
inline constexpr char TV_DEFAULT_FAVOURITE_PLANE[] = "multitavrincamel";

struct TvPilotRecord {
    char forenames[64];
    char sirname[64];
    char full_name[32];
    int32_t picture;
    int32_t score;
    int32_t current_campaign;
    int32_t reserved1;
    int32_t campaign_mission[32]; // the current mission number in each campaign
    int32_t reserved2;
    int32_t kills; // British + German kills
    int32_t brit_kills;
    int32_t german_kills;
    int32_t deaths;
    int32_t missions_won;
    int32_t missions_lost;
    int32_t times_played;
    int32_t skip_count; // "command:skip" presses; not saved
    int32_t shots_fired;
    int32_t shots_on_target;
    int32_t times_on_last_mission;
    char favourite_plane[32];
    int32_t mp_kills;
    int32_t mp_deaths;
    int32_t side; // TV_SIDE_*, -1 not chosen
    int32_t mp_score;
    int32_t allied_complete[10];
    int32_t central_complete[10];
    int32_t allied_mission;
    int32_t central_mission;
};

struct TvPilotRoster {
    TvPilotRecord pilots[TV_PILOT_SLOTS];
    int32_t used[TV_PILOT_SLOTS];
    int32_t current; // -1 none
};

TvPilotRoster& TvGetPilotRoster();
// No pilots and no current pilot.
void TvClearPilotRoster();

// Whether slot `index` (0-based) holds a pilot.
bool TvIsPilotUsed(int32_t index);
// The current pilot's record when the current index names a used slot, else null.
TvPilotRecord* TvCurrentPilot();
// The current pilot's record whatever its slot holds (0..6), else null.
TvPilotRecord* TvCurrentPilotSlot();
// The first used slot, -1 when none.
int32_t TvFirstUsedPilot();
// Clears the pilot's completion flags and zeroes the record except its favourite plane; its
// current allied and central missions become 1.
void TvResetPilot(int32_t index);
// The mission number of the current pilot's current campaign; null without a current pilot
// or for a campaign outside 0..31.
int32_t* TvCurrentCampaignMission();
