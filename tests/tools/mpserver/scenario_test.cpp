// The multiplayer test server's scenarios played against the real network client, driven by
// a script of the game's messages (no game): what the client receives, and the server's log
// of what it received.
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"

#include "tests/net/net_fixture.h"
#include "tools/mpserver/mp_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <thread>

namespace {

using mpserver::LogEntry;
using mpserver::Server;
using mpserver::ServerOptions;

constexpr uint32_t wait_ms = 5000;

// One game's network side: the real client, a handler that decodes what arrives with the
// game's decoders, and helpers to send and wait.
class ScriptedGame {
public:
    ScriptedGame() {
        EXPECT_EQ(OmCreate(CLSID_OmAerovantClient, IID_IOmAerovantClient, client.put()), 0);
        client->SetMessageHandler(handle, this);
        client->SetQueueCallback(event, reinterpret_cast<uintptr_t>(this));
    }
    ~ScriptedGame() {
        if (client) {
            client->Stop();
            client->Close();
        }
    }

    // Joins the server's session; the server speaks first with 17 and 21.
    bool join(const Server& server) {
        std::string address = server.address();
        if (client->Init(address.c_str()) != 0) return false;
        client->SetStatusPage(
            [](void*, const char*, int32_t) {
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            },
            nullptr);
        client->TvStartSessionJoin(nullptr, nullptr, "machine-game-id!", 16);
        return until([&] { return count(21) + count(49) + count(50) > 0; });
    }

    // The join request of a pilot.
    void request_join(const char* name, uint32_t side_flags = 0x102) {
        TvToServerJoinRequest join{};
        std::strcpy(join.info.name, name);
        std::strcpy(join.info.planeId, "multitavrincamel");
        join.info.sideFlags = side_flags;
        join.info.settings[0] = 33;
        join.info.settings[1] = 34;
        send(join);
    }

    template <class M>
    void send(const M& m) {
        IBinaryStreamComposer* packet = client->NewPacket();
        ASSERT_NE(packet, nullptr);
        ASSERT_EQ(TvEncode(packet, m), 0);
        ASSERT_EQ(client->Send(packet, uint16_t(M::type), M::flags), 0);
        client->Poll(OM_PUMP_FORCE);
    }

