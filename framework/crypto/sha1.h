// SHA-1 (FIPS 180-1) with the digest handed out as its five 32-bit chaining words.
#pragma once

#include <cstddef>
#include <cstdint>

// Field order is part of the contract: chaining words, bit length (low, high), input block.
struct Sha1Context {
    uint32_t h[5];
    uint32_t length_low;
    uint32_t length_high;
    uint8_t buffer[64];
};

// Starts a digest: the standard chaining words, length 0.
void OmSha1Init(Sha1Context& ctx);

// Absorbs `length` bytes.
void OmSha1Update(Sha1Context& ctx, const void* data, size_t length);

// Pads, and hands out H0..H4 as integers (not the big-endian digest bytes). Clears the context.
void OmSha1Final(Sha1Context& ctx, uint32_t out[5]);

// Digest of `data` folded into `out_length` bytes (20 when 0 is given): the digest bytes are
// the five words laid out little-endian, and every byte i of max(20, out_length) lands XORed
// into out[i mod out_length]. Returns the out length used.
size_t OmSha1Digest(const void* data, size_t length, uint8_t* out, size_t out_length);
