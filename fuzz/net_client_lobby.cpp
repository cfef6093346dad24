// Fuzzes the multiplayer client in its lobby states: the real session driver, lobby passes and
// the lobby's handlers of the server's messages and of the transport's system events, over a
// network client double that delivers the input's messages and events as the network client's
// Poll would (handler first, then the client's own look at message 17), a recording client
// game registered in the real one's place (planes per slot with their status, the outcome a
// finished or lost match sets), scripted pages (the link each page run gives and the clicks
// outside the page loop come from the input) and the virtual clock, moved by the input between
// polls. The menus have no browser, so a page shown is only recorded; the dispatcher's entry
// points (missions, sessions, pilots) only answer.
//
// Each input starts a session from the same fixture state and brings it, by the real
// transitions with the test server's messages (player id, game parameters, join accepted,
// respawn, server time, time answers, match finished), to the start state its first byte
// names: joined (8), waiting for the respawn (7), getting time (9), syncing time (10),
// selecting the side (13) or the plane (12), flying the match (6), or back in the lobby after
// a match. From there the input drives it until the input ends (then the program is asked to
// quit, which tears the session down).
//
// Checks:
// - the client state is always one of the defined states (0..17);
// - each message of the input: the client's decoder and the test server's agree
//   (fuzz/message_agreement.h);
// - everything the client sends is one of the lobby's messages with its send flags, and the
//   test server's decoder accepts its payload;
// - a player record the lobby hands to the game has terminated 32-byte texts, a finite frame
//   matrix and a slot 0..7; the local player joins only while the lobby waits for it;
// - the match is flown only with the local player's plane in the game;
// - the current page fits the link buffer;
// - after the session: state 0, no game component, every reference on the game and every
//   framework block given back.
//
// Input: a start byte (bits 0-2: the start state; bit 3: the game's Create fails, bit 4: the
// player's plane cannot be made, bit 5: the level switch fails, each after the start), then
// steps read as the session asks for them: each network poll reads ops until an end op
// (op < 0xc0: a message of type 17 + op % 36 with a length-prefixed payload; 0xc0-0xdf: a
// system event; 0xe0-0xff: the end, the clock moved by the square of the next byte in ms), each
// page run one byte (the link chosen), each lobby pass outside the page loop one byte (odd: a
// click, on the link the rest names). LOBBY_TRACE=1 in the environment prints the states,
// page links and clicks, for reading a crashing input.
#include "framework/core/component.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/multiplayer/lobby.h"
#include "frontend/multiplayer/multiplayer_session.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/multiplayer/session_game.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/window_hook.h"
#include "fuzz/data_harness.h"
#include "fuzz/lobby/lobby_messages.h"
#include "fuzz/net_harness.h"
#include "game/world/tv_object.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/client_states.h"
#include "platform/clock.h"
#include "tests/fixtures/menu_session_state.h"
#include "tests/frontend/single/fixture_game.h"
#include "tools/mpserver/mp_messages.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

using fuzzing::require;
using mpserver::Direction;

