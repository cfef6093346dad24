// Fuzzes AsciiCrypt deciphering of hostile text: the hexadecimal decoding in front of CryptPW.
//
// Input: the pass phrase as a part, then the ciphertext text.
#include "framework/crypto/ascii_crypt.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const auto pass = input.part();
    const auto text = fuzzing::as_text(input.rest());

    std::vector<uint8_t> plain;
    AsciiCryptDecrypt(text, pass, plain);
    fuzzing::require(plain.size() * 2 <= text.size(), "deciphering never grows the data");
    return 0;
}
