// Small sound files for the sound harnesses and their seeds: a 16-bit PCM WAV of a few frames
// in the layout every WAV writer produces (RIFF, "fmt " of 16 bytes, "data").
#pragma once

#include <cstdint>
#include <string>

namespace fuzzing {

inline std::string le_bytes(uint32_t value, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += char(value >> (8 * i));
    return out;
}

// `frames` frames of a sawtooth at `hz`, 16-bit, `channels` channels.
inline std::string tone_wav(uint32_t channels, uint32_t hz, uint32_t frames) {
    std::string samples;
    for (uint32_t i = 0; i < frames * channels; ++i)
        samples += le_bytes(uint16_t(int16_t((i % 32) * 1000 - 16000)), 2);
    const uint32_t align = channels * 2;
    const std::string format = le_bytes(1, 2) + le_bytes(channels, 2) + le_bytes(hz, 4) +
                               le_bytes(hz * align, 4) + le_bytes(align, 2) + le_bytes(16, 2);
    const std::string body = "WAVE" + std::string("fmt ") + le_bytes(16, 4) + format + "data" +
                             le_bytes(uint32_t(samples.size()), 4) + samples;
    return "RIFF" + le_bytes(uint32_t(body.size()), 4) + body;
}

} // namespace fuzzing
