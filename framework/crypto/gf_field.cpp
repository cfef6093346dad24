// GF((2^15)^17) arithmetic: log/exp tables for the small field, products by carry-less
// multiplication (or schoolbook through the tables) with the trinomial reduction, and
// inversion by the extended Euclidean algorithm.
#include "framework/crypto/gf_field.h"

#include <array>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kSmallOrder = 0x7FFF; // multiplicative group of GF(2^15)
constexpr uint16_t kLogOfZero = 0x7FFF;

struct SmallFieldTables {
    // exp is laid out twice over so that a sum of two logarithms needs no reduction.
    std::array<uint16_t, 2 * kSmallOrder> exp;
    std::array<uint16_t, 0x8000> log;
};

constexpr SmallFieldTables make_tables() {
    SmallFieldTables t{};
    uint32_t v = 1;
    for (uint32_t i = 0; i < kSmallOrder; ++i) {
        t.exp[i] = t.exp[i + kSmallOrder] = uint16_t(v);
        t.log[v] = uint16_t(i);
        v <<= 1;
        if (v & 0x8000) v ^= 0x8003; // x^15 = x + 1
    }
    t.log[0] = kLogOfZero;
    return t;
}

constexpr SmallFieldTables kTables = make_tables();

inline uint16_t small_mul(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    return kTables.exp[kTables.log[a] + kTables.log[b]];
}

inline uint16_t small_div(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    return kTables.exp[kTables.log[a] + kSmallOrder - kTables.log[b]];
}

inline uint16_t small_square(uint16_t a) {
    if (a == 0) return 0;
    return kTables.exp[2u * kTables.log[a] % kSmallOrder];
}

int top_count(const uint16_t* coefs, int count) {
    while (count > 0 && coefs[count - 1] == 0) --count;
    return count;
}

// x^17 = x^3 + 1: every coefficient of degree 17 or more folds into degrees i-17 and i-14.
void reduce_into(GfElement& r, uint16_t* coefs, int count) {
    for (int i = count - 1; i >= kGfDegree; --i) {
        uint16_t c = coefs[i];
        if (!c) continue;
        coefs[i - kGfDegree] ^= c;
        coefs[i - kGfDegree + 3] ^= c;
        coefs[i] = 0;
    }
    if (count > kGfDegree) count = kGfDegree;
    OmGfClear(r);
    r.words[0] = uint16_t(top_count(coefs, count));
    std::memcpy(r.words + 1, coefs, sizeof(uint16_t) * size_t(r.words[0]));
}

GfElement modulus() {
    GfElement g{};
    g.words[0] = kGfDegree + 1;
    g.words[1] = 1;     // x^0
    g.words[1 + 3] = 1; // x^3
    g.words[1 + kGfDegree] = 1;
    return g;
}

} // namespace

int OmGfInit() {
    return 0;
}

void OmGfQuit() {}

uint16_t OmGfSmallMultiply(uint16_t a, uint16_t b) {
    return small_mul(a & 0x7FFF, b & 0x7FFF);
}

uint16_t OmGfSmallDivideElement(uint16_t a, uint16_t b) {
    return small_div(a & 0x7FFF, b & 0x7FFF);
}

int OmGfEqual(const GfElement& p, const GfElement& q) {
    if (p.words[0] != q.words[0]) return 0;
    return std::memcmp(p.words + 1, q.words + 1, sizeof(uint16_t) * size_t(p.count())) == 0;
}

void OmGfClear(GfElement& p) {
    std::memset(p.words, 0, sizeof p.words);
}

void OmGfSetSmall(GfElement& p, uint16_t c) {
    OmGfClear(p);
    if (c) {
        p.words[0] = 1;
        p.words[1] = c;
    }
}

void OmGfAdd(GfElement& r, const GfElement& p, const GfElement& q) {
    uint16_t sum[kGfMaxCoefficients] = {};
    const int pc = p.count(), qc = q.count();
    for (int i = 0; i < pc; ++i) sum[i] = p.words[1 + i];
    for (int i = 0; i < qc; ++i) sum[i] ^= q.words[1 + i];
    OmGfClear(r);
    r.words[0] = uint16_t(top_count(sum, pc > qc ? pc : qc));
    std::memcpy(r.words + 1, sum, sizeof(uint16_t) * size_t(r.words[0]));
}

