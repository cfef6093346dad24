// Square with table-driven rounds; every table is derived at compile time from the cipher's
// definition (GF(2^8) modulo x^8+x^7+x^6+x^5+x^4+x^2+1, theta's polynomial 2 + x + x^2 + 3x^3).
#include "framework/crypto/square.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t gf_mul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    while (b) {
        if (b & 1) r ^= a;
        b >>= 1;
        a = uint8_t((a & 0x80) ? (a << 1) ^ 0xF5 : a << 1); // 0x1F5 without its top bit
    }
    return r;
}

constexpr uint8_t gf_inverse(uint8_t a) {
    if (a == 0) return 0;
    for (int b = 1; b < 256; ++b)
        if (gf_mul(a, uint8_t(b)) == 1) return uint8_t(b);
    return 0;
}

// gamma: inversion followed by the cipher's affine map, given by the images of the eight
// inverse bits and the constant 0xB1.
constexpr std::array<uint8_t, 256> make_sbox() {
    constexpr uint8_t columns[8] = {0x7F, 0xDA, 0xBC, 0x78, 0xF0, 0x60, 0xC0, 0x80};
    std::array<uint8_t, 256> s{};
    for (int a = 0; a < 256; ++a) {
        uint8_t inv = gf_inverse(uint8_t(a)), y = 0xB1;
        for (int k = 0; k < 8; ++k)
            if (inv >> k & 1) y ^= columns[k];
        s[size_t(a)] = y;
    }
    return s;
}

constexpr std::array<uint8_t, 256> invert_sbox(const std::array<uint8_t, 256>& s) {
    std::array<uint8_t, 256> inv{};
    for (int a = 0; a < 256; ++a) inv[s[size_t(a)]] = uint8_t(a);
    return inv;
}

using Poly = std::array<uint8_t, 4>;

constexpr Poly kTheta = {2, 1, 1, 3};

// The inverse of a polynomial modulo x^4 + 1, by Gauss-Jordan on its circulant matrix.
constexpr Poly invert_poly(const Poly& c) {
    uint8_t m[4][8] = {};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) m[j][k] = c[size_t((j - k + 4) % 4)];
        m[j][4 + j] = 1;
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        while (m[pivot][col] == 0) ++pivot;
        for (int k = 0; k < 8; ++k) {
            uint8_t t = m[col][k];
            m[col][k] = m[pivot][k];
            m[pivot][k] = t;
        }
        uint8_t scale = gf_inverse(m[col][col]);
        for (int k = 0; k < 8; ++k) m[col][k] = gf_mul(m[col][k], scale);
        for (int row = 0; row < 4; ++row) {
            if (row == col || m[row][col] == 0) continue;
            uint8_t f = m[row][col];
            for (int k = 0; k < 8; ++k) m[row][k] ^= gf_mul(f, m[col][k]);
        }
    }
    Poly d{};
    for (int j = 0; j < 4; ++j) d[size_t(j)] = m[j][4]; // first column of the inverse
    return d;
}

using Table = std::array<std::array<uint32_t, 256>, 4>;

// T_k[v]: the contribution of substituted byte v at row position k to a diffused row.
constexpr Table make_round_table(const std::array<uint8_t, 256>& s, const Poly& c) {
    Table t{};
    for (int k = 0; k < 4; ++k)
        for (int v = 0; v < 256; ++v) {
            uint32_t w = 0;
            for (int j = 0; j < 4; ++j)
                w |= uint32_t(gf_mul(c[size_t((j - k + 4) % 4)], s[size_t(v)])) << (8 * j);
            t[size_t(k)][size_t(v)] = w;
        }
    return t;
}

constexpr auto kSe = make_sbox();
constexpr auto kSd = invert_sbox(kSe);
constexpr Table kTe = make_round_table(kSe, kTheta);
constexpr Table kTd = make_round_table(kSd, invert_poly(kTheta));

// theta on one round key (each word is one row).
void theta_transform(const uint32_t in[4], uint32_t out[4]) {
    for (int i = 0; i < 4; ++i) {
        uint32_t w = 0;
        for (int j = 0; j < 4; ++j) {
            uint8_t b = 0;
            for (int k = 0; k < 4; ++k)
                b ^= gf_mul(kTheta[size_t((j - k + 4) % 4)], uint8_t(in[i] >> (8 * k)));
            w |= uint32_t(b) << (8 * j);
        }
        out[i] = w;
    }
}

