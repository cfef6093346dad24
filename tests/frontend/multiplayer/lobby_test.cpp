// The multiplayer lobby against the test server: the states from connection to the match, the
// links of the lobby's pages, the server's messages and a server that falls silent.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/binary_stream_composer.h"
#include "framework/io/memory_stream.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/multiplayer/lobby.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "net/client/om_aerovant_client.h"
#include "platform/dplay/dplay.h"
#include "tests/frontend/multiplayer/session_fixture.h"
#include "tools/mpserver/mp_messages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace mptest {
namespace {

using mpserver::LogEntry;

size_t count(const std::vector<uint16_t>& list, uint16_t type) {
    return size_t(std::count(list.begin(), list.end(), type));
}

// Whether `wanted` appears in `list` in this order (not necessarily side by side).
bool in_order(const std::vector<int32_t>& list, const std::vector<int32_t>& wanted) {
    size_t next = 0;
    for (int32_t v : list)
        if (next < wanted.size() && v == wanted[next]) ++next;
    return next == wanted.size();
}

bool contains(const std::vector<int32_t>& list, int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

class LobbyTest : public SessionTest {};

TEST_F(LobbyTest, ConnectsJoinsRespawnsSyncsAndFliesTheMatch) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    script_page("menus\\multiplayer.html", {"command:rejoin"});
    script_page("menus\\finished.html", {"menus\\main.html"});
    game_.outcome = 0x101; // the match ends at once, won by slot 1
    game_.outcome_after = 1;

    EXPECT_EQ(run_session(*server), OM_S_OK) << dump(*server);

    const std::vector<int32_t> to_match = {0, 1, 2, 3, 4, 5, 8, 7, 9, 10, 6};
    ASSERT_GE(states().size(), to_match.size()) << dump(*server);
    EXPECT_EQ(std::vector<int32_t>(states().begin(), states().begin() + to_match.size()), to_match)
        << dump(*server);
    // After the match: the finished page in the lobby, then the main menu ends the session.
    EXPECT_EQ(TvMenus().last_outcome, 0x101);
    EXPECT_EQ(TvMenus().link, "menus\\main.html");
    EXPECT_EQ(TvMenus().client_state, 0);
    EXPECT_EQ(TvGetGameSettingsRecord().mission_number, 101);

    const auto log = server->log();
    const auto seen = types(log);
    ASSERT_FALSE(seen.empty());
    const LogEntry& join = log.front();
    EXPECT_EQ(join.type, 19);
    EXPECT_EQ(join.flags, 0xa1);
    ASSERT_TRUE(join.decoded) << join.reason;
    EXPECT_EQ(join.decoded->text("name"), "Albert Ball");
    EXPECT_EQ(join.decoded->text("plane"), "multitavrincamel");
    EXPECT_EQ(join.decoded->num("side"), 0x102);
    EXPECT_EQ(count(seen, 24), 1u) << dump(*server);
    EXPECT_GE(count(seen, 28), 1u);
    EXPECT_GE(count(seen, 29), 6u) << dump(*server);
    size_t answers = 0;
    for (const auto& sent : server->sent()) answers += sent.message.type == 27;
    EXPECT_EQ(answers, 1u);
    // In order: the join, the respawn request, then the time requests and samples.
    const auto at = [&](uint16_t type) {
        return std::find(seen.begin(), seen.end(), type) - seen.begin();
    };
    EXPECT_LT(at(19), at(24));
    EXPECT_LT(at(24), at(28));
    EXPECT_LT(at(28), at(29));

    // The local plane was made from the accepted record, in the slot message 21 gave.
    ASSERT_EQ(game_record().players.size(), 1u);
    EXPECT_STREQ(game_record().players[0].name, "Albert Ball");
    EXPECT_EQ(game_record().player_slots[0], TvGetGameSettingsRecord().local_player);
    EXPECT_GE(game_record().clock_sets, 2); // at 27, and when the sync ends
    EXPECT_EQ(game_record().outcome_clears, 1);
    EXPECT_TRUE(contains(
        std::vector<int32_t>(game_record().messages.begin(), game_record().messages.end()), 23));
}

struct LinkCase {
    const char* name;
    std::vector<std::string> multiplayer_links;
    std::map<int32_t, std::vector<std::string>> clicks;
    bool ignore_respawns;
    const char* page_left;
    std::vector<int32_t> states_in_order;
    std::vector<int32_t> states_never;
};

TEST_F(LobbyTest, EachLinkLeadsToItsStateAndPage) {
    const std::vector<LinkCase> cases = {
        {"back leaves", {"command:back"}, {}, false, "menus\\multiplayer.html", {8, 0}, {7}},
        {"killconnect leaves",
         {"command:killconnect"},
         {},
         false,
         "menus\\multiplayer.html",
         {8, 0},
         {7}},
        {"main menu leaves", {"menus\\main.html"}, {}, false, "menus\\main.html", {8, 0}, {7}},
        {"timeout shows the page again",
         {"command:timeout", "menus\\main.html"},
         {},
         false,
         "menus\\main.html",
         {8, 0},
         {7}},
        {"the respawn deadline returns to the lobby",
         {"command:rejoin", "menus\\main.html"},
         {},
         true,
         "menus\\main.html",
         {8, 7, 8, 0},
         {9}},
        {"back while syncing only returns to the lobby",
         {"command:rejoin", "menus\\main.html"},
         {{10, {"command:back"}}},
         false,
         "menus\\main.html",
         {8, 7, 9, 10, 8, 0},
         {6}},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        states().clear();
        pages_run().clear();
        auto options = scenario("lobby");
        options.ignore_respawns = c.ignore_respawns;
        auto server = serve(options);
        ASSERT_TRUE(server);
        script_page("menus\\multiplayer.html", c.multiplayer_links);
        for (const auto& [state, targets] : c.clicks) script_click(state, targets);

        EXPECT_EQ(run_session(*server), OM_S_OK);
        EXPECT_EQ(TvMenus().link, c.page_left) << dump(*server);
        EXPECT_EQ(TvMenus().countdown, 30);
        EXPECT_TRUE(in_order(states(), c.states_in_order)) << dump(*server);
        for (int32_t never : c.states_never)
            EXPECT_FALSE(contains(states(), never)) << never << "\n" << dump(*server);
        const auto runs = std::count(pages_run().begin(), pages_run().end(),
                                     std::string("menus\\multiplayer.html"));
        EXPECT_GE(size_t(runs), std::min<size_t>(c.multiplayer_links.size(), 2u)) << dump(*server);
    }
}

// "Change side" on the multiplayer page: the side page (state 13) sends the side, the plane
// page (state 12) the plane, and the lobby page comes back.
TEST_F(LobbyTest, ChangingSideThenPlaneSendsBothAndReturnsToTheLobby) {
    auto server = serve(scenario("lobby"));
    ASSERT_TRUE(server);
    script_page("menus\\multiplayer.html", {"Menus\\chooseside.html", "menus\\main.html"});
    script_page("menus\\chooseside.html", {"menus\\choosecentral.html"});
    script_page("menus\\choosecentral.html", {"planechoice:multifokkertriplane"});

    EXPECT_EQ(run_session(*server), OM_S_OK);
    EXPECT_TRUE(in_order(states(), {8, 13, 12, 8, 0})) << dump(*server);
    ASSERT_TRUE(server->wait_for(
        [](const std::vector<LogEntry>& log) {
            return std::count_if(log.begin(), log.end(), [](const LogEntry& e) {
                       return e.type == 33 || e.type == 34;
                   }) == 2;
        },
        5000))
        << dump(*server);
    const auto log = server->log();
    const auto side = std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == 34; });
    const auto plane = std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == 33; });
    ASSERT_TRUE(side != log.end() && plane != log.end());
    EXPECT_LT(side - log.begin(), plane - log.begin());
    EXPECT_EQ(side->decoded->num("side"), 9);
    EXPECT_EQ(plane->decoded->text("plane"), "multifokkertriplane");
}

