// The engine's random-number plug-in (engine module 0x10c): an additive feedback generator
// with a 31-word state, so a seed always yields the same sequence.
#pragma once

#include <cstdint>

constexpr uint32_t LgRandomDefaultSeed = 0x9a319039;
constexpr int LgRandomStateWords = 31;

struct LgRandomSlice {
    uint32_t* state;
    uint32_t* front;
    uint32_t* rear;
    uint32_t* end; // one past the last state word
};

// Registers the module; call after LgEngineInit and before LgEngineOpen. True on success.
bool LgRandomPluginAttach();
// Re-seeds the generator (nothing happens while the engine is not started).
void LgRandomSeed(uint32_t seed);
// The next number, 0 to 2^31 - 1 (0 while the engine is not started).
uint32_t LgRandom();
// The module's slice in the current instance, null while it is not open.
LgRandomSlice* LgRandomGetSlice();
