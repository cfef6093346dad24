// The multiplayer session tests' fixture: scripted pages and clicks, a scripted client game
// over the single-player tests' fixture game, and the test server.
#include "tests/frontend/multiplayer/session_fixture.h"

#include "framework/io/binary_stream_composer.h"
#include "frontend/menus/menu_state.h"
#include "frontend/multiplayer/lobby.h"
#include "frontend/multiplayer/multiplayer_frames.h"
#include "frontend/multiplayer/multiplayer_session.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/window_hook.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"
#include "platform/dplay/dplay.h"
#include "tests/frontend/multiplayer/session_messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

namespace mptest {

namespace {

// Lobby passes after which a test is taken to hang: the program is asked to quit.
constexpr long pass_limit = 4000;
constexpr uint32_t pass_ms = 20; // virtual milliseconds of one lobby pass or page poll

singletest::FixtureGame* current_game = nullptr;
std::map<std::string, std::deque<std::string>> page_links;
std::map<int32_t, std::deque<std::string>> clicks;
long passes = 0;

void wait_a_little() {
    platform::advance_virtual_clock(pass_ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool over_pass_limit() {
    if (++passes < pass_limit) return false;
    ADD_FAILURE() << "the lobby ran " << pass_limit << " passes";
    TvSetQuitFlag(1);
    return true;
}

// A page shown for a few frames while the network speaks, then its scripted link.
OmResult run_page(std::string& link) {
    const std::string page = link;
    SessionTest::pages_run().push_back(page);
    for (int i = 0; i < 15; ++i) {
        if (over_pass_limit()) return OM_S_OK;
        wait_a_little();
        if (IOmAerovantClient* client = TvGetNetworkClient()) client->Poll(0);
        if (TvMenus().leave_page) return OM_S_OK;
    }
    auto& links = page_links[page];
    if (links.empty()) {
        link = "command:timeout";
    } else {
        link = links.front();
        links.pop_front();
    }
    return OM_S_OK;
}

OmResult search_pass(void*) {
    wait_a_little();
    auto& targets = clicks[1];
    if (!targets.empty() && targets.front() == "command:back") {
        targets.pop_front();
        return OM_E_FAIL;
    }
    return OM_S_OK;
}

bool menu_pass(std::string* clicked) {
    if (over_pass_limit()) return false;
    wait_a_little();
    auto& targets = clicks[TvGetMultiplayerSession().client_state];
    if (targets.empty()) return false;
    *clicked = targets.front();
    targets.pop_front();
    return true;
}

// A message the client game would send, written field by field.
void send_raw(uint16_t type, uint16_t flags,
              std::initializer_list<std::pair<int32_t, uint32_t>> fields) {
    IOmAerovantClient* client = TvGetNetworkClient();
    if (!client) return;
    IBinaryStreamComposer* packet = client->NewPacket();
    if (!packet) return;
    for (auto [value, bits] : fields) packet->Field(OM_FIELD_INTEGER, bits, &value);
    client->Send(packet, type, flags);
}

class ScriptedSessionGame : public TvSessionGame {
public:
    explicit ScriptedSessionGame(singletest::FixtureGame* game) : game_(game) {}

    ITvGame* game() override { return game_; }
    OmResult handle_message(IBinaryStreamComposer* packet, uint16_t type, uint16_t) override {
        record().messages.push_back(type);
        // The plane a respawn rebuilds is the slot's type as the plane changes left it.
        uint32_t slot = 0;
        std::string plane;
        if (type == 33 && decode_plane_change(packet, &slot, &plane) && slot < 8)
            record().plane_types[slot] = plane;
        else if (type == 23 && decode_respawn(packet, &slot) && slot < 8)
            record().respawned_as.push_back(record().plane_types[slot]);
        if (type == 48) game_->forced = 0x40;
        if (type == 39) game_->forced = 0x100;
        if (type == 52) game_->forced = 0x200;
        return OM_S_OK;
    }
    OmResult system_event(OmTransportMessage* event) override {
        record().events.push_back(event->kind);
        if (event->kind == 3) game_->forced = 0x40;
        return OM_E_FAIL;
    }
    void clear_outcome() override {
        ++record().outcome_clears;
        game_->forced = 0;
    }
    void set_clock(int32_t, int32_t) override { ++record().clock_sets; }
    // The server's own clock: the time samples meet the server's answers at once.
    uint32_t game_time_ms() override { return mpserver::server_now_ms(); }
    OmResult add_player(const TvPlayerInfo& info, int32_t slot, bool local) override {
        if (!local) return OM_E_FAIL;
        if (record().add_player_result < 0) return record().add_player_result;
        record().players.push_back(info);
        record().player_slots.push_back(slot);
        if (slot >= 0 && slot < 8) record().plane_types[slot] = info.planeId;
        record().planes[slot].properties[517] = uintptr_t(info.status);
        return OM_S_OK;
    }
    ITvObject* player_plane(int32_t slot) override {
        if (slot < 0 || slot >= 8 || !record().planes[slot].properties.count(517)) return nullptr;
        return &record().planes[slot];
    }
    OmResult deduct_kill(int32_t slot) override {
        record().kills_taken.push_back(slot);
        send_raw(22, 0x91, {{slot, 5}});
        return OM_S_OK;
    }
    void sync_player_planes() override {}
    bool chat_active() override { return record().chat_active; }
    OmResult change_mission(int32_t mission) override {
        record().missions_changed.push_back(mission);
        return record().change_mission_result;
    }

private:
    static GameRecord& record() { return SessionTest::game_record(); }
    singletest::FixtureGame* game_;
};

std::unique_ptr<TvSessionGame> make_scripted_game() {
    if (!current_game) return nullptr;
    return std::make_unique<ScriptedSessionGame>(current_game);
}

void note_state(int32_t state) {
    SessionTest::states().push_back(state);
}

void note_page(const char* page) {
    SessionTest::pages_shown().emplace_back(page);
}

} // namespace

OmResult FakePlane::QueryInterface(const GUID& iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_ITvObject) {
        *out = static_cast<ITvObject*>(this);
        return OM_S_OK;
    }
    *out = nullptr;
    return OM_E_NOINTERFACE;
}

void SessionTest::SetUp() {
    MissionTest::SetUp();
    current_game = &game_;
    game_.outcome = 0;
    game_.outcome_after = 1 << 30;
    page_links.clear();
    clicks.clear();
    passes = 0;
    states().clear();
    pages_shown().clear();
    pages_run().clear();
    game_record() = GameRecord{};
    TvResetMultiplayerSession();
    TvSetSessionGameFactory(make_scripted_game);
    const TvLobbyPages pages{run_page, search_pass, menu_pass};
    TvSetLobbyPages(&pages);
    TvSetClientStateObserver(note_state);
    TvSetSessionPageObserver(note_page);
    TvPilotRecord& pilot = add_pilot(0);
    std::strcpy(pilot.full_name, "Albert Ball");
    std::strcpy(pilot.favourite_plane, "tavrincamel");
    pilot.side = 8;
}

void SessionTest::TearDown() {
    TvSetMultiplayerFrameObserver(nullptr);
    TvSetClientStateObserver(nullptr);
    TvSetSessionPageObserver(nullptr);
    TvSetLobbyPages(nullptr);
    TvSetSessionGameFactory(nullptr);
    if (IOmAerovantClient* client = TvGetNetworkClient()) {
        client->Stop();
        client->Close();
    }
    TvResetMultiplayerSession();
    platform::set_direct_play_timing(platform::DirectPlayTiming{});
    current_game = nullptr;
    MissionTest::TearDown();
}

std::unique_ptr<mpserver::Server> SessionTest::serve(const mpserver::ServerOptions& options) {
    std::string error;
    auto server = mpserver::Server::start(options, &error);
    EXPECT_TRUE(server) << error;
    return server;
}

mpserver::ServerOptions SessionTest::scenario(const char* name) {
    mpserver::ServerOptions options;
    options.scenario = name;
    return options;
}

OmResult SessionTest::run_session(const mpserver::Server& server) {
    return TvRunMultiplayerSession(server.address().c_str());
}

void SessionTest::script_page(const std::string& page, std::vector<std::string> links) {
    for (auto& link : links) page_links[page].push_back(std::move(link));
}

void SessionTest::script_click(int32_t state, std::vector<std::string> targets) {
    for (auto& target : targets) clicks[state].push_back(std::move(target));
}

std::vector<int32_t>& SessionTest::states() {
    static std::vector<int32_t> list;
    return list;
}

std::vector<std::string>& SessionTest::pages_shown() {
    static std::vector<std::string> list;
    return list;
}

std::vector<std::string>& SessionTest::pages_run() {
    static std::vector<std::string> list;
    return list;
}

GameRecord& SessionTest::game_record() {
    static GameRecord record;
    return record;
}

std::vector<uint16_t> SessionTest::types(const std::vector<mpserver::LogEntry>& log) {
    std::vector<uint16_t> list;
    for (const auto& entry : log)
        if (entry.type != 25) list.push_back(entry.type);
    return list;
}

std::string SessionTest::dump(const mpserver::Server& server) {
    std::ostringstream out;
    out << "server log:\n";
    for (const auto& entry : server.log()) out << "  " << mpserver::Server::describe(entry) << "\n";
    out << "states:";
    for (int32_t s : states()) out << " " << s;
    out << "\npages shown:";
    for (const auto& p : pages_shown()) out << " " << p;
    out << "\npages run:";
    for (const auto& p : pages_run()) out << " " << p;
    return out.str();
}

} // namespace mptest
