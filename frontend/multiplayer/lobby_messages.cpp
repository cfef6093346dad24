// The lobby's column of the game protocol's message table: what the lobby makes of each
// server message (after the client game's own handling of the types it shares), the
// transport's system events, and the lobby's own messages to the server.
#include "frontend/multiplayer/lobby.h"

#include "framework/io/binary_stream_composer.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/page_seam.h"
#include "frontend/multiplayer/lobby_internal.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/setup/game_setup.h"
#include "frontend/startup/error_log.h"
#include "game/world/tv_object.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"

#include <cstdio>

namespace {

constexpr char source_name[] = "tvnetmenu";
constexpr uint32_t status_value = 517;

IOmAerovantClient* client() {
    return TvGetNetworkClient();
}

template <class M>
void send(const M& message) {
    IOmAerovantClient* c = client();
    if (!c) return;
    IBinaryStreamComposer* packet = c->NewPacket();
    if (!packet) return;
    if (TvEncode(packet, message) < 0) {
        packet->Release();
        return;
    }
    c->Send(packet, uint16_t(M::type), M::flags);
}

bool is_page(const TvMultiplayerSession& s, const char* page) {
    return s.page == page;
}

void set_page(TvMultiplayerSession& s, const char* page) {
    TvSetSessionPage(s, page);
}

void show(TvMultiplayerSession& s, const char* page) {
    set_page(s, page);
    TvShowSessionPage(s);
}

uint32_t now_ms() {
    return TvLobbyNow();
}

// Reads the packet again from its first bit: a rewind alone keeps the reader's partial byte,
// which would shift every field of a message that does not end on a byte boundary.
void read_again(IBinaryStreamComposer* packet) {
    packet->Attach(packet->GetStream(), packet->GetMode());
    packet->Rewind();
}

// Message 19: the server accepted the join; the local plane is made from the record.
void join_accepted(TvMultiplayerSession& s, const TvToClientJoinAccepted& m) {
    // Only the answer to our join request is taken (state 5), and only for the slot that
    // message 21 gave: another 19 would make a second local plane.
    if (s.client_state != 5) return;
    if (s.local_slot >= 0 && int32_t(m.slot) != s.local_slot) return;
    if (!s.game || s.game->add_player(m.info, int32_t(m.slot), true) < 0) {
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't create the player's plane",
                          m.info.planeId);
        // Mend: the player is told why and offered another plane; the disconnected page made
        // it look like a lost connection, which every later join with the plane repeated.
        TvLobbyEndSession(s, TV_MP_NO_PLANE_PAGE);
        s.leave_page = 1;
        return;
    }
    s.local_plane = true;
    TvLobbyStoreLocalPlayer(int32_t(m.slot), m.info.sideFlags);
    if (IOmAerovantClient* c = client()) {
        if (IPacketQueue* queue = c->GetPacketQueue()) {
            // A record without them keeps the queue's own (0 would be clamped to the least).
            if (m.info.extra[2] > 0)
                queue->SetOption(OM_QUEUE_SEND_INTERVAL, uintptr_t(uint32_t(m.info.extra[2])));
            if (m.info.extra[3] > 0)
                queue->SetOption(OM_QUEUE_MAX_DATAGRAM, uintptr_t(uint32_t(m.info.extra[3])));
        }
    }
    TvSetClientState(s, 8);
    set_page(s, TV_MULTIPLAYER_PAGE);
}

// --- Messages --------------------------------------------------------------------------------

// The types the client game handles first while the lobby runs.
bool client_game_type(uint16_t type) {
    switch (TvMessage(type)) {
    case TvMessage::PlayerJoined:
    case TvMessage::KillTaken:
    case TvMessage::Respawn:
    case TvMessage::Status:
    case TvMessage::Damage:
    case TvMessage::DamageStates:
    case TvMessage::PlaneChange:
    case TvMessage::SideChange:
    case TvMessage::KillScored:
    case TvMessage::PlayerLeft:
    case TvMessage::MatchFinished:
    case TvMessage::RemoteFire:
    case TvMessage::Disconnected:
    case TvMessage::FinishedNoVote: return true;
    default: return false;
    }
}

