// The curve: base point and order, the group law, scalar multiplication and compression.
#include "framework/crypto/ec_crypt.h"
#include "framework/crypto/ec_curve.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

BigNum random_scalar(std::mt19937& rng, int digits = 15) {
    BigNum k{};
    k.words[0] = uint16_t(digits);
    for (int i = 1; i <= digits; ++i) k.words[i] = uint16_t(rng());
    OmBigNormalise(k);
    return k;
}

EcPoint times(const BigNum& k, EcPoint p = OmEcBasePoint()) {
    OmEcMultiply(p, k);
    return p;
}

bool same(const EcPoint& a, const EcPoint& b) {
    return OmGfEqual(a.x, b.x) && OmGfEqual(a.y, b.y);
}

TEST(EcCurve, BasePointLiesOnTheCurveAndHasOrderN) {
    const EcPoint& g = OmEcBasePoint();
    EXPECT_TRUE(OmEcOnCurve(g));
    EXPECT_EQ(OmBigBitLength(OmEcOrder()), 241);

    EXPECT_TRUE(OmEcIsInfinity(times(OmEcOrder())));
    BigNum n1 = OmEcOrder(), one{};
    OmBigSetSmall(one, 1);
    OmBigAdd(n1, one);
    EXPECT_TRUE(same(times(n1), g));
}

TEST(EcCurve, GroupLawIsConsistent) {
    std::mt19937 rng(29);
    const EcPoint& g = OmEcBasePoint();
    for (int i = 0; i < 5; ++i) {
        EcPoint p = times(random_scalar(rng)), q = times(random_scalar(rng));
        ASSERT_TRUE(OmEcOnCurve(p));

        EcPoint sum = p;
        OmEcAdd(sum, q);
        ASSERT_TRUE(OmEcOnCurve(sum));
        EcPoint back = sum;
        OmEcSub(back, q);
        ASSERT_TRUE(same(back, p));

        EcPoint doubled = p, self = p;
        OmEcDouble(doubled);
        OmEcAdd(self, p);
        ASSERT_TRUE(same(doubled, self));

        EcPoint cancel = p;
        OmEcSub(cancel, p);
        ASSERT_TRUE(OmEcIsInfinity(cancel));
    }
    EcPoint inf{};
    EcPoint p = g;
    OmEcAdd(p, inf);
    EXPECT_TRUE(same(p, g));
    OmEcAdd(inf, g);
    EXPECT_TRUE(same(inf, g));
}

TEST(EcCurve, ScalarMultiplicationCommutes) {
    std::mt19937 rng(31);
    for (int i = 0; i < 3; ++i) {
        BigNum a = random_scalar(rng), b = random_scalar(rng), ab;
        OmBigMulMod(ab, a, b, OmEcOrder());
        EcPoint ab_g = times(b, times(a));
        ASSERT_TRUE(same(ab_g, times(a, times(b))));
        ASSERT_TRUE(same(ab_g, times(ab)));
    }
    BigNum small{};
    OmBigSetSmall(small, 5);
    EcPoint five = OmEcBasePoint();
    for (int i = 0; i < 4; ++i) OmEcAdd(five, OmEcBasePoint());
    EXPECT_TRUE(same(times(small), five));
    BigNum zero{};
    EXPECT_TRUE(OmEcIsInfinity(times(zero)));
}

// k p the plain way: affine steps from the lowest signed digit of 2k up.
EcPoint affine_times(const BigNum& k, const EcPoint& p) {
    BigNum h;
    OmBigMulSmall(h, k, 3);
    EcPoint r = p, sum{};
    const int top = OmBigBitLength(h);
    for (int i = 1; i < top; ++i) {
        const int hb = OmBigTestBit(h, i), kb = OmBigTestBit(k, i);
        if (hb && !kb) OmEcAdd(sum, r);
        if (!hb && kb) OmEcSub(sum, r);
        OmEcDouble(r);
    }
    return sum;
}

