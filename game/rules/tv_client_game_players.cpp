// TavrinClientGame: players' planes made from their records (joining, another player joining,
// the level switch after a map vote) and the local plane's place in the packet queue.
#include "framework/core/memory.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/tv_plane.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kLocalPlaneFlags = kTvFlagPlane | kTvFlagPlayerPlane;
constexpr uint32_t kRemotePlaneFlags = kTvFlagPlane;

void normalise_right(LgMatrix* m) {
    LgVector& r = m->right;
    const float l = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    if (l > 1e-6f && std::isfinite(l)) r = {r.x / l, r.y / l, r.z / l};
}

} // namespace

void TavrinClientGame::install_report(ITvObject* plane) {
    IPacketQueue* queue = network_client_ ? network_client_->GetPacketQueue() : nullptr;
    ITvPlane* net = nullptr;
    if (!queue || plane->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&net)) < 0 ||
        !net)
        return;
    auto* context = static_cast<TavrinNetPlane*>(net);
    net->Release();
    queue->SetOption(OM_QUEUE_PRESEND_CALLBACK, reinterpret_cast<uintptr_t>(&TvNetPlanePreSend));
    queue->SetOption(OM_QUEUE_PRESEND_CONTEXT, reinterpret_cast<uintptr_t>(context));
    report_installed_ = true;
}

void TavrinClientGame::remove_report() {
    IPacketQueue* queue = network_client_ ? network_client_->GetPacketQueue() : nullptr;
    if (report_installed_ && queue) {
        queue->SetOption(OM_QUEUE_PRESEND_CALLBACK, 0);
        queue->SetOption(OM_QUEUE_PRESEND_CONTEXT, 0);
    }
    report_installed_ = false;
}

OmResult TavrinClientGame::CreatePlayerPlane(const TvPlayerInfo* info, int32_t slot, int32_t local,
                                             ITvObject** out) {
    if (out) *out = nullptr;
    if (!info || !out || !mission_ || slot < 0 || slot >= player_slot_count_ ||
        slot >= static_cast<int32_t>(TV_PLAYER_SLOTS))
        return OM_E_FAIL;
    // Player planes take ids the mission leaves free (the server gives 5000 + slot).
    const auto id = static_cast<int32_t>(info->word);
    if (id < 0 || id >= kTvMaxIds || id_table_[id] || !TvNetPositionFits(info->matrix))
        return OM_E_FAIL;
    auto* entry = static_cast<TvMissionAirEntry*>(OmAllocMemory(sizeof(TvMissionAirEntry)));
    if (!entry) return OM_E_OUTOFMEMORY;
    new (entry) TvMissionAirEntry{};
    char plane_id[sizeof info->planeId];
    std::memcpy(plane_id, info->planeId, sizeof plane_id);
    plane_id[sizeof plane_id - 1] = '\0';
    if (mission_->FillAirEntry(plane_id, entry) < 0) {
        OmFreeMemory(entry);
        return OM_E_FAIL;
    }
    entry->id = id;
    static_assert(sizeof(LgMatrix) == sizeof info->matrix);
    std::memcpy(static_cast<void*>(&entry->matrix), info->matrix, sizeof entry->matrix);
    normalise_right(&entry->matrix);
    entry->flags = local ? kLocalPlaneFlags : kRemotePlaneFlags;
    entry->group_mask = info->sideFlags;
    ITvObject* plane = mission_->SpawnAirEntry(entry, CLSID_TavrinNetPlane);
    if (!plane) {
        OmFreeMemory(entry);
        return OM_E_FAIL;
    }
    entries_.push_back(entry);
    // The status first: only then may the local plane report its changes.
    if (info->status >= kTvPlaneFlying && info->status <= kTvPlaneOffMap)
        plane->SetProperty(kTvPlanePropState, static_cast<uintptr_t>(info->status));
    plane->SetProperty(kTvNetPropSlot, static_cast<uintptr_t>(slot));
    if (local) plane->SetProperty(kTvNetPropClient, reinterpret_cast<uintptr_t>(network_client_));
    *out = plane;
    return OM_S_OK;
}

