// The client game: one instance through its class id with both interfaces, players' planes
// made from decoded info records (the local join, other players joining and leaving) and what
// such records may not do.
#include "tests/game/rules/client_game_test_support.h"

namespace clientgametest {
namespace {

using mpserver::Message;
namespace msg = mpserver::msg;

TEST_F(ClientGameTest, OneInstanceAnswersBothInterfacesAndTheLastReleaseClearsIt) {
    ITvGame* second = nullptr;
    ASSERT_EQ(OmCreate(CLSID_TavrinClientGame, IID_ITvGame, reinterpret_cast<void**>(&second)),
              OM_S_OK);
    EXPECT_EQ(second, itv);
    EXPECT_EQ(TavrinClientGame::instance, game);
    ITvClientGame* client_game = TvQueryClientGame(second);
    ASSERT_NE(client_game, nullptr);
    EXPECT_EQ(client_game, static_cast<ITvClientGame*>(game));
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(client_game->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), OM_S_OK);
    ASSERT_EQ(itv->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), OM_S_OK);
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    client_game->Release();
    second->Release();
    // The plain game is no client game; an outer object is refused.
    IUnknown* outer_made = nullptr;
    EXPECT_EQ(OmCreateInstance(CLSID_TavrinClientGame, itv, 0, IID_ITvGame,
                               reinterpret_cast<void**>(&outer_made)),
              OM_E_NOAGGREGATION);
    game->Destroy();
    itv->Release();
    game = nullptr;
    EXPECT_EQ(TavrinClientGame::instance, nullptr);
}

TEST_F(ClientGameTest, TheLocalJoinMakesTheLocalPlaneWithTheClientAndTheQueueReport) {
    ASSERT_EQ(join_local(2), OM_S_OK);
    EXPECT_EQ(game->GetLocalSlot(), 2);
    ITvObject* plane = game->GetPlayerPlane(2);
    ASSERT_NE(plane, nullptr);
    EXPECT_NE(net(plane), nullptr);
    EXPECT_EQ(value(plane, kTvPropId), 5002u);
    EXPECT_EQ(value(plane, kTvPropFlags) & 0xc30u, 0xc10u);
    EXPECT_EQ(value(plane, kTvPropGroupMask), 0x102u);
    EXPECT_EQ(value(plane, kTvPlanePropState), uintptr_t(kTvPlaneTaxiing));
    EXPECT_EQ(value(plane, kTvNetPropClient), reinterpret_cast<uintptr_t>(client));
    EXPECT_EQ(game->GetObjectById(5002), plane);
    const LgMatrix* m = matrix(plane);
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->pos.x, 300.0f);
    EXPECT_FLOAT_EQ(m->pos.z, 300.0f);
    // Joining reports nothing: the status was set before the client.
    EXPECT_EQ(client->count(msg::status), 0u);
    const TvPlayerInfo* record = game->GetPlayerRecord(2);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->name, "me");
    EXPECT_FLOAT_EQ(record->scale, 1.0f);
    auto& options = client->queue->options;
    EXPECT_EQ(options[OM_QUEUE_PRESEND_CALLBACK], reinterpret_cast<uintptr_t>(&TvNetPlanePreSend));
    EXPECT_EQ(options[OM_QUEUE_PRESEND_CONTEXT], reinterpret_cast<uintptr_t>(net(plane)));
    EXPECT_EQ(options[OM_QUEUE_SEND_INTERVAL], 50u);
    EXPECT_EQ(options[OM_QUEUE_MAX_DATAGRAM], 1024u);
    // A second join into the taken slot changes nothing.
    EXPECT_EQ(join_local(2, "multifokkertriplane"), OM_E_FAIL);
    EXPECT_EQ(game->GetPlayerPlane(2), plane);
}

TEST_F(ClientGameTest, AnotherPlayerJoinsAsARemotePlaneWithoutTheClient) {
    ASSERT_EQ(join_local(0), OM_S_OK);
    ASSERT_EQ(join_remote(3, "multifokkertriplane", {500, 400, 500}, 7, "red", 0x202), OM_S_OK);
    ITvObject* plane = game->GetPlayerPlane(3);
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(value(plane, kTvPropFlags) & 0xc30u, 0x820u);
    EXPECT_EQ(value(plane, kTvPropGroupMask), 0x202u);
    EXPECT_EQ(value(plane, kTvPlanePropState), uintptr_t(kTvPlaneOffMap));
    EXPECT_EQ(value(plane, kTvNetPropClient), 0u);
    EXPECT_EQ(value(plane, kTvNetPropSlot), 3u);
    EXPECT_STREQ(game->GetPlayerRecord(3)->name, "red");
    // Message 38 takes it out again: record, slot, registry.
    ASSERT_EQ(deliver(Message(msg::player_left).set("slot", 3)), OM_S_OK);
    EXPECT_EQ(game->GetPlayerPlane(3), nullptr);
    EXPECT_EQ(game->GetPlayerRecord(3), nullptr);
    EXPECT_EQ(game->GetObjectById(5003), nullptr);
}

TEST_F(ClientGameTest, JoinRecordsThatDoNotFitTheWorldMakeNothing) {
    ASSERT_EQ(join_local(0), OM_S_OK);
    ASSERT_EQ(join_remote(1), OM_S_OK);
    const int32_t before = game->master_count();
    struct Case {
        const char* what;
        Message message;
    } cases[] = {
        {"unknown plane type", info(msg::player_joined, 4, "multisopwith")},
        {"the local slot", info(msg::player_joined, 0, "multifokkertriplane")},
        {"an occupied slot", info(msg::player_joined, 1, "multifokkertriplane")},
        // The mission's own plane holds id 7.
        {"a taken object id", info(msg::player_joined, 5, "multifokkertriplane").set("object", 7)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(deliver(c.message), OM_S_OK) << c.what;
        EXPECT_EQ(game->master_count(), before) << c.what;
    }
    EXPECT_EQ(game->GetPlayerPlane(4), nullptr);
    EXPECT_EQ(game->GetPlayerRecord(4), nullptr);
    EXPECT_EQ(game->GetPlayerRecord(5), nullptr);
    EXPECT_EQ(value(game->GetPlayerPlane(1), kTvPropId), 5001u);
    ASSERT_NE(game->GetObjectById(7), nullptr);
    EXPECT_EQ(value(game->GetObjectById(7), kTvPropFlags) & kTvFlagPlayerPlane, 0u);
    // The local join of an unknown type likewise.
    TvPlayerInfo unknown{};
    std::strcpy(unknown.planeId, "multisopwith");
    unknown.word = 5006;
    EXPECT_EQ(game->JoinLocalPlayer(&unknown, 6), OM_E_FAIL);
    EXPECT_EQ(game->GetPlayerRecord(6), nullptr);
    EXPECT_EQ(game->master_count(), before);
}

} // namespace
} // namespace clientgametest