// The lobby page's own plane and side links (the dispatcher's changeplane and changeside) reach
// the server during the session, and the next respawn rebuilds the new type; once the session
// is over they are the menus' own again.
TEST_F(LobbyTest, PlaneAndSideChangedOnTheLobbyPageReachTheServer) {
    auto server = serve(scenario("lobby"));
    ASSERT_TRUE(server);
    script_page("menus\\multiplayer.html",
                {"command:changeplane:multifokkertriplane", "command:changeside:9",
                 "command:rejoin", "menus\\main.html"});
    script_page("menus\\finished.html", {"menus\\main.html"});
    game_.outcome = 0x100; // the match ends at once
    game_.outcome_after = 1;
    static std::vector<int32_t> modes_in_lobby;
    modes_in_lobby.clear();
    TvSetClientStateObserver([](int32_t state) {
        states().push_back(state);
        if (state == 8) modes_in_lobby.push_back(TvMenus().session_mode);
    });

    EXPECT_EQ(run_session(*server), OM_S_OK);
    ASSERT_TRUE(server->wait_for(
        [](const std::vector<LogEntry>& log) {
            return std::count_if(log.begin(), log.end(), [](const LogEntry& e) {
                       return e.type == 33 || e.type == 34;
                   }) == 2;
        },
        5000))
        << dump(*server);
    const auto log = server->log();
    const auto plane = std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == 33; });
    const auto side = std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == 34; });
    ASSERT_TRUE(plane != log.end() && side != log.end());
    EXPECT_LT(plane - log.begin(), side - log.begin());
    EXPECT_EQ(plane->decoded->text("plane"), "multifokkertriplane");
    EXPECT_EQ(side->decoded->num("side"), 9);
    EXPECT_STREQ(TvCurrentPilotSlot()->favourite_plane, "multifokkertriplane");
    // The respawn after the change gives the new type.
    ASSERT_FALSE(game_record().respawned_as.empty()) << dump(*server);
    EXPECT_EQ(game_record().respawned_as.front(), "multifokkertriplane");
    // The lobby ran in a session mode of its own; afterwards the menus are out of the session.
    EXPECT_FALSE(modes_in_lobby.empty());
    for (int32_t mode : modes_in_lobby) EXPECT_EQ(mode, TV_SESSION_MULTIPLAYER);
    EXPECT_EQ(TvMenus().session_mode, 0);
}