OmResult TavrinClientGame::JoinLocalPlayer(const TvPlayerInfo* info, int32_t slot) {
    if (!info || !settings_ || record(slot) || player_plane(slot)) return OM_E_FAIL;
    ITvObject* plane = nullptr;
    const OmResult r = CreatePlayerPlane(info, slot, 1, &plane);
    if (r < 0) return r;
    settings_->local_player = slot;
    AddPlayer(plane, 1, info, slot);
    install_report(plane);
    if (IPacketQueue* queue = network_client_ ? network_client_->GetPacketQueue() : nullptr) {
        // The server's send interval and datagram size for this client, when it gives them.
        if (info->extra[2] > 0)
            queue->SetOption(OM_QUEUE_SEND_INTERVAL, static_cast<uintptr_t>(info->extra[2]));
        if (info->extra[3] > 0)
            queue->SetOption(OM_QUEUE_MAX_DATAGRAM, static_cast<uintptr_t>(info->extra[3]));
    }
    plane->Release();
    return OM_S_OK;
}

OmResult TavrinClientGame::ChangeMission(int32_t mission_number) {
    if (!settings_) return OM_E_FAIL;
    settings_->mission_number = mission_number;
    std::vector<std::unique_ptr<TvPlayerInfo>> players = std::move(records_);
    records_.clear();
    // The queue must not ask a plane that is about to go for its report.
    remove_report();
    // The session is torn down and built again on the new mission, as Destroy and Create do.
    TavrinGame::Destroy();
    free_entries();
    const OmResult created = TavrinGame::Create(settings_);
    records_.resize(static_cast<size_t>(player_slot_count_));
    if (created < 0) {
        // Without a session the players have nothing to fly in; their records stay.
        for (size_t i = 0; i < players.size() && i < records_.size(); ++i)
            records_[i] = std::move(players[i]);
        return OM_E_FAIL;
    }
    const int32_t local = GetLocalSlot();
    OmResult result = OM_S_OK;
    for (int32_t slot = 0; slot < static_cast<int32_t>(players.size()); ++slot) {
        if (!players[slot] || slot >= static_cast<int32_t>(records_.size())) continue;
        TvPlayerInfo info = *players[slot];
        info.kills = 0;
        if (add_player_again(info, slot, slot == local) < 0) result = OM_E_FAIL;
    }
    return result;
}

OmResult TavrinClientGame::add_player_again(const TvPlayerInfo& info, int32_t slot, bool local) {
    ITvObject* plane = nullptr;
    if (CreatePlayerPlane(&info, slot, local ? 1 : 0, &plane) < 0) {
        // The player stays listed; the plane comes with the next level.
        records_[slot] = std::make_unique<TvPlayerInfo>(info);
        return OM_E_FAIL;
    }
    AddPlayer(plane, local ? 1 : 0, &info, slot);
    if (local) install_report(plane);
    plane->Release();
    return OM_S_OK;
}

TvClientMatchState TavrinClientGame::SaveMatch() const {
    TvClientMatchState state;
    state.players.resize(records_.size());
    for (size_t slot = 0; slot < records_.size(); ++slot)
        if (records_[slot]) state.players[slot] = *records_[slot];
    state.local_slot = settings_ ? settings_->local_player : 0;
    state.outcome = outcome_;
    state.clock_offset = clock_offsets_[0];
    state.clock_adjustment = clock_offsets_[1];
    for (int32_t i = 0; i < kTvChatLineCount; ++i) state.chat_lines[i] = chat_lines_[i];
    return state;
}

OmResult TavrinClientGame::RestartMatch(const TvClientMatchState& state) {
    if (!settings_ || !mission_ || state.players.size() != records_.size()) return OM_E_FAIL;
    // The queue must not ask a plane that is about to go for its report, nor the camera
    // follow one.
    remove_report();
    for (ITvCamera* camera : viewport_cameras_)
        if (camera) camera->SetProperty(kTvCamPropFollowed, 0);
    free_records();
    settings_->local_player = state.local_slot;
    start_mission_again();
    // The old planes are gone with the registry, the slots and the weapons' shots: their
    // entries may go too.
    free_entries();
    OmResult result = OM_S_OK;
    for (int32_t slot = 0; slot < static_cast<int32_t>(state.players.size()); ++slot) {
        if (!state.players[slot]) continue;
        if (add_player_again(*state.players[slot], slot, slot == state.local_slot) < 0)
            result = OM_E_FAIL;
    }
    outcome_ = state.outcome;
    clock_offsets_[0] = state.clock_offset;
    clock_offsets_[1] = state.clock_adjustment;
    for (int32_t i = 0; i < kTvChatLineCount; ++i) chat_lines_[i] = state.chat_lines[i];
    chat_line_.clear();
    shift_held_ = false;
    return result;
}
