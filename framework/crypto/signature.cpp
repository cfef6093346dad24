// Key derivation, signing and checking over message digests, and the stored text forms.
#include "framework/crypto/signature.h"

#include "framework/crypto/wiped.h"

#include <algorithm>
#include <cstring>

namespace {

int digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

void append_hex(std::string& out, const BigNum& n) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = n.count() - 1; i >= 0; --i)
        for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(n.digit(i) >> shift) & 0xF];
}

} // namespace

DsPassDigest DsHashPassPhrase(std::span<const uint8_t> pass_phrase) {
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, pass_phrase.data(), pass_phrase.size());
    DsPassDigest digest;
    OmSha1Final(ctx, digest.data());
    return digest;
}

DsMessageDigests DsHashMessage(std::span<const uint8_t> data) {
    CryptMessageHash hash(2);
    hash.update(data.data(), data.size());
    DsMessageDigests digests;
    hash.finish(digests.data());
    return digests;
}

void DsMessageNumber(const DsMessageDigests& digests, BigNum& m) {
    OmBigClear(m);
    for (int i = 0; i < 8; ++i) {
        m.words[1 + 2 * i] = uint16_t(digests[size_t(i)]);
        if (2 * i + 2 <= 15) m.words[2 + 2 * i] = uint16_t(digests[size_t(i)] >> 16);
    }
    m.words[16] = 0; // only 15 digits (the first 30 bytes) count
    m.words[0] = 15;
    // Normalised so that a zero top digit (one message in 65536) still compares equal to the
    // normalised difference that verification computes.
    OmBigNormalise(m);
}

void DsPrivateKey(const DsPassDigest& pass, BigNum& priv) {
    Wiped<CryptRandom> g;
    CryptRandom_Zero(g.value);
    CryptRandom_SeedDigest(g.value, pass.data());
    CryptRandom_MakeNumber(g.value, priv);
}

void DsMakePublicKey(const DsPassDigest& pass, BigNum& pub) {
    Wiped<BigNum> priv;
    DsPrivateKey(pass, priv.value);
    OmEcMakePublicKey(pub, priv.value);
}

void DsSign(const DsPassDigest& pass, const DsMessageDigests& digests, EcSignature& sig) {
    Wiped<CryptRandom> g;
    Wiped<BigNum> priv, k;
    BigNum m;
    CryptRandom_Zero(g.value);
    CryptRandom_SeedDigest(g.value, pass.data());
    CryptRandom_MakeNumber(g.value, priv.value);
    CryptRandom_SetMessage(g.value, digests.data(), 2);
    DsMessageNumber(digests, m);
    do {
        CryptRandom_MakeNumber(g.value, k.value);
    } while (!OmEcSign(priv.value, k.value, m, sig));
}

bool DsVerify(const DsMessageDigests& digests, const EcSignature& sig, const BigNum& pub) {
    BigNum m;
    DsMessageNumber(digests, m);
    return OmEcVerify(pub, m, sig) == 1;
}

DsPublicKeyBytes DsPublicKeyToBytes(const BigNum& pub) {
    DsPublicKeyBytes out{};
    const int count = pub.count();
    out[0] = uint8_t(count);
    out[1] = uint8_t(count >> 8);
    OmBigToBytes(pub, out.data() + 2, kDsPublicKeySize - 2);
    return out;
}

bool DsPublicKeyFromBytes(std::span<const uint8_t> bytes, BigNum& pub) {
    OmBigClear(pub);
    uint8_t raw[kDsPublicKeySize] = {};
    if (!bytes.empty()) std::memcpy(raw, bytes.data(), std::min(bytes.size(), kDsPublicKeySize));
    const unsigned count = raw[0] | unsigned(raw[1]) << 8;
    if (count > unsigned(kBigNumMaxDigits)) return false;
    for (unsigned i = 0; i < count; ++i)
        pub.words[1 + i] = uint16_t(raw[2 + 2 * i] | raw[3 + 2 * i] << 8);
    pub.words[0] = uint16_t(count);
    OmBigNormalise(pub);
    return true;
}

std::string DsFormatSignature(const EcSignature& sig) {
    std::string out;
    append_hex(out, sig.s);
    out += ':';
    append_hex(out, sig.r);
    return out;
}

DsSignatureReader::DsSignatureReader() {
    OmBigClear(numbers_[0]);
    OmBigClear(numbers_[1]);
}

bool DsSignatureReader::put(char ch) {
    if (current_ > 1) return false;
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20) return true;
    const int value = digit_value(c);
    if (value < 0) return ++current_ <= 1;
    if (overflow_) return true;
    BigNum& n = numbers_[current_];
    // Shifting by 4 must keep the number inside 18 digits, and so must adding the digit.
    BigNum digit{};
    OmBigSetSmall(digit, uint16_t(value));
    if (OmBigBitLength(n) > 16 * kBigNumMaxDigits - 4 ||
        (OmBigBitLength(n) && OmBigShiftLeft(n, 4)) || OmBigAdd(n, digit)) {
        overflow_ = true;
        return true;
    }
    OmBigNormalise(n);
    return true;
}

bool DsSignatureReader::finish(EcSignature& sig) {
    sig.s = numbers_[0];
    sig.r = numbers_[1];
    return !overflow_;
}

bool DsParseSignature(std::string_view text, EcSignature& sig) {
    DsSignatureReader reader;
    for (char c : text)
        if (!reader.put(c)) break;
    return reader.finish(sig);
}

DsPublicKeyBytes DsMakePublicKeyBytes(std::span<const uint8_t> pass_phrase) {
    BigNum pub;
    DsMakePublicKey(DsHashPassPhrase(pass_phrase), pub);
    return DsPublicKeyToBytes(pub);
}

std::string DsSignData(std::span<const uint8_t> data, std::span<const uint8_t> pass_phrase) {
    Wiped<DsPassDigest> pass;
    pass.value = DsHashPassPhrase(pass_phrase);
    EcSignature sig;
    DsSign(pass.value, DsHashMessage(data), sig);
    return DsFormatSignature(sig);
}

bool DsVerifyData(std::span<const uint8_t> data, std::string_view signature_text,
                  std::span<const uint8_t> public_key) {
    BigNum pub;
    EcSignature sig;
    if (!DsPublicKeyFromBytes(public_key, pub) || !DsParseSignature(signature_text, sig))
        return false;
    return DsVerify(DsHashMessage(data), sig, pub);
}
