// Fuzzes CryptPW deciphering of hostile ciphertext: the message point, the chunking and the
// padding checks.
//
// Input: the pass phrase as a part, then the ciphertext.
#include "framework/crypto/crypt_pw.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const auto pass = input.part();
    const auto cipher = input.rest();

    std::vector<uint8_t> plain;
    CryptPwDecrypt(cipher, pass, plain);
    fuzzing::require(plain.size() + kCryptPwHeaderSize <= cipher.size() || plain.empty(),
                     "deciphering never grows the data");
    return 0;
}
