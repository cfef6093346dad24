// The IMA ADPCM codec: the 89-step table, the index table and the shift-and-add
// reconstruction shared by the encoder and the decoder, so both follow the same predictor.
#include "sound/files/ima_adpcm.h"

#include <algorithm>

namespace {

constexpr int16_t step_table[IMA_MAX_STEP_INDEX + 1] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t index_table[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

struct Channel {
    int32_t predictor;
    int32_t index;

    // One code applied: shift-and-add difference, clamped to 16 bits; the index moves.
    int16_t apply(uint8_t code) {
        const int32_t step = step_table[index];
        int32_t diff = step >> 3;
        if (code & 4) diff += step;
        if (code & 2) diff += step >> 1;
        if (code & 1) diff += step >> 2;
        predictor += (code & 8) ? -diff : diff;
        predictor = std::clamp(predictor, -32768, 32767);
        index = std::clamp(index + index_table[code & 7], 0, int32_t(IMA_MAX_STEP_INDEX));
        return int16_t(predictor);
    }

    uint8_t encode(int16_t sample) {
        int32_t diff = int32_t(sample) - predictor;
        uint8_t code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int32_t step = step_table[index];
        if (diff >= step) {
            code |= 4;
            diff -= step;
        }
        step >>= 1;
        if (diff >= step) {
            code |= 2;
            diff -= step;
        }
        step >>= 1;
        if (diff >= step) code |= 1;
        apply(code);
        return code;
    }
};

} // namespace

uint32_t ima_samples_per_block(uint32_t block_align, uint32_t channels) {
    if (channels == 0) return 0;
    const uint32_t headers = IMA_HEADER_BYTES * channels;
    if (block_align < headers || (block_align - headers) % (IMA_GROUP_BYTES * channels) != 0)
        return 0;
    return (block_align - headers) * 2 / channels + 1;
}

uint32_t ima_block_bytes(uint32_t samples, uint32_t channels) {
    const uint32_t groups = samples > 1 ? (samples - 1 + 7) / 8 : 0;
    return (IMA_HEADER_BYTES + groups * IMA_GROUP_BYTES) * channels;
}

bool ima_decode_block(const uint8_t* block, uint32_t size, uint32_t channels,
                      uint32_t samples_per_block, int16_t* out, uint32_t* frames) {
    *frames = 0;
    if (channels == 0 || size < IMA_HEADER_BYTES * channels || samples_per_block == 0) return false;
    for (uint32_t c = 0; c < channels; ++c) {
        if (block[IMA_HEADER_BYTES * c + 2] > IMA_MAX_STEP_INDEX) return false;
    }
    uint32_t decoded = samples_per_block;
    const uint32_t group_stride = IMA_GROUP_BYTES * channels;
    const uint8_t* codes = block + IMA_HEADER_BYTES * channels;
    const uint32_t code_bytes = size - IMA_HEADER_BYTES * channels;
    for (uint32_t c = 0; c < channels; ++c) {
        const uint8_t* header = block + IMA_HEADER_BYTES * c;
        Channel state{int16_t(header[0] | (header[1] << 8)), header[2]};
        out[c] = int16_t(state.predictor);
        uint32_t n = 1;
        for (uint32_t group = 0; n < samples_per_block; ++group) {
            const uint32_t base = group * group_stride + IMA_GROUP_BYTES * c;
            uint32_t k = 0;
            for (; k < IMA_GROUP_BYTES && n < samples_per_block; ++k) {
                if (base + k >= code_bytes) break;
                const uint8_t byte = codes[base + k];
                out[size_t(n) * channels + c] = state.apply(byte & 0xF);
                if (++n < samples_per_block) {
                    out[size_t(n) * channels + c] = state.apply(byte >> 4);
                    ++n;
                }
            }
            if (k < IMA_GROUP_BYTES && n < samples_per_block) break; // the block's data ended
        }
        decoded = std::min(decoded, n);
    }
    *frames = decoded;
    return true;
}

void ima_encode_block(const int16_t* in, uint32_t frames, uint32_t channels, ImaEncoderState& state,
                      uint8_t* out) {
    const uint32_t groups = frames > 1 ? (frames - 1 + 7) / 8 : 0;
    const uint32_t group_stride = IMA_GROUP_BYTES * channels;
    uint8_t* codes = out + IMA_HEADER_BYTES * channels;
    for (uint32_t c = 0; c < channels; ++c) {
        const int16_t first = in[c];
        Channel channel{first, state.index[c]};
        uint8_t* header = out + IMA_HEADER_BYTES * c;
        header[0] = uint8_t(uint16_t(first));
        header[1] = uint8_t(uint16_t(first) >> 8);
        header[2] = uint8_t(channel.index);
        header[3] = 0;
        uint32_t n = 1;
        for (uint32_t group = 0; group < groups; ++group) {
            uint8_t* bytes = codes + group * group_stride + IMA_GROUP_BYTES * c;
            for (uint32_t k = 0; k < IMA_GROUP_BYTES; ++k) {
                const int16_t low = in[size_t(std::min(n, frames - 1)) * channels + c];
                const int16_t high = in[size_t(std::min(n + 1, frames - 1)) * channels + c];
                const uint8_t lo = channel.encode(low);
                const uint8_t hi = channel.encode(high);
                bytes[k] = uint8_t(lo | (hi << 4));
                n += 2;
            }
        }
        state.index[c] = uint8_t(channel.index);
    }
}
