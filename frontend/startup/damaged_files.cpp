// The end over damaged data files.
#include "frontend/startup/damaged_files.h"

#include "frontend/menus/game_session.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/front_end_release.h"
#include "frontend/startup/startup_trace.h"
#include "game/rules/tv_game.h"
#include "net/client/om_aerovant_client.h"
#include "platform/message_box.h"

namespace {

bool noted = false;
bool ended = false;

} // namespace

void TvNoteDamagedFiles() {
    noted = true;
    TvSetQuitFlag(1);
}

bool TvEndOverDamagedFiles() {
    if (!noted) return false;
    if (ended) return true;
    ended = true;
    if (IOmAerovantClient* client = TvGetNetworkClient()) {
        client->Stop();
        TvTraceStep("damaged files: network client stopped");
    }
    if (ITvGame* game = TvGetGameComponent()) {
        game->Destroy();
        TvSetLastMissionCreated(0);
        TvTraceStep("damaged files: game destroyed");
    }
    TvMinimizeWindow();
    TvTraceStep("damaged files: window minimised");
    TvTraceStep(std::string("damaged files: box ") + TV_DAMAGED_FILES_TEXT);
    platform::message_box(TV_DAMAGED_FILES_TITLE, TV_DAMAGED_FILES_TEXT);
    TvSetQuitFlag(1);
    return true;
}

bool TvEndingOverDamagedFiles() {
    return noted;
}

void TvResetDamagedFiles() {
    noted = ended = false;
}
