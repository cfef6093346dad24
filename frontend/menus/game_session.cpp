// The front end's game component.
#include "frontend/menus/game_session.h"

#include "frontend/setup/game_setup.h"
#include "game/rules/tv_game.h"
#include "net/client/om_aerovant_client.h"

namespace {

ITvGame* game_component = nullptr;
int32_t last_mission_created = 0;

bool is_client_game(ITvGame* game) {
    IUnknown* client = nullptr;
    if (game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 || !client)
        return false;
    client->Release();
    return true;
}

} // namespace

ITvGame* TvGetGameComponent() {
    return game_component;
}

void TvSetGameComponent(ITvGame* game) {
    if (game) game->AddRef();
    if (game_component) game_component->Release();
    game_component = game;
}

void TvDiscardGameComponent() {
    if (ITvGame* game = game_component) {
        if (is_client_game(game)) {
            game->Destroy();
            if (IOmAerovantClient* client = TvGetNetworkClient()) {
                client->Stop();
                client->Close();
            }
        } else {
            game->Destroy();
        }
        game_component = nullptr;
        game->Release();
    }
    last_mission_created = 0;
}

int32_t TvGetLastMissionCreated() {
    return last_mission_created;
}

void TvSetLastMissionCreated(int32_t mission) {
    last_mission_created = mission;
}
