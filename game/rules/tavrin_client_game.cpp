// TavrinClientGame: the singleton and its interfaces, the session's lifecycle around the game's,
// the player slots and records, the world sync after every update, the local plane's report,
// damage dealt by the local player, the kill bookkeeping, the clock and the nearest-object
// search of a match.
#include "game/rules/tavrin_client_game.h"

#include "engine/world/lg_world_tie.h"
#include "framework/core/memory.h"
#include "framework/platform/timer.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_plane.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"
#include "platform/clock.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

TavrinClientGame* TavrinClientGame::instance = nullptr;

namespace {

constexpr float kNearestStart = 40000.0f;
constexpr float kSelfDistanceSquared = 0.1f;
constexpr uint32_t kLocalPlayerFlag = 0x10;
constexpr uint32_t kMaxReportGap = 65535;

OmResult create_client_game(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(TavrinClientGame::instance, outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_TavrinClientGame, nullptr, nullptr, create_client_game, "TavrinClientGame"}};

uintptr_t property_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (!object || object->GetProperty(id, &value) < 0) return 0;
    return value;
}

float float_property(ITvObject* object, uint32_t id) {
    return std::bit_cast<float>(static_cast<uint32_t>(property_of(object, id)));
}

bool is_net_plane(ITvObject* object) {
    IUnknown* net = nullptr;
    if (!object || object->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&net)) < 0 ||
        !net)
        return false;
    net->Release();
    return true;
}

} // namespace

OM_DEFINE_MODULE(TavrinClientGame, classes)

OmResult TvRegisterClientGameClass(IObjectManager* manager) {
    return TavrinClientGame_RegisterClasses(manager);
}

OmResult TvClientGameSystemEvent(uintptr_t context, OmTransportMessage* event) {
    auto* client = reinterpret_cast<ITvClientGame*>(context);
    if (client) client->OnSystemEvent(event);
    // A refusing callback would stop the queue's receiving for this pump.
    return OM_S_OK;
}

OmResult TvClientGameMessageHandler(void* context, uint32_t, IBinaryStreamComposer* packet,
                                    uint16_t type, uint16_t flags) {
    auto* client = static_cast<ITvClientGame*>(context);
    if (client) client->HandleMessage(packet, type, flags);
    return OM_E_FAIL;
}

TavrinClientGame::~TavrinClientGame() {
    remove_report();
    free_records();
    if (network_client_) network_client_->Release();
    network_client_ = nullptr;
    if (instance == this) instance = nullptr;
    // The planes go with the game's own teardown; their entries only after them.
    release_registered_objects(true);
    release_player_slots();
    free_entries();
}

OmResult TavrinClientGame::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_ITvGame, static_cast<ITvGame*>(this)},
                               {&IID_ITvClientGame, static_cast<ITvClientGame*>(this)},
                               {&IID_ITvGameProximity, static_cast<ITvGameProximity*>(this)}});
}

TvPlayerInfo* TavrinClientGame::record(int32_t slot) const {
    return slot >= 0 && slot < static_cast<int32_t>(records_.size()) ? records_[slot].get()
                                                                     : nullptr;
}

void TavrinClientGame::free_records() {
    for (auto& r : records_) r.reset();
}

void TavrinClientGame::free_entries() {
    for (TvMissionAirEntry* entry : entries_) OmFreeMemory(entry);
    entries_.clear();
}

template <class Message>
OmResult TavrinClientGame::send(const Message& message) {
    if (!network_client_) return OM_E_FAIL;
    IBinaryStreamComposer* packet = network_client_->NewPacket();
    if (!packet) return OM_E_FAIL;
    if (TvEncode(packet, message) < 0) {
        packet->Release();
        return OM_E_FAIL;
    }
    return network_client_->Send(packet, static_cast<uint16_t>(Message::type), Message::flags);
}

// The messages the client game's other parts send.
template OmResult TavrinClientGame::send(const TvToServerChat&);
template OmResult TavrinClientGame::send(const TvToServerEcho&);

