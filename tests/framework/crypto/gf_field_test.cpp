// GF((2^15)^17): the small field's tables, the ring laws, inversion, trace, square roots,
// quadratic solving and the packed form.
#include "framework/crypto/gf_field.h"

#include <gtest/gtest.h>

#include <random>

namespace {

GfElement random_element(std::mt19937& rng, int count = kGfDegree) {
    GfElement e{};
    for (int i = 0; i < count; ++i) e.words[1 + i] = uint16_t(rng() & 0x7FFF);
    e.words[0] = uint16_t(count);
    while (e.words[0] > 0 && e.words[e.words[0]] == 0) --e.words[0];
    return e;
}

GfElement constant(uint16_t c) {
    GfElement e;
    OmGfSetSmall(e, c);
    return e;
}

GfElement mul(const GfElement& a, const GfElement& b) {
    GfElement r;
    OmGfMultiply(r, a, b);
    return r;
}

GfElement add(const GfElement& a, const GfElement& b) {
    GfElement r;
    OmGfAdd(r, a, b);
    return r;
}

GfElement square(const GfElement& a) {
    GfElement r;
    OmGfSquare(r, a);
    return r;
}

// Carry-less product modulo x^15 + x + 1, independent of the tables.
uint16_t slow_small_mul(uint16_t a, uint16_t b) {
    uint32_t r = 0;
    for (int i = 0; i < 15; ++i)
        if (b >> i & 1) r ^= uint32_t(a) << i;
    for (int i = 28; i >= 15; --i)
        if (r >> i & 1) r ^= 0x8003u << (i - 15);
    return uint16_t(r);
}

TEST(GfSmallField, TablesMultiplyLikeCarrylessProducts) {
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        uint16_t a = uint16_t(rng() & 0x7FFF), b = uint16_t(rng() & 0x7FFF);
        ASSERT_EQ(OmGfSmallMultiply(a, b), slow_small_mul(a, b)) << a << " " << b;
        if (b) {
            ASSERT_EQ(OmGfSmallMultiply(OmGfSmallDivideElement(a, b), b), a);
        }
    }
}

TEST(GfSmallField, GeneratorHasPeriod32767) {
    auto power = [](uint32_t e) {
        uint16_t r = 1, base = 2;
        for (; e; e >>= 1, base = OmGfSmallMultiply(base, base))
            if (e & 1) r = OmGfSmallMultiply(r, base);
        return r;
    };
    EXPECT_EQ(power(32767), 1);
    for (uint32_t prime : {7u, 31u, 151u}) EXPECT_NE(power(32767 / prime), 1) << prime;
}

TEST(GfField, RingLawsHold) {
    std::mt19937 rng(9);
    for (int i = 0; i < 200; ++i) {
        GfElement a = random_element(rng), b = random_element(rng), c = random_element(rng);
        ASSERT_TRUE(OmGfEqual(mul(a, b), mul(b, a)));
        ASSERT_TRUE(OmGfEqual(mul(mul(a, b), c), mul(a, mul(b, c))));
        ASSERT_TRUE(OmGfEqual(mul(a, add(b, c)), add(mul(a, b), mul(a, c))));
        ASSERT_TRUE(OmGfEqual(square(a), mul(a, a)));
        ASSERT_EQ(add(a, a).count(), 0);
    }
}

// The carry-less product and the table product must agree on every operand size, including
// coefficients with every bit set and the unreduced sizes only the tables take.
TEST(GfField, FastAndPortableProductsAgree) {
    std::mt19937 rng(11);
    GfElement ones{};
    ones.words[0] = kGfDegree;
    for (int i = 1; i <= kGfDegree; ++i) ones.words[i] = 0x7FFF;
    for (int i = 0; i < 500; ++i) {
        const GfElement a = i == 0 ? ones : random_element(rng, 1 + int(rng() % kGfDegree));
        const GfElement b = i < 2 ? ones : random_element(rng, 1 + int(rng() % (kGfDegree + 1)));
        GfElement fast, portable;
        OmGfMultiply(fast, a, b);
        OmGfMultiplyPortable(portable, a, b);
        ASSERT_TRUE(OmGfEqual(fast, portable)) << i;
    }
    const GfElement wide = random_element(rng, kGfMaxCoefficients - kGfDegree);
    GfElement fast, portable;
    OmGfMultiply(fast, wide, ones);
    OmGfMultiplyPortable(portable, wide, ones);
    EXPECT_TRUE(OmGfEqual(fast, portable));
}

TEST(GfField, InverseTimesElementIsOne) {
    std::mt19937 rng(13);
    for (int i = 0; i < 200; ++i) {
        GfElement a = random_element(rng, 1 + int(rng() % kGfDegree)), inv;
        if (a.count() == 0) continue;
        ASSERT_EQ(OmGfInvert(inv, a), 0);
        ASSERT_TRUE(OmGfEqual(mul(a, inv), constant(1)));
    }
    GfElement zero{}, out;
    EXPECT_EQ(OmGfInvert(out, zero), 1);
}

TEST(GfField, TraceIsTheSumOfTheConjugates) {
    std::mt19937 rng(17);
    for (int i = 0; i < 20; ++i) {
        GfElement a = random_element(rng), conj = a, sum = a;
        for (int k = 1; k < 255; ++k) {
            conj = square(conj);
            sum = add(sum, conj);
        }
        ASSERT_LE(sum.count(), 1);
        ASSERT_EQ(sum.count() ? sum.coef(0) : 0, OmGfTrace(a));
    }
}

TEST(GfField, QuadSolveAndSquareRoot) {
    std::mt19937 rng(19);
    int solved = 0;
    for (int i = 0; i < 40; ++i) {
        GfElement beta = random_element(rng), z;
        if (OmGfTrace(beta)) {
            EXPECT_EQ(OmGfQuadSolve(z, beta), 1);
            continue;
        }
        ASSERT_EQ(OmGfQuadSolve(z, beta), 0);
        ASSERT_TRUE(OmGfEqual(add(square(z), z), beta));
        ++solved;
    }
    EXPECT_GT(solved, 5);

    GfElement root;
    OmGfSquareRoot(root, 161);
    EXPECT_TRUE(OmGfEqual(square(root), constant(161)));
}

TEST(GfField, PackUnpackRoundTrip) {
    std::mt19937 rng(23);
    for (int i = 0; i < 100; ++i) {
        GfElement a = random_element(rng, int(rng() % (kGfDegree + 1))), back;
        BigNum k;
        OmGfPack(a, k);
        ASSERT_LE(OmBigBitLength(k), 15 * kGfDegree);
        OmGfUnpack(back, k);
        ASSERT_TRUE(OmGfEqual(a, back));
    }
    // A number wider than the field still unpacks to a reduced element.
    BigNum wide{};
    wide.words[0] = kBigNumMaxDigits;
    for (int i = 1; i <= kBigNumMaxDigits; ++i) wide.words[i] = 0xFFFF;
    GfElement reduced;
    OmGfUnpack(reduced, wide);
    EXPECT_LE(reduced.count(), kGfDegree);
}

} // namespace
