// The game component the front end holds: reused from mission to mission, replaced when the
// kind of game changes, and discarded before the engine stops.
#pragma once

#include <cstdint>

struct ITvGame;

// The held game component (no reference added), or null.
ITvGame* TvGetGameComponent();
// Holds `game` (a reference is added), releasing the one held before.
void TvSetGameComponent(ITvGame* game);
// The session is destroyed and the component released; for the multiplayer client game the
// network client is stopped and closed first. The last mission created becomes 0.
void TvDiscardGameComponent();

// The number of the last mission created (0: none).
int32_t TvGetLastMissionCreated();
void TvSetLastMissionCreated(int32_t mission);
