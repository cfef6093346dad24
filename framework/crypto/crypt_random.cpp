// The counter-mode SHA-1 generator and its message digests.
#include "framework/crypto/crypt_random.h"

#include <cstring>

void CryptRandom_Zero(CryptRandom& g) {
    std::memset(g.words, 0, sizeof g.words);
}

void CryptRandom_SeedDigest(CryptRandom& g, const uint32_t digest[5]) {
    std::memcpy(g.words + kCryptSeedWord, digest, 5 * sizeof(uint32_t));
    g.words[0] = 6;
}

void CryptRandom_Seed(CryptRandom& g, const void* seed, size_t size) {
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, seed, size);
    uint32_t digest[5];
    OmSha1Final(ctx, digest);
    CryptRandom_SeedDigest(g, digest);
    std::memset(digest, 0, sizeof digest);
}

void CryptRandom_SetMessage(CryptRandom& g, const uint32_t digests[10], int count) {
    count = count == 1 ? 1 : 2;
    std::memcpy(g.words + kCryptMessageWord, digests, size_t(5 * count) * sizeof(uint32_t));
    g.words[0] = uint32_t(6 + 5 * count);
}

void CryptRandom_AddMessage(CryptRandom& g, const void* data, size_t size, int count) {
    CryptMessageHash hash(count);
    hash.update(data, size);
    uint32_t digests[10];
    hash.finish(digests);
    CryptRandom_SetMessage(g, digests, hash.count());
}

uint32_t CryptRandom_Next(CryptRandom& g) {
    g.words[1] += 1;
    const uint32_t n = g.words[0] > 16 ? 16 : g.words[0];
    uint8_t bytes[16 * 4];
    for (uint32_t i = 0; i < n; ++i)
        for (int b = 0; b < 4; ++b) bytes[4 * i + uint32_t(b)] = uint8_t(g.words[1 + i] >> (8 * b));
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmSha1Update(ctx, bytes, 4 * n);
    uint32_t digest[5];
    OmSha1Final(ctx, digest);
    std::memset(bytes, 0, sizeof bytes);
    return digest[0];
}

void CryptRandom_MakeNumber(CryptRandom& g, BigNum& out) {
    OmBigClear(out);
    out.words[0] = 15;
    for (int i = 1; i <= 15; ++i) out.words[i] = uint16_t(CryptRandom_Next(g));
}

CryptMessageHash::CryptMessageHash(int count) : count_(count == 1 ? 1 : 2) {
    for (auto& ctx : contexts_) OmSha1Init(ctx);
    const uint8_t marker = 0x01;
    if (count_ == 2) OmSha1Update(contexts_[1], &marker, 1);
}

CryptMessageHash::~CryptMessageHash() {
    std::memset(contexts_, 0, sizeof contexts_);
}

void CryptMessageHash::update(const void* data, size_t size) {
    for (int i = 0; i < count_; ++i) OmSha1Update(contexts_[i], data, size);
}

void CryptMessageHash::finish(uint32_t digests[10]) {
    std::memset(digests, 0, 10 * sizeof(uint32_t));
    for (int i = 0; i < count_; ++i) OmSha1Final(contexts_[i], digests + 5 * i);
}
