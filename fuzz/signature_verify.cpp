// Fuzzes signature checking with hostile public keys and signature texts: the stored key and
// signature are parsed and checked against the data, and both parsers must read back what
// their writers make of a parsed value.
//
// Input: the 38-byte public key as a part, the signature text as a part, then the data.
#include "framework/crypto/signature.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const auto key = input.part();
    const auto text = fuzzing::as_text(input.part());
    const auto signed_data = input.rest();

    BigNum pub;
    EcSignature sig;
    const bool keyRead = DsPublicKeyFromBytes(key, pub);
    const bool sigRead = DsParseSignature(text, sig);
    const bool valid = DsVerifyData(signed_data, text, key);
    fuzzing::require(!valid || (keyRead && sigRead), "only a readable key and text verify");

    if (sigRead) {
        EcSignature again;
        fuzzing::require(DsParseSignature(DsFormatSignature(sig), again) &&
                             OmBigEqual(again.r, sig.r) && OmBigEqual(again.s, sig.s),
                         "a formatted signature reads back");
    }
    if (keyRead) {
        BigNum again;
        fuzzing::require(DsPublicKeyFromBytes(DsPublicKeyToBytes(pub), again) &&
                             OmBigEqual(again, pub),
                         "a stored key reads back");
    }
    return 0;
}
