// The two server messages the session tests' client game reads for itself, decoded apart from
// the front end's headers (the message codec names some of their values too).
#pragma once

#include <cstdint>
#include <string>

struct IBinaryStreamComposer;

namespace mptest {

// Message 33 to the client: the slot and its new plane type.
bool decode_plane_change(IBinaryStreamComposer* packet, uint32_t* slot, std::string* plane);
// Message 23: the slot that respawns.
bool decode_respawn(IBinaryStreamComposer* packet, uint32_t* slot);

} // namespace mptest
