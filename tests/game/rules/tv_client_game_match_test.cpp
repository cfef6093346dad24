// The client game in a match: the world sync, the local plane's reports, damage dealt by the
// local player, the replay of another player's ordnance, the nearest-object search, the level
// switch, system events, and every message of the client game's column applied from packets
// the test server encoded (and nothing applied from bad ones).
#include "engine/world/lg_world_tie.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_weapon.h"
#include "net/transport/om_transport.h"
#include "tests/game/rules/client_game_test_support.h"

#include <bit>
#include <cmath>

namespace clientgametest {
namespace {

using mpserver::Message;
namespace msg = mpserver::msg;

// The weapons the game fires remote shots through: every launch kept.
class FakeWeapon final : public TavrinObjectBase<ITvWeapon> {
public:
    struct Launched {
        int32_t index;
        LgMatrix matrix;
        LgVector velocity;
        ITvObject* owner;
    };
    FakeWeapon() { table[kTvOrdnanceBomb].release_speed = 100.0f; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvWeapon, this}});
    }
    OmResult Launch(int32_t index, const LgMatrix* m, const LgVector* v, ITvObject* o) override {
        launched.push_back({index, *m, *v, o});
        return OM_S_OK;
    }
    OmResult Clear() override { return OM_S_OK; }
    TvOrdinance* GetOrdinanceTable() override { return table; }
    OmResult SetDrift(const LgVector*) override { return OM_S_OK; }
    TvOrdinance table[kTvMaxOrdnance]{};
    std::vector<Launched> launched;
};

std::vector<float> explosions;
OmResult record_explosion(const LgVector*, float size, uint32_t) {
    explosions.push_back(size);
    return OM_S_OK;
}

class MatchTest : public ClientGameTest {
protected:
    void SetUp() override {
        ClientGameTest::SetUp();
        ASSERT_EQ(join_local(0, "multitavrincamel", {100, 400, 300}), OM_S_OK);
        ASSERT_EQ(join_remote(1, "multifokkertriplane", {100, 500, 100}), OM_S_OK);
        ASSERT_EQ(join_remote(2, "multifokkertriplane", {900, 400, 900}), OM_S_OK);
        local = game->GetPlayerPlane(0);
        remote = game->GetPlayerPlane(1);
        other = game->GetPlayerPlane(2);
        explosions.clear();
        TvEffectHooks hooks{};
        hooks.spawn_explosion = record_explosion;
        TvInstallEffectHooks(&hooks);
    }
    void TearDown() override {
        TvInstallEffectHooks(nullptr);
        ClientGameTest::TearDown();
    }
    static float damage(ITvObject* object) {
        return *reinterpret_cast<const float*>(value(object, kTvPropDamage));
    }
    static bool in_world(ITvObject* object) {
        auto* clump = reinterpret_cast<LgClump*>(value(object, kTvPropModel));
        return clump && LgClumpGetWorld(clump) != nullptr;
    }
    // A real ground object filed under an id, placed as the mission places it: from a kind
    // (archetype) that is a pickup of the given type, or a plain kind.
    ITvObject* ground_object(int32_t id, int32_t pickup, LgVector at) {
        EXPECT_EQ(TvRegisterGroundObjectClass(OmGetObjectManager()), OM_S_OK);
        ITvObject* kind = nullptr;
        EXPECT_EQ(
            OmCreate(CLSID_TavrinGroundObject, IID_ITvObject, reinterpret_cast<void**>(&kind)),
            OM_S_OK);
        TavrinGroundObject::from(kind)->pickup_type = pickup;
        kinds.push_back(ComRef<ITvObject>::adopt(kind));
        ITvObject* object = nullptr;
        EXPECT_EQ(
            OmCreate(CLSID_TavrinGroundObject, IID_ITvObject, reinterpret_cast<void**>(&object)),
            OM_S_OK);
        auto& d = *descriptors.emplace_back(std::make_unique<TvCreateDescriptor>());
        d.id = id;
        LgMatrixSetIdentity(&d.matrix);
        d.matrix.pos = at;
        d.archetype = kind;
        d.endurance = 50.0f;
        d.game = game;
        object->Create(&d);
        EXPECT_EQ(game->AddObject(object, kTvEventMaskWorldObject, kTvUpdateEveryFrame), OM_S_OK);
        object->Release();
        return object;
    }

    // Places a plane level, heading +z.
    static void place(ITvObject* plane, LgVector at) {
        LgMatrix m{};
        LgMatrixSetIdentity(&m);
        m.pos = at;
        plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&m));
    }

    ITvObject* local = nullptr;
    ITvObject* remote = nullptr;
    ITvObject* other = nullptr;
    std::vector<std::unique_ptr<TvCreateDescriptor>> descriptors;
    std::vector<ComRef<ITvObject>> kinds;
};

