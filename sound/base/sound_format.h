// The sample-format code shared by the whole sound subsystem: bits 0-7 channel count, bit 8
// set for PCM codes, bits 16-20 bits per sample, bit 24 signed samples.
#pragma once

#include <cstdint>

inline constexpr uint32_t SOUND_FORMAT_PCM_BIT = 0x100;
inline constexpr uint32_t SOUND_FORMAT_SIGNED_BIT = 0x1000000;
inline constexpr uint32_t SOUND_FORMAT_MONO8 = 0x80101;
inline constexpr uint32_t SOUND_FORMAT_STEREO8 = 0x80102;
inline constexpr uint32_t SOUND_FORMAT_MONO16 = 0x1100101;
inline constexpr uint32_t SOUND_FORMAT_STEREO16 = 0x1100102;
// The devices' output: 16-bit signed stereo at 22050 Hz.
inline constexpr uint32_t SOUND_DEFAULT_OUTPUT_FORMAT = SOUND_FORMAT_STEREO16;
inline constexpr uint32_t SOUND_DEFAULT_OUTPUT_RATE = 22050;

inline constexpr uint32_t sound_format_channels(uint32_t code) {
    return code & 0xFF;
}
inline constexpr uint32_t sound_format_bits(uint32_t code) {
    return (code >> 16) & 31;
}
inline constexpr bool sound_format_signed(uint32_t code) {
    return code & SOUND_FORMAT_SIGNED_BIT;
}
// Bytes of one sample frame: channels x bits / 8.
inline constexpr uint32_t sound_format_frame_bytes(uint32_t code) {
    return sound_format_channels(code) * sound_format_bits(code) / 8;
}
// The same code with one channel.
inline constexpr uint32_t sound_format_mono(uint32_t code) {
    return (code & ~0xFFu) | 1u;
}
// The same code with two channels.
inline constexpr uint32_t sound_format_stereo(uint32_t code) {
    return (code & ~0xFFu) | 2u;
}
