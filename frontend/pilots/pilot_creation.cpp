// Creating a pilot through the name-entry page.
#include "frontend/pilots/pilot_creation.h"

#include "frontend/menus/pilot_roster.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/pilots/text_entry.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void prepare_slot(TvPilotRecord& pilot) {
    std::memset(&pilot, 0, sizeof pilot);
    std::snprintf(pilot.full_name, sizeof pilot.full_name, "%c", TV_TEXT_CURSOR);
    pilot.picture = 8;
    pilot.side = TV_SIDE_ALLIED;
    pilot.allied_mission = 1;
    pilot.central_mission = 1;
    std::snprintf(pilot.favourite_plane, sizeof pilot.favourite_plane, "%s",
                  TV_DEFAULT_FAVOURITE_PLANE);
}

} // namespace

void TvSplitPilotName(const char* name, char* forenames, size_t forenames_size, char* sirname,
                      size_t sirname_size) {
    const std::string text = name ? name : "";
    const size_t blank = text.rfind(' ');
    if (blank == std::string::npos) {
        std::snprintf(forenames, forenames_size, "%s", "");
        std::snprintf(sirname, sirname_size, "%s", text.c_str());
        return;
    }
    std::snprintf(forenames, forenames_size, "%s", text.substr(0, blank).c_str());
    std::snprintf(sirname, sirname_size, "%s", text.substr(blank + 1).c_str());
}

OmResult TvRunCreatePilot(int32_t n) {
    if (n == 0) n = 1;
    if (n < 1 || n > TV_PILOT_SLOTS) return OM_E_FAIL;
    TvPilotRoster& roster = TvGetPilotRoster();
    TvPilotRecord& pilot = roster.pilots[n - 1];
    prepare_slot(pilot);
    roster.used[n - 1] = 1;

    const OmResult entered = TvRunNameEntry(pilot.full_name, sizeof pilot.full_name);
    if (entered < 0) {
        roster.used[n - 1] = 0;
        return OM_E_FAIL;
    }
    TvSplitPilotName(pilot.full_name, pilot.forenames, sizeof pilot.forenames, pilot.sirname,
                     sizeof pilot.sirname);
    TvWritePilotsFile();
    return OM_S_OK;
}
