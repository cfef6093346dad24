// The installed effect entry points.
#include "game/world/tv_effects.h"

namespace {

TvEffectHooks& installed() {
    static TvEffectHooks hooks{};
    return hooks;
}

} // namespace

void TvInstallEffectHooks(const TvEffectHooks* hooks) {
    installed() = hooks ? *hooks : TvEffectHooks{};
}

const TvEffectHooks& TvEffects() {
    return installed();
}

void TvClearShrapnel() {
    if (installed().shrapnel_clear) installed().shrapnel_clear();
}

OmResult TvSpawnSmoke(const LgVector* position, float size, uint32_t word) {
    return installed().spawn_smoke ? installed().spawn_smoke(position, size, word) : OM_S_OK;
}

OmResult TvSpawnExplosion(const LgVector* position, float size, uint32_t word) {
    return installed().spawn_explosion ? installed().spawn_explosion(position, size, word)
                                       : OM_S_OK;
}
