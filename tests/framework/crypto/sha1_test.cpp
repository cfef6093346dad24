// SHA-1: published digests, OpenSSL as an oracle for split updates, and the folded digest.
#include "framework/crypto/sha1.h"

#include <openssl/sha.h>

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

using Words = std::array<uint32_t, 5>;

Words sha1_words(const std::string& text) {
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, text.data(), text.size());
    Words out{};
    OmSha1Final(ctx, out.data());
    return out;
}

Words openssl_words(const uint8_t* data, size_t length) {
    uint8_t md[SHA_DIGEST_LENGTH];
    SHA1(data, length, md);
    Words out{};
    for (int i = 0; i < 5; ++i)
        out[i] = uint32_t(md[4 * i]) << 24 | uint32_t(md[4 * i + 1]) << 16 |
                 uint32_t(md[4 * i + 2]) << 8 | md[4 * i + 3];
    return out;
}

TEST(Sha1, PublishedMessagesGiveThePublishedWords) {
    struct Case {
        std::string message;
        Words expected;
    };
    const Case cases[] = {
        {"abc", {0xA9993E36, 0x4706816A, 0xBA3E2571, 0x7850C26C, 0x9CD0D89D}},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         {0x84983E44, 0x1C3BD26E, 0xBAAE4AA1, 0xF95129E5, 0xE54670F1}},
        {std::string(1000000, 'a'), {0x34AA973C, 0xD4C4DAA4, 0xF61EEB2B, 0xDBAD2731, 0x6534016F}},
        {"", {0xDA39A3EE, 0x5E6B4B0D, 0x3255BFEF, 0x95601890, 0xAFD80709}},
    };
    for (const Case& c : cases) EXPECT_EQ(sha1_words(c.message), c.expected) << c.message.size();
}

TEST(Sha1, SplitUpdatesMatchOpenSsl) {
    // Lengths around the padding boundaries (55/56/64) and odd split points.
    std::mt19937 rng(7);
    for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 4099u}) {
        std::vector<uint8_t> data(length);
        for (auto& b : data) b = uint8_t(rng());
        Sha1Context ctx;
        OmSha1Init(ctx);
        size_t pos = 0;
        while (pos < length) {
            size_t step = std::min<size_t>(length - pos, 1 + rng() % 70);
            OmSha1Update(ctx, data.data() + pos, step);
            pos += step;
        }
        Words ours{};
        OmSha1Final(ctx, ours.data());
        EXPECT_EQ(ours, openssl_words(data.data(), length)) << length;
    }
}

TEST(Sha1, FinalClearsTheContext) {
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, "secret pass phrase", 18);
    uint32_t out[5];
    OmSha1Final(ctx, out);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&ctx);
    for (size_t i = 0; i < sizeof ctx; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(Sha1Digest, FoldsTheLittleEndianWordBytesIntoTheOutput) {
    const Words w = sha1_words("abc");
    uint8_t digest[20];
    for (int i = 0; i < 20; ++i) digest[i] = uint8_t(w[i / 4] >> (8 * (i % 4)));

    uint8_t full[20];
    EXPECT_EQ(OmSha1Digest("abc", 3, full, 0), 20u);
    EXPECT_EQ(std::vector<uint8_t>(full, full + 20), std::vector<uint8_t>(digest, digest + 20));

    uint8_t ten[10];
    EXPECT_EQ(OmSha1Digest("abc", 3, ten, 10), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ten[i], digest[i] ^ digest[i + 10]) << i;

    uint8_t forty[40];
    EXPECT_EQ(OmSha1Digest("abc", 3, forty, 40), 40u);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(forty[i], digest[i % 20]) << i;
}

} // namespace
