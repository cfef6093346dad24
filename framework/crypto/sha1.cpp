// SHA-1 compression, fully unrolled over a rolling 16-word schedule, and its byte interface.
#include "framework/crypto/sha1.h"

#include <algorithm>
#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t load_be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// One block. The schedule lives in 16 words: W[t] for t >= 16 overwrites W[t - 16].
void compress(uint32_t h[5], const uint8_t* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = load_be32(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];

#define SHA1_W(t)                                                                                  \
    (w[(t)&15] = rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))
#define SHA1_F1(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define SHA1_F2(x, y, z) ((x) ^ (y) ^ (z))
#define SHA1_F3(x, y, z) (((x) & (y)) | ((z) & ((x) | (y))))
#define SHA1_STEP(f, k, wt, a, b, c, d, e)                                                         \
    do {                                                                                           \
        e += rotl(a, 5) + f(b, c, d) + (k) + (wt);                                                 \
        b = rotl(b, 30);                                                                           \
    } while (0)
#define SHA1_FIVE(f, k, w0, w1, w2, w3, w4)                                                        \
    SHA1_STEP(f, k, w0, a, b, c, d, e);                                                            \
    SHA1_STEP(f, k, w1, e, a, b, c, d);                                                            \
    SHA1_STEP(f, k, w2, d, e, a, b, c);                                                            \
    SHA1_STEP(f, k, w3, c, d, e, a, b);                                                            \
    SHA1_STEP(f, k, w4, b, c, d, e, a)

    constexpr uint32_t k1 = 0x5A827999u, k2 = 0x6ED9EBA1u, k3 = 0x8F1BBCDCu, k4 = 0xCA62C1D6u;
    SHA1_FIVE(SHA1_F1, k1, w[0], w[1], w[2], w[3], w[4]);
    SHA1_FIVE(SHA1_F1, k1, w[5], w[6], w[7], w[8], w[9]);
    SHA1_FIVE(SHA1_F1, k1, w[10], w[11], w[12], w[13], w[14]);
    SHA1_FIVE(SHA1_F1, k1, w[15], SHA1_W(16), SHA1_W(17), SHA1_W(18), SHA1_W(19));
    SHA1_FIVE(SHA1_F2, k2, SHA1_W(20), SHA1_W(21), SHA1_W(22), SHA1_W(23), SHA1_W(24));
    SHA1_FIVE(SHA1_F2, k2, SHA1_W(25), SHA1_W(26), SHA1_W(27), SHA1_W(28), SHA1_W(29));
    SHA1_FIVE(SHA1_F2, k2, SHA1_W(30), SHA1_W(31), SHA1_W(32), SHA1_W(33), SHA1_W(34));
    SHA1_FIVE(SHA1_F2, k2, SHA1_W(35), SHA1_W(36), SHA1_W(37), SHA1_W(38), SHA1_W(39));
    SHA1_FIVE(SHA1_F3, k3, SHA1_W(40), SHA1_W(41), SHA1_W(42), SHA1_W(43), SHA1_W(44));
    SHA1_FIVE(SHA1_F3, k3, SHA1_W(45), SHA1_W(46), SHA1_W(47), SHA1_W(48), SHA1_W(49));
    SHA1_FIVE(SHA1_F3, k3, SHA1_W(50), SHA1_W(51), SHA1_W(52), SHA1_W(53), SHA1_W(54));
    SHA1_FIVE(SHA1_F3, k3, SHA1_W(55), SHA1_W(56), SHA1_W(57), SHA1_W(58), SHA1_W(59));
    SHA1_FIVE(SHA1_F2, k4, SHA1_W(60), SHA1_W(61), SHA1_W(62), SHA1_W(63), SHA1_W(64));
    SHA1_FIVE(SHA1_F2, k4, SHA1_W(65), SHA1_W(66), SHA1_W(67), SHA1_W(68), SHA1_W(69));
    SHA1_FIVE(SHA1_F2, k4, SHA1_W(70), SHA1_W(71), SHA1_W(72), SHA1_W(73), SHA1_W(74));
    SHA1_FIVE(SHA1_F2, k4, SHA1_W(75), SHA1_W(76), SHA1_W(77), SHA1_W(78), SHA1_W(79));

#undef SHA1_W
#undef SHA1_F1
#undef SHA1_F2
#undef SHA1_F3
#undef SHA1_STEP
#undef SHA1_FIVE

    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

} // namespace

void OmSha1Init(Sha1Context& ctx) {
    ctx.h[0] = 0x67452301u;
    ctx.h[1] = 0xEFCDAB89u;
    ctx.h[2] = 0x98BADCFEu;
    ctx.h[3] = 0x10325476u;
    ctx.h[4] = 0xC3D2E1F0u;
    ctx.length_low = 0;
    ctx.length_high = 0;
}

void OmSha1Update(Sha1Context& ctx, const void* data, size_t length) {
    const auto* in = static_cast<const uint8_t*>(data);
    size_t used = (ctx.length_low >> 3) & 63;

    // The bit length is a 64-bit count kept as two words.
    uint64_t bits = (uint64_t(ctx.length_high) << 32) | ctx.length_low;
    bits += uint64_t(length) << 3;
    ctx.length_low = uint32_t(bits);
    ctx.length_high = uint32_t(bits >> 32);

    if (used) {
        size_t take = std::min(length, 64 - used);
        std::memcpy(ctx.buffer + used, in, take);
        in += take;
        length -= take;
        if (used + take < 64) return;
        compress(ctx.h, ctx.buffer);
    }
    for (; length >= 64; in += 64, length -= 64) compress(ctx.h, in);
    if (length) std::memcpy(ctx.buffer, in, length);
}

void OmSha1Final(Sha1Context& ctx, uint32_t out[5]) {
    size_t used = (ctx.length_low >> 3) & 63;
    uint8_t trailer[8];
    for (int i = 0; i < 4; ++i) {
        trailer[i] = uint8_t(ctx.length_high >> (24 - 8 * i));
        trailer[4 + i] = uint8_t(ctx.length_low >> (24 - 8 * i));
    }
    ctx.buffer[used++] = 0x80;
    if (used > 56) {
        std::memset(ctx.buffer + used, 0, 64 - used);
        compress(ctx.h, ctx.buffer);
        used = 0;
    }
    std::memset(ctx.buffer + used, 0, 56 - used);
    std::memcpy(ctx.buffer + 56, trailer, 8);
    compress(ctx.h, ctx.buffer);
    for (int i = 0; i < 5; ++i) out[i] = ctx.h[i];
    // Digests of pass phrases pass through here: leave nothing behind.
    std::memset(&ctx, 0, sizeof ctx);
}

size_t OmSha1Digest(const void* data, size_t length, uint8_t* out, size_t out_length) {
    if (out_length == 0) out_length = 20;
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, data, length);
    uint32_t words[5];
    OmSha1Final(ctx, words);
    uint8_t digest[20];
    for (int i = 0; i < 20; ++i) digest[i] = uint8_t(words[i / 4] >> (8 * (i % 4)));
    std::memset(out, 0, out_length);
    for (size_t i = std::max<size_t>(20, out_length); i-- > 0;)
        out[i % out_length] ^= digest[i % 20];
    return out_length;
}
