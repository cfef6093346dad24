// The game's session lifecycle: Create and Restart build a mission through the mission
// component; Destroy tears a session down.
#include "framework/core/memory.h"
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"

namespace {

constexpr const char* kSource = "tvopgame";

} // namespace

// Building a mission needs the mission component, which this build of the game does not
// contain yet: the session is prepared and the failure reported.
OmResult TavrinGame::Create(TvGameSettings* settings) {
    if (!settings) return OM_E_FAIL;
    const OmResult r = BeginSession(settings);
    if (r < 0) return OM_E_FAIL;
    TvLogError(kSource, __LINE__, "The mission component is not available");
    return OM_E_FAIL;
}

OmResult TavrinGame::Restart() {
    TvLogError(kSource, __LINE__, "The mission component is not available");
    return OM_E_FAIL;
}

OmResult TavrinGame::Destroy() {
    if (!settings_) return OM_S_OK;
    if (TvEffects().shrapnel_release) TvEffects().shrapnel_release();
    if (TvEffects().explosions_release) TvEffects().explosions_release();
    for (int32_t i = 0; i < kTvMaxViewports; ++i) {
        if (viewport_cameras_[i]) viewport_cameras_[i]->Release();
        viewport_cameras_[i] = nullptr;
        if (viewport_rasters_[i]) LgRasterDestroy(viewport_rasters_[i]);
        if (viewport_depth_rasters_[i]) LgRasterDestroy(viewport_depth_rasters_[i]);
        viewport_rasters_[i] = viewport_depth_rasters_[i] = nullptr;
    }
    if (frame_raster_ && frame_raster_ != settings_->frame_raster) LgRasterDestroy(frame_raster_);
    if (depth_raster_ && depth_raster_ != settings_->depth_raster) LgRasterDestroy(depth_raster_);
    frame_raster_ = depth_raster_ = nullptr;
    release_registered_objects(true);
    ground_archetype_count_ = 0;
    release_player_slots();
    OmFreeMemory(player_planes_);
    player_planes_ = nullptr;
    player_slot_count_ = 0;
    SetWeapons(nullptr);
    if (particles_) {
        particles_->RemoveAllTypes();
        particles_->Release();
        particles_ = nullptr;
    }
    if (mission_) mission_->Unload();
    SetMission(nullptr);
    if (landscape_) {
        landscape_->FreeMap();
        landscape_->Release();
        landscape_ = nullptr;
    }
    world_ = nullptr;
    view_position_ = nullptr;
    deferred_count_ = 0;
    return OM_S_OK;
}
