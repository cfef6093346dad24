// The menus' entry points into the single-player front end.
#include "frontend/single/single_player.h"

#include "frontend/pilots/pilot_creation.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/single/control_capture.h"
#include "frontend/single/mission_loop.h"
#include "frontend/single/mission_pages.h"

const TvMenuEntryPoints& TvSinglePlayerEntryPoints() {
    static const TvMenuEntryPoints entry_points{TvRunSinglePlayerMission,
                                                nullptr,
                                                TvRunCreatePilot,
                                                TvWritePilotsFile,
                                                TvRunServerAddressEntry,
                                                TvRunControlCapture,
                                                TvRunCredits};
    return entry_points;
}

void TvInstallSinglePlayerEntryPoints() {
    TvInstallMenuEntryPoints(&TvSinglePlayerEntryPoints());
}
