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
