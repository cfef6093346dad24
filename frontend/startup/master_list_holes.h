// Master-list holes for whole-program stress runs: a long game leaves the game's master object
// list full of holes (removed objects' entries stay, empty, and every walk passes them). Set
// by the test hook CORVEL_MASTER_LIST_HOLES=N: after a mission is created, N empty entries
// (as many as fit in the list's 3000) follow the mission's objects.
#pragma once

#include <cstdint>

struct ITvGame;

// Appends up to `holes` empty entries to the game's master list; how many were appended.
int32_t TvAddMasterListHoles(ITvGame* game, int32_t holes);
