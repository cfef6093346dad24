// WAVEFORMATEX: the wave format record of the sound functions, laid out as the 18 bytes that
// follow a format's "fmt " chunk header in a WAV file (extra bytes, if any, follow it).
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t format_tag; // 1 = PCM
    uint16_t channels;
    uint32_t samples_per_second;
    uint32_t average_bytes_per_second;
    uint16_t block_align;
    uint16_t bits_per_sample;
    uint16_t extra_size; // bytes after this record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
