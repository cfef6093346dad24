// Start-up's door to the effect modules: their entry points go into the game's effect hooks,
// and the projected-shadow drawer becomes the planes' shadow.
#pragma once

// Fills TvEffectHooks with the explosions, smoke and shrapnel entry points and installs
// TvDrawPlaneShadow as the planes' shadow drawer.
void TvInstallEffectModules();
// Clears both again.
void TvRemoveEffectModules();
