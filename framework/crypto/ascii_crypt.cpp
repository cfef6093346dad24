// AsciiCrypt over CryptPW and the hexadecimal text forms.
#include "framework/crypto/ascii_crypt.h"

#include "framework/crypto/hex_text.h"

std::string AsciiCryptMakeKey(std::span<const uint8_t> pass_phrase) {
    return HexEncodeBytes(CryptPwMakeKey(pass_phrase));
}

bool AsciiCryptEncrypt(std::span<const uint8_t> plain, std::string_view key_text,
                       std::span<const uint8_t> seed_text, std::string& out) {
    out.clear();
    const std::vector<uint8_t> key = HexDecodeText(key_text);
    std::vector<uint8_t> cipher;
    if (!CryptPwEncrypt(plain, key, seed_text, cipher)) return false;
    out = HexEncodeBytes(cipher);
    return true;
}

bool AsciiCryptDecrypt(std::string_view cipher_text, std::span<const uint8_t> pass_phrase,
                       std::vector<uint8_t>& out) {
    return CryptPwDecrypt(HexDecodeText(cipher_text), pass_phrase, out);
}
