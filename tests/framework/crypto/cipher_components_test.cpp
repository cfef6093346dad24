// The cipher components TinyCrypt, CryptPW and AsciiCrypt: byte-for-byte agreement with the
// buffer forms across chunk boundaries, stream positions, seeds, and refusal of bad input.
#include "framework/crypto/cipher.h"

#include "framework/core/object_manager.h"
#include "framework/crypto/ascii_crypt.h"
#include "framework/crypto/crypt_pw.h"
#include "framework/crypto/tiny_crypt.h"
#include "tests/framework/crypto/stream_fixture.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

#include <random>

namespace {

using namespace testsupport;

std::vector<uint8_t> random_data(size_t n, uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

class CipherTest : public FrameworkTest {
protected:
    CipherTest() { testsupport::register_crypto_classes(OmGetObjectManager()); }

    static ComRef<ICipher> make(const GUID& clsid) {
        ComRef<ICipher> cipher;
        EXPECT_EQ(OmCreate(clsid, IID_ICipher, cipher.put()), 0);
        return cipher;
    }
    static std::vector<uint8_t> make_key(ICipher* cipher, std::string_view pass) {
        auto key = empty_stream();
        EXPECT_EQ(cipher->MakeKey(key.get(), stream_of(pass).get()), 0);
        return contents(key.get());
    }
    // Enciphers `plain` and checks where the output stream is left.
    static std::vector<uint8_t> encrypt(ICipher* cipher, std::span<const uint8_t> plain,
                                        std::span<const uint8_t> key, bool output_at_end) {
        auto out = empty_stream();
        EXPECT_EQ(cipher->Encrypt(out.get(), stream_of(plain).get(), stream_of(key).get()), 0);
        const auto bytes = contents(out.get());
        EXPECT_EQ(position_of(out.get()), output_at_end ? bytes.size() : 0u);
        return bytes;
    }
    static OmResult decrypt(ICipher* cipher, std::span<const uint8_t> in, std::string_view pass,
                            std::vector<uint8_t>& plain) {
        auto out = empty_stream();
        const OmResult r = cipher->Decrypt(out.get(), stream_of(in).get(), stream_of(pass).get());
        plain = contents(out.get());
        return r;
    }
};

TEST_F(CipherTest, EveryClassAnswersTheCipherInterfaceOnly) {
    for (const GUID* clsid : {&CLSID_TinyCrypt, &CLSID_CryptPW, &CLSID_AsciiCrypt}) {
        ComRef<ICipher> cipher = make(*clsid);
        ASSERT_TRUE(cipher);
        ComRef<IUnknown> unknown;
        EXPECT_EQ(cipher->QueryInterface(IID_IUnknown, unknown.put_void()), 0);
        ComRef<IByteStream> wrong;
        EXPECT_EQ(cipher->QueryInterface(IID_IByteStream, wrong.put_void()), OM_E_NOINTERFACE);
        EXPECT_FALSE(wrong);
        EXPECT_EQ(cipher->Encrypt(nullptr, nullptr, nullptr), OM_E_FAIL);
    }
}

TEST_F(CipherTest, TinyCryptMatchesItsBlockFormAndRewindsItsStreams) {
    auto cipher = make(CLSID_TinyCrypt);
    const std::string pass = "0123456789abcdefg"; // only 16 bytes count
    auto pass_stream = stream_of(pass);
    auto key_stream = empty_stream();
    ASSERT_EQ(cipher->MakeKey(key_stream.get(), pass_stream.get()), 0);
    EXPECT_EQ(position_of(key_stream.get()), 0u);
    EXPECT_EQ(position_of(pass_stream.get()), 0u);
    const TinyCryptKey expected_key = TinyCryptMakeKey(as_bytes(pass), kTinyCryptDefaultBlock);
    const auto key = contents(key_stream.get());
    ASSERT_EQ(key, std::vector<uint8_t>(expected_key.begin(), expected_key.end()));

    for (size_t length : {0u, 1u, 7u, 8u, 16u, 4095u, 4096u, 4097u, 9000u}) {
        const auto plain = random_data(length);
        const auto cipher_bytes = encrypt(cipher.get(), plain, key, false);
        ASSERT_EQ(cipher_bytes.size(), 8 * (length / 8 + 1)) << length;
        EXPECT_EQ(cipher_bytes, TinyCryptEncrypt(plain, key)) << length;

        std::vector<uint8_t> back;
        ASSERT_EQ(decrypt(cipher.get(), cipher_bytes, pass, back), 0);
        EXPECT_EQ(back, TinyCryptDecrypt(cipher_bytes, as_bytes(pass), kTinyCryptDefaultBlock));
        ASSERT_EQ(back.size(), 8 * (cipher_bytes.size() / 8 + 1)) << length;
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), back.begin())) << length;
    }
}

TEST_F(CipherTest, TinyCryptSeedReplacesTheInitialBlock) {
    auto cipher = make(CLSID_TinyCrypt);
    const std::string seed = "ABCDEFGHijklmnop";
    ASSERT_EQ(cipher->SetSeed(stream_of(seed).get()), 0);
    const TinyCryptKey expected =
        TinyCryptMakeKey(as_bytes("pw"), TinyCryptSeedBlock(as_bytes(seed)));
    EXPECT_EQ(make_key(cipher.get(), "pw"), std::vector<uint8_t>(expected.begin(), expected.end()));

    BrokenStream broken;
    EXPECT_EQ(cipher->SetSeed(&broken), OM_E_FAIL);
    EXPECT_EQ(cipher->MakeKey(empty_stream().get(), &broken), OM_E_FAIL);
}

