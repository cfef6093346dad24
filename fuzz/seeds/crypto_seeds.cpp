// Seeds of the crypto harnesses: keys, signatures and ciphertexts made by the crypto writers.
#include "framework/crypto/ascii_crypt.h"
#include "framework/crypto/crypt_pw.h"
#include "framework/crypto/signature.h"
#include "framework/crypto/tiny_crypt.h"
#include "fuzz/seeds/seed_set.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

using fuzzing::FuzzInputWriter;

std::span<const uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Plaintexts around the chunk and block sizes that the ciphers treat specially.
std::vector<std::pair<std::string, std::string>> plaintexts() {
    return {{"empty", ""},
            {"short", "ace"},
            {"block", std::string(16, 'b')},
            {"odd", std::string(17, 'o')},
            {"chunk_less_one", std::string(4095, 'c')},
            {"chunk_and_one", std::string(4097, 'd')}};
}

} // namespace

FUZZ_SEEDS(signature_verify) {
    const std::string pass = "pilot's pass phrase";
    const auto key = DsMakePublicKeyBytes(bytes_of(pass));
    for (const std::string data : {"", "the list of protected files", "x"}) {
        const std::string sig = DsSignData(bytes_of(data), bytes_of(pass));
        seeds.add("valid_" + std::to_string(data.size()),
                  FuzzInputWriter().part(key).part(sig).rest(data));
    }
    const std::string data = "signed data";
    std::string spaced = DsSignData(bytes_of(data), bytes_of(pass));
    for (char& c : spaced)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    spaced.insert(8, "\r\n ");
    seeds.add("upper_case_and_blanks", FuzzInputWriter().part(key).part(spaced).rest(data));
    const auto other = DsMakePublicKeyBytes(bytes_of("another pass phrase"));
    seeds.add(
        "other_key",
        FuzzInputWriter().part(other).part(DsSignData(bytes_of(data), bytes_of(pass))).rest(data));
}

FUZZ_SEEDS(crypt_pw_decrypt) {
    const std::string pass = "list pass phrase";
    const auto key = CryptPwMakeKey(bytes_of(pass));
    for (const auto& [name, plain] : plaintexts()) {
        std::vector<uint8_t> cipher;
        CryptPwEncrypt(bytes_of(plain), key, bytes_of(kCryptPwDefaultSeed), cipher);
        seeds.add(name, FuzzInputWriter().part(pass).rest(cipher));
    }
}

FUZZ_SEEDS(ascii_crypt_decrypt) {
    const std::string pass = "list pass phrase";
    const std::string key = AsciiCryptMakeKey(bytes_of(pass));
    for (const auto& [name, plain] : plaintexts()) {
        if (plain.size() > 100) continue; // the text doubles every byte
        std::string text;
        AsciiCryptEncrypt(bytes_of(plain), key, bytes_of(kCryptPwDefaultSeed), text);
        seeds.add(name, FuzzInputWriter().part(pass).rest(text));
    }
}

FUZZ_SEEDS(tiny_crypt_decrypt) {
    const std::string pass = "file pass phrase";
    const std::string seed = "0123456789abcdef";
    for (const auto& [name, plain] : plaintexts()) {
        if (plain.size() > 100) continue;
        const auto cipher = TinyCryptEncrypt(
            bytes_of(plain), TinyCryptMakeKey(bytes_of(pass), kTinyCryptDefaultBlock));
        seeds.add(name, FuzzInputWriter().part(pass).part("").rest(cipher));
        const auto seeded = TinyCryptEncrypt(
            bytes_of(plain), TinyCryptMakeKey(bytes_of(pass), TinyCryptSeedBlock(bytes_of(seed))));
        seeds.add(name + "_seeded", FuzzInputWriter().part(pass).part(seed).rest(seeded));
    }
}
