// The TEA block cipher (Wheeler and Needham): 64-bit blocks, 128-bit keys, 32 rounds.
#pragma once

#include <cstdint>

// Block halves and key words are the little-endian words of the stored bytes.
void teaEncryptBlock(uint32_t block[2], const uint32_t key[4]);
void teaDecryptBlock(uint32_t block[2], const uint32_t key[4]);
