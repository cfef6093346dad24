// The Square block cipher (Daemen, Knudsen, Rijmen): 128-bit blocks and keys, 8 rounds.
#pragma once

#include <cstdint>

inline constexpr int kSquareRounds = 8;

// Nine round keys of four words; words are the little-endian words of the 16 key bytes.
using SquareKeySchedule = uint32_t[kSquareRounds + 1][4];

// Key evolution and its theta transform for encryption; the decryption keys run in reverse.
void OmSquareGenerateRoundKeys(const uint8_t key[16], SquareKeySchedule encryption_keys,
                               SquareKeySchedule decryption_keys);

// Encrypts or decrypts 16 bytes in place.
void OmSquareEncrypt(uint8_t block[16], const SquareKeySchedule encryption_keys);
void OmSquareDecrypt(uint8_t block[16], const SquareKeySchedule decryption_keys);
