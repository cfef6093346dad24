// The effect modules' entry points in the game's effect hooks.
#include "game/world/tv_effect_modules.h"

#include "game/world/tv_effects.h"
#include "game/world/tv_explosions.h"
#include "game/world/tv_plane_shadow.h"
#include "game/world/tv_shadows.h"
#include "game/world/tv_shrapnel.h"

void TvInstallEffectModules() {
    TvEffectHooks hooks{};
    hooks.explosions_init = TvInitExplosions;
    hooks.explosions_update = TvUpdateExplosions;
    hooks.explosions_render = TvRenderExplosions;
    hooks.explosions_release = TvReleaseExplosions;
    hooks.shrapnel_load = TvInitShrapnel;
    hooks.shrapnel_release = TvReleaseShrapnel;
    hooks.shrapnel_move = TvUpdateShrapnel;
    hooks.shrapnel_clear = TvClearShrapnelPieces;
    hooks.spawn_smoke = TvSpawnSmokeColumn;
    hooks.spawn_explosion = TvStartExplosion;
    TvInstallEffectHooks(&hooks);
    TvSetPlaneShadowDrawer(TvDrawPlaneShadow);
}

void TvRemoveEffectModules() {
    TvInstallEffectHooks(nullptr);
    TvSetPlaneShadowDrawer(nullptr);
}
