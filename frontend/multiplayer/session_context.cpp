// The multiplayer session's shared words.
#include "frontend/multiplayer/session_context.h"

#include "frontend/menus/menu_display.h"

namespace {

TvMultiplayerSession session;
TvSessionPageObserver page_observer = nullptr;
TvClientStateObserver state_observer = nullptr;

} // namespace

TvMultiplayerSession& TvGetMultiplayerSession() {
    return session;
}

void TvResetMultiplayerSession() {
    session.end_flags = 0;
    session.session_running = 1;
    session.connect_deadline = 0;
    session.respawn_deadline = 0;
    session.next_refresh = 0;
    session.time_sync = TvTimeSync{};
    session.local_slot = -1;
    session.local_plane = false;
    session.leave = false;
    session.leave_result = OM_E_FAIL;
    session.game.reset();
}

void TvSetSessionPage(TvMultiplayerSession& s, const char* page) {
    s.page = std::string(page ? page : "").substr(0, TV_LINK_LIMIT);
}

void TvShowSessionPage(TvMultiplayerSession& s) {
    if (page_observer) page_observer(s.page.c_str());
    TvShowPage(s.page.c_str());
}

void TvSetSessionPageObserver(TvSessionPageObserver observer) {
    page_observer = observer;
}

void TvSetClientState(TvMultiplayerSession& s, int32_t state) {
    s.client_state = state;
    if (state_observer) state_observer(state);
}

void TvSetClientStateObserver(TvClientStateObserver observer) {
    state_observer = observer;
}
