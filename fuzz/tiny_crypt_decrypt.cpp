// Fuzzes TinyCrypt deciphering of hostile input under hostile seeds and pass phrases; the
// whole blocks it deciphers must encipher back to the input.
//
// Input: the pass phrase as a part, the seed as a part, then the ciphertext.
#include "framework/crypto/tiny_crypt.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const auto pass = input.part();
    const auto seed = input.part();
    const auto cipher = input.rest();

    const TinyCryptBlock initial = TinyCryptSeedBlock(seed);
    const auto plain = TinyCryptDecrypt(cipher, pass, initial);
    const size_t whole = cipher.size() / 8 * 8;
    fuzzing::require(plain.size() == whole + 8, "deciphering adds exactly one block");

    const auto again =
        TinyCryptEncrypt(std::span(plain).first(whole), TinyCryptMakeKey(pass, initial));
    fuzzing::require(again.size() == whole + 8 &&
                         std::equal(cipher.begin(), cipher.begin() + whole, again.begin()),
                     "deciphered blocks encipher back");
    return 0;
}
