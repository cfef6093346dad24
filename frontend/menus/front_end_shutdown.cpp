// Front-end shutdown: the profiler, the game component, the menu display, the sound front
// end, the data storage, the network client and set-up's window references, in that order;
// then what else set-up made (input and its Timer, the engine camera, the settings sheet).
#include "frontend/menus/front_end_shutdown.h"

#include "frontend/menus/game_session.h"
#include "frontend/menus/page_seam.h"
#include "frontend/settings/data_storage.h"
#include "frontend/setup/game_setup.h"
#include "frontend/sound/sound_front_end.h"

void TvShutDownFrontEnd() {
    TvReleaseProfiler();
    TvDiscardGameComponent();
    TvReleaseMenuDisplay();
    tvfe::TvCloseSound();
    TvReleaseDataStorage();
    TvReleaseNetworkClient();
    TvReleaseSetUpWindow();
    TvReleaseGameSetUp();
}
