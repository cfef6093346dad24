// CryptPW: round trips across the chunk and padding boundaries, the ciphertext layout,
// determinism, and refusal of wrong or damaged input.
#include "framework/crypto/crypt_pw.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::span<const uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

class CryptPwTest : public ::testing::Test {
protected:
    const std::string pass = "pass phrase";
    const DsPublicKeyBytes key = CryptPwMakeKey(bytes(pass));

    std::vector<uint8_t> random_data(size_t n, uint32_t seed = 53) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> v(n);
        for (auto& b : v) b = uint8_t(rng());
        return v;
    }
};

TEST_F(CryptPwTest, RoundTripsAcrossChunkBoundaries) {
    struct Case {
        size_t plain, cipher_body;
    };
    const Case cases[] = {
        {0, 0},       {1, 17},           {15, 17},          {16, 16},
        {17, 19},     {4095, 4097},      {4096, 4096},      {4097, 4096 + 17},
        {8191, 8193}, {8192 + 31, 8225}, {3 * 4096, 12288},
    };
    for (const Case& c : cases) {
        const auto plain = random_data(c.plain);
        std::vector<uint8_t> cipher, back;
        ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes(kCryptPwDefaultSeed), cipher));
        EXPECT_EQ(cipher.size(), kCryptPwHeaderSize + c.cipher_body) << c.plain;
        ASSERT_TRUE(CryptPwDecrypt(cipher, bytes(pass), back)) << c.plain;
        EXPECT_EQ(back, plain) << c.plain;
    }
}

TEST_F(CryptPwTest, SameSeedAndInputGiveTheSameCiphertext) {
    const auto plain = random_data(5000);
    std::vector<uint8_t> a, b, c, back;
    ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes(kCryptPwDefaultSeed), a));
    ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes(kCryptPwDefaultSeed), b));
    EXPECT_EQ(a, b);
    // Another seed picks another message secret; the pass phrase alone still deciphers.
    ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes("another seed"), c));
    EXPECT_NE(std::vector<uint8_t>(a.begin(), a.begin() + 32),
              std::vector<uint8_t>(c.begin(), c.begin() + 32));
    ASSERT_TRUE(CryptPwDecrypt(c, bytes(pass), back));
    EXPECT_EQ(back, plain);
}

TEST_F(CryptPwTest, WrongPassPhraseOrDamagedCiphertextIsRefused) {
    const auto plain = random_data(4095);
    std::vector<uint8_t> cipher, back;
    ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes(kCryptPwDefaultSeed), cipher));

    EXPECT_FALSE(CryptPwDecrypt(cipher, bytes("wrong"), back));

    std::vector<uint8_t> damaged = cipher;
    damaged.back() ^= 0x40;
    EXPECT_FALSE(CryptPwDecrypt(damaged, bytes(pass), back));

    // A tail chunk shorter than 16 bytes.
    std::vector<uint8_t> cut(cipher.begin(), cipher.begin() + kCryptPwHeaderSize + 4096 + 0);
    cut.insert(cut.end(), cipher.begin() + 32, cipher.begin() + 32 + 9);
    EXPECT_FALSE(CryptPwDecrypt(cut, bytes(pass), back));
    EXPECT_EQ(back.size(), 4096u); // the good chunk before it stays deciphered

    EXPECT_FALSE(CryptPwDecrypt(std::span<const uint8_t>(cipher.data(), 31), bytes(pass), back));
}

TEST_F(CryptPwTest, HeadersAndKeysThatAreNoPointAreRefused) {
    std::vector<uint8_t> cipher, back;
    const auto plain = random_data(100);
    ASSERT_TRUE(CryptPwEncrypt(plain, key, bytes(kCryptPwDefaultSeed), cipher));
    int refused = 0;
    for (int i = 0; i < 16 && refused == 0; ++i) {
        std::vector<uint8_t> forged = cipher;
        forged[5] ^= uint8_t(1 + i);
        if (!CryptPwDecrypt(forged, bytes(pass), back)) ++refused;
    }
    EXPECT_GT(refused, 0);

    DsPublicKeyBytes bad_count = key;
    bad_count[0] = 40;
    EXPECT_FALSE(CryptPwEncrypt(plain, bad_count, bytes(kCryptPwDefaultSeed), cipher));
    EXPECT_FALSE(CryptPwEncrypt(plain, std::span<const uint8_t>(key.data(), 37),
                                bytes(kCryptPwDefaultSeed), cipher));
}

TEST(CryptPwStream, ChunkSplitKeepsALoneByteWithItsChunk) {
    EXPECT_EQ(CryptPwNextChunkLength(4097), 4097u);
    EXPECT_EQ(CryptPwNextChunkLength(4098), 4096u);
    EXPECT_EQ(CryptPwNextChunkLength(17), 17u);
    EXPECT_EQ(CryptPwNextChunkLength(100000), 4096u);
}

} // namespace