inline uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void store_le32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

#define SQUARE_B(w, i) (((w) >> (8 * (i))) & 0xFF)

// gamma, pi and theta in four lookups per output word, then the round key.
#define SQUARE_ROUND(T, in, out, key)                                                              \
    do {                                                                                           \
        for (int i_ = 0; i_ < 4; ++i_)                                                             \
            out[i_] = T[0][SQUARE_B(in[0], i_)] ^ T[1][SQUARE_B(in[1], i_)] ^                      \
                      T[2][SQUARE_B(in[2], i_)] ^ T[3][SQUARE_B(in[3], i_)] ^ (key)[i_];           \
    } while (0)

// The last round has no diffusion: substitution and transposition only.
#define SQUARE_FINAL(S, in, out, key)                                                              \
    do {                                                                                           \
        for (int i_ = 0; i_ < 4; ++i_)                                                             \
            out[i_] = (uint32_t(S[SQUARE_B(in[0], i_)]) | uint32_t(S[SQUARE_B(in[1], i_)]) << 8 |  \
                       uint32_t(S[SQUARE_B(in[2], i_)]) << 16 |                                    \
                       uint32_t(S[SQUARE_B(in[3], i_)]) << 24) ^                                   \
                      (key)[i_];                                                                   \
    } while (0)

void run_cipher(uint8_t block[16], const SquareKeySchedule keys, const Table& t,
                const std::array<uint8_t, 256>& s) {
    uint32_t a[4], b[4];
    for (int i = 0; i < 4; ++i) a[i] = load_le32(block + 4 * i) ^ keys[0][i];
    SQUARE_ROUND(t, a, b, keys[1]);
    SQUARE_ROUND(t, b, a, keys[2]);
    SQUARE_ROUND(t, a, b, keys[3]);
    SQUARE_ROUND(t, b, a, keys[4]);
    SQUARE_ROUND(t, a, b, keys[5]);
    SQUARE_ROUND(t, b, a, keys[6]);
    SQUARE_ROUND(t, a, b, keys[7]);
    SQUARE_FINAL(s, b, a, keys[8]);
    for (int i = 0; i < 4; ++i) store_le32(block + 4 * i, a[i]);
}

#undef SQUARE_B
#undef SQUARE_ROUND
#undef SQUARE_FINAL

} // namespace

void OmSquareGenerateRoundKeys(const uint8_t key[16], SquareKeySchedule encryption_keys,
                               SquareKeySchedule decryption_keys) {
    uint32_t evolved[kSquareRounds + 1][4];
    for (int i = 0; i < 4; ++i) evolved[0][i] = load_le32(key + 4 * i);
    for (int t = 0; t < kSquareRounds; ++t) {
        const uint32_t* prev = evolved[t];
        uint32_t* next = evolved[t + 1];
        next[0] = prev[0] ^ (prev[3] >> 8 | prev[3] << 24) ^ (1u << t);
        for (int i = 1; i < 4; ++i) next[i] = prev[i] ^ next[i - 1];
    }
    // The cipher's leading inverse theta folds into theta-transformed keys for encryption;
    // decryption uses the plain keys in reverse with theta(k0) last.
    for (int t = 0; t < kSquareRounds; ++t) theta_transform(evolved[t], encryption_keys[t]);
    std::memcpy(encryption_keys[kSquareRounds], evolved[kSquareRounds], 16);
    for (int t = 0; t < kSquareRounds; ++t)
        std::memcpy(decryption_keys[t], evolved[kSquareRounds - t], 16);
    std::memcpy(decryption_keys[kSquareRounds], encryption_keys[0], 16);
    std::memset(evolved, 0, sizeof evolved);
}

void OmSquareEncrypt(uint8_t block[16], const SquareKeySchedule encryption_keys) {
    run_cipher(block, encryption_keys, kTe, kSe);
}

void OmSquareDecrypt(uint8_t block[16], const SquareKeySchedule decryption_keys) {
    run_cipher(block, decryption_keys, kTd, kSd);
}
