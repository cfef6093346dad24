// Front-end shutdown as far as its parts exist: what game set-up kept and the data storage.
// The profiler, the game component, the menus, the sound front end, the network client and
// set-up's window references are released here, in that order, as they join the program.
#include "frontend/menus/front_end_shutdown.h"

#include "frontend/settings/data_storage.h"
#include "frontend/setup/game_setup.h"

void TvShutDownFrontEnd() {
    TvReleaseGameSetUp();
    TvReleaseDataStorage();
}
