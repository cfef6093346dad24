// BigNum: the edge cases of the digit representation, and random operands checked against GMP.
#include "framework/crypto/big_num.h"

#include <gmp.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <string>

namespace {

BigNum make(std::initializer_list<uint16_t> digits_low_first) {
    BigNum n{};
    for (uint16_t d : digits_low_first) n.words[1 + n.words[0]++] = d;
    return n;
}

// A GMP integer that frees itself.
struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    explicit Mpz(const BigNum& n) {
        mpz_init(v);
        mpz_import(v, size_t(n.count()), -1, sizeof(uint16_t), 0, 0, n.words + 1);
    }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    std::string hex() const {
        char* s = mpz_get_str(nullptr, 16, v);
        std::string out(s);
        void (*free_fn)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &free_fn);
        free_fn(s, out.size() + 1);
        return out;
    }
};

std::string hex(const BigNum& n) {
    return Mpz(n).hex();
}

bool normalised(const BigNum& n) {
    return n.count() == 0 || n.digit(n.count() - 1) != 0;
}

BigNum random_number(std::mt19937& rng, int digits) {
    BigNum n{};
    n.words[0] = uint16_t(digits);
    for (int i = 1; i <= digits; ++i) n.words[i] = uint16_t(rng());
    // Sprinkle runs of zero and all-one digits so carries and borrows cross several digits.
    if (digits > 2 && rng() % 3 == 0) n.words[1 + rng() % (digits - 1)] = rng() % 2 ? 0 : 0xFFFF;
    OmBigNormalise(n);
    return n;
}

TEST(BigNum, BorrowCrossesZeroDigits) {
    BigNum a = make({0, 0, 0, 1});
    ASSERT_EQ(OmBigSub(a, make({1})), 0);
    EXPECT_TRUE(OmBigEqual(a, make({0xFFFF, 0xFFFF, 0xFFFF})));
}

TEST(BigNum, ShiftLeftGrowsIntoANewDigit) {
    BigNum a = make({0x8000});
    ASSERT_EQ(OmBigShiftLeft(a, 1), 0);
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(a.digit(0), 0);
    EXPECT_EQ(a.digit(1), 1);
}

TEST(BigNum, ZeroWithACountDiffersFromZeroWithout) {
    BigNum small{}, zero{};
    OmBigSetSmall(small, 0);
    OmBigClear(zero);
    EXPECT_FALSE(OmBigEqual(small, zero));
    OmBigNormalise(small);
    EXPECT_TRUE(OmBigEqual(small, zero));
}

TEST(BigNum, ModOfEqualAndSmallerNumbers) {
    const BigNum m = make({0x1234, 0x5678, 0x9ABC});
    BigNum a = m;
    OmBigMod(a, m);
    EXPECT_EQ(a.count(), 0);
    BigNum b = make({7, 0x5678, 0x9ABC});
    OmBigMod(b, m);
    EXPECT_TRUE(OmBigEqual(b, make({7, 0x5678, 0x9ABC})));
}

TEST(BigNum, LimitsAreRefusedWithoutEffect) {
    BigNum full{};
    full.words[0] = kBigNumMaxDigits;
    for (int i = 1; i <= kBigNumMaxDigits; ++i) full.words[i] = 0xFFFF;
    const BigNum before = full;

    EXPECT_EQ(OmBigAdd(full, make({1})), -1);
    EXPECT_EQ(OmBigShiftLeft(full, 1), -1);
    EXPECT_EQ(OmBigShiftLeft(full, 16), -1);
    EXPECT_TRUE(OmBigEqual(full, before));

    BigNum dst = make({5});
    EXPECT_EQ(OmBigMulSmall(dst, full, 3), -1);
    EXPECT_TRUE(OmBigEqual(dst, make({5})));

    BigNum small = make({1});
    EXPECT_EQ(OmBigSub(small, make({2})), -1);
    EXPECT_TRUE(OmBigEqual(small, make({1})));

    BigNum zero{};
    EXPECT_EQ(OmBigMod(small, zero), -1);
}

