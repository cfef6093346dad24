// The game's session lifecycle: Create builds a mission through the mission component (its
// objects, the player planes, the viewport, weapons, particles and explosions), Restart plays
// it again from the same mission, Destroy tears the session down.
#include "engine/world/lg_random.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_game_hooks.h"
#include "game/rules/tv_mission_classes.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"
#include "platform/clock.h"

#include <cstring>
#include <new>

namespace {

constexpr const char* kSource = "tvopgame";
constexpr int32_t kDefaultPlaneId = 2500;
constexpr uint32_t kIdentityMatrixFlags = 0x20003;
constexpr uint32_t kPlayersGroupBit = 1u << kTvGroupPlayers;
constexpr uint32_t kRestartPauseMs = 1000;
constexpr uint32_t kViewportUpdateFlags = kTvTakesInput | kTvUpdateEveryFrame;
constexpr int32_t kCameraChaseView = 1;

uintptr_t property_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (object->GetProperty(id, &value) < 0) return 0;
    return value;
}

bool editing_enabled(IPropertySheet* sheet) {
    if (!sheet || sheet->SetSection("editing") < 0) return false;
    char value[33];
    return sheet->GetString("enabled", value, sizeof(value)) >= 0 && std::strcmp(value, "1") == 0;
}

} // namespace

OmResult TavrinGame::Create(TvGameSettings* settings) {
    if (!settings) return OM_E_FAIL;
    if (BeginSession(settings) < 0) return OM_E_FAIL;
    outcome_forced_ = false;
    LgTextureSetMipmapping(1);
    LgTextureSetAutoMipmapping(1);
    if (TvEffects().shrapnel_load) TvEffects().shrapnel_load();

    ITvMission* mission = nullptr;
    if (OmCreateInstance(CLSID_TavrinMission, nullptr, 0, IID_ITvMission,
                         reinterpret_cast<void**>(&mission)) < 0 ||
        !mission) {
        TvLogError(kSource, __LINE__, "Could not create the mission component");
        return OM_E_FAIL;
    }
    SetMission(mission);
    mission->Release();
    TvShowLoadingProgress(0.05f);
    const OmResult built = build_mission();
    TvShowLoadingProgress(0.9f);
    LgTextureSetMipmapping(0);
    LgTextureSetAutoMipmapping(0);
    if (built < 0) return OM_E_FAIL;

    CollectTakeoffPoints();
    if (SetUpRasters() < 0) return OM_E_FAIL;
    if (!player_planes_ && settings_->player_count > 0) return OM_E_FAIL;
    settings_->placed_player_count = 0;
    place_player_planes(settings_->placed_player_count);
    ITvObject* first = player_plane(0);
    if (first && viewport_cameras_[0]) {
        viewport_cameras_[0]->SetProperty(kTvCamPropFollowed, reinterpret_cast<uintptr_t>(first));
        first->SetProperty(kTvPlanePropCamera, reinterpret_cast<uintptr_t>(viewport_cameras_[0]));
    }

    TvShowLoadingProgress(0.95f);
    if (set_up_weapons() < 0) return OM_E_FAIL;
    if (SetUpParticles() < 0) return OM_E_FAIL;
    if (TvEffects().explosions_init)
        TvEffects().explosions_init(settings_->effects_detail, landscape_);

    run_state_ = kTvRunStateRunning;
    default_ground_archetype_ = 0;
    outcome_ = 0;
    pointer_x_ = pointer_y_ = 0;
    TvShowLoadingProgress(1.0f);
    editor_switch_ = editing_enabled(settings_->settings_sheet) ? 1 : 0;
    clock_offsets_[0] = clock_offsets_[1] = 0;
    reinforcements_used_ = 0;
    return OM_S_OK;
}

OmResult TavrinGame::Restart() {
    if (!settings_ || !mission_) return OM_E_FAIL;
    platform::Sleep(kRestartPauseMs);
    start_mission_again();
    return OM_S_OK;
}

