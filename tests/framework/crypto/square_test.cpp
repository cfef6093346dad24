// Square: the published vectors as bytes, Crypto++ as an oracle, and decryption as the inverse.
#include "framework/crypto/square.h"

#include <cryptopp/square.h>

#include <gtest/gtest.h>

#include <array>
#include <random>

namespace {

using Block = std::array<uint8_t, 16>;

Block encrypt(const Block& key, Block block) {
    SquareKeySchedule enc, dec;
    OmSquareGenerateRoundKeys(key.data(), enc, dec);
    OmSquareEncrypt(block.data(), enc);
    return block;
}

Block counting() {
    Block b{};
    for (int i = 0; i < 16; ++i) b[size_t(i)] = uint8_t(i);
    return b;
}

TEST(Square, PublishedVectors) {
    const Block zero{};
    EXPECT_EQ(encrypt(zero, zero), (Block{0x3C, 0x00, 0x42, 0x8F, 0x8A, 0xBB, 0xC0, 0xB8, 0x4F,
                                          0x05, 0x7C, 0xC1, 0x9C, 0x26, 0xF8, 0xCF}));
    EXPECT_EQ(encrypt(counting(), zero), (Block{0xFF, 0x59, 0x6F, 0xA6, 0x68, 0xBF, 0xC3, 0x01,
                                                0x42, 0x00, 0xAE, 0x01, 0xE2, 0xBB, 0xA0, 0xA0}));
    EXPECT_EQ(encrypt(counting(), counting()),
              (Block{0x7C, 0x34, 0x91, 0xD9, 0x49, 0x94, 0xE7, 0x0F, 0x0E, 0xC2, 0xE7, 0xA5, 0xCC,
                     0xB5, 0xA1, 0x4F}));
}

TEST(Square, MatchesCryptoPpAndInvertsForRandomKeys) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 200; ++trial) {
        Block key, plain;
        for (auto& b : key) b = uint8_t(rng());
        for (auto& b : plain) b = uint8_t(rng());

        Block expected;
        CryptoPP::Square::Encryption oracle(key.data(), 16);
        oracle.ProcessBlock(plain.data(), expected.data());

        SquareKeySchedule enc, dec;
        OmSquareGenerateRoundKeys(key.data(), enc, dec);
        Block block = plain;
        OmSquareEncrypt(block.data(), enc);
        ASSERT_EQ(block, expected) << trial;
        OmSquareDecrypt(block.data(), dec);
        ASSERT_EQ(block, plain) << trial;
    }
}

} // namespace
