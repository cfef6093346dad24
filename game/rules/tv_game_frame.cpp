// The game's frame: the update stages (clock, objects, fixed-step weapons, particles,
// mission, landscape, outcome, shrapnel) and the render passes with the deferred red pass.
#include "framework/platform/timer.h"
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kMaxFrameTime = 0.1f;
constexpr float kWeaponStep = 1.0f / 60.0f;
constexpr int32_t kStateFogEnable = 13;
constexpr int32_t kStateFogColour = 14;
constexpr int32_t kStateFogTable = 17;
constexpr int32_t kStateDeferral = 18;
constexpr int32_t kStateDeferralSub = 19;
constexpr int32_t kStateFilterMode = 7;
constexpr size_t kFogTableSize = 256;
constexpr uint8_t kRedPassFog = 128;
constexpr uintptr_t kRedPassColour = 0xffff0000; // opaque red as A, R, G, B
constexpr uint32_t kCameraClearFlags = 3;
constexpr float kReinforcementsX = 10.0f;
constexpr float kReinforcementsY = 440.0f;

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

} // namespace

OmResult TavrinGame::Update() {
    TvUpdateSounds();
    read_clock();
    if (run_state_ == kTvRunStateRunning) {
        frame_time_ = static_cast<float>(clock_ - previous_clock_) * 0.001f;
        if (frame_time_ > kMaxFrameTime) frame_time_ = kMaxFrameTime;
        previous_clock_ = clock_;
        frames_since_start_ += 1.0f;
        if (frames_since_start_ < 2.0f) frame_time_ = 0.0f;
    } else {
        frame_time_ = 0.0f;
        clock_ = previous_clock_;
    }
    TvCurrentFrameTime = frame_time_;

    // From here to the end of the weapons' steps every move is an object's own update, and
    // the proximity grids follow each one.
    proximity_.open();
    for (int32_t i = 0; i < master_count_; ++i) {
        if (master_objects_[i] && (master_update_flags_[i] & kTvUpdateEveryFrame) != 0) {
            master_objects_[i]->Update();
            proximity_.moved(i);
        }
    }
    mark("Object Update");

    const float real_frame_time = frame_time_;
    float t = frame_time_ + weapon_time_;
    weapon_time_ = 0.0f;
    while (t >= 0.0f) {
        if (t < kWeaponStep) {
            weapon_time_ = t;
            break;
        }
        frame_time_ = kWeaponStep;
        if (weapons_) weapons_->Update();
        t -= kWeaponStep;
    }
    proximity_.close();
    mark("Weapons Update");
    frame_time_ = real_frame_time;

    if (particles_) particles_->Update();
    mark("Particles Update");
    if (mission_) mission_->Update();
    mark("Mission Update");
    if (landscape_) {
        uintptr_t engine_camera = 0;
        if (viewport_cameras_[0])
            viewport_cameras_[0]->GetProperty(kTvCamPropEngineCamera, &engine_camera);
        landscape_->UpdateView(reinterpret_cast<LgCamera*>(engine_camera));
    }
    mark("Landscape Update");
    update_outcome();
    if (TvEffects().shrapnel_move) TvEffects().shrapnel_move();
    return OM_S_OK;
}

void TavrinGame::update_outcome() {
    // The mission editor works on a held mission: nothing is judged while editing.
    if (outcome_ != 0 || outcome_forced_ || run_state_ == kTvRunStateEditing) return;
    if (mission_) outcome_ = mission_->Evaluate();
    bool player_alive = false;
    for (int32_t i = 0; i < player_slot_count_ && !player_alive; ++i)
        player_alive = player_planes_[i] && player_planes_[i]->IsDead() == 0;
    if (!player_alive) outcome_ = kTvOutcomeNoPlayer;
}