namespace {

#if defined(__x86_64__)
// Two coefficients to a 64-bit word, 32 bits apart. A carry-less product of two such words
// holds every pairwise coefficient product in its own 32-bit lane (products of GF(2^15)
// elements have at most 29 bits before reduction), so one 9x9-word product gives all the
// unreduced coefficients of p * q at once.
constexpr int kPackedWords = (kGfDegree + 1) / 2;

void pack_pairs(const GfElement& p, uint64_t out[kPackedWords]) {
    for (int w = 0; w < kPackedWords; ++w) out[w] = 0;
    const int pc = p.count();
    for (int i = 0; i < pc; ++i) out[i / 2] |= uint64_t(p.words[1 + i]) << (32 * (i & 1));
}

__attribute__((target("pclmul,sse4.1"))) void clmul_multiply(GfElement& r, const GfElement& p,
                                                             const GfElement& q) {
    uint64_t a[kPackedWords], b[kPackedWords];
    pack_pairs(p, a);
    pack_pairs(q, b);
    __m128i av[kPackedWords], bv[kPackedWords];
    for (int i = 0; i < kPackedWords; ++i) {
        av[i] = _mm_cvtsi64_si128(int64_t(a[i]));
        bv[i] = _mm_cvtsi64_si128(int64_t(b[i]));
    }
    // Word k of the product gathers the 128-bit partial products a[i] b[k-i] in a register.
    uint64_t words[2 * kPackedWords];
    words[0] = 0;
    for (int k = 0; k < 2 * kPackedWords - 1; ++k) {
        __m128i sum = _mm_setzero_si128();
        const int first = k < kPackedWords ? 0 : k - kPackedWords + 1;
        const int last = k < kPackedWords ? k : kPackedWords - 1;
        for (int i = first; i <= last; ++i)
            sum = _mm_xor_si128(sum, _mm_clmulepi64_si128(av[i], bv[k - i], 0));
        words[k] ^= uint64_t(_mm_cvtsi128_si64(sum));
        words[k + 1] = uint64_t(_mm_extract_epi64(sum, 1));
    }
    // Each lane reduced modulo t^15 + t + 1: the bits from 15 up fold once into t + 1.
    const int count = p.count() + q.count() - 1;
    uint16_t product[kGfMaxCoefficients];
    for (int k = 0; k < count; ++k) {
        const uint32_t c = uint32_t(words[k / 2] >> (32 * (k & 1)));
        const uint32_t high = c >> 15;
        product[k] = uint16_t((c ^ high ^ (high << 1)) & 0x7FFF);
    }
    reduce_into(r, product, count);
}

bool have_clmul() {
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}
#endif

} // namespace

void OmGfMultiply(GfElement& r, const GfElement& p, const GfElement& q) {
#if defined(__x86_64__)
    const int pc = p.count(), qc = q.count();
    if (pc != 0 && qc != 0 && pc <= kGfDegree && qc <= kGfDegree && have_clmul()) {
        clmul_multiply(r, p, q);
        return;
    }
#endif
    OmGfMultiplyPortable(r, p, q);
}

void OmGfMultiplyPortable(GfElement& r, const GfElement& p, const GfElement& q) {
    const int pc = p.count(), qc = q.count();
    if (pc == 0 || qc == 0 || pc + qc - 1 > kGfMaxCoefficients) {
        OmGfClear(r);
        return;
    }
    uint16_t qlog[kGfMaxCoefficients];
    for (int j = 0; j < qc; ++j) qlog[j] = kTables.log[q.words[1 + j]];
    uint16_t product[kGfMaxCoefficients] = {};
    for (int i = 0; i < pc; ++i) {
        uint16_t a = p.words[1 + i];
        if (!a) continue;
        const uint16_t* exp_a = kTables.exp.data() + kTables.log[a];
        for (int j = 0; j < qc; ++j)
            if (qlog[j] != kLogOfZero) product[i + j] ^= exp_a[qlog[j]];
    }
    reduce_into(r, product, pc + qc - 1);
}

void OmGfSquare(GfElement& r, const GfElement& p) {
    const int pc = p.count();
    if (pc == 0 || 2 * pc - 1 > kGfMaxCoefficients) {
        OmGfClear(r);
        return;
    }
    // Squaring is linear in characteristic 2: coefficient i goes to degree 2i, squared.
    uint16_t square[kGfMaxCoefficients] = {};
    for (int i = 0; i < pc; ++i) square[2 * i] = small_square(p.words[1 + i]);
    reduce_into(r, square, 2 * pc - 1);
}

