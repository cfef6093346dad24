// CryptRandom: the deterministic SHA-1 generator behind key derivation, per-signature secrets
// and CryptPW's message keys. Its output depends only on the seed text and the message.
#pragma once

#include "framework/crypto/big_num.h"
#include "framework/crypto/sha1.h"

#include <cstddef>
#include <cstdint>

// words[0] = n (how many words from words[1] on feed the hash), words[1] = counter,
// words[2..6] = digest of the seed, words[7..16] = digests of the message, words[17] unused.
struct CryptRandom {
    uint32_t words[18];
};

inline constexpr int kCryptSeedWord = 2;
inline constexpr int kCryptMessageWord = 7;

// Zeroes the whole state (before each use and after).
void CryptRandom_Zero(CryptRandom& g);
// Seed words from an already computed SHA-1 of the seed; n = 6; the counter is kept.
void CryptRandom_SeedDigest(CryptRandom& g, const uint32_t digest[5]);
// SHA-1 of the seed bytes, then `CryptRandom_SeedDigest`.
void CryptRandom_Seed(CryptRandom& g, const void* seed, size_t size);
// Message words from already computed digests (5 x count words); n = 6 + 5 x count.
void CryptRandom_SetMessage(CryptRandom& g, const uint32_t digests[10], int count);
// Hashes the message with `CryptMessageHash` and sets the message words.
void CryptRandom_AddMessage(CryptRandom& g, const void* data, size_t size, int count);
// counter += 1; H0 of the SHA-1 of the counter and the n - 1 words after it (little-endian).
uint32_t CryptRandom_Next(CryptRandom& g);
// 15 digits from the low halves of 15 outputs, count 15 even when the top digit is zero.
void CryptRandom_MakeNumber(CryptRandom& g, BigNum& out);

// The message digests fed incrementally, for callers that read a message in chunks: the first
// is SHA-1 of the message, the second (count 2) SHA-1 of the byte 0x01 followed by it.
class CryptMessageHash {
public:
    explicit CryptMessageHash(int count);
    ~CryptMessageHash();
    CryptMessageHash(const CryptMessageHash&) = delete;
    CryptMessageHash& operator=(const CryptMessageHash&) = delete;

    void update(const void* data, size_t size);
    // Writes 5 x count words (the rest of the 10 zero); the object may not be updated after.
    void finish(uint32_t digests[10]);
    int count() const { return count_; }

private:
    Sha1Context contexts_[2];
    int count_;
};
