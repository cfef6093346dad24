// TinyCrypt: TEA in electronic code book mode for single files, keyed from a pass phrase.
//
// The stored format has no length field: enciphering always appends one block holding the
// last 0-7 bytes (zero-filled), so the ciphertext has 8 x (floor(length / 8) + 1) bytes, and
// deciphering returns 8 x (floor(length / 8) + 1) bytes as well: the plaintext followed by
// 8-16 bytes of padding. Files enciphered this way come back padded, so only formats that
// tolerate trailing bytes may be stored with it (not text files).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using TinyCryptBlock = std::array<uint32_t, 2>;
using TinyCryptKey = std::array<uint8_t, 16>;

// The built-in initial block, used until a seed replaces it. Files enciphered under one
// initial block decipher only with the same one.
inline constexpr TinyCryptBlock kTinyCryptDefaultBlock = {0x2F6B9C31u, 0xD4E07A58u};

// The initial block from a seed: the first two little-endian words of its first 16 bytes
// (missing bytes count as zero).
TinyCryptBlock TinyCryptSeedBlock(std::span<const uint8_t> seed);

// The enciphering key: E(initial block) under the first 16 bytes of the pass phrase (missing
// bytes zero), followed by the initial block, words little-endian.
TinyCryptKey TinyCryptMakeKey(std::span<const uint8_t> pass_phrase, const TinyCryptBlock& initial);

// Enciphers or deciphers `blocks` whole 8-byte blocks in place, each alone, under the four
// little-endian key words (the block loops of the stream component run over these).
void TinyCryptEncryptBlocks(uint8_t* data, size_t blocks, const uint32_t key[4]);
void TinyCryptDecryptBlocks(uint8_t* data, size_t blocks, const uint32_t key[4]);

// Enciphers under a key made by `TinyCryptMakeKey` (its first 16 bytes; missing bytes zero).
std::vector<uint8_t> TinyCryptEncrypt(std::span<const uint8_t> plain, std::span<const uint8_t> key);

// Deciphers with the pass phrase and the initial block the key was made with.
std::vector<uint8_t> TinyCryptDecrypt(std::span<const uint8_t> cipher,
                                      std::span<const uint8_t> pass_phrase,
                                      const TinyCryptBlock& initial);
