// TavrinGame: the singleton, its clock queries, and the small operations of the game
// interface that pass through to the mission, the particles and the objects.
#include "game/rules/tavrin_game.h"

#include "engine/world/lg_random.h"
#include "framework/platform/profile.h"
#include "framework/platform/timer.h"
#include "game/tv_frontend_services.h"

#include <cstring>

TavrinGame* TavrinGame::instance = nullptr;

namespace {

constexpr const char* kSource = "tvopgame";
constexpr float kCentredTextCharWidth = 2.3f;

OmResult create_game(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(TavrinGame::instance, outer, out);
}

const OmClassRecord classes[] = {{&CLSID_TavrinGame, nullptr, nullptr, create_game, "TavrinGame"}};

} // namespace

OM_DEFINE_MODULE(TavrinGame, classes)

float TvCurrentFrameTime = 0.0f;
LgCamera* TvCurrentCamera = nullptr;

int32_t TvGameGetMissionNumber(ITvGame* game) {
    auto* g = static_cast<TavrinGame*>(game);
    return g && g->settings() ? g->settings()->mission_number : 0;
}

TavrinGame::~TavrinGame() {
    release_player_slots();
    OmFreeMemory(player_planes_);
    if (instance == this) instance = nullptr;
}

OmResult TavrinGame::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_ITvGame, static_cast<ITvGame*>(this)},
                               {&IID_ITvGameProximity, static_cast<ITvGameProximity*>(this)}});
}

uint32_t TavrinGame::Release() {
    if (ref_count_ != 1) return --ref_count_;
    delete this;
    return 0;
}

OmResult TavrinGame::ResetClock() {
    clock_ = 0;
    return OM_S_OK;
}

float TavrinGame::GetTimeSeconds() {
    return static_cast<float>(clock_ + clock_offsets_[0] + clock_offsets_[1]) * 0.001f;
}

int32_t TavrinGame::GetTimeMs() {
    return clock_ + clock_offsets_[0] + clock_offsets_[1];
}

void TavrinGame::read_clock() {
    if (settings_ && settings_->timer)
        clock_ = static_cast<int32_t>(settings_->timer->GetTotalMs());
}

OmResult TavrinGame::BroadcastEvent(const TvEvent* event, uint32_t mask) {
    for (int32_t i = 0; i < master_count_; ++i)
        if (master_objects_[i] && (master_event_masks_[i] & mask) != 0)
            master_objects_[i]->HandleEvent(event);
    return OM_S_OK;
}

OmResult TavrinGame::EmitParticles(int32_t kind, const void* record) {
    return particles_ ? particles_->Emit(kind, record) : OM_E_FAIL;
}

OmResult TavrinGame::SetLandscape(ITvBSPLandscape* landscape) {
    if (landscape) landscape->AddRef();
    // The game holds one landscape; the one it replaces is let go.
    if (landscape_) landscape_->Release();
    landscape_ = landscape;
    world_ = nullptr;
    if (landscape_) landscape_->GetWorld(&world_);
    return OM_S_OK;
}

ITvObject* TavrinGame::GetRandomPlayer(uintptr_t, uintptr_t, uintptr_t) {
    if (!player_planes_ || player_slot_count_ <= 0) return nullptr;
    return player_planes_[LgRandom() % static_cast<uint32_t>(player_slot_count_)];
}

ITvObject* TavrinGame::player_plane(int32_t slot) const {
    return player_planes_ && slot >= 0 && slot < player_slot_count_ ? player_planes_[slot]
                                                                    : nullptr;
}

int32_t TavrinGame::GetMissionResult() {
    return mission_ ? mission_->GetScore() : 0;
}

OmResult TavrinGame::DrawText(float x, float y, const char* text, uint32_t colour) {
    return mission_ && text ? mission_->DrawText(x, y, text, colour) : OM_E_FAIL;
}

OmResult TavrinGame::DrawCentredText(float y, const char* text, uint32_t colour) {
    if (!text) return OM_E_FAIL;
    const int32_t width = frame_raster_ ? LgRasterGetWidth(frame_raster_)
                          : settings_   ? settings_->width
                                        : 0;
    const float x = static_cast<float>(width) * 0.5f -
                    kCentredTextCharWidth * static_cast<float>(std::strlen(text));
    return DrawText(x, y, text, colour);
}

OmResult TavrinGame::QueueDeferredAtomic(LgAtomic* atomic) {
    if (deferred_count_ >= kTvMaxDeferredAtomics) return OM_E_FAIL;
    deferred_atomics_[deferred_count_++] = atomic;
    return OM_S_OK;
}

int32_t TavrinGame::GetCheat(int32_t code) {
    switch (code) {
    case kTvCheatAlwaysOn: return 1;
    case kTvCheatInfinite: return settings_ ? settings_->infinite : 0;
    case kTvCheatInvulnerable: return settings_ ? settings_->invulnerable : 0;
    default: return 0;
    }
}

float TavrinGame::GetEnduranceScaleSide1() {
    if (!settings_) return 1.0f;
    return settings_->side_flag ? settings_->standard_endurance : settings_->enemy_endurance;
}

float TavrinGame::GetEnduranceScaleSide2() {
    if (!settings_) return 1.0f;
    return settings_->side_flag ? settings_->enemy_endurance : settings_->standard_endurance;
}

OmResult TavrinGame::DealDamage(ITvObject* object, float amount, int32_t attacker_id) {
    if (object) object->AddDamage(amount, attacker_id);
    return OM_S_OK;
}

OmResult TavrinGame::GetLocalPlayerScore(TvPlayerScore* out) {
    if (!out) return OM_E_FAIL;
    *out = {};
    ITvObject* plane = settings_ ? player_plane(settings_->local_player) : nullptr;
    if (!plane) return OM_S_OK;
    int32_t* fields[] = {&out->kills_side_a, &out->kills_side_b, &out->shots_fired,
                         &out->hits_scored};
    constexpr uint32_t kScoreProperties[] = {518, 519, 520, 521};
    for (int i = 0; i < 4; ++i) {
        uintptr_t value = 0;
        if (plane->GetProperty(kScoreProperties[i], &value) >= 0)
            *fields[i] = static_cast<int32_t>(value);
    }
    return OM_S_OK;
}

int32_t TavrinGame::GetReinforcementsEarned(int32_t value) {
    return mission_ ? mission_->GetReinforcementsEarned(value) : 0;
}

void TavrinGame::SetMission(ITvMission* mission) {
    if (mission) mission->AddRef();
    if (mission_) mission_->Release();
    mission_ = mission;
}

void TavrinGame::SetWeapons(ITvObject* weapons) {
    if (weapons) weapons->AddRef();
    if (weapons_) weapons_->Release();
    weapons_ = weapons;
}

OmResult TavrinGame::AddGroundArchetype(const char* name, ITvObject* archetype) {
    if (!name || !archetype) return OM_E_FAIL;
    if (ground_archetype_count_ >= kTvMaxGroundArchetypes) {
        TvLogError2(kSource, __LINE__, "Too many ground archetypes:", name);
        return OM_E_FAIL;
    }
    const int32_t i = ground_archetype_count_++;
    ground_archetypes_[i] = archetype;
    std::strncpy(ground_archetype_names_[i], name, sizeof(ground_archetype_names_[i]) - 1);
    ground_archetype_names_[i][sizeof(ground_archetype_names_[i]) - 1] = '\0';
    return OM_S_OK;
}

void TavrinGame::mark(const char* stage) {
    if (settings_ && settings_->profiler) settings_->profiler->Sample(stage);
}