// --- Lifecycle ---------------------------------------------------------------------------

OmResult TavrinClientGame::Create(TvGameSettings* settings) {
    free_records();
    const OmResult r = TavrinGame::Create(settings);
    if (r < 0) return r;
    IOmAerovantClient* client = nullptr;
    if (settings->network_client)
        settings->network_client->QueryInterface(IID_IOmAerovantClient,
                                                 reinterpret_cast<void**>(&client));
    if (network_client_) network_client_->Release();
    network_client_ = client;
    for (std::string& line : chat_lines_) line.clear();
    chat_line_.clear();
    shift_held_ = false;
    records_.clear();
    records_.resize(static_cast<size_t>(player_slot_count_));
    return OM_S_OK;
}

OmResult TavrinClientGame::Restart() {
    // A match is not restarted here: the server is asked for a respawn.
    send(TvToServerRespawnRequest{});
    return OM_S_OK;
}

OmResult TavrinClientGame::Destroy() {
    remove_report();
    const OmResult r = TavrinGame::Destroy();
    free_entries();
    free_records();
    records_.clear();
    if (network_client_) network_client_->Release();
    network_client_ = nullptr;
    overlay_callback_ = nullptr;
    overlay_context_ = nullptr;
    chat_line_.clear();
    for (std::string& line : chat_lines_) line.clear();
    if (settings_) {
        settings_->placed_player_count = 0;
        settings_->viewport_count = 0;
    }
    return r;
}

OmResult TavrinClientGame::Update() {
    const OmResult r = TavrinGame::Update();
    SyncPlayerPlanes();
    return r;
}

void TavrinClientGame::update_outcome() {
    // A match has no goals and no time limit; its outcome is written by the messages and by
    // the local plane's end (SyncPlayerPlanes). An empty slot is no reason to end it.
    if (outcome_ != 0 || outcome_forced_ || run_state_ == kTvRunStateEditing) return;
    if (mission_) outcome_ = mission_->Evaluate();
}

OmResult TavrinClientGame::ClearOutcome() {
    outcome_ = 0;
    outcome_forced_ = false;
    return OM_S_OK;
}

OmResult TavrinClientGame::SetClock(int32_t server_time, int32_t adjustment) {
    const uint32_t now =
        settings_ && settings_->timer ? static_cast<uint32_t>(settings_->timer->GetTotalMs()) : 0;
    clock_offsets_[0] = static_cast<int32_t>(static_cast<uint32_t>(server_time) - now);
    clock_offsets_[1] = adjustment;
    return OM_S_OK;
}

OmResult TavrinClientGame::DrawText(float x, float y, const char* text, uint32_t colour) {
    constexpr int32_t kStateFilterMode = 7;
    uintptr_t previous = 0;
    LgRenderStateGet(kStateFilterMode, &previous);
    LgRenderStateSet(kStateFilterMode, reinterpret_cast<void*>(uintptr_t{1}));
    const OmResult r = TavrinGame::DrawText(x, y, text, colour);
    LgRenderStateSet(kStateFilterMode, reinterpret_cast<void*>(previous));
    return r;
}

// --- Players -----------------------------------------------------------------------------

OmResult TavrinClientGame::SetPlayerPlane(ITvObject* plane, int32_t with_camera, int32_t slot) {
    if (slot < 0 || slot >= player_slot_count_) return OM_E_FAIL;
    if (slot < static_cast<int32_t>(records_.size()) && !records_[slot]) {
        records_[slot] = std::make_unique<TvPlayerInfo>();
        records_[slot]->scale = 0.0f;
    }
    return TavrinGame::SetPlayerPlane(plane, with_camera, slot);
}