void TavrinGame::start_mission_again() {
    frames_since_start_ = 0.0f;
    release_registered_objects(false);
    ground_archetype_count_ = 0;
    release_player_slots();
    free_default_plane_entry();
    if (weapons_) weapons_->Reset();
    view_position_ = nullptr;
    outcome_forced_ = false;
    outcome_ = 0;
    // The viewport camera stays the game's; it goes back into the list so it keeps following
    // its plane.
    register_viewports();
    mission_->Start(this);
    adopt_ground_archetypes();
    settings_->placed_player_count = 0;
    for (ITvCamera* camera : viewport_cameras_) {
        if (!camera) continue;
        camera->SetProperty(kTvCamPropViewMode, kCameraChaseView);
        camera->SetProperty(kTvCamPropFarClip, reinterpret_cast<uintptr_t>(&settings_->far_clip));
    }
    CollectTakeoffPoints();
    place_player_planes(settings_->local_player);
    for (int32_t i = 0; i < kTvMaxViewports; ++i)
        if (ITvObject* plane = player_plane(i); plane && viewport_cameras_[i])
            plane->SetProperty(kTvPlanePropCamera,
                               reinterpret_cast<uintptr_t>(viewport_cameras_[i]));
    if (particles_) particles_->Clear();
    if (TvEffects().explosions_init)
        TvEffects().explosions_init(settings_->effects_detail, landscape_);
    ITvObject* local = player_plane(settings_->local_player);
    if (local && TvGameModuleHooks().install_control_bindings)
        TvGameModuleHooks().install_control_bindings(this, local, settings_->local_player);
    run_state_ = kTvRunStateRunning;
    default_ground_archetype_ = 0;
    outcome_ = 0;
    pointer_x_ = pointer_y_ = 0;
    reinforcements_used_ = 0;
}

OmResult TavrinGame::ForceOutcome(int32_t outcome) {
    outcome_ = outcome;
    outcome_forced_ = true;
    return OM_S_OK;
}

OmResult TavrinGame::build_mission() {
    // The chosen plane is read and, when the settings name none, learnt from the mission.
    char plane_name[kTvPlayerPlaneNameSize] = {};
    std::strncpy(plane_name, settings_->plane_id, sizeof(settings_->plane_id) - 1);
    const OmResult loaded = mission_->LoadMission(settings_->mission_number, plane_name);
    std::strncpy(settings_->plane_id, plane_name, sizeof(settings_->plane_id) - 1);
    settings_->plane_id[sizeof(settings_->plane_id) - 1] = '\0';
    if (loaded < 0) {
        TvLogError(kSource, __LINE__, "Could not load the mission");
        return OM_E_FAIL;
    }
    const OmResult started = mission_->Start(this);
    adopt_ground_archetypes();
    return started;
}

void TavrinGame::adopt_ground_archetypes() {
    // The mission's ground kinds are the ones SpawnGroundObject makes objects of.
    ground_archetype_count_ = 0;
    const auto* mission = static_cast<const TavrinMission*>(mission_);
    for (int32_t i = 0; i < mission->ground_kind_count; ++i)
        AddGroundArchetype(mission->ground_kind_names[i], mission->ground_kinds[i]);
}

void TavrinGame::register_viewports() {
    for (ITvCamera* camera : viewport_cameras_)
        if (camera) AddObject(camera, kTvEventMaskViewport, kViewportUpdateFlags);
}

void TavrinGame::place_player_planes(int32_t default_slot) {
    for (int32_t i = 0; i < master_count_; ++i) {
        if (settings_->placed_player_count >= settings_->player_count) break;
        ITvObject* object = master_objects_[i];
        if (!object) continue;
        const auto flags = static_cast<uint32_t>(property_of(object, kTvPropFlags));
        if ((flags & kTvFlagPlane) == 0 ||
            (property_of(object, kTvPropGroupMask) & kPlayersGroupBit) == 0)
            continue;
        if (settings_->plane_id[0] != '\0') mission_->ChangePlaneType(object, settings_->plane_id);
        object->SetProperty(kTvPropFlags, flags | kTvFlagPlayerPlane);
        SetPlayerPlane(object, 1, settings_->local_player);
        ++settings_->placed_player_count;
    }
    if (settings_->placed_player_count == 0 && settings_->suppress_default_plane == 0)
        make_default_plane(default_slot);
}

