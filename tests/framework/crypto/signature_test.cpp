// Signatures: determinism, sign/verify, tampering, the stored forms and hostile inputs.
#include "framework/crypto/signature.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

std::span<const uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

class SignatureTest : public ::testing::Test {
protected:
    const std::string data = "list.bin contents: textures/a.bmp 1234\nsounds/b.wav 99\n";
    const std::string pass = "correct horse battery staple";
    const DsPublicKeyBytes key = DsMakePublicKeyBytes(bytes(pass));
    const std::string sig = DsSignData(bytes(data), bytes(pass));
};

TEST_F(SignatureTest, SignatureVerifiesAndIsDeterministic) {
    EXPECT_TRUE(DsVerifyData(bytes(data), sig, key));
    EXPECT_EQ(DsSignData(bytes(data), bytes(pass)), sig);
    EXPECT_EQ(DsMakePublicKeyBytes(bytes(pass)), key);
}

TEST_F(SignatureTest, TextFormIsLowerCaseHexInWholeDigits) {
    const size_t colon = sig.find(':');
    ASSERT_NE(colon, std::string::npos);
    EXPECT_EQ(colon % 4, 0u);
    EXPECT_EQ((sig.size() - colon - 1) % 4, 0u);
    for (char c : sig) EXPECT_TRUE(c == ':' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));

    EcSignature parsed;
    ASSERT_TRUE(DsParseSignature(sig, parsed));
    EXPECT_EQ(DsFormatSignature(parsed), sig);
}

TEST_F(SignatureTest, BlanksLineEndsAndUpperCaseStillVerify) {
    std::string spaced;
    for (char c : sig) {
        spaced += char(std::toupper(static_cast<unsigned char>(c)));
        if (spaced.size() % 7 == 0) spaced += "\r\n \t";
    }
    spaced += "\n"; // trailing text after r is not part of it
    EXPECT_TRUE(DsVerifyData(bytes(data), spaced, key));
}

TEST_F(SignatureTest, AnyChangeFailsVerification) {
    for (size_t i = 0; i < data.size(); i += 7) {
        std::string changed = data;
        changed[i] ^= 0x01;
        EXPECT_FALSE(DsVerifyData(bytes(changed), sig, key)) << i;
    }
    EXPECT_FALSE(DsVerifyData(bytes(data + "x"), sig, key));

    for (size_t i = 0; i < sig.size(); ++i) {
        if (sig[i] == ':') continue;
        std::string changed = sig;
        changed[i] = changed[i] == '0' ? '1' : '0';
        EXPECT_FALSE(DsVerifyData(bytes(data), changed, key)) << i;
    }

    const std::string other = "Correct horse battery staple";
    EXPECT_FALSE(DsVerifyData(bytes(data), sig, DsMakePublicKeyBytes(bytes(other))));
    EXPECT_TRUE(DsVerifyData(bytes(data), DsSignData(bytes(data), bytes(other)),
                             DsMakePublicKeyBytes(bytes(other))));
}

TEST_F(SignatureTest, EmptyPassPhraseAndEmptyDataAreValid) {
    const std::string empty;
    const auto empty_key = DsMakePublicKeyBytes(bytes(empty));
    EXPECT_NE(empty_key, key);
    EXPECT_TRUE(DsVerifyData(bytes(empty), DsSignData(bytes(empty), bytes(empty)), empty_key));
}

TEST_F(SignatureTest, PublicKeyIs38BytesWithItsDigitCountFirst) {
    const int count = key[0] | key[1] << 8;
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 16);
    for (size_t i = 2 + 2 * size_t(count); i < kDsPublicKeySize; ++i) EXPECT_EQ(key[i], 0) << i;
    // A longer key stream: only the first 38 bytes form the key.
    std::vector<uint8_t> longer(key.begin(), key.end());
    longer.insert(longer.end(), {1, 2, 3});
    EXPECT_TRUE(DsVerifyData(bytes(data), sig, longer));
}

TEST_F(SignatureTest, HostileInputsAreRefused) {
    // More significant digits than 18 sixteen-bit digits hold.
    const std::string huge = std::string(73, 'f') + ":" + std::string(8, '1');
    EXPECT_FALSE(DsVerifyData(bytes(data), huge, key));
    EXPECT_FALSE(DsVerifyData(bytes(data), std::string(100000, '7') + ":1", key));
    // Leading zeros are not significant.
    const std::string padded = std::string(500, '0') + sig;
    EXPECT_TRUE(DsVerifyData(bytes(data), padded, key));

    // A digit count beyond the capacity, a truncated key, a key that is no point.
    DsPublicKeyBytes bad = key;
    bad[0] = 0xFF;
    bad[1] = 0xFF;
    EXPECT_FALSE(DsVerifyData(bytes(data), sig, bad));
    bad[0] = 19;
    bad[1] = 0;
    EXPECT_FALSE(DsVerifyData(bytes(data), sig, bad));
    EXPECT_FALSE(DsVerifyData(bytes(data), sig, std::span<const uint8_t>(key.data(), 10)));
    EXPECT_FALSE(DsVerifyData(bytes(data), sig, std::span<const uint8_t>()));

    for (const char* text : {"", ":", "zzzz:zzzz", "-", "1:0", "0:1", "\xff\xfe"})
        EXPECT_FALSE(DsVerifyData(bytes(data), text, key)) << text;
}