TEST_F(MatchTest, StatusSevenTakesAPlaneOutOfTheWorldAndTheLocalEndIsOutcome0x21) {
    ASSERT_TRUE(in_world(remote));
    ASSERT_EQ(deliver(Message(msg::status).set("slot", 1).set("status", 7)), OM_S_OK);
    EXPECT_FALSE(in_world(remote));
    EXPECT_EQ(game->GetPlayerRecord(1)->status, 7);
    ASSERT_EQ(deliver(Message(msg::status).set("slot", 1).set("status", 1)), OM_S_OK);
    EXPECT_TRUE(in_world(remote));
    EXPECT_TRUE(explosions.empty());
    // Crashing: an explosion of the plane's size (endurance 80 gives 1 + 79 / 197).
    ASSERT_EQ(deliver(Message(msg::status).set("slot", 1).set("status", 2)), OM_S_OK);
    ASSERT_EQ(explosions.size(), 1u);
    EXPECT_NEAR(explosions[0], 1.0f + 79.0f / 197.0f, 1e-5f);
    // The same status again changes nothing and explodes nothing.
    ASSERT_EQ(deliver(Message(msg::status).set("slot", 1).set("status", 2)), OM_S_OK);
    EXPECT_EQ(explosions.size(), 1u);

    // The records follow their planes' matrices.
    game->Update();
    EXPECT_FLOAT_EQ(game->GetPlayerRecord(1)->matrix[12], matrix(remote)->pos.x);

    // The local plane's end.
    local->SetProperty(kTvPlanePropState, kTvPlaneCrashed);
    EXPECT_EQ(game->GetOutcome(), 0);
    game->Update();
    EXPECT_EQ(game->GetOutcome(), kTvOutcomeLocalDeath);
    EXPECT_EQ(value(local, kTvPlanePropState), uintptr_t(kTvPlaneOffMap));
    game->Update();
    EXPECT_FALSE(in_world(local));
    const auto statuses = decoded(*client, msg::status);
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0].num("status"), 3);
    EXPECT_EQ(statuses[1].num("status"), 7);
    // Cleared for a respawn; an empty slot never ends a match.
    game->ClearOutcome();
    EXPECT_EQ(deliver(Message(msg::player_left).set("slot", 1)), OM_S_OK);
    EXPECT_EQ(deliver(Message(msg::player_left).set("slot", 2)), OM_S_OK);
    game->Update();
    EXPECT_EQ(game->GetOutcome(), 0);
}

TEST_F(MatchTest, EverySendIntervalReportsTheLocalPlaneAsMessage25) {
    client->queued.clear();
    auto* plane = net(local);
    plane->throttle = 0.5f;
    place(local, {1234.5f, 456.25f, 789.0f});
    platform::set_virtual_time(200000);
    client->queue->Pump(0);
    platform::set_virtual_time(200050);
    plane->throttle = 1.7f; // clamped to 1
    client->queue->Pump(0);
    platform::set_virtual_time(270000);
    client->queue->Pump(0);
    const auto reports = decoded(*client, msg::plane_states);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(client->queued[0].flags, 0x00);
    EXPECT_EQ(client->queued[0].bytes.size(), 21u);
    EXPECT_EQ(reports[0].num("time"), 65535); // the first report: no earlier one
    EXPECT_EQ(reports[0].num("fraction"), 127);
    EXPECT_EQ(reports[0].num("slot"), 0);
    EXPECT_NEAR(reports[0].num("pos.x"), 1234.5, 1e-3);
    EXPECT_NEAR(reports[0].num("pos.y"), 456.25, 1e-3);
    EXPECT_NEAR(reports[0].num("dir.z"), 1.0, 0.01);
    EXPECT_EQ(reports[1].num("time"), 50);
    EXPECT_EQ(reports[1].num("fraction"), 255);
    EXPECT_EQ(reports[1].num("value"), reports[0].num("value") + 1);
    EXPECT_EQ(reports[2].num("time"), 65535); // 69950 ms clamped
    // Only the local plane reports.
    EXPECT_EQ(game->SendObjectUpdate(remote, 0), OM_E_FAIL);
    EXPECT_EQ(client->count(msg::plane_states), 3u);
}

TEST_F(MatchTest, DamageDealtByTheLocalPlayerIsReportedOncePerTarget) {
    const int32_t me = 5000;
    client->queued.clear();
    struct Hit {
        ITvObject* target;
        float amount;
    };
    struct Case {
        const char* what;
        std::vector<Hit> hits;
        std::map<uint32_t, float> reports; // target id -> damage
    } cases[] = {
        {"the same target twice", {{remote, 10.0f}, {remote, 2.5f}}, {{5001, 12.5f}}},
        {"two targets", {{remote, 10.0f}, {other, 5.0f}}, {{5001, 10.0f}, {5002, 5.0f}}},
        {"two targets, the first again",
         {{remote, 10.0f}, {other, 5.0f}, {remote, 3.0f}},
         {{5001, 13.0f}, {5002, 5.0f}}},
    };
    for (const Case& c : cases) {
        client->queued.clear();
        for (const Hit& h : c.hits) game->DealDamage(h.target, h.amount, me);
        std::map<uint32_t, float> reports;
        for (const Message& m : decoded(*client, msg::damage)) {
            EXPECT_EQ(reports.count(uint32_t(m.num("target"))), 0u) << c.what;
            EXPECT_EQ(m.num("attacker"), me) << c.what;
            reports[uint32_t(m.num("target"))] = float(m.num("damage"));
        }
        EXPECT_EQ(reports, c.reports) << c.what;
        for (const Sent& s : client->queued) EXPECT_EQ(s.flags, 0x89) << c.what;
    }
    // A struck remote plane flashes but keeps its damage: the server's total decides.
    EXPECT_GT(net(remote)->flash_time, 0.0f);
    EXPECT_EQ(damage(remote), 0.0f);
    // A target that is no player's plane takes its own damage, unreported.
    client->queued.clear();
    ITvObject* mission_plane = game->GetObjectById(7);
    ASSERT_NE(mission_plane, nullptr);
    game->DealDamage(mission_plane, 6.0f, me);
    EXPECT_EQ(damage(mission_plane), 6.0f);
    EXPECT_TRUE(client->queued.empty());
    // Someone else's damage is not ours to deal.
    game->DealDamage(mission_plane, 6.0f, 5001);
    game->DealDamage(remote, 6.0f, 7);
    EXPECT_EQ(damage(mission_plane), 6.0f);
    EXPECT_TRUE(client->queued.empty());
}

