// Front-end shutdown, each release noted in its order: the profiler; the game (its mission
// destroyed first); the menu browser; the sound front end; the data storage; input; the menu
// camera; the network client; the engine camera; then the settings sheet and set-up's window
// references.
#include "frontend/menus/front_end_shutdown.h"

#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/settings/data_storage.h"
#include "frontend/setup/game_setup.h"
#include "frontend/single/front_end_release.h"
#include "frontend/sound/sound_front_end.h"

namespace {

std::vector<std::string> steps;

void step(const char* name) {
    steps.emplace_back(name);
}

} // namespace

const std::vector<std::string>& TvFrontEndReleaseSteps() {
    return steps;
}

void TvShutDownFrontEnd() {
    steps.clear();
    step("profiler released");
    TvReleaseProfiler();
    if (TvGetGameComponent()) {
        if (TvGetLastMissionCreated() != 0) step("mission destroyed");
        step("game released");
        TvDiscardGameComponent();
    }
    step("menu browser released");
    TvReleaseMenuBrowser();
    step("sound closed");
    tvfe::TvCloseSound();
    step("storage released");
    TvReleaseDataStorage();
    step("input released");
    TvShutDownInput();
    step("menu camera released");
    TvReleaseMenuCamera();
    step("network client released");
    TvReleaseNetworkClient();
    step("engine camera released");
    TvReleaseEngineCamera();
    step("settings and window released");
    TvReleaseSetUpWindow();
    TvReleaseGameSetUp();
}
