// The game's input dispatch, player slots and viewports.
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "framework/platform/timer.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tv_game_hooks.h"
#include "game/tv_frontend_services.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kPointerMin = 8;
constexpr int32_t kPointerMax = 632;
constexpr int32_t kMaxPlayerSlots = 64;
constexpr uint32_t kPlaneCameraProperty = 516;
constexpr uint32_t kPlaneSoundNameProperty = 523;
constexpr uint32_t kPlaneEngineSoundProperty = 531;
constexpr size_t kSoundNameSize = 32;
constexpr int32_t kNetPlaneEngineFrequency = 22000;

TvGameHooks& installed_hooks() {
    static TvGameHooks hooks{};
    return hooks;
}

} // namespace

void TvInstallGameHooks(const TvGameHooks* hooks) {
    installed_hooks() = hooks ? *hooks : TvGameHooks{};
}

const TvGameHooks& TvGameModuleHooks() {
    return installed_hooks();
}

OmResult TavrinGame::BeginSession(TvGameSettings* settings) {
    if (!settings || settings->player_count < 0 || settings->player_count > kMaxPlayerSlots)
        return OM_E_FAIL;
    release_registered_objects(false);
    release_player_slots();
    OmFreeMemory(player_planes_);
    player_planes_ = nullptr;
    player_slot_count_ = 0;
    settings_ = settings;
    if (settings->player_count > 0) {
        const size_t bytes = sizeof(ITvObject*) * static_cast<size_t>(settings->player_count);
        player_planes_ = static_cast<ITvObject**>(OmAllocMemory(bytes));
        if (!player_planes_) return OM_E_OUTOFMEMORY;
        std::memset(player_planes_, 0, bytes);
        player_slot_count_ = settings->player_count;
    }
    clock_ = previous_clock_ = 0;
    frame_time_ = weapon_time_ = frames_since_start_ = 0.0f;
    view_position_ = nullptr;
    deferred_count_ = 0;
    takeoff_count_ = 0;
    ground_archetype_count_ = default_ground_archetype_ = 0;
    run_state_ = kTvRunStateRunning;
    outcome_ = 0;
    pointer_x_ = pointer_y_ = 0;
    clock_offsets_[0] = clock_offsets_[1] = 0;
    reinforcements_used_ = 0;
    return OM_S_OK;
}

void TavrinGame::release_registered_objects(bool destroy_each) {
    for (int32_t i = 0; i < master_count_; ++i) {
        ITvObject* object = master_objects_[i];
        master_objects_[i] = nullptr;
        master_event_masks_[i] = master_update_flags_[i] = 0;
        if (!object) continue;
        if (destroy_each) object->Destroy();
        object->Release();
    }
    master_count_ = 0;
    proximity_.forget_members();
    std::fill(std::begin(id_table_), std::end(id_table_), nullptr);
    for (TvGroupList& list : groups_) {
        std::fill(std::begin(list.members), std::begin(list.members) + list.count, nullptr);
        list.count = 0;
    }
}

void TavrinGame::release_player_slots() {
    for (int32_t i = 0; i < player_slot_count_; ++i) {
        if (player_planes_[i]) player_planes_[i]->Release();
        player_planes_[i] = nullptr;
    }
}

OmResult TavrinGame::HandleInput(const InputEvent* event) {
    if (!event) return OM_E_FAIL;
    const bool pointer_device = settings_ && (event->source == settings_->keyboard_device ||
                                              event->source == settings_->mouse_device);
    if (pointer_device && event->code == kTvInputPointerX)
        pointer_x_ =
            std::clamp(pointer_x_ + static_cast<int32_t>(event->value), kPointerMin, kPointerMax);
    if (pointer_device && event->code == kTvInputPointerY)
        pointer_y_ =
            std::clamp(pointer_y_ + static_cast<int32_t>(event->value), kPointerMin, kPointerMax);
    const bool timer_event =
        settings_ && event->source == settings_->timer_device && event->code == kTvInputTimerEvent;
    if (timer_event || take_editor_key(*event)) {
        // used up
    } else if (run_state_ == kTvRunStateEditing) {
        route_editor_input(*event);
    } else {
        const TvEvent wrapped{kTvEventInput, reinterpret_cast<uintptr_t>(event)};
        for (int32_t i = 0; i < master_count_; ++i)
            if (master_objects_[i] && (master_update_flags_[i] & kTvTakesInput) != 0)
                master_objects_[i]->HandleEvent(&wrapped);
    }
    read_clock();
    return OM_S_OK;
}

OmResult TavrinGame::SetPlayerPlane(ITvObject* plane, int32_t with_camera, int32_t slot) {
    if (!player_planes_ || slot < 0 || slot >= player_slot_count_) return OM_E_FAIL;
    if (plane) plane->AddRef();
    // The slot's earlier plane is let go, not leaked.
    if (player_planes_[slot]) player_planes_[slot]->Release();
    player_planes_[slot] = plane;
    if (with_camera && plane) {
        if (!viewport_cameras_[0] && CreateViewports(0, 0, settings_->width, settings_->height, 0,
                                                     1, 0, settings_->far_clip) < 0)
            return OM_E_FAIL;
        ITvCamera* camera = viewport_cameras_[0];
        camera->SetProperty(kTvCamPropFollowed, reinterpret_cast<uintptr_t>(plane));
        plane->SetProperty(kPlaneCameraProperty, reinterpret_cast<uintptr_t>(camera));
        if (TvGameModuleHooks().install_control_bindings)
            TvGameModuleHooks().install_control_bindings(this, plane, slot);
    }
    if (plane) give_net_plane_sound(plane);
    return OM_S_OK;
}

