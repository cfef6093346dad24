// IMA ADPCM in the block layout of WAV files (format tag 0x11): per channel a header of the
// first sample (int16), the step index (0..88) and a zero byte, then 4-bit codes low nibble
// first, interleaved in groups of 4 bytes (8 samples) per channel.
#pragma once

#include <cstdint>

inline constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x11;
inline constexpr uint32_t IMA_MAX_STEP_INDEX = 88;
inline constexpr uint32_t IMA_HEADER_BYTES = 4; // per channel
inline constexpr uint32_t IMA_GROUP_BYTES = 4;  // per channel: 8 samples

// Samples per channel that a block of `block_align` bytes holds:
// (block_align - 4 x channels) x 2 / channels + 1. 0 when the block cannot hold its headers
// or its codes are not whole groups.
uint32_t ima_samples_per_block(uint32_t block_align, uint32_t channels);
// Bytes of a block carrying `samples` (>= 1) per channel: headers and whole groups.
uint32_t ima_block_bytes(uint32_t samples, uint32_t channels);

// Decodes one block of `size` bytes (a last block may be short) into interleaved frames,
// at most `samples_per_block` per channel; the frames decoded go to *frames (the fewest any
// channel's bytes hold). False for a step index above 88 or a block shorter than its
// headers. Never reads past `size`.
bool ima_decode_block(const uint8_t* block, uint32_t size, uint32_t channels,
                      uint32_t samples_per_block, int16_t* out, uint32_t* frames);

// Encoder state carried from block to block: each channel's step index.
struct ImaEncoderState {
    uint8_t index[256] = {};
};

// Encodes `frames` (1..samples_per_block) interleaved frames into one block of
// ima_block_bytes(frames, channels) bytes; codes of a last group beyond `frames` repeat the
// last sample.
void ima_encode_block(const int16_t* in, uint32_t frames, uint32_t channels, ImaEncoderState& state,
                      uint8_t* out);
