// The session's view of the client game component (TavrinClientGame).
#include "frontend/multiplayer/session_game.h"

#include "framework/core/object_manager.h"
#include "game/rules/tv_client_game.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_object.h"

namespace {

class ClientGameView : public TvSessionGame {
public:
    ClientGameView(ITvGame* game, ITvClientGame* client) : game_(game), client_(client) {}
    ~ClientGameView() override {
        client_->Release();
        game_->Release();
    }
    ClientGameView(const ClientGameView&) = delete;
    ClientGameView& operator=(const ClientGameView&) = delete;

    ITvGame* game() override { return game_; }
    OmResult handle_message(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override {
        return client_->HandleMessage(packet, type, flags);
    }
    OmResult system_event(OmTransportMessage* event) override {
        return client_->OnSystemEvent(event);
    }
    void clear_outcome() override { client_->ClearOutcome(); }
    void set_clock(int32_t server_time, int32_t adjustment) override {
        client_->SetClock(server_time, adjustment);
    }
    // The game's time queries give the server's time once the clock is set.
    uint32_t game_time_ms() override { return uint32_t(game_->GetTimeMs()); }
    OmResult add_player(const TvPlayerInfo& info, int32_t slot, bool local) override {
        if (local) return client_->JoinLocalPlayer(&info, slot);
        ITvObject* plane = nullptr;
        OmResult r = client_->CreatePlayerPlane(&info, slot, 0, &plane);
        if (r < 0 || !plane) return OM_E_FAIL;
        r = client_->AddPlayer(plane, 0, &info, slot);
        plane->Release();
        return r;
    }
    ITvObject* player_plane(int32_t slot) override { return client_->GetPlayerPlane(slot); }
    OmResult deduct_kill(int32_t slot) override { return client_->DeductKill(slot); }
    // The game's Update puts the planes into and out of the world by their status; in the
    // lobby nothing is drawn, so the next Update does it.
    void sync_player_planes() override {}
    bool chat_active() override { return client_->IsChatActive() != 0; }
    OmResult change_mission(int32_t mission) override { return client_->ChangeMission(mission); }

private:
    ITvGame* game_;
    ITvClientGame* client_;
};

std::unique_ptr<TvSessionGame> view_of_client_game() {
    ITvGame* game = nullptr;
    if (OmCreate(CLSID_TavrinClientGame, IID_ITvGame, &game) < 0 || !game) return nullptr;
    ITvClientGame* client = TvQueryClientGame(game);
    if (!client) {
        game->Release();
        return nullptr;
    }
    return std::make_unique<ClientGameView>(game, client);
}

TvSessionGameFactory factory = view_of_client_game;

} // namespace

void TvSetSessionGameFactory(TvSessionGameFactory given) {
    factory = given ? given : view_of_client_game;
}

std::unique_ptr<TvSessionGame> TvMakeSessionGame() {
    return factory();
}
