// The cheat gate: the [cheat] section of aerovant.ini counts only once a pilot has passed
// mission 25 of the campaign it is flying.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

inline constexpr int32_t TV_CHEAT_MISSION_THRESHOLD = 25;

// One pilot slot as the gate sees it: whether the slot holds a pilot, and that pilot's mission
// number in its current campaign.
struct TvPilotCampaignProgress {
    bool occupied = false;
    int32_t mission_number = 0;
};

// True when any occupied slot's mission number is above 25.
bool TvCheatsUnlocked(std::span<const TvPilotCampaignProgress> pilots);

// The pilot slots' progress as the pilot table last reported it (empty until pilots are read).
void TvSetPilotProgress(std::vector<TvPilotCampaignProgress> pilots);
std::span<const TvPilotCampaignProgress> TvGetPilotProgress();