int32_t plane_status(TvMultiplayerSession& s, int32_t slot) {
    ITvObject* plane = s.game ? s.game->player_plane(slot) : nullptr;
    uintptr_t value = 0;
    if (!plane || plane->GetProperty(status_value, &value) < 0) return -1;
    return int32_t(value);
}

void refresh_multiplayer_page(TvMultiplayerSession& s) {
    if (!is_page(s, TV_MULTIPLAYER_PAGE)) return;
    set_page(s, TV_TIMEOUT_LINK);
    s.leave_page = 1;
}

void status_page(TvMultiplayerSession& s, const char* page) {
    set_page(s, page);
    TvShowNetStatusPage(page, TV_CONNECT_COUNTDOWN);
    set_page(s, page);
    TvSetClientState(s, 17);
    s.countdown = TV_CONNECT_COUNTDOWN;
}

void lobby_reaction(TvMultiplayerSession& s, uint16_t type, IBinaryStreamComposer* packet,
                    int32_t status_before) {
    switch (TvMessage(type)) {
    case TvMessage::PlayerId:
        if (!TvDecodeToClientPlayerId(packet)) return;
        TvSetClientState(s, 3);
        if (is_page(s, TV_MULTIPLAYER_PAGE))
            TvShowSessionPage(s);
        else
            show(s, TV_MP_CONNECTING_PAGE);
        break;
    case TvMessage::Join:
        if (auto m = TvDecodeToClientJoinAccepted(packet)) join_accepted(s, *m);
        break;
    case TvMessage::PlayerJoined: refresh_multiplayer_page(s); break;
    case TvMessage::GameParameters: {
        auto m = TvDecodeToClientGameParameters(packet);
        if (!m) return;
        TvLobbyStoreGameParameters(m->mission, int32_t(m->slot));
        s.local_slot = int32_t(m->slot);
        s.local_plane = false; // until the join is accepted
        TvSetClientState(s, 4);
        show(s, TV_MP_CONNECTING_PAGE);
        break;
    }
    case TvMessage::Respawn: {
        auto m = TvDecodeToClientRespawn(packet);
        // Only the local player's plane respawns into the time sync: before the join was
        // accepted (or once the plane was taken away) the slot has no plane to fly.
        if (!m || int32_t(m->slot) != s.local_slot || !TvLobbyHasLocalPlane(s)) return;
        TvSetClientState(s, 9);
        s.countdown = TV_RESPAWN_COUNTDOWN;
        break;
    }
    case TvMessage::Status: {
        auto m = TvDecodeToClientStatus(packet);
        if (!m) return;
        const bool changed = status_before != m->status;
        if (changed && is_page(s, TV_MULTIPLAYER_PAGE) && int32_t(now_ms() - s.next_refresh) >= 0) {
            TvShowSessionPage(s);
            s.next_refresh = now_ms() + TV_LOBBY_REFRESH_MS;
        }
        if (s.game) s.game->sync_player_planes();
        break;
    }
    case TvMessage::ServerTime: {
        auto m = TvDecodeToClientServerTime(packet);
        // A sync ends in the match: not without the local plane (before the join, say).
        if (!m || !TvLobbyHasLocalPlane(s)) return;
        const TvClockSetting setting = s.time_sync.start(m->time, now_ms());
        if (s.game) s.game->set_clock(int32_t(setting.time), setting.offset);
        TvSetClientState(s, 10);
        break;
    }
    case TvMessage::TimeAnswer: {
        auto m = TvDecodeToClientTimeAnswer(packet);
        if (!m || s.client_state != 10) return;
        s.time_sync.answer(m->time, m->difference);
        TvLobbyFinishSync(s);
        break;
    }
    case TvMessage::PlaneChange:
        if (!TvDecodeToClientPlaneChange(packet)) return;
        TvShowSessionPage(s);
        break;
    case TvMessage::MatchFinished: {
        auto m = TvDecodeToClientMatchFinished(packet);
        if (!m) return;
        s.end_flags = TV_END_FINISHED + int32_t(m->winner);
        TvMenus().last_outcome = s.end_flags;
        set_page(s, TV_MP_FINISHED_PAGE);
        s.leave_page = 1;
        break;
    }
    case TvMessage::NewMission: {
        auto m = TvDecodeToClientNewMission(packet);
        if (!m) return;
        TvLobbyStoreMission(m->mission);
        TvSetClientState(s, 14);
        s.leave_page = 1;
        break;
    }
    case TvMessage::Disconnected:
        s.end_flags |= TV_END_DISCONNECTED;
        TvLobbyEndSession(s, TV_MP_DISCONNECTED_PAGE);
        s.leave_page = 1;
        break;
    case TvMessage::VotingInProgress: status_page(s, TV_MP_VOTING_PAGE); break;
    case TvMessage::PlayerLimit: status_page(s, TV_MP_PLAYER_LIMIT_PAGE); break;
    case TvMessage::FinishedNoVote:
        if (!TvDecodeToClientFinishedNoVote(packet)) return;
        s.end_flags = TV_END_FINISHED_NO_VOTE;
        TvMenus().last_outcome = s.end_flags;
        set_page(s, TV_MP_FINISHED_NO_VOTE_PAGE);
        s.leave_page = 1;
        break;
    default: break;
    }
}

} // namespace