OmResult TavrinClientGame::AddPlayer(ITvObject* plane, int32_t local, const TvPlayerInfo* info,
                                     int32_t slot) {
    if (!plane || !info || slot < 0 || slot >= static_cast<int32_t>(records_.size()))
        return OM_E_FAIL;
    const auto flags = static_cast<uint32_t>(property_of(plane, kTvPropFlags));
    plane->SetProperty(kTvPropFlags, flags | (local ? kLocalPlayerFlag : kTvFlagNetworkDriven));
    // `info` may be the slot's own record (ChangeMission): copied before it is replaced.
    auto copy = std::make_unique<TvPlayerInfo>(*info);
    copy->scale = 1.0f;
    records_[slot] = std::move(copy);
    return TavrinGame::SetPlayerPlane(plane, local, slot);
}

void TavrinClientGame::remove_player(int32_t slot) {
    if (slot < 0 || slot >= static_cast<int32_t>(records_.size())) return;
    records_[slot].reset();
    ITvObject* plane = player_plane(slot);
    if (!plane) return;
    plane->AddRef();
    RemoveObject(plane);
    TavrinGame::SetPlayerPlane(nullptr, 0, slot);
    plane->Release();
}

OmResult TavrinClientGame::DeductKill(int32_t slot) {
    TvPlayerInfo* r = record(slot);
    if (!r || slot >= static_cast<int32_t>(TV_PLAYER_SLOTS)) return OM_E_FAIL;
    --r->kills;
    TvToServerKillTaken m;
    m.slot = static_cast<uint32_t>(slot);
    send(m);
    return OM_S_OK;
}

OmResult TavrinClientGame::OnSystemEvent(const OmTransportMessage* event) {
    if (!event) return OM_E_FAIL;
    if (event->kind == OM_TRANSPORT_SESSION_LOST) {
        // Without the session the match cannot go on: ended as by message 48.
        outcome_ = kTvOutcomeDisconnected;
        return OM_E_FAIL;
    }
    if (event->kind != OM_TRANSPORT_PORT_DESTROYED || event->sender == 0) return OM_E_FAIL;
    const int32_t local = GetLocalSlot();
    for (int32_t slot = 0; slot < static_cast<int32_t>(records_.size()); ++slot) {
        const TvPlayerInfo* r = records_[slot].get();
        if (slot != local && r && r->networkId == event->sender) remove_player(slot);
    }
    return OM_E_FAIL;
}

// --- World sync and reports ----------------------------------------------------------------

void TavrinClientGame::SyncPlayerPlanes() {
    for (int32_t slot = 0; slot < static_cast<int32_t>(records_.size()); ++slot) {
        TvPlayerInfo* r = records_[slot].get();
        ITvObject* plane = player_plane(slot);
        if (!r || !plane) continue;
        const auto status = static_cast<int32_t>(property_of(plane, kTvPlanePropState));
        auto* clump = reinterpret_cast<LgClump*>(property_of(plane, kTvPropModel));
        if (clump) {
            LgWorld* in = LgClumpGetWorld(clump);
            if (status == kTvPlaneOffMap && in)
                LgWorldRemoveClump(in, clump);
            else if (status != kTvPlaneOffMap && !in && world_)
                LgWorldAddClump(world_, clump);
        }
        if (const auto* m = reinterpret_cast<const float*>(property_of(plane, kTvPropMatrix)))
            std::memcpy(r->matrix, m, sizeof r->matrix);
    }
    ITvObject* local = player_plane(GetLocalSlot());
    if (local && local->IsDead() != 0) {
        if (outcome_ == 0) outcome_ = kTvOutcomeLocalDeath;
        local->SetProperty(kTvPlanePropState, kTvPlaneOffMap);
    }
}