namespace {

constexpr uint32_t status_value = 517;
constexpr int32_t last_state = 17;
// Polls after which an input is taken to be over (each reads at least its end op, so only a
// long input reaches it).
constexpr long poll_limit = 4096;
constexpr uint64_t start_time_ms = 1000000;

// LOBBY_TRACE=1 in the environment prints the states, page links and clicks of each input
// (for reading a crashing input).
bool tracing() {
    static const bool on = std::getenv("LOBBY_TRACE") != nullptr;
    return on;
}

// --- Start states ----------------------------------------------------------------------------

enum class Start : uint8_t {
    joined,
    respawn_wait,
    getting_time,
    syncing_time,
    selecting_side,
    selecting_plane,
    in_match,
    after_match,
};
constexpr int start_count = 8;

int32_t start_state(Start start) {
    switch (start) {
    case Start::joined: return 8;
    case Start::respawn_wait: return 7;
    case Start::getting_time: return 9;
    case Start::syncing_time: return 10;
    case Start::selecting_side: return 13;
    case Start::selecting_plane: return 12;
    case Start::in_match: return 6;
    case Start::after_match: return 8;
    }
    return 8;
}

// Starts that pass through the respawn and the time sync (the rejoin link first).
bool through_respawn(Start start) {
    return start == Start::respawn_wait || start == Start::getting_time ||
           start == Start::syncing_time || start == Start::in_match || start == Start::after_match;
}

// --- The run's shared words ------------------------------------------------------------------

struct Run {
    fuzzing::StepInput* input = nullptr;
    Start start = Start::joined;
    bool prelude = true;      // the scripted way to the start state is still being walked
    bool match_ended = false; // the scripted match of Start::after_match has ended
    bool fail_create = false, fail_plane = false, fail_level = false;
    long polls = 0;
    int32_t local_slot = -1; // the slot of the local plane in the game
};
Run run;

// The test server's messages of the scripted way, encoded once.
struct Scripted {
    uint16_t type;
    std::vector<uint8_t> payload;
};
Scripted player_id, game_parameters, join_accepted, respawn, server_time, time_answer,
    match_finished;

Scripted scripted(mpserver::Message message) {
    return {message.type, mpserver::encode(message, Direction::ToClient)};
}

void make_scripted_messages() {
    namespace msg = mpserver::msg;
    player_id = scripted(mpserver::Message(msg::player_id).set("id", 77));
    game_parameters =
        scripted(mpserver::Message(msg::game_parameters).set("mission", 101).set("slot", 0));
    mpserver::Message join(msg::join);
    join.set_text("name", "John Smith").set_text("plane", "multispadx111");
    join.set("status", 7).set("side", 0x102).set("object", 5000).set("kills", 0).set("slot", 0);
    for (int i : {0, 5, 10}) join.set("matrix" + std::to_string(i), 1.0);
    join.set("ints2", 50).set("ints3", 512);
    join_accepted = scripted(join);
    mpserver::Message spawn(msg::respawn);
    for (int i : {0, 5, 10}) spawn.set("matrix" + std::to_string(i), 1.0);
    spawn.set("slot", 0);
    respawn = scripted(spawn);
    server_time = scripted(mpserver::Message(msg::server_time).set("time", 500000));
    time_answer =
        scripted(mpserver::Message(msg::time_answer).set("time", 500100).set("difference", 0));
    match_finished = scripted(mpserver::Message(msg::match_finished).set("slot", 0));
}

// The payloads already checked against the test server's codec, by type and direction: the
// checks depend on nothing else, and most messages of an input come back unchanged in the
// inputs made from it. Emptied when it holds 8 MiB.
class CheckedPayloads {
public:
    // True the first time the payload is seen (it is to be checked).
    bool first_time(uint16_t type, Direction direction, std::span<const uint8_t> payload) {
        std::string key;
        key.reserve(payload.size() + 3);
        key.push_back(char(type & 0xff));
        key.push_back(char(type >> 8));
        key.push_back(direction == Direction::ToClient ? 'c' : 's');
        key.append(reinterpret_cast<const char*>(payload.data()), payload.size());
        if (seen_.count(key)) return false;
        bytes_ += key.size();
        if (bytes_ > (size_t{8} << 20)) {
            seen_.clear();
            bytes_ = key.size();
        }
        seen_.insert(std::move(key));
        return true;
    }

private:
    std::unordered_set<std::string> seen_;
    size_t bytes_ = 0;
};
CheckedPayloads checked;

// --- The recording client game ---------------------------------------------------------------

// A player plane: only its status.
class FakePlane : public ITvObject {
public:
    int32_t status = 0;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ITvObject) {
            *out = static_cast<ITvObject*>(this);
            return OM_S_OK;
        }
        *out = nullptr;
        return OM_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult Create(TvCreateDescriptor*) override { return OM_S_OK; }
    OmResult Destroy() override { return OM_S_OK; }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        if (id != status_value) return OM_E_FAIL;
        status = int32_t(value);
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        *out = 0;
        if (id != status_value) return OM_E_FAIL;
        *out = uintptr_t(status);
        return OM_S_OK;
    }
    OmResult Render() override { return OM_S_OK; }
    OmResult Update() override { return OM_S_OK; }
    OmResult HandleEvent(const TvEvent*) override { return OM_E_FAIL; }
    OmResult AddDamage(float, int32_t) override { return OM_S_OK; }
    int32_t IsDead() override { return 0; }
    OmResult SetDamage(uint32_t, float, uint32_t) override { return OM_S_OK; }
};