TEST(BigNum, HostileCountWordStaysInsideTheDigits) {
    BigNum hostile{};
    hostile.words[0] = 0xFFFF;
    hostile.words[kBigNumMaxDigits] = 1;
    EXPECT_EQ(hostile.count(), kBigNumMaxDigits);
    EXPECT_EQ(OmBigBitLength(hostile), 16 * (kBigNumMaxDigits - 1) + 1);
    EXPECT_EQ(OmBigTestBit(hostile, 100000), 0);
}

TEST(BigNum, UnnormalisedOperandsCompareByValue) {
    BigNum padded = make({5, 0});
    EXPECT_FALSE(OmBigGreater(padded, make({6})));
    EXPECT_TRUE(OmBigGreater(make({6}), padded));
    EXPECT_EQ(OmBigBitLength(padded), 3);
}

TEST(BigNum, RandomOperandsAgreeWithGmp) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 3000; ++trial) {
        const BigNum a = random_number(rng, 1 + int(rng() % 17));
        const BigNum b = random_number(rng, 1 + int(rng() % 17));
        const BigNum m = random_number(rng, 1 + int(rng() % 16));
        Mpz ma(a), mb(b), mm(m), expect;

        BigNum sum = a;
        ASSERT_EQ(OmBigAdd(sum, b), 0);
        mpz_add(expect.v, ma.v, mb.v);
        ASSERT_EQ(hex(sum), expect.hex());
        ASSERT_TRUE(normalised(sum));

        BigNum big = OmBigGreater(a, b) ? a : b, small = OmBigGreater(a, b) ? b : a;
        ASSERT_EQ(OmBigSub(big, small), 0);
        mpz_sub(expect.v, Mpz(OmBigGreater(a, b) ? a : b).v, Mpz(small).v);
        ASSERT_EQ(hex(big), expect.hex());
        ASSERT_TRUE(normalised(big));
        ASSERT_EQ(OmBigGreater(a, b) == 1, mpz_cmp(ma.v, mb.v) > 0);

        const int shift = 1 + int(rng() % 15);
        BigNum left = a, right = a;
        ASSERT_EQ(OmBigShiftLeft(left, shift), 0);
        mpz_mul_2exp(expect.v, ma.v, mp_bitcnt_t(shift));
        ASSERT_EQ(hex(left), expect.hex());
        OmBigShiftRight(right, shift);
        mpz_fdiv_q_2exp(expect.v, ma.v, mp_bitcnt_t(shift));
        ASSERT_EQ(hex(right), expect.hex());
        ASSERT_TRUE(normalised(right));

        const uint16_t u = uint16_t(rng());
        BigNum product{};
        ASSERT_EQ(OmBigMulSmall(product, a, u), 0);
        mpz_mul_ui(expect.v, ma.v, u);
        ASSERT_EQ(hex(product), expect.hex());

        BigNum rem = a;
        ASSERT_EQ(OmBigMod(rem, m), 0);
        mpz_mod(expect.v, ma.v, mm.v);
        ASSERT_EQ(hex(rem), expect.hex());
        ASSERT_TRUE(normalised(rem));

        BigNum mulmod{};
        ASSERT_EQ(OmBigMulMod(mulmod, a, b, m), 0);
        mpz_mul(expect.v, ma.v, mb.v);
        mpz_mod(expect.v, expect.v, mm.v);
        ASSERT_EQ(hex(mulmod), expect.hex()) << trial;

        ASSERT_EQ(OmBigBitLength(a), int(mpz_sizeinbase(ma.v, 2)));
        const int bit = int(rng() % 300);
        ASSERT_EQ(OmBigTestBit(a, bit), mpz_tstbit(ma.v, mp_bitcnt_t(bit)));
    }
}

TEST(BigNum, ByteFormsRoundTripLeastSignificantFirst) {
    const uint8_t bytes[5] = {0x01, 0x02, 0x03, 0x04, 0x05};
    BigNum n{};
    OmBigFromBytes(n, bytes, 5);
    EXPECT_TRUE(OmBigEqual(n, make({0x0201, 0x0403, 0x0005})));
    uint8_t out[8];
    OmBigToBytes(n, out, 8);
    const uint8_t expect[8] = {1, 2, 3, 4, 5, 0, 0, 0};
    EXPECT_EQ(0, memcmp(out, expect, 8));
}

} // namespace
