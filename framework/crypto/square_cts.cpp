// CBC with ciphertext stealing over Square: the stolen tail keeps the ciphertext as long as the
// plaintext.
#include "framework/crypto/square_cts.h"

#include <cstring>

namespace {

void xor_into(uint8_t* dst, const uint8_t* src, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] ^= src[i];
}

} // namespace

void OmSquareCtsInit(SquareCtsContext& ctx, const uint8_t key[16]) {
    std::memset(&ctx, 0, sizeof ctx);
    OmSquareGenerateRoundKeys(key, ctx.encryption_keys, ctx.decryption_keys);
}

void OmSquareCtsSetIV(SquareCtsContext& ctx, const uint8_t* iv) {
    if (iv) std::memcpy(ctx.chain, iv, 16);
    OmSquareEncrypt(ctx.chain, ctx.encryption_keys);
}

bool OmSquareCtsEncrypt(SquareCtsContext& ctx, uint8_t* buffer, size_t length) {
    if (length < 16) return false;
    const size_t full = length / 16, tail = length % 16;
    for (size_t b = 0; b < full; ++b) {
        uint8_t* block = buffer + 16 * b;
        xor_into(block, ctx.chain, 16);
        OmSquareEncrypt(block, ctx.encryption_keys);
        std::memcpy(ctx.chain, block, 16);
    }
    if (tail) {
        // chain holds the last full cipher block C; its first bytes move to the tail and the
        // tail's plaintext is chained into a final encipherment written over C.
        uint8_t* last = buffer + 16 * (full - 1);
        uint8_t* rest = buffer + 16 * full;
        xor_into(ctx.chain, rest, tail);
        std::memcpy(rest, last, tail);
        OmSquareEncrypt(ctx.chain, ctx.encryption_keys);
        std::memcpy(last, ctx.chain, 16);
    }
    return true;
}

bool OmSquareCtsDecrypt(SquareCtsContext& ctx, uint8_t* buffer, size_t length) {
    if (length < 16) return false;
    const size_t full = length / 16, tail = length % 16;
    const size_t plain_cbc = tail ? full - 1 : full;
    uint8_t saved[16];
    for (size_t b = 0; b < plain_cbc; ++b) {
        uint8_t* block = buffer + 16 * b;
        std::memcpy(saved, block, 16);
        OmSquareDecrypt(block, ctx.decryption_keys);
        xor_into(block, ctx.chain, 16);
        std::memcpy(ctx.chain, saved, 16);
    }
    if (tail) {
        uint8_t* last = buffer + 16 * (full - 1);
        uint8_t* rest = buffer + 16 * full;
        uint8_t x[16], c[16];
        std::memcpy(x, last, 16);
        OmSquareDecrypt(x, ctx.decryption_keys); // C with the tail's plaintext XORed in
        std::memcpy(c, rest, tail);
        std::memcpy(c + tail, x + tail, 16 - tail);
        for (size_t i = 0; i < tail; ++i) rest[i] = uint8_t(x[i] ^ c[i]);
        std::memcpy(last, c, 16);
        OmSquareDecrypt(last, ctx.decryption_keys);
        xor_into(last, ctx.chain, 16);
        std::memcpy(ctx.chain, c, 16);
        std::memset(x, 0, sizeof x);
    }
    std::memset(saved, 0, sizeof saved);
    return true;
}

void OmSquareCtsDone(SquareCtsContext& ctx) {
    std::memset(&ctx, 0, sizeof ctx);
}