void TavrinGame::give_net_plane_sound(ITvObject* plane) {
    void* net = nullptr;
    if (plane->QueryInterface(IID_ITvNetPlane, &net) < 0 || !net) return;
    static_cast<IUnknown*>(net)->Release();
    if (plane == player_plane(settings_->local_player)) return;
    uintptr_t name_value = 0;
    if (plane->GetProperty(kPlaneSoundNameProperty, &name_value) < 0 || !name_value) return;
    char* name = reinterpret_cast<char*>(name_value);
    const size_t length = strnlen(name, kSoundNameSize);
    if (length + 2 < kSoundNameSize) std::memcpy(name + length, "AI", 3);
    uintptr_t held = 0;
    if (plane->GetProperty(kPlaneEngineSoundProperty, &held) >= 0 && held)
        TvSoundRelease(reinterpret_cast<ISound*>(held));
    plane->SetProperty(kPlaneEngineSoundProperty, 0);
    ISound* sound = TvGetSoundObject(name);
    if (!sound) return;
    TvSoundSetInt(sound, kTvSoundIntFrequency, kNetPlaneEngineFrequency);
    TvSoundSetInt(sound, kTvSoundIntFlag6, 1);
    TvSoundSetReal(sound, kTvSoundRealVolume, 1.0f);
    TvSoundPlay(sound, 1);
    plane->SetProperty(kPlaneEngineSoundProperty, reinterpret_cast<uintptr_t>(sound));
}

OmResult TavrinGame::CreateViewports(int32_t x, int32_t y, int32_t width, int32_t height,
                                     int32_t split, int32_t count, int32_t first, float far_clip) {
    if (count > 1) {
        const int32_t head = count / 2, rest = count - head;
        if (split) {
            const int32_t top = height / 2;
            if (CreateViewports(x, y, width, top, 0, head, first, far_clip) < 0) return OM_E_FAIL;
            return CreateViewports(x, y + top, width, height - top, 0, rest, first + head,
                                   far_clip);
        }
        const int32_t left = width / 2;
        if (CreateViewports(x, y, left, height, 1, head, first, far_clip) < 0) return OM_E_FAIL;
        return CreateViewports(x + left, y, width - left, height, 1, rest, first + head, far_clip);
    }
    if (count != 1 || first < 0 || first >= kTvMaxViewports || !frame_raster_ || !depth_raster_)
        return OM_E_FAIL;
    const LgRect rect{x, y, width, height};
    LgRaster* colour = LgRasterCreate(0, 0, 0, LgRasterTypeCamera | LgRasterDontAllocate);
    LgRaster* depth = LgRasterCreate(0, 0, 0, LgRasterTypeZBuffer | LgRasterDontAllocate);
    auto fail = [&] {
        if (colour) LgRasterDestroy(colour);
        if (depth) LgRasterDestroy(depth);
        return OM_E_FAIL;
    };
    if (!colour || !depth || !LgRasterSubRaster(colour, frame_raster_, &rect) ||
        !LgRasterSubRaster(depth, depth_raster_, &rect))
        return fail();
    ITvCamera* camera = nullptr;
    if (OmCreateInstance(CLSID_TavrinCamera, nullptr, 0, IID_ITvCamera,
                         reinterpret_cast<void**>(&camera)) < 0 ||
        !camera)
        return fail();
    // The camera owns its record once it has taken it.
    auto* record = static_cast<TvCameraDescriptor*>(OmAllocMemory(sizeof(TvCameraDescriptor)));
    if (!record) {
        camera->Release();
        return fail();
    }
    std::memset(static_cast<void*>(record), 0, sizeof(TvCameraDescriptor));
    record->game = this;
    record->world = world_;
    record->raster = colour;
    record->depth_raster = depth;
    record->far_clip = far_clip;
    if (camera->Create(record) < 0) {
        uintptr_t taken = 0;
        camera->GetProperty(kTvPropDescriptor, &taken);
        if (taken != reinterpret_cast<uintptr_t>(record)) OmFreeMemory(record);
        camera->Release();
        return fail();
    }
    if (AddObject(camera, kTvEventMaskViewport, kTvTakesInput | kTvUpdateEveryFrame) < 0) {
        camera->Release();
        return fail();
    }
    if (viewport_cameras_[first]) viewport_cameras_[first]->Release();
    viewport_cameras_[first] = camera;
    viewport_rasters_[first] = colour;
    viewport_depth_rasters_[first] = depth;
    return OM_S_OK;
}

OmResult TavrinGame::SetUpRasters() {
    if (!settings_) return OM_E_FAIL;
    if (settings_->frame_raster) {
        frame_raster_ = settings_->frame_raster;
        depth_raster_ = settings_->depth_raster;
        return frame_raster_ && depth_raster_ ? OM_S_OK : OM_E_FAIL;
    }
    frame_raster_ = LgRasterCreate(settings_->width, settings_->height, 0, LgRasterTypeCamera);
    depth_raster_ = LgRasterCreate(settings_->width, settings_->height, 0, LgRasterTypeZBuffer);
    return frame_raster_ && depth_raster_ ? OM_S_OK : OM_E_FAIL;
}