void TavrinGame::make_default_plane(int32_t slot) {
    free_default_plane_entry();
    auto* entry = static_cast<TvMissionAirEntry*>(OmAllocMemory(sizeof(TvMissionAirEntry)));
    if (!entry) return;
    new (entry) TvMissionAirEntry{};
    default_plane_entry_ = entry;
    // Without a chosen plane the mission's first plane type stands in.
    if (mission_->FillAirEntry(settings_->plane_id, entry) < 0) {
        auto* mission = static_cast<TavrinMission*>(mission_);
        if (mission->plane_kind_count == 0 ||
            mission_->FillAirEntry(mission->plane_kind_names[0], entry) < 0) {
            TvLogError2(kSource, __LINE__, "No plane type for the player:", settings_->plane_id);
            return;
        }
    }
    entry->id = kDefaultPlaneId;
    if (takeoff_count_ > 0) {
        const TvTakeoffPoint& point = takeoff_points_[LgRandom() % uint32_t(takeoff_count_)];
        if (point.matrix) entry->matrix = *point.matrix;
    } else if (world_) {
        const LgBBox* box = LgWorldGetBoundingBox(world_);
        LgVector d{(box->sup.x - box->inf.x) * 0.25f, (box->sup.y - box->inf.y) * 0.25f,
                   (box->sup.z - box->inf.z) * 0.25f};
        if (settings_->placed_player_count & 1) d.x *= 3.0f;
        if (LgRandom() & 1) d.z *= 3.0f;
        const LgVector position{box->inf.x + d.x, box->inf.y + d.y, box->inf.z + d.z};
        entry->matrix = {};
        entry->matrix.right = {1, 0, 0};
        entry->matrix.up = {0, 1, 0};
        entry->matrix.at = {0, 0, 1};
        entry->matrix.flags = kIdentityMatrixFlags;
        entry->matrix.pos = position;
        entry->goals[0] = {};
        entry->goals[0].type = kTvGoalStartInFlight;
        entry->goals[0].position = position;
        entry->goal_count = 1;
    }
    entry->flags |= kTvFlagPlane | kTvFlagPlayerPlane;
    entry->group_mask |= kPlayersGroupBit;
    ITvObject* plane = mission_->SpawnAirEntry(entry, CLSID_TavrinAIPlane);
    if (!plane) {
        TvLogError2(kSource, __LINE__, "Could not create the player's plane:", settings_->plane_id);
        return;
    }
    SetPlayerPlane(plane, 1, slot);
    plane->Release();
}

void TavrinGame::free_default_plane_entry() {
    OmFreeMemory(default_plane_entry_);
    default_plane_entry_ = nullptr;
}

OmResult TavrinGame::set_up_weapons() {
    ITvObject* weapons = nullptr;
    const OmResult r = OmCreateInstance(CLSID_TavrinWeapon, nullptr, 0, IID_ITvObject,
                                        reinterpret_cast<void**>(&weapons));
    // A build without the weapons component still flies its missions, unarmed.
    if (r == OM_E_CLASSNOTAVAILABLE || r == OM_E_NOTFOUND) {
        TvLogError(kSource, __LINE__, "The weapons component is not available");
        return OM_S_OK;
    }
    if (r < 0 || !weapons) return OM_E_FAIL;
    TvCreateDescriptor descriptor{};
    descriptor.game = this;
    weapons->Create(&descriptor);
    weapons->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape_));
    weapons->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world_));
    SetWeapons(weapons);
    weapons->Release();
    return OM_S_OK;
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
    free_default_plane_entry();
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
