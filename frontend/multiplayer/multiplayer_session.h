// The front end's multiplayer session: the client game and the network client set up for a
// server, then the lobby and the match in turn until the lobby gives up.
#pragma once

#include "framework/core/result_codes.h"

// Runs a session with the server address (null: none given, the client's default). Leaves the
// page to go on with in the link buffer. 0, or OM_E_FAIL when the client game cannot be
// created or the network client cannot be initialised.
OmResult TvRunMultiplayerSession(const char* server_address);

// Installs TvRunMultiplayerSession as the menus' multiplayer entry point.
void TvInstallMultiplayerEntryPoint();
