// TEA as published: 64 Feistel steps with the golden-ratio delta.
#include "framework/crypto/tea.h"

namespace {
constexpr uint32_t kTeaDelta = 0x9E3779B9u;
constexpr uint32_t kTeaDecryptSum = 0xC6EF3720u; // kTeaDelta * 32
} // namespace

void teaEncryptBlock(uint32_t block[2], const uint32_t key[4]) {
    uint32_t v0 = block[0], v1 = block[1], sum = 0;
    for (int round = 0; round < 32; ++round) {
        sum += kTeaDelta;
        v0 += ((v1 << 4) + key[0]) ^ (v1 + sum) ^ ((v1 >> 5) + key[1]);
        v1 += ((v0 << 4) + key[2]) ^ (v0 + sum) ^ ((v0 >> 5) + key[3]);
    }
    block[0] = v0;
    block[1] = v1;
}

void teaDecryptBlock(uint32_t block[2], const uint32_t key[4]) {
    uint32_t v0 = block[0], v1 = block[1], sum = kTeaDecryptSum;
    for (int round = 0; round < 32; ++round) {
        v1 -= ((v0 << 4) + key[2]) ^ (v0 + sum) ^ ((v0 >> 5) + key[3]);
        v0 -= ((v1 << 4) + key[0]) ^ (v1 + sum) ^ ((v1 >> 5) + key[1]);
        sum -= kTeaDelta;
    }
    block[0] = v0;
    block[1] = v1;
}