// The projective multiple must land on the same affine point as the plain one, through the
// exceptional steps too: the point of order two, multiples of the order, small scalars; and so
// must the multiple made from a point's powers of two.
TEST(EcCurve, ProjectiveMultipleMatchesAffineSteps) {
    std::mt19937 rng(41);
    EcPoint two_torsion{};
    ASSERT_EQ(OmEcCalcY(two_torsion, 0), 1);
    BigNum n1 = OmEcOrder(), n2 = OmEcOrder(), one{};
    OmBigSetSmall(one, 1);
    OmBigAdd(n1, one);
    OmBigSub(n2, one);
    std::vector<BigNum> scalars = {n1, n2, OmEcOrder()};
    for (uint16_t small : {0, 1, 2, 3, 4, 7, 255}) OmBigSetSmall(scalars.emplace_back(), small);
    for (int i = 0; i < 6; ++i) scalars.push_back(random_scalar(rng, 1 + int(rng() % 16)));
    const EcPoint points[] = {OmEcBasePoint(), times(random_scalar(rng)), two_torsion};
    static EcFixedBase powers;
    for (const EcPoint& p : points) {
        OmEcFixedBaseInit(powers, p);
        for (const BigNum& k : scalars) {
            const EcPoint expected = affine_times(k, p);
            ASSERT_TRUE(same(times(k, p), expected));
            EcPoint fixed;
            ASSERT_EQ(OmEcFixedMultiply(fixed, powers, k), 0);
            ASSERT_TRUE(same(fixed, expected));
        }
    }
}

TEST(EcCurve, PackUnpackRoundTrip) {
    std::mt19937 rng(37);
    for (int i = 0; i < 6; ++i) {
        EcPoint p = times(random_scalar(rng)), back;
        BigNum k;
        OmEcPack(p, k);
        ASSERT_LE(OmBigBitLength(k), 256);
        ASSERT_EQ(OmEcUnpack(back, k), 1);
        ASSERT_TRUE(same(p, back));
    }
    EcPoint inf{}, back;
    BigNum k;
    OmEcPack(inf, k);
    EXPECT_EQ(k.count(), 0);
    EXPECT_EQ(OmEcUnpack(back, k), 1);
    EXPECT_TRUE(OmEcIsInfinity(back));

    // The point with x = 0 packs to 1.
    EcPoint zero_x{};
    ASSERT_EQ(OmEcCalcY(zero_x, 0), 1);
    EXPECT_TRUE(OmEcOnCurve(zero_x));
    OmEcPack(zero_x, k);
    EXPECT_EQ(OmBigBitLength(k), 1);
}

TEST(EcCurve, NumbersThatAreNoPointDoNotUnpack) {
    EcPoint p;
    BigNum wide{};
    wide.words[0] = 17;
    wide.words[17] = 1; // 257 bits
    EXPECT_EQ(OmEcUnpack(p, wide), 0);

    // About half of all x values have no point; find one.
    std::mt19937 rng(41);
    int refused = 0;
    for (int i = 0; i < 20; ++i) {
        BigNum k = random_scalar(rng, 16);
        if (!OmEcUnpack(p, k))
            ++refused;
        else
            ASSERT_TRUE(OmEcOnCurve(p));
    }
    EXPECT_GT(refused, 0);
}

TEST(EcCurve, OversizedScalarIsRefused) {
    BigNum k{};
    k.words[0] = kBigNumMaxDigits;
    k.words[kBigNumMaxDigits] = 1;
    EcPoint p = OmEcBasePoint();
    EXPECT_EQ(OmEcMultiply(p, k), -1);
    EXPECT_TRUE(OmEcIsInfinity(p));
    static EcFixedBase powers;
    OmEcFixedBaseInit(powers, OmEcBasePoint());
    EXPECT_EQ(OmEcFixedMultiply(p, powers, k), -1);
    EXPECT_TRUE(OmEcIsInfinity(p));
}

} // namespace