TEST_F(MatchTest, RemoteFireReplaysTheShotTowardTheLocalPlane) {
    place(local, {100, 400, 300});
    place(remote, {100, 500, 100});
    auto* weapon = new FakeWeapon;
    game->SetWeapons(weapon);
    weapon->Release();
    // Kind 1 (a release): launch speed 100, t = 2, from (100, 500, 100) heading +z toward the
    // local plane at (100, 400, 300), offset 0: velocity (0, -20, 200) from the shooter.
    Message release(msg::remote_fire);
    release.set("kind", 1).set_vector("pos", 1, 2, 3).set_vector("dirA", 1, 0, 0);
    release.set_vector("dirB", 0, 1, 0).set("speed", 9).set("shooter", 5001);
    release.set_vector("offset", 0, 0, 0).set("t", 2);
    ASSERT_EQ(deliver(release), OM_S_OK);
    ASSERT_EQ(weapon->launched.size(), 1u);
    const FakeWeapon::Launched& shot = weapon->launched[0];
    EXPECT_EQ(shot.index, 1);
    EXPECT_EQ(shot.owner, remote);
    EXPECT_NEAR(shot.velocity.x, 0.0f, 1e-4f);
    EXPECT_NEAR(shot.velocity.y, -20.0f, 1e-4f);
    EXPECT_NEAR(shot.velocity.z, 200.0f, 1e-4f);
    EXPECT_FLOAT_EQ(shot.matrix.pos.y, 500.0f);
    EXPECT_FLOAT_EQ(shot.matrix.at.z, 1.0f);
    EXPECT_FLOAT_EQ(shot.matrix.right.x, 1.0f);
    EXPECT_FLOAT_EQ(shot.matrix.up.y, 1.0f);

    // Kind 2 (a rocket): the relative aim straight ahead is turned toward the local plane.
    Message rocket(msg::remote_fire);
    rocket.set("kind", 2).set_vector("pos", 1, 2, 3).set_vector("dirA", 1, 0, 0);
    rocket.set_vector("dirB", 0, 0, 1).set("speed", 50).set("shooter", 5001);
    rocket.set_vector("aim", 0, 0, 1);
    ASSERT_EQ(deliver(rocket), OM_S_OK);
    ASSERT_EQ(weapon->launched.size(), 2u);
    const FakeWeapon::Launched& r = weapon->launched[1];
    EXPECT_EQ(r.index, 2);
    const float n = std::sqrt(100.0f * 100.0f + 200.0f * 200.0f);
    EXPECT_NEAR(r.matrix.at.y, -100.0f / n, 0.01f);
    EXPECT_NEAR(r.matrix.at.z, 200.0f / n, 0.01f);
    EXPECT_FLOAT_EQ(r.matrix.pos.z, 100.0f);
    EXPECT_NEAR(r.velocity.z, 50.0f, 0.5f);

    // A flight time so short or so long that the replayed shot has no finite start or
    // velocity fires nothing; neither does an offset beyond the range of floats.
    for (float t : {1e-40f, 3e38f}) {
        release.set("t", t);
        deliver(release);
    }
    release.set("t", 2).set_vector("offset", 3e38f, 0, 0);
    place(remote, {-3e38f, 500, 100});
    deliver(release);
    place(remote, {100, 500, 100});
    release.set_vector("offset", 0, 0, 0);
    EXPECT_EQ(weapon->launched.size(), 2u);

    // Shooters that are not another player's plane fire nothing.
    for (int shooter : {5000, 7, 4321}) {
        release.set("shooter", shooter);
        deliver(release);
    }
    EXPECT_EQ(weapon->launched.size(), 2u);

    // A vertical shot keeps a finite frame.
    const LgMatrix up = TvRemoteFireFrame({0, 1, 0}, {1, 2, 3});
    EXPECT_FLOAT_EQ(up.right.x, 1.0f);
    EXPECT_FLOAT_EQ(up.at.y, 1.0f);
    for (float v : {up.up.x, up.up.y, up.up.z}) EXPECT_TRUE(std::isfinite(v));
    EXPECT_FLOAT_EQ(up.up.z, -1.0f);
}

