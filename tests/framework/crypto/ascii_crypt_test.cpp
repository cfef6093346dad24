// AsciiCrypt: upper-case hexadecimal text of CryptPW's key and ciphertext, and back.
#include "framework/crypto/ascii_crypt.h"
#include "framework/crypto/hex_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::span<const uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

bool upper_hex(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

TEST(AsciiCrypt, EmitsUpperCaseHexOfCryptPwAndRoundTrips) {
    const std::string key = AsciiCryptMakeKey(bytes("list pass"));
    EXPECT_EQ(key.size(), 2 * kDsPublicKeySize);
    EXPECT_TRUE(upper_hex(key));

    const std::string plain = "secure\nfile1.ini\nwarning\nfile2.bmp\n";
    std::string text;
    ASSERT_TRUE(AsciiCryptEncrypt(bytes(plain), key, bytes(kCryptPwDefaultSeed), text));
    EXPECT_TRUE(upper_hex(text));

    std::vector<uint8_t> binary;
    ASSERT_TRUE(
        CryptPwEncrypt(bytes(plain), HexDecodeText(key), bytes(kCryptPwDefaultSeed), binary));
    EXPECT_EQ(text, HexEncodeBytes(binary));

    std::vector<uint8_t> back;
    ASSERT_TRUE(AsciiCryptDecrypt(text + "\r\n", bytes("list pass"), back));
    EXPECT_EQ(std::string(back.begin(), back.end()), plain);
}

TEST(AsciiCrypt, MalformedKeyTextIsRefused) {
    std::string out;
    EXPECT_FALSE(AsciiCryptEncrypt(bytes("x"), "not hex at all", bytes(kCryptPwDefaultSeed), out));
    const std::string key = AsciiCryptMakeKey(bytes("p"));
    EXPECT_FALSE(AsciiCryptEncrypt(bytes("x"), key.substr(0, 70), bytes(kCryptPwDefaultSeed), out));
}

TEST(HexText, DecodingStopsAtTheFirstBadPair) {
    EXPECT_EQ(HexDecodeText("0aFF1"), (std::vector<uint8_t>{0x0A, 0xFF}));
    EXPECT_EQ(HexDecodeText("00G0FF"), (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(HexEncodeBytes(std::vector<uint8_t>{0x00, 0xAB, 0x7F}), "00AB7F");
}

} // namespace
