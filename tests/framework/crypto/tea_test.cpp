// TEA: the published chained vectors, Crypto++ as an oracle, and decryption as the inverse.
#include "framework/crypto/tea.h"

#include <cryptopp/tea.h>

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(Tea, PublishedChainedVectors) {
    uint32_t key[4] = {0, 0, 0, 0};
    uint32_t block[2] = {0, 0};
    teaEncryptBlock(block, key);
    EXPECT_EQ(block[0], 0x41EA3A0Au);
    EXPECT_EQ(block[1], 0x94BAA940u);

    // The published list feeds each output back into the next key and block.
    uint32_t key2[4] = {0, 0, 0, 0x41EA3A0Au};
    uint32_t block2[2] = {0x94BAA940u, 0};
    teaEncryptBlock(block2, key2);
    EXPECT_EQ(block2[0], 0x4E8E7829u);
    EXPECT_EQ(block2[1], 0x7D8236D8u);
}

TEST(Tea, MatchesCryptoPpAndInvertsForRandomKeys) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 200; ++trial) {
        uint32_t key[4], block[2];
        for (auto& k : key) k = rng();
        for (auto& b : block) b = rng();
        const uint32_t plain[2] = {block[0], block[1]};

        // Crypto++ takes big-endian words from its bytes.
        uint8_t key_bytes[16], in[8], out[8];
        for (int i = 0; i < 16; ++i) key_bytes[i] = uint8_t(key[i / 4] >> (24 - 8 * (i % 4)));
        for (int i = 0; i < 8; ++i) in[i] = uint8_t(plain[i / 4] >> (24 - 8 * (i % 4)));
        CryptoPP::TEA::Encryption oracle(key_bytes, 16);
        oracle.ProcessBlock(in, out);

        teaEncryptBlock(block, key);
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(uint8_t(block[i / 4] >> (24 - 8 * (i % 4))), out[i]) << trial;
        teaDecryptBlock(block, key);
        ASSERT_EQ(block[0], plain[0]);
        ASSERT_EQ(block[1], plain[1]);
    }
}

} // namespace
