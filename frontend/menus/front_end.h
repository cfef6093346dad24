// The front end: sets the menus up, runs the start-up command, then alternates the page loop
// and the dispatcher until the user quits or closes the window.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// 0 after a normal end; OM_E_FAIL (after its message box) when the menus cannot be set up.
OmResult TvRunFrontEnd(const char* start_command);

// Shows the page for `ms` milliseconds of the timer without the pointer; a key press ends it
// early.
OmResult TvShowTimedPage(const char* name, uint32_t ms);
// The music started at the settings' volume, then the title page for 5000 ms.
OmResult TvShowTitleScreen();

// The menus' page functions installed for the rest of the front end (page loop, status page,
// menu display release and set-up around video changes).
void TvInstallMenuPageHooks();