OmResult TavrinGame::Render(TvOverlayCallback callback, void* context) {
    deferred_count_ = 0;
    ITvCamera* camera = viewport_cameras_[0];
    uintptr_t engine_camera_value = 0;
    if (camera) camera->GetProperty(kTvCamPropEngineCamera, &engine_camera_value);
    auto* engine_camera = reinterpret_cast<LgCamera*>(engine_camera_value);
    TvCurrentCamera = engine_camera;
    if (TvEffects().explosions_update) TvEffects().explosions_update(engine_camera, frame_time_);
    mark("Explosion update");
    if (!camera || camera->BeginUpdate() < 0) return OM_S_OK;

    LgRGBA clear{0, 0, 0, 0};
    if (landscape_) landscape_->GetFogColour(&clear);
    mark("Before Camera Clear");
    if (engine_camera) LgCameraClear(engine_camera, &clear, kCameraClearFlags);
    mark("Camera Clear");
    uintptr_t position = 0;
    camera->GetProperty(kTvPropPosition, &position);
    view_position_ = reinterpret_cast<const LgVector*>(position);
    if (landscape_) landscape_->RenderSky(camera);
    mark("Backdrop Render");
    set_state(kStateDeferral, 1);
    set_state(kStateFilterMode, 4);
    camera->RenderWorld();
    mark("World Render");
    set_state(kStateDeferralSub, 1);
    for (int32_t i = 0; i < master_count_; ++i)
        if (master_objects_[i] && (master_update_flags_[i] & kTvDrawEffects) != 0)
            master_objects_[i]->Render();
    set_state(kStateDeferral, 0);
    DrawDeferred();
    mark("Deferred (Red) Render");
    set_state(kStateFogEnable, 0);
    mark("Object Effects Render");
    if (weapons_) weapons_->Render();
    mark("Weapons Render");
    if (mission_ && run_state_ == kTvRunStateEditing) {
        mission_->DrawEditorInfo(camera);
        draw_editor_note();
    }
    if (mission_) mission_->DrawClock(camera);
    set_state(kStateFogEnable, 1);
    if (particles_) particles_->Render(engine_camera);
    mark("Particle Render");
    if (TvEffects().explosions_render) TvEffects().explosions_render(engine_camera);
    mark("Explosion Render");
    set_state(kStateFogEnable, 0);
    if (landscape_) landscape_->RenderLensFlare(camera);
    camera->Render();
    mark("Camera Render");

    const int32_t earned = GetReinforcementsEarned(settings_ ? settings_->reinforcement_value : 0);
    if (earned != 0) {
        char line[64];
        std::snprintf(line, sizeof(line), "Reinforcements: %d", earned - reinforcements_used_);
        DrawText(kReinforcementsX, kReinforcementsY, line, 0);
    }
    if (callback) callback(engine_camera ? LgCameraGetRaster(engine_camera) : nullptr, context);
    camera->EndUpdate();
    return OM_S_OK;
}

void TavrinGame::DrawDeferred() {
    // Both tables outlive the pass: a device may keep the table it was handed.
    static const auto red_table = [] {
        std::array<uint8_t, kFogTableSize> table;
        table.fill(kRedPassFog);
        return table;
    }();
    bool have_table = false;
    uintptr_t table = 0;
    if (LgRenderStateGet(kStateFogTable, &table) && table) {
        std::memcpy(saved_fog_table_, reinterpret_cast<const void*>(table), kFogTableSize);
        have_table = true;
    }
    uintptr_t saved_colour = 0;
    LgRenderStateGet(kStateFogColour, &saved_colour);

    set_state(kStateFogTable, reinterpret_cast<uintptr_t>(red_table.data()));
    set_state(kStateFogColour, kRedPassColour);
    for (int32_t i = 0; i < deferred_count_; ++i) {
        LgAtomic* atomic = deferred_atomics_[i];
        TvObjectFields* owner = TvAtomicGetOwner(atomic);
        if (!owner || !owner->self) continue;
        uintptr_t callback = 0;
        owner->self->GetProperty(kTvPropRenderHook, &callback);
        if (callback) reinterpret_cast<LgAtomicCallBackRender>(callback)(atomic);
    }
    deferred_count_ = 0;
    if (have_table) set_state(kStateFogTable, reinterpret_cast<uintptr_t>(saved_fog_table_));
    set_state(kStateFogColour, saved_colour);
}
