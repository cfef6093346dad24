// The single-player part of the front end as the menus start it: missions, pilots, the
// server-address entry, control capture and the credits.
#pragma once

#include "frontend/menus/menu_entry_points.h"

// The menus' entry points for these (the multiplayer session is left as it is).
const TvMenuEntryPoints& TvSinglePlayerEntryPoints();
void TvInstallSinglePlayerEntryPoints();
