// The effect modules the game drives each frame (explosions and smoke, shrapnel). They keep
// their state module-wide; their module installs its entry points here at start-up, and a
// game without them simply skips those stages.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/result_codes.h"

struct ITvBSPLandscape;

struct TvEffectHooks {
    // Explosions and smoke.
    OmResult (*explosions_init)(int32_t effects_detail, ITvBSPLandscape* landscape);
    void (*explosions_update)(LgCamera* camera, float dt);
    void (*explosions_render)(LgCamera* camera);
    // Shrapnel.
    OmResult (*shrapnel_load)();
    void (*shrapnel_release)();
    void (*shrapnel_move)();
    // Drops the live shrapnel pieces (the landscape's FreeMap).
    void (*shrapnel_clear)();
    // Starts a smoke column and an explosion at the position with the size (the word is
    // passed as 0 and unused).
    OmResult (*spawn_smoke)(const LgVector* position, float size, uint32_t word);
    OmResult (*spawn_explosion)(const LgVector* position, float size, uint32_t word);
    // Frees what the explosions hold (the game's Destroy).
    void (*explosions_release)();
};

// Installs the table (copied); null clears it.
void TvInstallEffectHooks(const TvEffectHooks* hooks);
const TvEffectHooks& TvEffects();
// The installed shrapnel clear, or nothing.
void TvClearShrapnel();
// The installed smoke and explosion starts; 0 and nothing started without them.
OmResult TvSpawnSmoke(const LgVector* position, float size, uint32_t word);
OmResult TvSpawnExplosion(const LgVector* position, float size, uint32_t word);