struct Player {
    bool present = false;
    uint32_t network_id = 0;
    FakePlane plane;
};
std::array<Player, 8> players;

// The game component: the front end's fixture game whose Create starts a mission with no
// players (as the client game's does) and fails when the input says so.
class LobbyGame final : public singletest::FixtureGame {
public:
    OmResult Create(TvGameSettings* settings) override {
        players = {};
        run.local_slot = -1;
        if (!run.prelude && run.fail_create) return OM_E_FAIL;
        return FixtureGame::Create(settings);
    }
};
LobbyGame* lobby_game = nullptr;

bool terminated(const char (&text)[32]) {
    return std::memchr(text, 0, sizeof text) != nullptr;
}

// The client game as the session sees it.
class RecordingSessionGame final : public TvSessionGame {
public:
    ITvGame* game() override { return lobby_game; }

    OmResult handle_message(IBinaryStreamComposer* packet, uint16_t type, uint16_t) override {
        using lobbyfuzz::GameEffect;
        const GameEffect e = lobbyfuzz::read_game_message(packet, type);
        if (e.kind == GameEffect::outcome) {
            lobby_game->forced = e.value;
            return OM_S_OK;
        }
        if (e.kind == GameEffect::none || e.slot >= players.size()) return OM_S_OK;
        Player& p = players[e.slot];
        switch (e.kind) {
        case GameEffect::joined:
            p.present = true;
            p.network_id = e.network_id;
            p.plane.status = e.value;
            break;
        case GameEffect::respawned:
        case GameEffect::status:
            if (p.present) p.plane.status = e.value;
            break;
        case GameEffect::left: remove(int32_t(e.slot)); break;
        default: break;
        }
        return OM_S_OK;
    }
    OmResult system_event(OmTransportMessage* event) override {
        if (event->kind == OM_TRANSPORT_PORT_DESTROYED) {
            for (size_t slot = 0; slot < players.size(); ++slot)
                if (players[slot].present && players[slot].network_id == event->sender)
                    remove(int32_t(slot));
        } else if (event->kind == OM_TRANSPORT_SESSION_LOST) {
            lobby_game->forced = 0x40;
        }
        return OM_E_FAIL;
    }
    void clear_outcome() override { lobby_game->forced = 0; }
    void set_clock(int32_t server_time, int32_t adjustment) override {
        clock_offset_ = uint32_t(server_time) - platform::timeGetTime() + uint32_t(adjustment);
    }
    uint32_t game_time_ms() override { return platform::timeGetTime() + clock_offset_; }
    OmResult add_player(const TvPlayerInfo& info, int32_t slot, bool local) override {
        require(slot >= 0 && slot < int32_t(players.size()), "a player joins in a slot 0..7");
        require(terminated(info.name) && terminated(info.planeId),
                "a player's texts from the network are terminated");
        for (float v : info.matrix) require(std::isfinite(v), "a player's frame is finite");
        require(!local || TvGetMultiplayerSession().client_state == 5,
                "the local player joins while the lobby waits for the join");
        if (!run.prelude && run.fail_plane) return OM_E_FAIL;
        Player& p = players[size_t(slot)];
        p.present = true;
        p.network_id = info.networkId;
        p.plane.status = info.status;
        if (local) run.local_slot = slot;
        return OM_S_OK;
    }
    ITvObject* player_plane(int32_t slot) override {
        if (slot < 0 || slot >= int32_t(players.size()) || !players[size_t(slot)].present)
            return nullptr;
        return &players[size_t(slot)].plane;
    }
    OmResult deduct_kill(int32_t) override { return OM_S_OK; }
    void sync_player_planes() override {}
    bool chat_active() override { return false; }
    OmResult change_mission(int32_t) override {
        return !run.prelude && run.fail_level ? OM_E_FAIL : OM_S_OK;
    }

private:
    void remove(int32_t slot) {
        players[size_t(slot)] = Player{};
        if (slot == run.local_slot) run.local_slot = -1;
    }

    uint32_t clock_offset_ = 0;
};

std::unique_ptr<TvSessionGame> make_game() {
    return std::make_unique<RecordingSessionGame>();
}

