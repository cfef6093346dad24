// SoundPlayDesc: the 88-byte play description handed to PlaySoundWith and CreateSoundInstance,
// whose flagged fields an instance takes over.
#pragma once

#include <cstdint>

inline constexpr uint32_t SOUND_DESC_VELOCITY = 0x01;
inline constexpr uint32_t SOUND_DESC_PRIORITY = 0x02;
inline constexpr uint32_t SOUND_DESC_FREQUENCY = 0x04;
inline constexpr uint32_t SOUND_DESC_VOLUME = 0x08;
inline constexpr uint32_t SOUND_DESC_PAN = 0x10;
inline constexpr uint32_t SOUND_DESC_FRAME = 0x20;
inline constexpr uint32_t SOUND_DESC_PARAM1 = 0x40;
inline constexpr uint32_t SOUND_DESC_PARAM2 = 0x80;

struct SoundPlayDesc {
    uint32_t flags;    // which fields below apply
    int32_t priority;  // integer parameter 5
    int32_t frequency; // Hz, integer parameter 4
    float volume;      // real parameter 1
    float pan;         // real parameter 3
    float frame[12];   // rows right, up, at, position
    float velocity[3];
    float param1; // real parameter 9
    float param2; // real parameter 10
};
static_assert(sizeof(SoundPlayDesc) == 88);
