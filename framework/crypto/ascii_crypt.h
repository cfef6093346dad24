// AsciiCrypt: CryptPW with its key and ciphertext written as upper-case hexadecimal text.
#pragma once

#include "framework/crypto/crypt_pw.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// The hex text of CryptPW's 38-byte key (76 characters).
std::string AsciiCryptMakeKey(std::span<const uint8_t> pass_phrase);
// False when the decoded key is shorter than 38 bytes or is no curve point.
bool AsciiCryptEncrypt(std::span<const uint8_t> plain, std::string_view key_text,
                       std::span<const uint8_t> seed_text, std::string& out);
// Decoding stops quietly at the first pair that is not two hexadecimal characters; the result
// is CryptPW's.
bool AsciiCryptDecrypt(std::string_view cipher_text, std::span<const uint8_t> pass_phrase,
                       std::vector<uint8_t>& out);
