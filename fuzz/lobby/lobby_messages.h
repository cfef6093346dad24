// The lobby harness's side of the game messages, kept apart from the front end's headers
// (whose names of the player slots and sides the messages' header also defines): the
// agreement check of each message delivered, and what the recording client game reads of the
// messages it handles.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

struct IBinaryStreamComposer;

namespace lobbyfuzz {

// fuzz/message_agreement.h for a message to the client.
void check_to_client(uint16_t type, std::span<const uint8_t> payload);

// What a message the client game handles does to its players and outcome.
struct GameEffect {
    enum Kind { none, joined, respawned, status, left, outcome } kind = none;
    uint32_t slot = 0;
    int32_t value = 0;       // status, or outcome
    uint32_t network_id = 0; // joined
};
GameEffect read_game_message(IBinaryStreamComposer* packet, uint16_t type);

} // namespace lobbyfuzz
