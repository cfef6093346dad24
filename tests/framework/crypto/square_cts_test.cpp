// Square-CTS: round trips for every tail length and Crypto++'s CBC with ciphertext stealing as
// an oracle (the same block order: the stolen-from block's head moves to the tail).
#include "framework/crypto/square_cts.h"

#include <cryptopp/modes.h>
#include <cryptopp/square.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(SquareCts, MatchesCryptoPpAndRoundTripsEveryLength) {
    std::mt19937 rng(47);
    uint8_t key[16], iv[16];
    for (auto& b : key) b = uint8_t(rng());
    for (auto& b : iv) b = uint8_t(rng());

    for (size_t length = 16; length <= 80; ++length) {
        std::vector<uint8_t> plain(length);
        for (auto& b : plain) b = uint8_t(rng());

        SquareCtsContext ctx;
        OmSquareCtsInit(ctx, key);
        OmSquareCtsSetIV(ctx, iv);
        uint8_t working_iv[16];
        std::memcpy(working_iv, ctx.chain, 16);

        std::vector<uint8_t> buffer = plain;
        ASSERT_TRUE(OmSquareCtsEncrypt(ctx, buffer.data(), length));

        // Whole blocks are plain CBC; Crypto++ steals only from longer messages.
        std::vector<uint8_t> expected(length);
        if (length % 16 == 0) {
            CryptoPP::CBC_Mode<CryptoPP::Square>::Encryption oracle(key, 16, working_iv);
            oracle.ProcessData(expected.data(), plain.data(), length);
        } else {
            CryptoPP::CBC_CTS_Mode<CryptoPP::Square>::Encryption oracle(key, 16, working_iv);
            const size_t head = 16 * (length / 16 - 1);
            oracle.ProcessData(expected.data(), plain.data(), head);
            oracle.ProcessLastBlock(expected.data() + head, length - head, plain.data() + head,
                                    length - head);
        }
        ASSERT_EQ(buffer, expected) << length;

        OmSquareCtsSetIV(ctx, iv);
        ASSERT_TRUE(OmSquareCtsDecrypt(ctx, buffer.data(), length));
        ASSERT_EQ(buffer, plain) << length;
        OmSquareCtsDone(ctx);
    }
}

TEST(SquareCts, ShortBuffersAreRefusedUntouched) {
    uint8_t key[16] = {}, buffer[15] = {1, 2, 3};
    SquareCtsContext ctx;
    OmSquareCtsInit(ctx, key);
    OmSquareCtsSetIV(ctx, nullptr);
    EXPECT_FALSE(OmSquareCtsEncrypt(ctx, buffer, 15));
    EXPECT_FALSE(OmSquareCtsDecrypt(ctx, buffer, 15));
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(sizeof(SquareCtsContext), 304u);
}

} // namespace