// --- The network client double ---------------------------------------------------------------

// The packet queue the lobby sets its options on.
class OptionQueue final : public OmObject<OptionQueue, IPacketQueue> {
public:
    std::array<uintptr_t, 11> options{};

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IPacketQueue, this}});
    }
    OmResult SetOption(int32_t id, uintptr_t value) override {
        if (id < 1 || id >= int32_t(options.size())) return OM_E_FAIL;
        options[size_t(id)] = value;
        return OM_S_OK;
    }
    OmResult GetOption(int32_t id, uintptr_t* out) override {
        if (!out || id < 1 || id >= int32_t(options.size())) return OM_E_FAIL;
        *out = options[size_t(id)];
        return OM_S_OK;
    }
    OmResult QueueRecord(IByteStream*, uint16_t, uint16_t) override { return OM_E_FAIL; }
    IBinaryStreamComposer* NewPacket() override { return nullptr; }
    OmResult Send(IBinaryStreamComposer* packet, uint16_t, uint16_t) override {
        if (packet) packet->Release();
        return OM_E_FAIL;
    }
    IBinaryStreamComposer* Withdraw(uint16_t, uint16_t) override { return nullptr; }
    OmResult Pump(uint32_t) override { return OM_S_OK; }
    OmResult Receive(IBinaryStreamComposer** packet, uint16_t*, uint16_t*) override {
        if (packet) *packet = nullptr;
        return OM_E_FAIL;
    }
};

// The send flags of each message the lobby (and the dispatcher's vote) sends.
uint16_t lobby_flags(uint16_t type) {
    switch (type) {
    case 19:
    case 33:
    case 34: return 0xa1;
    case 24: return 0x60;
    case 28: return 0x44;
    case 29: return 0x40;
    case 40: return 0x91;
    default: return 0xffff;
    }
}

void deliver(uint16_t type, std::span<const uint8_t> payload, bool check);
void deliver_event(uint32_t kind, uint32_t sender);
bool scripted_poll();
void read_input_ops();