TEST_F(MatchTest, TheNearestObjectIsAPlayerPlaneOrAGroundObjectWithinTheBound) {
    ITvObject* pickup = ground_object(42, kTvPickupHealth, {100, 150, 250});
    const LgVector near_remote{100, 500, 150}; // 50 from the remote plane
    const LgVector near_ground{100, 160, 250}; // 10 from the pickup
    const LgVector far_away{3000, 3000, 3000};
    EXPECT_EQ(game->FindTarget(0, &near_remote), remote);
    EXPECT_EQ(game->FindTarget(-8, &near_ground), pickup);
    EXPECT_EQ(game->FindTarget(0, &far_away), nullptr);
    // The search starts at a squared distance of 40000 (200 units).
    const LgVector r = matrix(remote)->pos;
    const LgVector just_inside{r.x - 199.5f, r.y, r.z}, just_outside{r.x - 200.5f, r.y, r.z};
    EXPECT_EQ(game->FindTarget(0, &just_inside), remote);
    EXPECT_EQ(game->FindTarget(0, &just_outside), nullptr);
    // Standing on a plane (within 0.1) is no target.
    const LgVector on_remote = matrix(remote)->pos;
    EXPECT_EQ(game->FindTarget(0, &on_remote), nullptr);
    // A plane the network does not drive bounds the search but is never the answer.
    ITvObject* mission_plane = game->GetObjectById(7);
    ASSERT_EQ(game->SetPlayerPlane(mission_plane, 0, 5), OM_S_OK);
    const LgVector near_mission{700, 400, 690};
    EXPECT_EQ(game->FindTarget(0, &near_mission), nullptr);
}

TEST_F(MatchTest, ChangeMissionRebuildsEveryPlayersPlaneWithNoKills) {
    deliver(Message(msg::kill_scored).set("slot", 0).set("kills", 4).set("victim", 4999));
    deliver(Message(msg::kill_scored).set("slot", 1).set("kills", 2).set("victim", 4999));
    ASSERT_EQ(game->GetPlayerRecord(0)->kills, 4);
    ASSERT_EQ(game->ChangeMission(kFixtureMission), OM_S_OK);
    ITvObject* new_local = game->GetPlayerPlane(0);
    ITvObject* new_remote = game->GetPlayerPlane(1);
    ASSERT_NE(new_local, nullptr);
    ASSERT_NE(new_remote, nullptr);
    ASSERT_NE(game->GetPlayerPlane(2), nullptr);
    for (int32_t slot : {0, 1, 2}) EXPECT_EQ(game->GetPlayerRecord(slot)->kills, 0);
    EXPECT_STREQ(game->GetPlayerRecord(0)->name, "me");
    EXPECT_EQ(game->GetObjectById(5000), new_local);
    EXPECT_EQ(game->GetObjectById(5001), new_remote);
    EXPECT_EQ(value(new_local, kTvPropFlags) & 0xc30u, 0xc10u);
    EXPECT_EQ(value(new_remote, kTvPropFlags) & 0xc30u, 0x820u);
    EXPECT_EQ(value(new_local, kTvNetPropClient), reinterpret_cast<uintptr_t>(client));
    EXPECT_EQ(value(new_remote, kTvNetPropClient), 0u);
    EXPECT_EQ(client->queue->options[OM_QUEUE_PRESEND_CONTEXT],
              reinterpret_cast<uintptr_t>(net(new_local)));
    EXPECT_NE(game->GetObjectById(7), nullptr);
    EXPECT_EQ(settings().mission_number, kFixtureMission);
    // A mission that cannot be loaded fails; the players stay listed.
    EXPECT_EQ(game->ChangeMission(99), OM_E_FAIL);
    // No plane is left behind as the queue's report.
    EXPECT_EQ(client->queue->options[OM_QUEUE_PRESEND_CALLBACK], 0u);
    EXPECT_EQ(client->queue->options[OM_QUEUE_PRESEND_CONTEXT], 0u);
    EXPECT_STREQ(game->GetPlayerRecord(1)->name, "pilot1");
}

