// Fuzzes characters.ini: the pilot roster read by TvLoadPilots and written back by
// TvWritePilotsFile, then read and written again (the storage is the shared one in memory).
// Checks: a written file reads back and writes the same bytes (the keys the writer does not
// write, such as "alliedmission", are left out of the file and so of the comparison); every
// pilot name read is at most 31 characters and terminated; blocks balance.
//
// Input: characters.ini.
#include "frontend/menus/pilot_roster.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/video/video_modes.h"
#include "fuzz/data_harness.h"

#include <cstring>

using fuzzing::require;

namespace {

void check_roster() {
    const TvPilotRoster& roster = TvGetPilotRoster();
    for (int32_t slot = 0; slot < TV_PILOT_SLOTS; ++slot) {
        const TvPilotRecord& p = roster.pilots[slot];
        require(strnlen(p.forenames, sizeof p.forenames) < sizeof p.forenames &&
                    strnlen(p.sirname, sizeof p.sirname) < sizeof p.sirname &&
                    strnlen(p.full_name, sizeof p.full_name) < sizeof p.full_name &&
                    strnlen(p.favourite_plane, sizeof p.favourite_plane) < sizeof p.favourite_plane,
                "a pilot's names are terminated");
    }
}

std::string pilots_file() {
    std::string bytes;
    fuzzing::shared_files().get(TV_PILOTS_FILE_NAME, bytes);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put(TV_PILOTS_FILE_NAME, std::span<const uint8_t>(data, size));
    fuzzing::FrameworkBlocksBalanced balanced;
    TvClearPilotRoster();
    TvSetConfiguredMissionMode(0);
    if (TvLoadPilots() >= 0) {
        check_roster();
        require(TvWritePilotsFile() >= 0, "the roster is written");
        const std::string written = pilots_file();
        TvClearPilotRoster();
        require(TvLoadPilots() >= 0, "a written file reads");
        check_roster();
        require(TvWritePilotsFile() >= 0, "the roster is written again");
        require(pilots_file() == written, "a written file reads back and writes the same bytes");
    }
    TvClearPilotRoster();
    files.reset();
    return 0;
}