class ScriptedClient final : public OmObject<ScriptedClient, IOmAerovantClient> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmAerovantClient, this}});
    }
    OmResult Init(const char*) override {
        queue_.options = {};
        connected_ = false;
        player_id_ = 0;
        return OM_S_OK;
    }
    OmResult Close() override {
        connected_ = false;
        return OM_S_OK;
    }
    OmResult TvStartSessionJoin(TvProgressCallback progress, void* context, const void*,
                                uint32_t) override {
        if (progress) progress(context);
        connected_ = true;
        return OM_S_OK;
    }
    OmResult Stop() override {
        connected_ = false;
        return OM_S_OK;
    }
    OmResult Poll(uint32_t) override {
        if (!connected_) return OM_S_OK;
        if (++run.polls > poll_limit) TvSetQuitFlag(1);
        if (TvGetQuitFlag()) return OM_S_OK;
        if (run.prelude && scripted_poll()) return OM_S_OK;
        read_input_ops();
        return OM_S_OK;
    }
    OmResult SetLogCallback(TvLogCallback, void*) override { return OM_S_OK; }
    OmResult OnMessage(IBinaryStreamComposer* packet, uint16_t type, uint16_t) override {
        if (type != TV_MSG_PLAYER_ID || !packet) return OM_S_OK;
        uint32_t id = 0;
        if (packet->Field(OM_FIELD_BITS, 32, &id) >= 0) player_id_ = id;
        return OM_S_OK;
    }
    IBinaryStreamComposer* NewPacket() override {
        auto stream = fuzzing::stream_of(std::span<const uint8_t>{});
        IBinaryStreamComposer* packet = nullptr;
        if (OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, &packet) < 0)
            return nullptr;
        packet->Attach(stream.get(), OM_COMPOSER_WRITE);
        return packet;
    }
    OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override {
        require(packet != nullptr, "a message is sent with its packet");
        packet->Flush();
        const std::string bytes = fuzzing::bytes_of(packet->GetStream());
        packet->Release();
        if (lobby_flags(type) != flags)
            std::fprintf(stderr, "fuzz: message %u sent with flags 0x%x\n", unsigned(type),
                         unsigned(flags));
        require(lobby_flags(type) == flags, "the lobby sends its messages with their flags");
        const std::span<const uint8_t> payload(reinterpret_cast<const uint8_t*>(bytes.data()),
                                               bytes.size());
        if (checked.first_time(type, Direction::ToServer, payload)) {
            std::string reason;
            const auto decoded = mpserver::decode(type, Direction::ToServer, payload.data(),
                                                  payload.size(), &reason);
            if (!decoded)
                std::fprintf(stderr, "fuzz: message %u sent: %s\n", unsigned(type), reason.c_str());
            require(decoded.has_value(), "the test server reads what the lobby sends");
        }
        ++sent;
        return OM_S_OK;
    }
    IBinaryStreamComposer* Withdraw(uint16_t, uint16_t) override { return nullptr; }
    OmResult GetLocalPlayer(TvPlayerInfo** out) override {
        if (!out) return OM_E_FAIL;
        *out = &local_player_;
        return OM_S_OK;
    }
    OmResult SetQueueCallback(OmQueueSystemCallback fn, uintptr_t context) override {
        queue_callback = fn;
        queue_context = context;
        return OM_S_OK;
    }
    OmResult GetQueueCallback(OmQueueSystemCallback* fn, uintptr_t* context) override {
        if (fn) *fn = queue_callback;
        if (context) *context = queue_context;
        return OM_S_OK;
    }
    OmResult SetMessageHandler(TvMessageHandler fn, void* context) override {
        handler = fn;
        handler_context = context;
        return OM_S_OK;
    }
    OmResult GetMessageHandler(TvMessageHandler* fn, void** context) override {
        if (fn) *fn = handler;
        if (context) *context = handler_context;
        return OM_S_OK;
    }
    IPacketQueue* GetPacketQueue() override { return &queue_; }
    OmResult SetStatusPage(TvStatusPage, void*) override { return OM_S_OK; }

    void reset() {
        Init(nullptr);
        handler = nullptr;
        handler_context = nullptr;
        queue_callback = nullptr;
        queue_context = 0;
        sent = 0;
    }
    uint32_t player_id() const { return player_id_; }

    TvMessageHandler handler = nullptr;
    void* handler_context = nullptr;
    OmQueueSystemCallback queue_callback = nullptr;
    uintptr_t queue_context = 0;
    long sent = 0;

private:
    OptionQueue queue_;
    bool connected_ = false;
    uint32_t player_id_ = 0;
    TvPlayerInfo local_player_{};
};
ScriptedClient* client = nullptr;

// --- Checks ----------------------------------------------------------------------------------

void check_state(int32_t state) {
    require(state >= 0 && state <= last_state, "the client state is a defined state");
    require(std::strlen(TvClientStateName(state)) < TV_CLIENT_STATE_NAME_SIZE,
            "the state has its name");
}

// Every state set; the match is entered only with the local player's plane in the game.
void note_state(int32_t state) {
    if (tracing())
        std::fprintf(stderr, "lobby: state %d, page %s\n", state, TvMenus().link.c_str());
    check_state(state);
    if (state == 6)
        require(run.local_slot >= 0 && players[size_t(run.local_slot)].present,
                "the match is flown with the local player's plane");
}

void check_session() {
    const TvMultiplayerSession& s = TvGetMultiplayerSession();
    check_state(s.client_state);
    require(s.page.size() <= TV_LINK_LIMIT, "the current page fits the link buffer");
}

void note_page(const char* page) {
    require(page && std::strlen(page) <= TV_LINK_LIMIT, "a page shown fits the link buffer");
}

// --- Delivering --------------------------------------------------------------------------------

// The packet a message is read from, as the packet queue hands one out (made once; each
// message attaches a stream of its payload).
IBinaryStreamComposer* packet_reader() {
    static const ComRef<IBinaryStreamComposer> packet = [] {
        ComRef<IBinaryStreamComposer> made;
        require(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, made.put()) >= 0,
                "a composer is made");
        return made;
    }();
    return packet.get();
}