void OmGfSmallDivide(GfElement& p, uint16_t b) {
    if (b == 0) return;
    for (int i = 0; i < p.count(); ++i) p.words[1 + i] = small_div(p.words[1 + i], b);
}

void OmGfAddMul(GfElement& a, uint16_t alpha, int j, const GfElement& b) {
    const int bc = b.count();
    if (alpha == 0 || bc == 0 || j < 0 || j + bc > kGfMaxCoefficients) return;
    int count = a.count();
    for (int i = count; i < j + bc; ++i) a.words[1 + i] = 0;
    const uint16_t* exp_alpha = kTables.exp.data() + kTables.log[alpha & 0x7FFF];
    for (int i = 0; i < bc; ++i)
        if (const uint16_t c = b.words[1 + i]) a.words[1 + i + j] ^= exp_alpha[kTables.log[c]];
    if (j + bc > count) count = j + bc;
    a.words[0] = uint16_t(top_count(a.words + 1, count));
}

int OmGfInvert(GfElement& b, const GfElement& a) {
    if (a.count() == 0) {
        OmGfClear(b);
        return 1;
    }
    // Invariant: bb * a = f and c * a = g modulo the field polynomial.
    GfElement f = a, g = modulus(), bb, c;
    OmGfSetSmall(bb, 1);
    OmGfClear(c);
    while (f.count() > 1) {
        if (f.count() < g.count()) {
            std::swap(f, g);
            std::swap(bb, c);
        }
        const int j = f.count() - g.count();
        const uint16_t alpha = small_div(f.coef(f.count() - 1), g.coef(g.count() - 1));
        OmGfAddMul(f, alpha, j, g);
        OmGfAddMul(bb, alpha, j, c);
        if (f.count() == 0) { // only for an unreduced multiple of the field polynomial
            OmGfClear(b);
            return 1;
        }
    }
    OmGfSmallDivide(bb, f.coef(0));
    b = bb;
    return 0;
}

void OmGfSquareRoot(GfElement& p, uint16_t b) {
    // sqrt(v) = v^(2^254) in GF(2^255).
    GfElement cur, next;
    OmGfSetSmall(cur, b);
    for (int i = 0; i < 254; ++i) {
        OmGfSquare(next, cur);
        cur = next;
    }
    p = cur;
}

int OmGfTrace(const GfElement& p) {
    return p.count() ? p.coef(0) & 1 : 0;
}

int OmGfQuadSolve(GfElement& p, const GfElement& beta) {
    if (OmGfTrace(beta)) return 1;
    // The half-trace: sum of beta^(4^i) for i = 0..127.
    GfElement cur = beta, sq, quad;
    for (int i = 0; i < 127; ++i) {
        OmGfSquare(sq, cur);
        OmGfSquare(quad, sq);
        OmGfAdd(cur, quad, beta);
    }
    p = cur;
    return 0;
}

int OmGfYBit(const GfElement& p) {
    return p.count() ? p.coef(0) & 1 : 0;
}

void OmGfPack(const GfElement& p, BigNum& k) {
    OmBigClear(k);
    const int pc = p.count();
    for (int i = 0; i < pc; ++i) {
        const uint32_t c = p.coef(i) & 0x7FFF;
        const int bit = 15 * i;
        const int d = bit / 16, s = bit % 16;
        if (d >= kBigNumMaxDigits) break;
        const uint32_t shifted = c << s;
        k.words[1 + d] |= uint16_t(shifted);
        if (d + 1 < kBigNumMaxDigits) k.words[2 + d] |= uint16_t(shifted >> 16);
    }
    k.words[0] = kBigNumMaxDigits;
    OmBigNormalise(k);
}

void OmGfUnpack(GfElement& p, const BigNum& k) {
    uint16_t coefs[kGfMaxCoefficients] = {};
    const int bits = OmBigBitLength(k);
    const int count = (bits + 14) / 15;
    for (int i = 0; i < count; ++i) {
        uint16_t c = 0;
        for (int b = 0; b < 15; ++b) c |= uint16_t(OmBigTestBit(k, 15 * i + b) << b);
        coefs[i] = c;
    }
    reduce_into(p, coefs, count);
}
