// The input language of the client-game harness, shared with its seed maker: a run of steps,
// each an op byte (taken modulo kClientOpCount) and its fields.
// - message: a byte choosing the type from kClientMessageTypes, then the payload as a part;
// - frame: a byte of time (1 + 4 x byte ms passes), then a timer event and an update;
// - report: the packet queue's timed send (the local plane's report);
// - system: a byte: odd = the session lost, even = the port of the player in slot
//   (byte / 2) % 8 leaves;
// - lobby: a byte: the lobby's calls on the client game (0 the outcome cleared, 1 the clock
//   set from the next eight bytes, 2 the scoreboard built). The level switch is not among
//   them: building a session (landscape, lens flare, particles) looks its pictures up through
//   the engine's file search, which walks directories on disk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

enum ClientOp : uint8_t {
    kClientOpMessage = 0,
    kClientOpFrame = 4,
    kClientOpReport = 5,
    kClientOpSystem = 6,
    kClientOpLobby = 7,
    kClientOpCount = 8,
};

// Every message type the client game handles in a match (the server's side of each).
inline constexpr uint16_t kClientMessageTypes[] = {20, 22, 23, 25, 26, 31, 32, 33, 34, 37,
                                                   38, 39, 42, 43, 44, 45, 47, 48, 51, 52};
inline constexpr size_t kClientMessageTypeCount =
    sizeof kClientMessageTypes / sizeof kClientMessageTypes[0];

// The byte that chooses a message type.
inline uint8_t client_type_byte(uint16_t type) {
    for (size_t i = 0; i < kClientMessageTypeCount; ++i)
        if (kClientMessageTypes[i] == type) return static_cast<uint8_t>(i);
    return 0xff;
}

// The match the harness starts every input from: the local player in slot 0 (object 5000),
// remote players in slots 1 and 2 (objects 5001, 5002), the mission's planes 7 and 8 and its
// pickup 3.
inline constexpr int32_t kClientFixtureMission = 61;

} // namespace fuzzing
