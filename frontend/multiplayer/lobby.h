// The multiplayer lobby: menu pages driven by the client state, the lobby's handlers of the
// server's messages and of the transport's system events, and the join and respawn sequences.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

struct IBinaryStreamComposer;
struct OmTransportMessage;
struct TvMultiplayerSession;

// One lobby session: passes until one decides to leave. 0 when the match is to be flown
// (state 6), OM_E_FAIL otherwise.
OmResult TvRunMultiplayerLobby();

// The lobby's message handler (context: the session). Always OM_E_FAIL (ignored).
OmResult TvLobbyHandleMessage(void* context, uint32_t player_id, IBinaryStreamComposer* packet,
                              uint16_t type, uint16_t flags);
// The lobby's queue callback (context: the session). 0: a negative answer would stop the
// queue's receiving for the rest of its pump.
OmResult TvLobbyHandleSystemEvent(uintptr_t context, OmTransportMessage* event);
// Installs both in the network client.
void TvInstallLobbyHandlers(TvMultiplayerSession& s);

// The transport's event of a lost session, and the refresh event the lobby also answers.
inline constexpr uint32_t TV_EVENT_SESSION_LOST = 3;
inline constexpr uint32_t TV_EVENT_REFRESH = 38;

// How the lobby runs its pages; tests script them. Null members keep the defaults.
struct TvLobbyPages {
    // Runs the current page once (states 8, 12, 13); the chosen link comes back in `link`.
    // Default: the page loop with the front end's time-out.
    OmResult (*run_page)(std::string& link);
    // One pass of the connecting page while the client searches; negative when "command:back"
    // was clicked. Default: the text-entry pages' pass with back check.
    OmResult (*search_pass)(void* context);
    // The pass's input, hit test, drawing and show; true with the target of a link clicked.
    bool (*menu_pass)(std::string* clicked);
};
void TvSetLobbyPages(const TvLobbyPages* pages);