OmResult TavrinClientGame::SendObjectUpdate(ITvObject* object, uintptr_t) {
    const int32_t local = GetLocalSlot();
    if (!object || object != player_plane(local) || !network_client_) return OM_E_FAIL;
    const uint32_t now = platform::timeGetTime();
    const auto* state =
        reinterpret_cast<const TvPlaneStateRecord*>(property_of(object, kTvNetPropStateRecord));
    if (!state) return OM_E_FAIL;
    const auto last = static_cast<uint32_t>(property_of(object, kTvNetPropInterval));
    const float fraction = float_property(object, kTvPlanePropThrottle);
    object->SetProperty(kTvNetPropInterval, now);
    TvToServerPlaneReport m;
    m.time = static_cast<uint16_t>(std::min<uint32_t>(now - last, kMaxReportGap));
    const float clamped = std::clamp(std::isfinite(fraction) ? fraction : 0.0f, 0.0f, 1.0f);
    m.fraction = static_cast<uint8_t>(clamped * 255.0f);
    m.state = *state;
    m.state.slot = static_cast<uint32_t>(local);
    return send(m);
}

// --- Damage --------------------------------------------------------------------------------

OmResult TavrinClientGame::DealDamage(ITvObject* object, float amount, int32_t attacker_id) {
    ITvObject* local = player_plane(GetLocalSlot());
    if (!object || !local || attacker_id != static_cast<int32_t>(property_of(local, kTvPropId)))
        return OM_S_OK;
    const auto flags = static_cast<uint32_t>(property_of(object, kTvPropFlags));
    if ((flags & kTvFlagNetworkDriven) == 0) {
        object->AddDamage(amount, attacker_id);
        return OM_S_OK;
    }
    ITvPlane* plane = nullptr;
    if (object->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&plane)) >= 0 && plane) {
        TvPlaneFlashHit(static_cast<TavrinPlane*>(plane));
        plane->Release();
    }
    const auto target = static_cast<uint32_t>(property_of(object, kTvPropId));
    const auto attacker = static_cast<uint32_t>(attacker_id);
    // At most one unsent report per target and attacker: a waiting one for this pair is taken
    // back and added to; waiting reports for other pairs go back as they were.
    std::vector<TvToServerDamage> others;
    float total = amount;
    if (network_client_) {
        while (IBinaryStreamComposer* waiting = network_client_->Withdraw(
                   static_cast<uint16_t>(TvMessage::Damage), TvToServerDamage::flags)) {
            const auto pending = TvDecodeToServerDamage(waiting);
            waiting->Release();
            if (!pending) continue;
            if (pending->target == target && pending->attacker == attacker) {
                total += pending->damage;
                break;
            }
            others.push_back(*pending);
        }
    }
    for (const TvToServerDamage& other : others) send(other);
    TvToServerDamage m;
    m.target = target;
    m.attacker = attacker;
    m.damage = total;
    send(m);
    return OM_S_OK;
}

// --- Targets -------------------------------------------------------------------------------

ITvObject* TavrinClientGame::FindNearestObject(const LgVector* position) {
    if (!position) return nullptr;
    ITvObject* best = nullptr;
    float bound = kNearestStart;
    auto consider = [&](ITvObject* object, bool may_return) {
        if (!object || object->IsDead() != 0) return;
        const auto* p = reinterpret_cast<const LgVector*>(property_of(object, kTvPropPosition));
        if (!p) return;
        const float dx = p->x - position->x, dy = p->y - position->y, dz = p->z - position->z;
        const float d = dx * dx + dy * dy + dz * dz;
        if (!(d < bound) || !(d > kSelfDistanceSquared)) return;
        bound = d;
        // A plane the network does not drive still bounds the search, but is no target.
        best = may_return ? object : nullptr;
    };
    for (int32_t slot = 0; slot < player_slot_count_; ++slot) {
        ITvObject* plane = player_plane(slot);
        if (plane) consider(plane, is_net_plane(plane));
    }
    for (int32_t i = 0; i < master_count_; ++i) {
        ITvObject* object = master_objects_[i];
        IUnknown* ground = nullptr;
        if (!object ||
            object->QueryInterface(IID_ITvGroundObject, reinterpret_cast<void**>(&ground)) < 0 ||
            !ground)
            continue;
        ground->Release();
        consider(object, true);
    }
    return best;
}
