// Start-up's door to the effect modules: their entry points go into the game's effect hooks.
#pragma once

// Fills TvEffectHooks with the explosions, smoke and shrapnel entry points.
void TvInstallEffectModules();