    bool until(const std::function<bool()>& condition, uint32_t timeout = wait_ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
        while (std::chrono::steady_clock::now() < end) {
            client->Poll(OM_PUMP_FORCE);
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }
    // Polls for `ms` whatever arrives.
    void keep_polling(uint32_t ms) {
        until([] { return false; }, ms);
    }

    size_t count(uint16_t type) const {
        size_t n = 0;
        for (const auto& [t, m] : received) n += t == type;
        return n;
    }
    // The nth received message of record type M.
    template <class M>
    const M* get(size_t nth = 0) const {
        for (const auto& [t, m] : received)
            if (const M* r = std::get_if<M>(&m); r && nth-- == 0) return r;
        return nullptr;
    }
    template <class M>
    bool wait_for(size_t nth = 0) {
        return until([&] { return get<M>(nth) != nullptr; });
    }

    ComRef<IOmAerovantClient> client;
    std::vector<std::pair<uint16_t, TvToClientMessage>> received;
    int dropped = 0;
    std::vector<uint32_t> events;

private:
    static OmResult handle(void* context, uint32_t, IBinaryStreamComposer* packet, uint16_t type,
                           uint16_t) {
        auto* self = static_cast<ScriptedGame*>(context);
        if (auto m = TvDecodeToClient(type, packet))
            self->received.emplace_back(type, std::move(*m));
        else
            ++self->dropped;
        return 0;
    }
    static OmResult event(uintptr_t context, OmTransportMessage* m) {
        reinterpret_cast<ScriptedGame*>(context)->events.push_back(m->kind);
        return 0;
    }
};

class ScenarioTest : public nettest::NetTest {
protected:
    // Drops are counted by each game; the debug log is left alone.
    void SetUp() override {
        nettest::NetTest::SetUp();
        TvSetDropSink([](uint16_t, const char*) {});
    }
    void TearDown() override {
        TvSetDropSink(nullptr);
        nettest::NetTest::TearDown();
    }
    std::unique_ptr<Server> serve(ServerOptions options) {
        std::string error;
        auto server = Server::start(options, &error);
        EXPECT_TRUE(server) << error;
        return server;
    }
    static std::vector<uint16_t> types(const std::vector<LogEntry>& log) {
        std::vector<uint16_t> out;
        for (const LogEntry& e : log) out.push_back(e.type);
        return out;
    }
    static size_t logged(const Server& server, uint16_t type) {
        size_t n = 0;
        for (const LogEntry& e : server.log()) n += e.type == type && e.decoded;
        return n;
    }
    static std::string dump(const Server& server) {
        std::string out;
        for (const LogEntry& e : server.log()) out += Server::describe(e) + "\n";
        return out;
    }
};

ServerOptions scenario(const char* name) {
    ServerOptions options;
    options.scenario = name;
    return options;
}

// Scenario 1: 17, 21, the join answered with 19 and a bot joining by 20.
TEST_F(ScenarioTest, LobbyAnswersTheJoinAndABotJoins) {
    auto server = serve(scenario("lobby"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    ASSERT_GE(game.received.size(), 2u);
    EXPECT_EQ(game.received[0].first, 17);
    EXPECT_EQ(game.get<TvToClientPlayerId>()->playerId, 1u);
    EXPECT_EQ(game.get<TvToClientGameParameters>()->mission, 101);
    EXPECT_EQ(game.get<TvToClientGameParameters>()->slot, 0u);

    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientPlayerJoined>());
    const auto* accepted = game.get<TvToClientJoinAccepted>();
    ASSERT_NE(accepted, nullptr);
    EXPECT_STREQ(accepted->info.name, "Pilot");
    EXPECT_STREQ(accepted->info.planeId, "multitavrincamel");
    EXPECT_EQ(accepted->info.status, 7);
    EXPECT_EQ(accepted->info.sideFlags, 0x102u);
    EXPECT_EQ(accepted->info.word, 5000u);
    EXPECT_EQ(accepted->info.kills, 0);
    EXPECT_EQ(accepted->info.extra[2], 50);
    EXPECT_EQ(accepted->info.extra[3], 1024);
    for (int i = 12; i < 15; ++i) {
        EXPECT_GE(accepted->info.matrix[i], 0.0f);
        EXPECT_LT(accepted->info.matrix[i], 65536.0f);
    }
    EXPECT_EQ(accepted->slot, 0u);
    const auto* bot = game.get<TvToClientPlayerJoined>();
    EXPECT_EQ(bot->slot, 1u);
    EXPECT_EQ(bot->info.status, 7);
    EXPECT_STREQ(bot->info.planeId, "multifokkertriplane");
    EXPECT_EQ(bot->info.sideFlags, 0x202u);
    EXPECT_EQ(bot->info.word, 5001u);

    ASSERT_TRUE(server->wait_for([](const auto& log) { return !log.empty(); }, wait_ms));
    auto log = server->log();
    ASSERT_EQ(log.size(), 1u) << dump(*server);
    EXPECT_EQ(log[0].type, 19);
    EXPECT_EQ(log[0].flags, 0xa1);
    ASSERT_TRUE(log[0].decoded);
    EXPECT_EQ(log[0].decoded->text("name"), "Pilot");
    EXPECT_EQ(log[0].decoded->num("side"), 0x102);
    EXPECT_EQ(log[0].decoded->num("settings1"), 34);
    EXPECT_EQ(game.dropped, 0);
}

// Scenario 2: respawn, the server time once per respawn, and time samples answered.
TEST_F(ScenarioTest, StartGrantsTheRespawnAndAnswersTheTimeMessages) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientJoinAccepted>());

    game.send(TvToServerRespawnRequest{});
    ASSERT_TRUE(game.wait_for<TvToClientRespawn>());
    EXPECT_EQ(game.get<TvToClientRespawn>()->slot, 0u);
    game.send(TvToServerTimeRequest{});
    game.send(TvToServerTimeRequest{});
    ASSERT_TRUE(game.wait_for<TvToClientServerTime>());
    const uint32_t before = mpserver::server_now_ms();
    game.send(TvToServerTimeSample{int32_t(before - 40)});
    ASSERT_TRUE(game.wait_for<TvToClientTimeAnswer>());
    const auto* answer = game.get<TvToClientTimeAnswer>();
    EXPECT_GE(answer->difference, 40);
    EXPECT_LT(answer->difference, 40 + int32_t(wait_ms));
    EXPECT_EQ(uint32_t(answer->time - answer->difference), before - 40);