// A message as the network client hands it on: the handler, then the client's own look.
void deliver(uint16_t type, std::span<const uint8_t> payload, bool check) {
    if (check && checked.first_time(type, Direction::ToClient, payload))
        lobbyfuzz::check_to_client(type, payload);
    IBinaryStreamComposer* packet = packet_reader();
    auto stream = fuzzing::stream_of(payload);
    packet->Attach(stream.get(), OM_COMPOSER_READ);
    if (client->handler)
        client->handler(client->handler_context, client->player_id(), packet, type, 0);
    packet->Rewind();
    client->OnMessage(packet, type, 0);
    packet->Attach(nullptr, OM_COMPOSER_READ);
    check_session();
}

void deliver_event(uint32_t kind, uint32_t sender) {
    OmTransportMessage event{kind, sender, 1, 0, nullptr};
    if (client->queue_callback) client->queue_callback(client->queue_context, &event);
    check_session();
}

void deliver(const Scripted& m) {
    deliver(m.type, m.payload, false);
}

bool start_reached() {
    const int32_t state = TvGetMultiplayerSession().client_state;
    if (run.start == Start::after_match) return run.match_ended && state == 8;
    return state == start_state(run.start);
}

// One poll of the scripted way to the start state; false when the start state was reached
// before it (the poll then reads the input).
bool scripted_poll() {
    if (start_reached()) {
        run.prelude = false;
        return false;
    }
    switch (TvGetMultiplayerSession().client_state) {
    case 2: deliver(player_id); break;
    case 3: deliver(game_parameters); break;
    case 5: deliver(join_accepted); break;
    case 7: deliver(respawn); break;
    case 9: deliver(server_time); break;
    case 10:
        for (int hit = 0; hit < TvTimeSync::required_hits; ++hit) deliver(time_answer);
        break;
    case 6:
        if (!run.match_ended) deliver(match_finished);
        run.match_ended = true;
        break;
    default: break;
    }
    // The pages of the pass that follows are the input's once the start state is reached.
    if (start_reached()) run.prelude = false;
    return true;
}

// Reads ops until an end op or the end of the input.
void read_input_ops() {
    fuzzing::StepInput& input = *run.input;
    if (input.empty()) {
        TvSetQuitFlag(1);
        return;
    }
    while (!input.empty()) {
        const uint8_t op = input.byte();
        if (op < 0xc0) {
            const auto type = uint16_t(17 + op % 36);
            deliver(type, input.part(), true);
        } else if (op < 0xe0) {
            // A port leaving (with its id), the session lost, the refresh event, or another.
            static constexpr uint32_t kinds[4] = {OM_TRANSPORT_PORT_DESTROYED,
                                                  OM_TRANSPORT_SESSION_LOST, TV_EVENT_REFRESH,
                                                  OM_TRANSPORT_PORT_CREATED};
            const uint32_t sender = input.byte();
            deliver_event(kinds[op & 3], sender);
        } else {
            const uint32_t step = input.byte();
            platform::advance_virtual_clock(step * step);
            return;
        }
    }
}

// --- Pages -------------------------------------------------------------------------------------

// The links a page run or a click can give: the lobby's own, the dispatcher's, and any text.
std::string link_from(uint8_t choice) {
    fuzzing::StepInput& input = *run.input;
    static const char* const fixed[] = {
        "command:timeout",          "command:rejoin",
        "menus\\main.html",         "command:back",
        "command:killconnect",      "menus\\chooseside.html",
        "menus\\chooseallied.html", "menus\\choosecentral.html",
        "menus\\multiplayer.html",  "command:connectip",
        "command:changeip",         "menus\\selectplane.html",
    };
    constexpr size_t fixed_count = sizeof fixed / sizeof fixed[0];
    const size_t pick = choice % (fixed_count + 3);
    if (pick < fixed_count) return fixed[pick];
    if (pick == fixed_count) return "planechoice:" + fuzzing::c_text(input.part());
    if (pick == fixed_count + 1) return "vote:map:" + std::to_string(int8_t(input.byte()));
    // Any link; the forms that switch the display need a started one and are left out.
    std::string link = fuzzing::c_text(input.part());
    for (const char* display : {"command:videomode:", "command:renderer:"})
        if (link.rfind(display, 0) == 0) link = "command:timeout";
    return link;
}

