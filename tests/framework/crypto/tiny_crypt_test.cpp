// TinyCrypt: the key layout, the stored lengths, deterministic padding and round trips.
#include "framework/crypto/tiny_crypt.h"

#include "framework/crypto/tea.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::span<const uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(TinyCrypt, KeyIsTheEncipheredInitialBlockThenTheBlock) {
    const TinyCryptKey key =
        TinyCryptMakeKey(bytes("0123456789abcdefIGNORED"), kTinyCryptDefaultBlock);
    uint32_t pass_words[4];
    std::memcpy(pass_words, "0123456789abcdef", 16); // little-endian words on this machine
    uint32_t block[2] = {kTinyCryptDefaultBlock[0], kTinyCryptDefaultBlock[1]};
    teaEncryptBlock(block, pass_words);
    uint32_t stored[4];
    std::memcpy(stored, key.data(), 16);
    EXPECT_EQ(stored[0], block[0]);
    EXPECT_EQ(stored[1], block[1]);
    EXPECT_EQ(stored[2], kTinyCryptDefaultBlock[0]);
    EXPECT_EQ(stored[3], kTinyCryptDefaultBlock[1]);

    const TinyCryptBlock seeded = TinyCryptSeedBlock(bytes("ABCDEFGH"));
    EXPECT_EQ(seeded[0], 0x44434241u);
    EXPECT_EQ(seeded[1], 0x48474645u);
    EXPECT_NE(TinyCryptMakeKey(bytes("pw"), seeded),
              TinyCryptMakeKey(bytes("pw"), kTinyCryptDefaultBlock));
}

TEST(TinyCrypt, LengthsRoundTripAndZeroPadding) {
    const std::string pass = "short";
    const TinyCryptKey key = TinyCryptMakeKey(bytes(pass), kTinyCryptDefaultBlock);
    for (size_t length : {0u, 1u, 7u, 8u, 12u, 16u, 23u, 100u}) {
        std::string plain;
        for (size_t i = 0; i < length; ++i) plain += char('a' + i % 26);
        const auto cipher = TinyCryptEncrypt(bytes(plain), key);
        ASSERT_EQ(cipher.size(), 8 * (length / 8 + 1)) << length;
        EXPECT_EQ(TinyCryptEncrypt(bytes(plain), key), cipher); // no stale bytes

        const auto back = TinyCryptDecrypt(cipher, bytes(pass), kTinyCryptDefaultBlock);
        ASSERT_EQ(back.size(), 8 * (cipher.size() / 8 + 1)) << length;
        EXPECT_EQ(std::string(back.begin(), back.begin() + long(length)), plain);
        // The enciphered tail block is the remaining bytes followed by zeros.
        for (size_t i = length; i < cipher.size(); ++i) EXPECT_EQ(back[i], 0) << length << " " << i;
    }
}

TEST(TinyCrypt, SixteenBytesGiveTwentyFourAndDecipherToThirtyTwo) {
    const std::string plain = "sixteen bytes!!!";
    const auto cipher =
        TinyCryptEncrypt(bytes(plain), TinyCryptMakeKey(bytes("k"), kTinyCryptDefaultBlock));
    ASSERT_EQ(cipher.size(), 24u);
    const auto back = TinyCryptDecrypt(cipher, bytes("k"), kTinyCryptDefaultBlock);
    ASSERT_EQ(back.size(), 32u);
    EXPECT_EQ(std::string(back.begin(), back.begin() + 16), plain);

    const auto wrong = TinyCryptDecrypt(cipher, bytes("K"), kTinyCryptDefaultBlock);
    EXPECT_NE(std::string(wrong.begin(), wrong.begin() + 16), plain);
}

} // namespace