TEST_F(MatchTest, RestartMatchPutsTheSavedMatchBackWithoutReadingTheMission) {
    deliver(Message(msg::kill_scored).set("slot", 1).set("kills", 3).set("victim", 4999));
    deliver(Message(msg::chat).set_text("text", "before"));
    ITvObject* mission_plane = game->GetObjectById(7);
    ASSERT_NE(mission_plane, nullptr);
    const TvClientMatchState saved = game->SaveMatch();
    const LgMatrix remote_matrix = *matrix(remote);

    // The match goes on: a player leaves, one joins, sides, scores, damage, chat and the end.
    deliver(Message(msg::player_left).set("slot", 2));
    ASSERT_EQ(join_remote(3), OM_S_OK);
    deliver(Message(msg::side_change).set("slot", 1).set("side", 8));
    deliver(Message(msg::kill_scored).set("slot", 0).set("kills", 9).set("victim", 5001));
    deliver(Message(msg::damage).set("target", 7).set("attacker", 5000).set("damage", 30));
    deliver(Message(msg::chat).set_text("text", "after"));
    deliver(Message(msg::status).set("slot", 1).set("status", 7));
    deliver(Message(msg::match_finished).set("slot", 1));
    game->SetClock(123456, 9);
    ASSERT_NE(game->GetOutcome(), 0);
    ASSERT_NE(game->GetPlayerPlane(3), nullptr);
    ASSERT_EQ(game->GetPlayerPlane(2), nullptr);
    ASSERT_GT(damage(mission_plane), 0.0f);

    // Nothing is read again: the mission and plane files may be gone.
    std::filesystem::remove_all(std::filesystem::path(dir.path()) / "missions");
    std::filesystem::remove_all(std::filesystem::path(dir.path()) / "objects");
    ASSERT_EQ(game->RestartMatch(saved), OM_S_OK);

    EXPECT_EQ(game->GetOutcome(), 0);
    EXPECT_EQ(game->clock_offset(), saved.clock_offset);
    EXPECT_EQ(game->clock_adjustment(), saved.clock_adjustment);
    EXPECT_EQ(game->chat_history(2), "before");
    EXPECT_TRUE(game->chat_line().empty());
    EXPECT_EQ(game->GetPlayerPlane(3), nullptr);
    EXPECT_EQ(game->GetPlayerRecord(3), nullptr);
    for (int32_t slot : {0, 1, 2}) {
        ASSERT_NE(game->GetPlayerPlane(slot), nullptr) << slot;
        EXPECT_EQ(game->GetObjectById(5000 + slot), game->GetPlayerPlane(slot));
        EXPECT_TRUE(in_world(game->GetPlayerPlane(slot)));
    }
    EXPECT_EQ(game->GetPlayerRecord(0)->kills, 0);
    EXPECT_EQ(game->GetPlayerRecord(1)->kills, 3);
    EXPECT_EQ(game->GetPlayerRecord(1)->sideFlags, 0x202u);
    EXPECT_EQ(game->GetPlayerRecord(1)->status, 4);
    EXPECT_STREQ(game->GetPlayerRecord(2)->name, "pilot2");
    ITvObject* new_local = game->GetPlayerPlane(0);
    ITvObject* new_remote = game->GetPlayerPlane(1);
    EXPECT_EQ(value(new_local, kTvPropFlags) & 0xc30u, 0xc10u);
    EXPECT_EQ(value(new_remote, kTvPropFlags) & 0xc30u, 0x820u);
    EXPECT_EQ(matrix(new_remote)->pos.x, remote_matrix.pos.x);
    EXPECT_EQ(matrix(new_remote)->pos.z, remote_matrix.pos.z);
    EXPECT_EQ(client->queue->options[OM_QUEUE_PRESEND_CONTEXT],
              reinterpret_cast<uintptr_t>(net(new_local)));
    // The mission's own plane is placed anew, undamaged.
    ITvObject* placed = game->GetObjectById(7);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(damage(placed), 0.0f);
    // The match runs on.
    ASSERT_EQ(game->Update(), OM_S_OK);
    EXPECT_EQ(game->GetOutcome(), 0);

    // A state of another slot count changes nothing.
    TvClientMatchState other_count = saved;
    other_count.players.pop_back();
    EXPECT_EQ(game->RestartMatch(other_count), OM_E_FAIL);
    EXPECT_EQ(game->GetPlayerPlane(0), new_local);
}

TEST_F(MatchTest, RestartAsksTheServerAndDestroyClearsTheSettingsWords) {
    client->queued.clear();
    ASSERT_EQ(game->Restart(), OM_S_OK);
    ASSERT_EQ(client->queued.size(), 1u);
    EXPECT_EQ(client->queued[0].type, msg::respawn_request);
    EXPECT_EQ(client->queued[0].flags, 0x60);
    EXPECT_EQ(game->GetPlayerPlane(0), local);
    settings().placed_player_count = 3;
    settings().viewport_count = 1;
    ASSERT_NE(client->queue->options[OM_QUEUE_PRESEND_CONTEXT], 0u);
    ASSERT_EQ(game->Destroy(), OM_S_OK);
    EXPECT_EQ(client->queue->options[OM_QUEUE_PRESEND_CONTEXT], 0u);
    EXPECT_EQ(settings().placed_player_count, 0);
    EXPECT_EQ(settings().viewport_count, 0);
    EXPECT_EQ(game->GetPlayerRecord(0), nullptr);
    EXPECT_EQ(game->network_client(), nullptr);
}