// A pilot read back from characters.ini joins on its plane's side.
TEST_F(LobbyTest, AReloadedPilotJoinsOnTheSideOfItsPlane) {
    std::snprintf(TvCurrentPilotSlot()->favourite_plane, 32, "%s", "multitavrincamel");
    ASSERT_EQ(TvWritePilotsFile(), OM_S_OK);
    TvClearPilotRoster();
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    ASSERT_NE(TvCurrentPilotSlot(), nullptr);
    EXPECT_EQ(TvCurrentPilotSlot()->side, TV_SIDE_ALLIED);
    auto server = serve(scenario("lobby"));
    ASSERT_TRUE(server);
    script_page("menus\\multiplayer.html", {"menus\\main.html"});

    EXPECT_EQ(run_session(*server), OM_S_OK);
    const auto log = server->log();
    ASSERT_FALSE(log.empty()) << dump(*server);
    ASSERT_EQ(log.front().type, 19);
    ASSERT_TRUE(log.front().decoded) << log.front().reason;
    EXPECT_EQ(log.front().decoded->text("plane"), "multitavrincamel");
    EXPECT_EQ(log.front().decoded->num("side"), 0x102);
}

// After a won round the map vote weighs by the player's own side (set at the join), and the
// side goes back when the session ends.
TEST_F(LobbyTest, TheMapVoteWeighsByThePlayersOwnSide) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    script_page("menus\\multiplayer.html", {"command:rejoin", "menus\\main.html"});
    script_page("menus\\finished.html", {"vote:map:2"});
    game_.outcome = 0x101; // won by slot 1, Allied
    game_.outcome_after = 1;
    static std::vector<std::pair<int32_t, int32_t>> in_lobby; // side flags, slot
    in_lobby.clear();
    TvSetClientStateObserver([](int32_t state) {
        states().push_back(state);
        if (state == 8)
            in_lobby.emplace_back(TvGetGameSettingsRecord().side_flag,
                                  TvGetGameSettingsRecord().local_player);
    });

    EXPECT_EQ(run_session(*server), OM_S_OK) << dump(*server);
    ASSERT_FALSE(in_lobby.empty());
    EXPECT_EQ(in_lobby.front(), (std::pair<int32_t, int32_t>{0x102, 0}));
    EXPECT_EQ(TvGetGameSettingsRecord().side_flag, 0);
    ASSERT_TRUE(server->wait_for(
        [](const std::vector<LogEntry>& log) {
            return std::any_of(log.begin(), log.end(), [](auto& e) { return e.type == 40; });
        },
        5000))
        << dump(*server);
    const auto log = server->log();
    const auto vote = std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == 40; });
    ASSERT_TRUE(vote->decoded) << vote->reason;
    EXPECT_EQ(vote->decoded->num("map"), 2);
    EXPECT_EQ(vote->decoded->num("weight"), (TvGetGameSettingsRecord().player_count + 1) / 2);
}