TEST(Signature, NonCanonicalValuesAreRejected) {
    // r + n would satisfy the verification equation as well; only r < n is accepted.
    const std::string data = "abc", pass = "k";
    EcSignature sig;
    ASSERT_TRUE(DsParseSignature(DsSignData(bytes(data), bytes(pass)), sig));
    BigNum pub;
    ASSERT_TRUE(DsPublicKeyFromBytes(DsMakePublicKeyBytes(bytes(pass)), pub));
    const auto digests = DsHashMessage(bytes(data));
    ASSERT_TRUE(DsVerify(digests, sig, pub));
    EcSignature shifted = sig;
    OmBigAdd(shifted.r, OmEcOrder());
    EXPECT_FALSE(DsVerify(digests, shifted, pub));
    shifted = sig;
    OmBigAdd(shifted.s, OmEcOrder());
    EXPECT_FALSE(DsVerify(digests, shifted, pub));
}

TEST(Signature, MessageNumberWithAZeroTopDigitStillVerifies) {
    // Digests whose 15th digit is zero: the message number must compare by value.
    DsMessageDigests digests{};
    for (size_t i = 0; i < digests.size(); ++i) digests[i] = 0x9E3779B9u * uint32_t(i + 1);
    digests[7] &= 0xFFFF0000u;
    BigNum m;
    DsMessageNumber(digests, m);
    EXPECT_EQ(m.count(), 14);

    const DsPassDigest pass = DsHashPassPhrase(bytes(std::string("zero top digit")));
    BigNum pub;
    DsMakePublicKey(pass, pub);
    EcSignature sig;
    DsSign(pass, digests, sig);
    EXPECT_TRUE(DsVerify(digests, sig, pub));
}

TEST(EcSign, SignatureWithGivenSecretVerifiesAndFailsForMPlusOne) {
    std::mt19937 rng(43);
    for (int i = 0; i < 3; ++i) {
        BigNum priv{}, k{}, m{}, pub;
        priv.words[0] = k.words[0] = m.words[0] = 15;
        for (int d = 1; d <= 15; ++d) {
            priv.words[d] = uint16_t(rng());
            k.words[d] = uint16_t(rng());
            m.words[d] = uint16_t(rng());
        }
        OmBigNormalise(m);
        OmEcMakePublicKey(pub, priv);
        EcSignature sig;
        ASSERT_EQ(OmEcSign(priv, k, m, sig), 1);
        EXPECT_EQ(OmEcVerify(pub, m, sig), 1);
        BigNum one{};
        OmBigSetSmall(one, 1);
        OmBigAdd(m, one);
        EXPECT_EQ(OmEcVerify(pub, m, sig), 0);
    }
}

TEST(CryptRandom, OutputDependsOnSeedCounterAndMessage) {
    CryptRandom a, b;
    CryptRandom_Zero(a);
    CryptRandom_Zero(b);
    CryptRandom_Seed(a, "seed", 4);
    CryptRandom_Seed(b, "seed", 4);
    EXPECT_EQ(a.words[0], 6u);
    const uint32_t first = CryptRandom_Next(a);
    EXPECT_EQ(first, CryptRandom_Next(b));
    EXPECT_NE(first, CryptRandom_Next(a));
    EXPECT_EQ(a.words[1], 2u);

    // The output is H0 of SHA-1 over the counter and the seed words, little-endian.
    CryptRandom c;
    CryptRandom_Zero(c);
    CryptRandom_Seed(c, "seed", 4);
    uint8_t layout[24];
    const uint32_t words[6] = {1, c.words[2], c.words[3], c.words[4], c.words[5], c.words[6]};
    for (int i = 0; i < 24; ++i) layout[i] = uint8_t(words[i / 4] >> (8 * (i % 4)));
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, layout, sizeof layout);
    uint32_t digest[5];
    OmSha1Final(ctx, digest);
    EXPECT_EQ(CryptRandom_Next(c), digest[0]);

    CryptRandom_AddMessage(b, "msg", 3, 2);
    EXPECT_EQ(b.words[0], 16u);
    CryptRandom_AddMessage(a, "msg", 3, 1);
    EXPECT_EQ(a.words[0], 11u);

    BigNum n;
    CryptRandom_MakeNumber(b, n);
    EXPECT_EQ(n.words[0], 15);
    EXPECT_EQ(b.words[1], 16u); // one output before, 15 for the number
}

} // namespace
