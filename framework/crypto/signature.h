// Digital signatures: key pairs from pass phrases, Nyberg-Rueppel signing and checking with
// SHA-1 on the curve, and the stored forms of public keys (38 bytes) and signatures ("s:r").
//
// The digest-level functions are what a stream-based component drives: it hashes the pass
// phrase (SHA-1, five words) and the data (`CryptMessageHash` with count 2) chunk by chunk and
// hands the words over. The byte-buffer functions below them do the whole job in one call.
#pragma once

#include "framework/crypto/big_num.h"
#include "framework/crypto/crypt_random.h"
#include "framework/crypto/ec_crypt.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr size_t kDsPublicKeySize = 38;
using DsPublicKeyBytes = std::array<uint8_t, kDsPublicKeySize>;
using DsPassDigest = std::array<uint32_t, 5>;
using DsMessageDigests = std::array<uint32_t, 10>;

// SHA-1 of a pass phrase (or of any seed text), as five words.
DsPassDigest DsHashPassPhrase(std::span<const uint8_t> pass_phrase);
// The two message digests of data (count 2).
DsMessageDigests DsHashMessage(std::span<const uint8_t> data);

// The message number: digits from message words 1..8, low half first, 15 digits, normalised.
void DsMessageNumber(const DsMessageDigests& digests, BigNum& m);
// The private key of a pass phrase (the generator's first 15-digit number after seeding).
void DsPrivateKey(const DsPassDigest& pass, BigNum& priv);
void DsMakePublicKey(const DsPassDigest& pass, BigNum& pub);
// Deterministic: the per-signature secret comes from the pass phrase and the data.
void DsSign(const DsPassDigest& pass, const DsMessageDigests& digests, EcSignature& sig);
bool DsVerify(const DsMessageDigests& digests, const EcSignature& sig, const BigNum& pub);

// The 38-byte stored key: u16 count then 18 u16 digits, little-endian, unused digits zero.
DsPublicKeyBytes DsPublicKeyToBytes(const BigNum& pub);
// Takes at most the first 38 bytes (missing bytes count as zero). False for a count word
// above 18; the key is normalised.
bool DsPublicKeyFromBytes(std::span<const uint8_t> bytes, BigNum& pub);

// "s:r": each number in lower-case hexadecimal, four characters per digit from the top (a
// zero number writes nothing).
std::string DsFormatSignature(const EcSignature& sig);

// Reads the signature text character by character as it is stored: blanks and control
// characters are skipped, '0'-'9' and letters are digits (letters 10-35, either case), any
// other character ends a number; s comes first, then r. Numbers that outgrow 18 digits make
// the text invalid rather than overflowing.
class DsSignatureReader {
public:
    DsSignatureReader();
    // Takes one character; false once r has ended (the rest is not part of the signature).
    bool put(char c);
    // The numbers read so far (the end of the text ends r); false when one overflowed.
    bool finish(EcSignature& sig);

private:
    BigNum numbers_[2]; // s, r
    int current_ = 0;
    bool overflow_ = false;
};
bool DsParseSignature(std::string_view text, EcSignature& sig);

// One-call forms over byte buffers.
DsPublicKeyBytes DsMakePublicKeyBytes(std::span<const uint8_t> pass_phrase);
std::string DsSignData(std::span<const uint8_t> data, std::span<const uint8_t> pass_phrase);
bool DsVerifyData(std::span<const uint8_t> data, std::string_view signature_text,
                  std::span<const uint8_t> public_key);