struct MessageCase {
    const char* name;
    mpserver::ServerOptions options;
    std::map<std::string, std::vector<std::string>> links;
    const char* page_left;
    std::vector<int32_t> states_in_order;
    int32_t outcome; // the end flags the lobby booked (-1: not checked)
    std::vector<uint16_t> server_saw;
};

TEST_F(LobbyTest, ServerMessagesLeadToTheirPagesAndStates) {
    auto end = scenario("end");
    auto without_vote = end;
    without_vote.finish_without_vote = true;
    auto limit = scenario("lobby");
    limit.refusal = 50;
    auto voting = scenario("lobby");
    voting.refusal = 49;
    const std::vector<MessageCase> cases = {
        // 39 shows the finished page; the vote is answered with 41 (a new level), then 48.
        {"finished, vote, new mission, disconnected",
         end,
         {{"menus\\finished.html", {"vote:map:2"}}},
         "menus\\disconnected.html",
         {5, 8, 14, 17},
         0x100,
         {19, 40}},
        {"finished without a vote",
         without_vote,
         {{"menus\\finishednv.html", {"menus\\main.html"}}},
         "menus\\main.html",
         {5, 8, 0},
         0x200,
         {19}},
        {"player limit", limit, {}, "menus\\playerlimit.html", {2, 3, 17}, -1, {}},
        {"voting in progress", voting, {}, "menus\\votinginprogress.html", {2, 3, 17}, -1, {}},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        states().clear();
        TvMenus().last_outcome = 0;
        auto server = serve(c.options);
        ASSERT_TRUE(server);
        for (const auto& [page, links] : c.links) script_page(page, links);

        EXPECT_EQ(run_session(*server), OM_S_OK);
        EXPECT_EQ(TvMenus().link, c.page_left) << dump(*server);
        EXPECT_TRUE(in_order(states(), c.states_in_order)) << dump(*server);
        EXPECT_EQ(states().back(), 0) << dump(*server);
        if (c.outcome >= 0) {
            EXPECT_EQ(TvMenus().last_outcome & 0xF00, c.outcome);
        }
        EXPECT_EQ(types(server->log()), c.server_saw) << dump(*server);
    }
}

// A message 20 while the multiplayer page runs makes the page loop return with
// "command:timeout"; on another page it changes nothing.
TEST_F(LobbyTest, ANewcomerRefreshesOnlyTheMultiplayerPage) {
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    IOmAerovantClient* client = TvGetNetworkClient();
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(client->Init("127.0.0.1:1"), OM_S_OK);
    for (const char* page : {"menus\\multiplayer.html", "menus\\waiting.html"}) {
        SCOPED_TRACE(page);
        TvSetSessionPage(s, page);
        s.leave_page = 0;
        IBinaryStreamComposer* packet = client->NewPacket();
        ASSERT_NE(packet, nullptr);
        TvLobbyHandleMessage(&s, 0, packet, 20, 0);
        packet->Release();
        const bool multiplayer = std::string(page) == "menus\\multiplayer.html";
        EXPECT_EQ(s.page, multiplayer ? "command:timeout" : page);
        EXPECT_EQ(s.leave_page, multiplayer ? 1 : 0);
    }
}

// State 14: the level switch after a vote; a level that fails to load ends the session.
TEST_F(LobbyTest, LevelSwitchLoadsTheVotedMissionOrEndsTheSession) {
    for (OmResult loaded : {OM_S_OK, OM_E_FAIL}) {
        SCOPED_TRACE(loaded);
        TvResetMultiplayerSession();
        TvMultiplayerSession& s = TvGetMultiplayerSession();
        s.game = TvMakeSessionGame();
        ASSERT_TRUE(s.game);
        game_record().change_mission_result = loaded;
        game_record().missions_changed.clear();
        TvGetGameSettingsRecord().mission_number = 102;
        TvSetClientState(s, 14);
        script_page("menus\\multiplayer.html", {"menus\\main.html"});
        states().clear();

        EXPECT_LT(TvRunMultiplayerLobby(), 0);
        EXPECT_EQ(game_record().missions_changed, std::vector<int32_t>{102});
        if (loaded >= 0) {
            EXPECT_EQ(states(), (std::vector<int32_t>{8}));
            EXPECT_EQ(s.page, "menus\\main.html");
        } else {
            EXPECT_EQ(states(), (std::vector<int32_t>{17}));
            EXPECT_EQ(s.page, "menus\\disconnected.html");
        }
    }
}

