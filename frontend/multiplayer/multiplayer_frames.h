// The multiplayer frame loop: frames of the client game while the network client delivers
// messages every frame, with the pause page as an overlay over the running match.
#pragma once

#include "framework/core/result_codes.h"

struct LgRaster;

// Flies one match until the game reports an outcome, a handler sets the leave-page flag or
// the program is asked to quit. The session's end flags carry the result: 0x30 quit by the
// player, 0x40 disconnected, 0x100 + winner, 0x200 + slot, or the game's own outcome. 0.
OmResult TvRunMultiplayerFrames();

// The render callback handed to the game: draws the pause overlay while it is up.
void TvDrawMultiplayerPause(LgRaster* raster, void* context);

// Whether the pause overlay is up (tests read it).
bool TvMultiplayerPauseShown();

// Called after every frame of the loop with the frame number (from 0); tests act through it.
// Null removes it.
using TvMultiplayerFrameObserver = void (*)(long frame);
void TvSetMultiplayerFrameObserver(TvMultiplayerFrameObserver observer);
