// The cheat gate over the pilots' campaign progress.
#include "frontend/setup/cheat_gate.h"

#include <algorithm>

namespace {

std::vector<TvPilotCampaignProgress>& pilot_progress() {
    static std::vector<TvPilotCampaignProgress> pilots;
    return pilots;
}

} // namespace

bool TvCheatsUnlocked(std::span<const TvPilotCampaignProgress> pilots) {
    return std::any_of(pilots.begin(), pilots.end(), [](const TvPilotCampaignProgress& p) {
        return p.occupied && p.mission_number > TV_CHEAT_MISSION_THRESHOLD;
    });
}

void TvSetPilotProgress(std::vector<TvPilotCampaignProgress> pilots) {
    pilot_progress() = std::move(pilots);
}

std::span<const TvPilotCampaignProgress> TvGetPilotProgress() {
    return pilot_progress();
}