// The server says nothing after its first datagram, not even the transport's heartbeat: the
// stand-in's liveness check loses the session and the lobby ends it on the disconnected page.
TEST_F(LobbyTest, ASilentServerEndsTheSessionThroughTheLivenessCheck) {
    platform::DirectPlayTiming timing;
    timing.heartbeat_ms = 100;
    timing.silence_ms = 400;
    platform::set_direct_play_timing(timing);
    auto server = serve(scenario("silent"));
    ASSERT_TRUE(server);

    EXPECT_EQ(run_session(*server), OM_S_OK);
    EXPECT_EQ(TvMenus().link, "menus\\disconnected.html") << dump(*server);
    EXPECT_TRUE(in_order(states(), {4, 5, 17, 0})) << dump(*server);
    EXPECT_EQ(game_record().events, std::vector<uint32_t>{3});
    EXPECT_EQ(types(server->log()), std::vector<uint16_t>{19});
}

// A server message as the lobby's handler receives it: the test server's encoding, read
// through a packet.
ComRef<IBinaryStreamComposer> server_packet(const mpserver::Message& message) {
    const auto bytes = mpserver::encode(message, mpserver::Direction::ToClient);
    ComRef<IByteStream> stream;
    EXPECT_GE(OmNewMemoryStream(stream.put()), 0);
    if (!bytes.empty()) stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    ComRef<IBinaryStreamComposer> packet;
    EXPECT_GE(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
    packet->Attach(stream.get(), OM_COMPOSER_READ);
    return packet;
}

void receive(TvMultiplayerSession& s, const mpserver::Message& message) {
    auto packet = server_packet(message);
    TvLobbyHandleMessage(&s, 0, packet.get(), message.type, 0);
}

// After its disconnection the server may still send what the other players cause (a finish
// when one comes back to the lobby, a new mission), and close the connection after its
// refusal: a session that ended keeps the page that says why, so the player leaves through it
// and not through a lobby page of a dead session.
TEST_F(LobbyTest, AnEndedSessionKeepsThePageThatSaysWhy) {
    namespace msg = mpserver::msg;
    const std::vector<mpserver::Message> late = {
        mpserver::Message(msg::match_finished).set("slot", 1),
        mpserver::Message(msg::finished_no_vote).set("slot", 1),
        mpserver::Message(msg::new_mission).set("mission", 2),
        mpserver::Message(msg::game_parameters).set("mission", 101).set("slot", 0),
        mpserver::Message(msg::player_id).set("id", 1),
        mpserver::Message(msg::voting_in_progress),
    };
    for (const char* page : {"menus\\disconnected.html", "menus\\playerlimit.html"}) {
        SCOPED_TRACE(page);
        TvResetMultiplayerSession();
        TvMultiplayerSession& s = TvGetMultiplayerSession();
        s.game = TvMakeSessionGame();
        ASSERT_TRUE(s.game);
        TvSetClientState(s, 17); // as the session's end leaves it
        TvSetSessionPage(s, page);
        s.leave_page = 1;
        const int32_t flags = s.end_flags;
        for (const mpserver::Message& m : late) {
            SCOPED_TRACE(m.type);
            receive(s, m);
            EXPECT_EQ(s.client_state, 17);
            EXPECT_EQ(s.page, page);
            EXPECT_EQ(s.end_flags, flags);
        }
        OmTransportMessage lost{TV_EVENT_SESSION_LOST, 0, 0, 0, nullptr};
        TvLobbyHandleSystemEvent(reinterpret_cast<uintptr_t>(&s), &lost);
        EXPECT_EQ(s.page, page);
        EXPECT_EQ(s.end_flags, flags);
    }
}

// The server accepts the join, but the game cannot make the plane the record names (one the
// data set does not have): the session ends on the page that says so and offers another plane,
// not on a lost connection.
TEST_F(LobbyTest, AJoinWhosePlaneCannotBeMadeEndsOnThePageThatSaysSo) {
    namespace msg = mpserver::msg;
    TvResetMultiplayerSession();
    game_record() = GameRecord{};
    game_record().add_player_result = OM_E_FAIL;
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    s.game = TvMakeSessionGame();
    ASSERT_TRUE(s.game);
    s.local_slot = 0;
    TvSetClientState(s, 5);
    mpserver::Message join(msg::join);
    join.set_text("name", "Baron").set_text("plane", "multijunkers");
    join.set("status", 7).set("side", 0x102).set("object", 5003).set("kills", 0).set("slot", 0);
    for (int i = 0; i < 16; ++i) join.set("matrix" + std::to_string(i), i % 5 == 0 ? 1 : 0);
    for (int i = 0; i < 4; ++i) join.set("ints" + std::to_string(i), 0);
    receive(s, join);
    EXPECT_EQ(s.client_state, 17);
    EXPECT_EQ(s.page, "menus\\noplane.html");
    EXPECT_EQ(s.leave_page, 1);
    EXPECT_FALSE(s.local_plane);
}

struct PlaneCase {
    const char* name;
    int32_t state;
    bool plane; // the game holds the local player's plane (slot 0)
    uint16_t message;
    int32_t state_after;
};

// The respawn and the time sync lead into the match, so they are only for the local player's
// plane: before the join was accepted, or once the server took the plane away, a respawn or a
// server time changes nothing, and a sync that lost its plane returns to the lobby page
// instead of flying without one.
TEST_F(LobbyTest, RespawnAndTimeSyncWantTheLocalPlane) {
    namespace msg = mpserver::msg;
    mpserver::Message respawn(msg::respawn);
    respawn.set("matrix0", 1).set("matrix5", 1).set("matrix10", 1).set("slot", 0);
    const mpserver::Message server_time = mpserver::Message(msg::server_time).set("time", 500000);
    const std::vector<PlaneCase> cases = {
        {"respawn before the join", 5, false, msg::respawn, 5},
        {"server time before the join", 3, false, msg::server_time, 3},
        {"respawn of the joined plane", 8, true, msg::respawn, 9},
        {"server time for the joined plane", 9, true, msg::server_time, 10},
    };
    for (const PlaneCase& c : cases) {
        SCOPED_TRACE(c.name);
        TvResetMultiplayerSession();
        game_record() = GameRecord{};
        TvMultiplayerSession& s = TvGetMultiplayerSession();
        s.game = TvMakeSessionGame();
        ASSERT_TRUE(s.game);
        s.local_slot = 0;
        s.local_plane = c.plane; // as an accepted join leaves it
        if (c.plane) game_record().planes[0].properties[517] = 7;
        TvSetClientState(s, c.state);
        receive(s, c.message == msg::respawn ? respawn : server_time);
        EXPECT_EQ(s.client_state, c.state_after);
    }

    // Syncing, the plane is taken away (message 38 for the local slot), then six answers in
    // the window end the sync.
    TvResetMultiplayerSession();
    game_record() = GameRecord{};
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    s.game = TvMakeSessionGame();
    ASSERT_TRUE(s.game);
    s.local_slot = 0;
    s.local_plane = true;
    game_record().planes[0].properties[517] = 4;
    TvSetClientState(s, 9);
    receive(s, server_time);
    ASSERT_EQ(s.client_state, 10);
    game_record().planes[0].properties.clear();
    const auto answer =
        mpserver::Message(msg::time_answer).set("time", 500100).set("difference", 0);
    for (int hit = 0; hit < 6; ++hit) receive(s, answer);
    EXPECT_EQ(s.client_state, 8);
    EXPECT_EQ(s.page, "menus\\multiplayer.html");
    EXPECT_FALSE(contains(states(), 6));

    // Syncing, the plane is taken away and another player's plane comes to the local slot
    // before the answers: that plane is not flown as the local one.
    states().clear();
    s.local_plane = true;
    game_record().planes[0].properties[517] = 4;
    TvSetClientState(s, 9);
    receive(s, server_time);
    ASSERT_EQ(s.client_state, 10);
    game_record().planes[0].properties.clear();
    receive(s, mpserver::Message(msg::status).set("slot", 1).set("status", 4));
    game_record().planes[0].properties[517] = 4; // a newcomer in slot 0
    for (int hit = 0; hit < 6; ++hit) receive(s, answer);
    EXPECT_EQ(s.client_state, 8);
    EXPECT_FALSE(contains(states(), 6));
}

} // namespace
} // namespace mptest