TEST_F(MatchTest, SystemEventsRemoveLeavingPortsAndALostSessionEndsTheMatch) {
    game->record(1)->networkId = 77;
    game->record(0)->networkId = 88;
    OmTransportMessage event{OM_TRANSPORT_PORT_DESTROYED, 0, 0, 0, nullptr};
    // Records without a network id (as received) never match; the local one never leaves.
    const auto context = reinterpret_cast<uintptr_t>(static_cast<ITvClientGame*>(game));
    EXPECT_EQ(TvClientGameSystemEvent(context, &event), OM_S_OK);
    event.sender = 88;
    game->OnSystemEvent(&event);
    EXPECT_NE(game->GetPlayerPlane(0), nullptr);
    EXPECT_NE(game->GetPlayerPlane(2), nullptr);
    event.sender = 77;
    game->OnSystemEvent(&event);
    EXPECT_EQ(game->GetPlayerPlane(1), nullptr);
    EXPECT_EQ(game->GetPlayerRecord(1), nullptr);
    EXPECT_EQ(game->GetOutcome(), 0);
    event = {OM_TRANSPORT_SESSION_LOST, 0, 0, 0, nullptr};
    game->OnSystemEvent(&event);
    EXPECT_EQ(game->GetOutcome(), kTvOutcomeDisconnected);
}