void TvSendJoinRequest(const TvPlayerInfo& info) {
    TvToServerJoinRequest join{};
    join.info = info;
    send(join);
}
void TvSendRespawnRequest() {
    send(TvToServerRespawnRequest{});
}
void TvSendTimeRequest() {
    send(TvToServerTimeRequest{});
}
void TvSendTimeSample(int32_t estimate) {
    send(TvToServerTimeSample{.estimate = estimate});
}
void TvSendPlaneChange(const char* plane_id) {
    TvToServerPlaneChange change{};
    std::snprintf(change.planeId, sizeof change.planeId, "%s", plane_id ? plane_id : "");
    send(change);
}
void TvSendSideChange(int32_t side) {
    send(TvToServerSideChange{.side = side});
}

OmResult TvLobbyHandleMessage(void* context, uint32_t, IBinaryStreamComposer* packet, uint16_t type,
                              uint16_t flags) {
    auto* s = static_cast<TvMultiplayerSession*>(context);
    if (!s || !packet) return OM_E_FAIL;
    int32_t status_before = -1;
    if (TvMessage(type) == TvMessage::Status) {
        if (auto m = TvDecodeToClientStatus(packet))
            status_before = plane_status(*s, int32_t(m->slot));
        read_again(packet);
    }
    if (client_game_type(type) && s->game) {
        s->game->handle_message(packet, type, flags);
        TvLobbyNoteLocalPlane(*s);
        read_again(packet);
    }
    // A session that ended (state 17) keeps the page that says why until the lobby leaves:
    // what the server sent after its disconnection (a finish, say) changes no page or state.
    if (s->client_state != 17) lobby_reaction(*s, type, packet, status_before);
    return OM_E_FAIL;
}

OmResult TvLobbyHandleSystemEvent(uintptr_t context, OmTransportMessage* event) {
    auto* s = reinterpret_cast<TvMultiplayerSession*>(context);
    if (!s || !event) return OM_E_FAIL;
    if (s->game) s->game->system_event(event);
    TvLobbyNoteLocalPlane(*s);
    // A session that ended already keeps the page that says why (the player limit, say,
    // before the server closes the connection).
    if (event->kind == TV_EVENT_SESSION_LOST && s->client_state != 17) {
        s->end_flags |= TV_END_DISCONNECTED;
        TvLobbyEndSession(*s, TV_MP_DISCONNECTED_PAGE);
        s->leave_page = 1;
    } else if (event->kind == TV_EVENT_REFRESH) {
        refresh_multiplayer_page(*s);
    }
    // A refusing callback would stop the queue's receiving for the rest of the pump.
    return OM_S_OK;
}
