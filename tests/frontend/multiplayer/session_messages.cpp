// The session tests' decoding of messages 33 and 23 through the game's message codec.
#include "tests/frontend/multiplayer/session_messages.h"

#include "net/messages/game_messages.h"

namespace mptest {

bool decode_plane_change(IBinaryStreamComposer* packet, uint32_t* slot, std::string* plane) {
    const auto m = TvDecodeToClientPlaneChange(packet);
    if (!m) return false;
    *slot = m->slot;
    *plane = m->planeId;
    return true;
}

bool decode_respawn(IBinaryStreamComposer* packet, uint32_t* slot) {
    const auto m = TvDecodeToClientRespawn(packet);
    if (!m) return false;
    *slot = m->slot;
    return true;
}

} // namespace mptest