// A page run: the network is polled as the page loop does, then the page's link.
OmResult run_page(std::string& link) {
    if (run.prelude) {
        const int32_t state = TvGetMultiplayerSession().client_state;
        if (state == 8 && through_respawn(run.start))
            link = "command:rejoin";
        else if (state == 8)
            link = "menus\\chooseside.html";
        else if (state == 13)
            link = "menus\\chooseallied.html";
        else
            link = "command:timeout";
        return OM_S_OK;
    }
    if (IOmAerovantClient* c = TvGetNetworkClient()) c->Poll(0);
    if (TvMenus().leave_page || TvGetQuitFlag()) return OM_S_OK;
    // The page loop keeps the link buffer's size.
    link = link_from(run.input->byte()).substr(0, TV_LINK_LIMIT);
    if (tracing())
        std::fprintf(stderr, "lobby: page link %.80s (%zu)\n", link.c_str(), link.size());
    return OM_S_OK;
}

OmResult search_pass(void*) {
    return OM_S_OK;
}

// A lobby pass outside the page loop: a click or none.
bool menu_pass(std::string* clicked) {
    if (run.prelude) return false;
    const uint8_t b = run.input->byte();
    if (!(b & 1)) return false;
    *clicked = link_from(b >> 1);
    if (tracing())
        std::fprintf(stderr, "lobby: click %.80s (%zu)\n", clicked->c_str(), clicked->size());
    return true;
}

OmResult answer_ok() {
    return OM_S_OK;
}

const TvMenuEntryPoints kEntryPoints = {
    [](int32_t) { return answer_ok(); }, [](const char*) { return answer_ok(); },
    [](int32_t) { return answer_ok(); }, [] { return answer_ok(); },
    [] { return answer_ok(); },          [](const char*, int32_t, int32_t) { return answer_ok(); },
    [] { return answer_ok(); },
};

// --- The fixture -------------------------------------------------------------------------------

const fixtures::MenuSessionState& fixture() {
    static const fixtures::MenuSessionState state = [] {
        fuzzing::start_data_framework();
        make_scripted_messages();
        TvInstallMenuEntryPoints(&kEntryPoints);
        static const TvLobbyPages pages{run_page, search_pass, menu_pass};
        TvSetLobbyPages(&pages);
        TvSetSessionGameFactory(make_game);
        TvSetClientStateObserver(note_state);
        TvSetSessionPageObserver(note_page);
        packet_reader();
        lobby_game = new LobbyGame;
        require(om_new_component(&client) >= 0, "the client double is made");
        TvSetNetworkClient(client);
        return fixtures::MenuSessionState::fixture();
    }();
    return state;
}

// One session from the fixture state.
void run_session(const uint8_t* data, size_t size) {
    fixture().restore();
    TvSetQuitFlag(0);
    TvResetMenuPassCount();
    platform::set_virtual_time(start_time_ms);
    client->reset();
    TvSetNetworkClient(client);
    lobby_game->calls.clear();
    lobby_game->inputs.clear();
    lobby_game->texts.clear();
    lobby_game->forced = 0;
    lobby_game->outcome = 0;
    lobby_game->frames = 0;
    lobby_game->updates = 0;
    players = {};

    fuzzing::StepInput input(data, size);
    const uint8_t first = input.byte();
    run = Run{};
    run.input = &input;
    run.start = Start(first % start_count);
    run.fail_create = first & 0x08;
    run.fail_plane = first & 0x10;
    run.fail_level = first & 0x20;

    TvRunMultiplayerSession("server");

    const TvMultiplayerSession& s = TvGetMultiplayerSession();
    require(s.client_state == 0, "a session ends offline");
    require(!s.game && !TvGetGameComponent(), "a session ends without its game");
    require(lobby_game->references == 1, "the session gives back its references on the game");
    check_session();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    // Every start state is reached by the scripted way, and the input then ends the session.
    for (uint8_t start = 0; start < start_count; ++start) {
        const uint8_t only_start[] = {start};
        run_session(only_start, sizeof only_start);
        if (run.prelude)
            std::fprintf(stderr, "fuzz: start %u stopped in state %d on %s\n", unsigned(start),
                         TvGetMultiplayerSession().client_state, TvMenus().link.c_str());
        require(!run.prelude, "the scripted way reaches its start state");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fixture();
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        run_session(data, size);
    }
    return 0;
}