TEST_F(MatchTest, EveryClientGameMessageIsAppliedFromTheServersPackets) {
    // 22: one kill taken.
    ASSERT_EQ(deliver(Message(msg::kill_taken).set("slot", 1)), OM_S_OK);
    EXPECT_EQ(game->GetPlayerRecord(1)->kills, -1);
    // 23: the respawn's matrix, taxiing, the local record's status.
    local->SetProperty(kTvPlanePropState, kTvPlaneFlying);
    Message respawn(msg::respawn);
    const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 640, 410, 320, 0};
    for (int i = 0; i < 16; ++i) respawn.set("matrix" + std::to_string(i), words[i]);
    respawn.set("matrix3", 3).set("slot", 0);
    ASSERT_EQ(deliver(respawn), OM_S_OK);
    EXPECT_FLOAT_EQ(matrix(local)->pos.x, 640.0f);
    EXPECT_EQ(value(local, kTvPlanePropState), uintptr_t(kTvPlaneTaxiing));
    EXPECT_EQ(game->GetPlayerRecord(0)->status, kTvPlaneTaxiing);
    // 25: the remote plane's state; the local slot's entry is not applied.
    local->SetProperty(kTvPlanePropState, kTvPlaneFlying);
    Message states(msg::plane_states);
    states.set("count", 2);
    for (int i = 0; i < 2; ++i) {
        const std::string e = "e" + std::to_string(i) + ".";
        states.set(e + "time", 120).set(e + "fraction", 51).set(e + "slot", i);
        states.set_vector(e + "pos", 150, 520, 140).set_vector(e + "dir", 0, 0, 1);
        states.set(e + "speed", 10).set(e + "flag", 1).set(e + "value", 3);
    }
    ASSERT_EQ(deliver(states), OM_S_OK);
    EXPECT_EQ(value(local, kTvPlanePropState), uintptr_t(kTvPlaneFlying));
    EXPECT_NEAR(std::bit_cast<float>(uint32_t(value(remote, kTvPlanePropThrottle))), 0.2f, 1e-6f);
    EXPECT_EQ(value(remote, kTvNetPropInterval), 120u);
    EXPECT_EQ(net(remote)->serial, 3);
    EXPECT_FLOAT_EQ(net(remote)->curve[3].z, 140.0f);
    EXPECT_EQ(net(local)->serial, kTvNetNoSerial);
    // 31: the server's total for the target.
    ASSERT_EQ(
        deliver(Message(msg::damage).set("target", 5002).set("attacker", 5001).set("damage", 30)),
        OM_S_OK);
    EXPECT_FLOAT_EQ(damage(other), 30.0f);
    // 32: code 2 on one mission plane (160 / 16), code 1 (its endurance) on the other.
    ITvObject* second = game->GetObjectById(8);
    ASSERT_NE(second, nullptr);
    Message states32(msg::damage_states);
    states32.set("code7", 2).set("damage7", 160).set("code8", 1);
    ASSERT_EQ(deliver(states32), OM_S_OK);
    EXPECT_FLOAT_EQ(damage(game->GetObjectById(7)), 10.0f);
    EXPECT_FLOAT_EQ(damage(second), 80.0f);
    // 33: the plane type and the record's plane.
    ASSERT_EQ(
        deliver(Message(msg::plane_change).set("slot", 2).set_text("plane", "multitavrincamel")),
        OM_S_OK);
    EXPECT_STREQ(game->GetPlayerRecord(2)->planeId, "multitavrincamel");
    // 34: side 8 moves the plane from group 9 to 8.
    ASSERT_EQ(deliver(Message(msg::side_change).set("slot", 2).set("side", 8)), OM_S_OK);
    EXPECT_EQ(game->GetPlayerRecord(2)->sideFlags, 0x102u);
    EXPECT_EQ(value(other, kTvPropGroupMask), 0x102u);
    auto member = [&](int32_t g, ITvObject* o) {
        for (int32_t i = 0; i < game->group(g).count; ++i)
            if (game->group(g).members[i] == o) return true;
        return false;
    };
    EXPECT_TRUE(member(8, other));
    EXPECT_FALSE(member(9, other));
    // 37: the kills, and the victim's end credited to the scorer's plane.
    ASSERT_EQ(deliver(Message(msg::kill_scored).set("slot", 0).set("kills", 3).set("victim", 5002)),
              OM_S_OK);
    EXPECT_EQ(game->GetPlayerRecord(0)->kills, 3);
    EXPECT_GT(damage(other), 30.0f);
    // A victim that is no player's plane keeps its damage; the kills still count.
    const float mission_damage = damage(game->GetObjectById(7));
    ASSERT_EQ(deliver(Message(msg::kill_scored).set("slot", 0).set("kills", 4).set("victim", 7)),
              OM_S_OK);
    EXPECT_EQ(game->GetPlayerRecord(0)->kills, 4);
    EXPECT_EQ(damage(game->GetObjectById(7)), mission_damage);
    // 42: a quarter-eighth of the difference.
    owned->timer->total_ms = 1000;
    game->SetClock(5000, 0);
    EXPECT_EQ(game->clock_offset(), 4000);
    const InputEvent tick{kTvTimerDeviceId, kTvInputTimerEvent, 0, 0};
    game->HandleInput(&tick);
    EXPECT_EQ(game->GetTimeMs(), 5000);
    ASSERT_EQ(deliver(Message(msg::clock_correction).set("time", 5080)), OM_S_OK);
    EXPECT_EQ(game->clock_adjustment(), 10);
    // 45: the aim of another player; never the local plane's.
    ASSERT_EQ(deliver(Message(msg::aim).set("slot", 2).set_vector("dir", 0, 0, 1)), OM_S_OK);
    EXPECT_EQ(net(other)->guns_firing, 1);
    EXPECT_NEAR(net(other)->aim.z, 1.0f, 0.01f);
    net(local)->guns_firing = 0;
    EXPECT_EQ(deliver(Message(msg::aim).set("slot", 0).set_vector("dir", 0, 0, 1)), OM_E_FAIL);
    EXPECT_EQ(net(local)->guns_firing, 0);
    // 47: echoed back unchanged for a live object.
    client->queued.clear();
    ASSERT_EQ(deliver(Message(msg::echo).set("a", 7).set("b", -3).set("value", 1.5)), OM_S_OK);
    deliver(Message(msg::echo).set("a", 4321).set("b", 1).set("value", 1));
    const auto echoes = decoded(*client, msg::echo);
    ASSERT_EQ(echoes.size(), 1u);
    EXPECT_EQ(echoes[0].num("b"), -3);
    EXPECT_EQ(echoes[0].num("value"), 1.5);
    EXPECT_EQ(client->queued[0].flags, 0x89);
    // 51: the pickup's re-arm; not for a plain ground object or a plane.
    // The crate taken elsewhere goes out for 30 s and comes back; unknown ids change nothing.
    ITvObject* pickup = ground_object(42, kTvPickupHealth, {100, 150, 250});
    ITvObject* hut = ground_object(43, kTvPickupNone, {150, 150, 250});
    TavrinGroundObject* crate = TavrinGroundObject::from(pickup);
    const uint32_t hut_rearm = TavrinGroundObject::from(hut)->rearm_time;
    platform::set_virtual_time(300000);
    ASSERT_TRUE(crate->pickup_active(300000));
    ASSERT_EQ(deliver(Message(msg::pickup).set("object", 42)), OM_S_OK);
    EXPECT_EQ(crate->rearm_time, 300000u + kTvPickupRearmMs);
    EXPECT_FALSE(crate->pickup_active(300000 + kTvPickupRearmMs - 1));
    EXPECT_TRUE(crate->pickup_active(300000 + kTvPickupRearmMs + 1));
    EXPECT_EQ(deliver(Message(msg::pickup).set("object", 43)), OM_E_FAIL);
    EXPECT_EQ(TavrinGroundObject::from(hut)->rearm_time, hut_rearm);
    for (const int32_t unknown : {5001, int32_t(kTvPickupHealth)})
        EXPECT_EQ(deliver(Message(msg::pickup).set("object", unknown)), OM_E_FAIL);
    EXPECT_EQ(crate->rearm_time, 300000u + kTvPickupRearmMs);
    // 39, 48, 52: the match's end.
    ASSERT_EQ(deliver(Message(msg::match_finished).set("slot", 3)), OM_S_OK);
    EXPECT_EQ(game->GetOutcome(), 0x103);
    ASSERT_EQ(deliver(Message(msg::disconnected)), OM_S_OK);
    EXPECT_EQ(game->GetOutcome(), 0x40);
    ASSERT_EQ(deliver(Message(msg::finished_no_vote).set("slot", 5)), OM_S_OK);
    EXPECT_EQ(game->GetOutcome(), 0x205);
}

// What the tests look at of the match: a change anywhere shows.
struct Snapshot {
    int32_t outcome;
    int32_t objects;
    size_t sent;
    std::vector<std::string> records;
    std::vector<std::string> chat;
    int32_t offset, adjustment;
    bool operator==(const Snapshot&) const = default;
};

