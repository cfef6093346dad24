// The machine's game id: 16 bytes kept in the registry, made once per machine, that the
// network client sends to the server as the player's port data.
#pragma once

#include <array>
#include <cstdint>

inline constexpr char TV_GAME_ID_KEY[] = "Software\\Kestrune\\Application\\Aerovant";
inline constexpr char TV_GAME_ID_VALUE[] = "machinegameid";

using TvMachineGameId = std::array<uint8_t, 16>;

// Reads the id from the registry, or makes a new one and stores it there when there is none
// (a value of another size or type counts as none). Stays zero when the key cannot be had.
void TvReadMachineGameId();
// The id read at start-up (zero until then).
const TvMachineGameId& TvGetMachineGameId();