    ASSERT_TRUE(server->wait_for([](const auto& log) { return log.size() >= 5; }, wait_ms));
    EXPECT_EQ(types(server->log()), (std::vector<uint16_t>{19, 24, 28, 28, 29})) << dump(*server);
    game.keep_polling(100);
    EXPECT_EQ(game.count(27), 1u); // once per respawn
}

// The two other ways of answering 29: echo the estimate, or a scripted list of differences.
TEST_F(ScenarioTest, TimeSamplesCanBeEchoedOrScripted) {
    ServerOptions echo = scenario("start");
    echo.time_mode = mpserver::TimeMode::Echo;
    ServerOptions scripted = scenario("start");
    scripted.time_mode = mpserver::TimeMode::Scripted;
    scripted.scripted_differences = {INT32_MIN, 3};
    for (const ServerOptions& options : {echo, scripted}) {
        auto server = serve(options);
        ASSERT_TRUE(server);
        ScriptedGame game;
        ASSERT_TRUE(game.join(*server));
        for (int i = 0; i < 3; ++i) game.send(TvToServerTimeSample{123456 + i});
        ASSERT_TRUE(game.wait_for<TvToClientTimeAnswer>(2));
        for (int i = 0; i < 3; ++i) {
            const auto* answer = game.get<TvToClientTimeAnswer>(size_t(i));
            if (options.time_mode == mpserver::TimeMode::Echo) {
                EXPECT_EQ(answer->time, 123456 + i);
                EXPECT_EQ(answer->difference, 0);
            } else {
                EXPECT_EQ(answer->difference, i == 0 ? INT32_MIN : 3); // the last one repeats
            }
        }
    }
}

// Scenario 3: the bot's reports every 50 ms with its serial, the clock correction every 2 s.
TEST_F(ScenarioTest, MatchSendsTheBotsStatesAndClockCorrections) {
    auto server = serve(scenario("match"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientPlaneStates>(5));
    uint32_t serial = 99;
    for (size_t i = 0; i < 5; ++i) {
        const auto* states = game.get<TvToClientPlaneStates>(i);
        ASSERT_EQ(states->entries.size(), 1u);
        EXPECT_EQ(states->entries[0].state.slot, 1u);
        if (serial != 99) {
            EXPECT_EQ(states->entries[0].state.value, (serial + 1) % 16);
        }
        serial = states->entries[0].state.value;
    }
    TvToServerPlaneReport report{};
    report.time = 50;
    report.fraction = 200;
    report.state.position[0] = 100;
    report.state.direction[2] = 1;
    report.state.speed = 30;
    game.send(report);
    ASSERT_TRUE(game.wait_for<TvToClientClockCorrection>());
    EXPECT_TRUE(server->wait_for([](const auto& log) { return log.size() >= 2; }, wait_ms));
    auto log = server->log();
    ASSERT_EQ(log.size(), 2u) << dump(*server);
    EXPECT_EQ(log[1].type, 25);
    EXPECT_EQ(log[1].decoded->num("fraction"), 200);
    EXPECT_EQ(log[1].decoded->num("pos.x"), 100);
}

// Scenario 4: the bot's line, and the client's line echoed to it with its name.
TEST_F(ScenarioTest, ChatShowsTheBotsLineAndEchoesTheClients) {
    auto server = serve(scenario("chat"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientChat>());
    EXPECT_EQ(game.get<TvToClientChat>()->text, "Bot: hello");
    game.send(TvToServerChat{"good hunting"});
    ASSERT_TRUE(game.wait_for<TvToClientChat>(1));
    EXPECT_EQ(game.get<TvToClientChat>(1)->text, "Pilot: good hunting");
    auto log = server->log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].decoded->text("text"), "good hunting");
}

// Scenario 5: damage totals, damage states, a kill each way, and the respawn asked again.
TEST_F(ScenarioTest, KillsScoreBothWaysAndTheClientRespawnsAgain) {
    auto server = serve(scenario("kills"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientJoinAccepted>());
    game.send(TvToServerRespawnRequest{});
    ASSERT_TRUE(game.wait_for<TvToClientKillScored>(1));
    const auto* damage = game.get<TvToClientDamage>();
    EXPECT_EQ(damage->target, 5001u);
    EXPECT_EQ(damage->attacker, 5000u);
    EXPECT_FLOAT_EQ(damage->damage, 12.5f);
    const auto* states = game.get<TvToClientDamageStates>();
    ASSERT_NE(states, nullptr);
    EXPECT_EQ(states->codes[3], 1);
    EXPECT_EQ(states->codes[7], 2);
    EXPECT_EQ(states->damage[7], 40);
    const auto* mine = game.get<TvToClientKillScored>(0);
    EXPECT_EQ(mine->slot, 0u);
    EXPECT_EQ(mine->kills, 1);
    EXPECT_EQ(mine->victim, 5001u);
    const auto* theirs = game.get<TvToClientKillScored>(1);
    EXPECT_EQ(theirs->slot, 1u);
    EXPECT_EQ(theirs->victim, 5000u);

    // More damage adds to the total; back in the lobby the client asks for a respawn again.
    game.send(TvToServerDamage{5001, 5000, 2.5f});
    ASSERT_TRUE(game.wait_for<TvToClientDamage>(1));
    EXPECT_FLOAT_EQ(game.get<TvToClientDamage>(1)->damage, 15.0f);
    game.send(TvToServerRespawnRequest{});
    ASSERT_TRUE(game.wait_for<TvToClientRespawn>(1));
    EXPECT_EQ(types(server->log()), (std::vector<uint16_t>{19, 24, 31, 24})) << dump(*server);
}

// Scenario 6: the match ends, the vote is answered with the next mission and 48, or with a
// closed connection; newcomers can be refused with 50 or 49.
TEST_F(ScenarioTest, EndVotesTheNextMissionThenDisconnects) {
    for (bool closing : {false, true}) {
        SCOPED_TRACE(closing);
        ServerOptions options = scenario("end");
        options.next_mission = 7;
        options.end_by_closing = closing;
        auto server = serve(options);
        ASSERT_TRUE(server);
        ScriptedGame game;
        ASSERT_TRUE(game.join(*server));
        game.request_join("Pilot");
        ASSERT_TRUE(game.wait_for<TvToClientMatchFinished>());
        EXPECT_EQ(game.get<TvToClientMatchFinished>()->winner, 0u);
        game.send(TvToServerMapVote{3, 1});
        ASSERT_TRUE(game.wait_for<TvToClientNewMission>());
        EXPECT_EQ(game.get<TvToClientNewMission>()->mission, 7);
        if (closing) {
            EXPECT_TRUE(game.until([&] {
                return std::find(game.events.begin(), game.events.end(),
                                 OM_TRANSPORT_SESSION_LOST) != game.events.end();
            }));
        } else {
            EXPECT_TRUE(game.wait_for<TvToClientDisconnected>());
        }
        EXPECT_EQ(types(server->log()), (std::vector<uint16_t>{19, 40}));
    }
    {
        ServerOptions options = scenario("end");
        options.finish_without_vote = true;
        auto server = serve(options);
        ASSERT_TRUE(server);
        ScriptedGame game;
        ASSERT_TRUE(game.join(*server));
        game.request_join("Pilot");
        ASSERT_TRUE(game.wait_for<TvToClientFinishedNoVote>());
        EXPECT_EQ(game.get<TvToClientFinishedNoVote>()->slot, 0u);
        EXPECT_EQ(game.count(39), 0u);
    }
    for (uint16_t refusal : {uint16_t(50), uint16_t(49)}) {
        ServerOptions options = scenario("end");
        options.refusal = refusal;
        auto server = serve(options);
        ASSERT_TRUE(server);
        ScriptedGame game;
        ASSERT_TRUE(game.join(*server));
        EXPECT_EQ(game.count(17), 1u);
        EXPECT_EQ(game.count(21), 0u);
        EXPECT_EQ(game.count(refusal), 1u);
    }
}

// Scenario 7: bad input during a match, then the end of scenario 6. The client drops every
// malformed message and datagram with nothing decoded, keeps what is well formed (its
// meaning is the game's to judge) and still finishes the match.
TEST_F(ScenarioTest, HostileInputIsDroppedAndTheMatchStillEnds) {
    auto server = serve(scenario("hostile"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    ASSERT_TRUE(game.wait_for<TvToClientMatchFinished>());
    game.send(TvToServerMapVote{1, 1});
    ASSERT_TRUE(game.wait_for<TvToClientDisconnected>());
    std::vector<uint16_t> got;
    for (const auto& [type, m] : game.received) got.push_back(type);
    EXPECT_EQ(got, (std::vector<uint16_t>{17, 21, 19, 20, 51, 37, 38, 33, 30, 42,
                                          42, 23, 20, 20, 19, 19, 19, 39, 41, 48}));
    EXPECT_GT(game.dropped, 9 + 3 + 500);
    const auto* respawn = game.get<TvToClientRespawn>();
    ASSERT_NE(respawn, nullptr);
    EXPECT_EQ(respawn->matrix.m[0], 1.0f); // a zero row: the identity, at the position sent
    EXPECT_EQ(respawn->matrix.m[12], 1150.0f);
    const auto* time = game.get<TvToClientTimeAnswer>();
    EXPECT_EQ(time->time, INT32_MIN);
    EXPECT_EQ(time->difference, INT32_MAX);
    EXPECT_EQ(game.get<TvToClientJoinAccepted>(3)->info.extra[3], 1000000000);
    EXPECT_EQ(types(server->log()), (std::vector<uint16_t>{19, 40})) << dump(*server);
}

// Scenario 8: the server accepts the connection, then says nothing: the join request is
// resent by the client's queue and logged once.
TEST_F(ScenarioTest, SilentServerNeverAnswersTheJoin) {
    auto server = serve(scenario("silent"));
    ASSERT_TRUE(server);
    ScriptedGame game;
    ASSERT_TRUE(game.join(*server));
    game.request_join("Pilot");
    game.keep_polling(1200); // the 0xa1 join goes again after 500 ms without an ack
    EXPECT_EQ(game.received.size(), 2u);
    EXPECT_EQ(game.count(19), 0u);
    EXPECT_EQ(types(server->log()), (std::vector<uint16_t>{19}));
}

// Scenario 9: two clients relayed: newcomers announced both ways, messages to the others
// only or to everyone, fire and aim to the listed player, a kill from damage and a crash,
// and a player leaving.
TEST_F(ScenarioTest, RelayCarriesTwoClientsMessagesAndScoresAKill) {
    auto server = serve(scenario("relay"));
    ASSERT_TRUE(server);
    ScriptedGame a, b;
    ASSERT_TRUE(a.join(*server));
    a.request_join("Alpha");
    ASSERT_TRUE(a.wait_for<TvToClientJoinAccepted>());
    ASSERT_TRUE(b.join(*server));
    EXPECT_EQ(b.get<TvToClientGameParameters>()->slot, 1u);
    b.request_join("Bravo", 0x202);
    ASSERT_TRUE(b.wait_for<TvToClientPlayerJoined>());
    EXPECT_STREQ(b.get<TvToClientPlayerJoined>()->info.name, "Alpha");
    ASSERT_TRUE(a.wait_for<TvToClientPlayerJoined>());
    EXPECT_STREQ(a.get<TvToClientPlayerJoined>()->info.name, "Bravo");
    EXPECT_EQ(a.get<TvToClientPlayerJoined>()->slot, 1u);

    // To the others only, and to everyone.
    a.send(TvToServerStatus{1});
    ASSERT_TRUE(b.wait_for<TvToClientStatus>());
    EXPECT_EQ(b.get<TvToClientStatus>()->slot, 0u);
    a.send(TvToServerChat{"hello"});
    ASSERT_TRUE(a.wait_for<TvToClientChat>());
    ASSERT_TRUE(b.wait_for<TvToClientChat>());
    EXPECT_EQ(b.get<TvToClientChat>()->text, "Alpha: hello");
    EXPECT_EQ(a.count(26), 0u);

    // Fire and aim go to the listed player with the shooter's id and slot.
    TvToServerRemoteFire fire{};
    fire.kind = TV_FIRE_GUN;
    fire.heading[2] = 1;
    fire.velocity[1] = 1;
    fire.speed = 90;
    TvFireEntry entry{};
    entry.slot = 1;
    entry.aim[0] = 1;
    fire.entries.push_back(entry);
    a.send(fire);
    TvToServerAim aim{};
    aim.slot = 0;
    aim.entries.push_back(TvAimEntry{1, {0, 1, 0}});
    a.send(aim);
    ASSERT_TRUE(b.wait_for<TvToClientRemoteFire>());
    EXPECT_EQ(b.get<TvToClientRemoteFire>()->shooter, 5000u);
    EXPECT_FLOAT_EQ(b.get<TvToClientRemoteFire>()->aim[0], 1.0f);
    ASSERT_TRUE(b.wait_for<TvToClientAim>());
    EXPECT_EQ(b.get<TvToClientAim>()->slot, 0u);

    // Alpha damages Bravo's plane, Bravo crashes: Alpha scores.
    a.send(TvToServerDamage{5001, 5000, 30.0f});
    ASSERT_TRUE(b.wait_for<TvToClientDamage>());
    b.send(TvToServerStatus{3});
    ASSERT_TRUE(a.wait_for<TvToClientKillScored>());
    EXPECT_EQ(a.get<TvToClientKillScored>()->slot, 0u);
    EXPECT_EQ(a.get<TvToClientKillScored>()->kills, 1);
    EXPECT_EQ(a.get<TvToClientKillScored>()->victim, 5001u);

    // Bravo leaves: Alpha learns of it.
    b.client->Stop();
    ASSERT_TRUE(a.wait_for<TvToClientPlayerLeft>());
    EXPECT_EQ(a.get<TvToClientPlayerLeft>()->slot, 1u);
    EXPECT_EQ(a.dropped + b.dropped, 0);
}

} // namespace