// A server's respawn of a slot with the identity rotation at a position.
Message respawn_at(int32_t slot, LgVector at) {
    Message m(msg::respawn);
    const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, at.x, at.y, at.z, 0};
    for (int i = 0; i < 16; ++i) m.set("matrix" + std::to_string(i), words[i]);
    return m.set("matrix3", 3).set("slot", slot);
}

TEST_F(MatchTest, BadMessagesChangeNothing) {
    auto snapshot = [&] {
        Snapshot s{game->GetOutcome(),   game->master_count(),    client->queued.size(), {}, {},
                   game->clock_offset(), game->clock_adjustment()};
        for (int32_t slot = 0; slot < 8; ++slot) {
            const TvPlayerInfo* r = game->GetPlayerRecord(slot);
            ITvObject* p = game->GetPlayerPlane(slot);
            s.records.push_back(r ? std::string(r->name) + r->planeId + std::to_string(r->kills) +
                                        std::to_string(r->status) + std::to_string(r->sideFlags) +
                                        std::to_string(value(p, kTvPlanePropState)) +
                                        std::to_string(p ? damage(p) : -1.0f) +
                                        std::to_string(value(p, kTvPropGroupMask)) +
                                        (p ? std::to_string(matrix(p)->pos.x) +
                                                 std::to_string(matrix(p)->pos.y) +
                                                 std::to_string(matrix(p)->pos.z)
                                           : std::string())
                                  : std::string("-"));
        }
        for (int i = 0; i < 3; ++i) s.chat.push_back(game->chat_history(i));
        return s;
    };
    const Snapshot before = snapshot();
    // Well-formed messages cut short at every length.
    const Message whole[] = {
        info(msg::player_joined, 4, "multifokkertriplane"),
        Message(msg::kill_taken).set("slot", 1),
        Message(msg::status).set("slot", 1).set("status", 7),
        Message(msg::damage).set("target", 5001).set("attacker", 5000).set("damage", 30),
        Message(msg::plane_change).set("slot", 1).set_text("plane", "multitavrincamel"),
        Message(msg::side_change).set("slot", 1).set("side", 8),
        Message(msg::kill_scored).set("slot", 1).set("kills", 5).set("victim", 5002),
        Message(msg::player_left).set("slot", 2),
        Message(msg::match_finished).set("slot", 1),
        Message(msg::clock_correction).set("time", 99999),
        Message(msg::chat).set_text("text", "hello"),
        Message(msg::echo).set("a", 7).set("b", 1).set("value", 1),
        Message(msg::finished_no_vote).set("slot", 1),
    };
    for (const Message& m : whole) {
        const auto bytes = mpserver::encode(m, mpserver::Direction::ToClient);
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            ComRef<IBinaryStreamComposer> packet =
                reader(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
            EXPECT_EQ(game->HandleMessage(packet.get(), m.type, 0), OM_E_FAIL)
                << m.describe() << " cut at " << cut;
        }
        EXPECT_EQ(snapshot(), before) << m.describe();
    }
    // Values out of range, objects and slots that are not there, unknown types.
    const Message bad[] = {
        Message(msg::status).set("slot", 9).set("status", 2),
        Message(msg::status).set("slot", 1).set("status", 8),
        Message(msg::status).set("slot", 6).set("status", 2),
        Message(msg::kill_taken).set("slot", 6),
        Message(msg::damage).set("target", 6001).set("attacker", 5000).set("damage", 30),
        Message(msg::damage).set("target", 4444).set("attacker", 5000).set("damage", 30),
        Message(msg::damage).set("target", 5001).set("attacker", 5000).set("damage", -1),
        Message(msg::kill_scored).set("slot", 6).set("kills", 5).set("victim", 5001),
        Message(msg::player_left).set("slot", 0),
        Message(msg::player_left).set("slot", 6),
        Message(msg::side_change).set("slot", 1).set("side", 7),
        Message(msg::plane_change).set("slot", 1).set_text("plane", "multisopwith"),
        Message(msg::match_finished).set("slot", 8),
        Message(msg::echo).set("a", -1).set("b", 1).set("value", 1),
        Message(msg::pickup).set("object", 9999),
        Message(msg::aim).set("slot", 6).set_vector("dir", 0, 0, 1),
        // Places beyond the range positions travel in: no respawn there, no player joining.
        respawn_at(1, {100, 500, -1.5e33f}),
        respawn_at(0, {3e38f, 400, 300}),
        respawn_at(2, {900, 65536.5f, 900}),
        info(msg::player_joined, 4, "multifokkertriplane", "", 4, 0x202, {1e30f, 400, 300}),
    };
    for (const Message& m : bad) {
        deliver(m);
        EXPECT_EQ(snapshot(), before) << m.describe();
    }
    ComRef<IBinaryStreamComposer> empty = reader({});
    for (uint16_t type :
         {uint16_t(0), uint16_t(18), uint16_t(19), uint16_t(21), uint16_t(53), uint16_t(999)})
        EXPECT_EQ(game->HandleMessage(empty.get(), type, 0), OM_E_FAIL);
    EXPECT_EQ(game->HandleMessage(nullptr, msg::status, 0), OM_E_FAIL);
    EXPECT_EQ(snapshot(), before);
}

} // namespace
} // namespace clientgametest
