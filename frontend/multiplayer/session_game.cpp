// The session's view of the client game component.
#include "frontend/multiplayer/session_game.h"

namespace {

std::unique_ptr<TvSessionGame> view_of_client_game() {
    return nullptr;
}

TvSessionGameFactory factory = view_of_client_game;

} // namespace

void TvSetSessionGameFactory(TvSessionGameFactory given) {
    factory = given ? given : view_of_client_game;
}

std::unique_ptr<TvSessionGame> TvMakeSessionGame() {
    return factory();
}