TEST_F(CipherTest, CryptPwRoundTripsAndMatchesTheBufferForm) {
    auto cipher = make(CLSID_CryptPW);
    const std::string pass = "list pass";
    const auto key = make_key(cipher.get(), pass);
    const DsPublicKeyBytes expected_key = CryptPwMakeKey(as_bytes(pass));
    ASSERT_EQ(key, std::vector<uint8_t>(expected_key.begin(), expected_key.end()));

    for (size_t length : {0u, 1u, 15u, 16u, 17u, 4095u, 4096u, 4097u, 8191u, 12288u}) {
        const auto plain = random_data(length, uint32_t(length));
        const auto cipher_bytes = encrypt(cipher.get(), plain, key, true);
        std::vector<uint8_t> expected;
        ASSERT_TRUE(CryptPwEncrypt(plain, key, as_bytes(kCryptPwDefaultSeed), expected));
        EXPECT_EQ(cipher_bytes, expected) << length;
        if (length == 0) {
            EXPECT_EQ(cipher_bytes.size(), kCryptPwHeaderSize);
        }

        std::vector<uint8_t> back;
        EXPECT_EQ(decrypt(cipher.get(), cipher_bytes, pass, back), 0) << length;
        EXPECT_EQ(back, plain) << length;
    }
}

TEST_F(CipherTest, CryptPwSeedChangesTheMessageSecretOnly) {
    auto cipher = make(CLSID_CryptPW);
    const auto key = make_key(cipher.get(), "pw");
    const auto plain = random_data(100);
    const auto with_default = encrypt(cipher.get(), plain, key, true);
    ASSERT_EQ(cipher->SetSeed(stream_of("another seed text").get()), 0);
    const auto with_seed = encrypt(cipher.get(), plain, key, true);
    EXPECT_NE(with_seed, with_default);
    EXPECT_EQ(with_seed, encrypt(cipher.get(), plain, key, true));
    std::vector<uint8_t> expected, back;
    ASSERT_TRUE(CryptPwEncrypt(plain, key, as_bytes("another seed text"), expected));
    EXPECT_EQ(with_seed, expected);
    EXPECT_EQ(decrypt(cipher.get(), with_seed, "pw", back), 0);
    EXPECT_EQ(back, plain);
}

TEST_F(CipherTest, CryptPwRefusesBadKeysAndDamagedCiphertext) {
    auto cipher = make(CLSID_CryptPW);
    const auto key = make_key(cipher.get(), "pw");
    const auto plain = random_data(5);
    const auto good = encrypt(cipher.get(), plain, key, true);

    auto out = empty_stream();
    std::vector<uint8_t> short_key(key.begin(), key.begin() + 20);
    EXPECT_LT(cipher->Encrypt(out.get(), stream_of(plain).get(), stream_of(short_key).get()), 0);
    std::vector<uint8_t> hostile_key = key;
    hostile_key[0] = 0xFF;
    EXPECT_EQ(cipher->Encrypt(out.get(), stream_of(plain).get(), stream_of(hostile_key).get()),
              OM_E_FAIL);
    EXPECT_TRUE(contents(out.get()).empty());

    std::vector<uint8_t> back;
    EXPECT_EQ(decrypt(cipher.get(), std::span(good).first(10), "pw", back), OM_E_FAIL);
    EXPECT_EQ(decrypt(cipher.get(), std::span(good).first(40), "pw", back), OM_E_FAIL);
    EXPECT_EQ(decrypt(cipher.get(), good, "wrong pass", back), OM_E_FAIL);
}

TEST_F(CipherTest, AsciiCryptIsCryptPwInUpperCaseHex) {
    auto cipher = make(CLSID_AsciiCrypt);
    const std::string pass = "cloudr1der";
    const auto key = make_key(cipher.get(), pass);
    const std::string key_text(key.begin(), key.end());
    EXPECT_EQ(key_text, AsciiCryptMakeKey(as_bytes(pass)));
    EXPECT_EQ(key_text.size(), 2 * kDsPublicKeySize);

    const std::string plain = "[secure]\ndata/x.bin=12345\n";
    const auto cipher_bytes = encrypt(cipher.get(), as_bytes(plain), key, true);
    const std::string cipher_text(cipher_bytes.begin(), cipher_bytes.end());
    std::string expected;
    ASSERT_TRUE(
        AsciiCryptEncrypt(as_bytes(plain), key_text, as_bytes(kCryptPwDefaultSeed), expected));
    EXPECT_EQ(cipher_text, expected);
    EXPECT_EQ(cipher_text.find_first_not_of("0123456789ABCDEF"), std::string::npos);

    std::vector<uint8_t> back;
    // A line end after the text is no pair and ends the decoding quietly.
    ASSERT_EQ(decrypt(cipher.get(), as_bytes(cipher_text + "\n"), pass, back), 0);
    EXPECT_EQ(std::string(back.begin(), back.end()), plain);
}

} // namespace
