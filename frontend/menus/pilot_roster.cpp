// The pilot roster and the record operations the menus use.
#include "frontend/menus/pilot_roster.h"

#include <cstring>

namespace {

TvPilotRoster roster{{}, {}, -1};

bool in_range(int32_t index) {
    return index >= 0 && index < TV_PILOT_SLOTS;
}

} // namespace

TvPilotRoster& TvGetPilotRoster() {
    return roster;
}

void TvClearPilotRoster() {
    std::memset(&roster, 0, sizeof roster);
    roster.current = -1;
}

bool TvIsPilotUsed(int32_t index) {
    return in_range(index) && roster.used[index] != 0;
}

TvPilotRecord* TvCurrentPilot() {
    return TvIsPilotUsed(roster.current) ? &roster.pilots[roster.current] : nullptr;
}

TvPilotRecord* TvCurrentPilotSlot() {
    return in_range(roster.current) ? &roster.pilots[roster.current] : nullptr;
}

int32_t TvFirstUsedPilot() {
    for (int32_t i = 0; i < TV_PILOT_SLOTS; ++i)
        if (roster.used[i]) return i;
    return -1;
}

void TvResetPilot(int32_t index) {
    if (!in_range(index)) return;
    TvPilotRecord& pilot = roster.pilots[index];
    char plane[sizeof pilot.favourite_plane];
    std::memcpy(plane, pilot.favourite_plane, sizeof plane);
    std::memset(&pilot, 0, sizeof pilot);
    std::memcpy(pilot.favourite_plane, plane, sizeof plane);
    pilot.allied_mission = 1;
    pilot.central_mission = 1;
}

int32_t* TvCurrentCampaignMission() {
    TvPilotRecord* pilot = TvCurrentPilotSlot();
    if (!pilot) return nullptr;
    const int32_t campaign = pilot->current_campaign;
    return campaign >= 0 && campaign < 32 ? &pilot->campaign_mission[campaign] : nullptr;
}
