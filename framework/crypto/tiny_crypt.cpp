// TinyCrypt's key making and block loops over byte buffers.
#include "framework/crypto/tiny_crypt.h"

#include "framework/crypto/tea.h"

#include <algorithm>
#include <cstring>

namespace {

// Up to `count` little-endian words from the front of bytes; missing bytes are zero.
template <size_t N>
std::array<uint32_t, N> load_words(std::span<const uint8_t> bytes) {
    uint8_t raw[4 * N] = {};
    if (!bytes.empty()) std::memcpy(raw, bytes.data(), std::min(bytes.size(), sizeof raw));
    std::array<uint32_t, N> words{};
    for (size_t i = 0; i < 4 * N; ++i) words[i / 4] |= uint32_t(raw[i]) << (8 * (i % 4));
    return words;
}

void store_words(const uint32_t* words, size_t count, uint8_t* out) {
    for (size_t i = 0; i < 4 * count; ++i) out[i] = uint8_t(words[i / 4] >> (8 * (i % 4)));
}

template <typename Cipher>
void run_in_place(uint8_t* data, size_t blocks, const uint32_t key[4], Cipher cipher) {
    for (size_t b = 0; b < blocks; ++b) {
        auto words = load_words<2>(std::span<const uint8_t>(data + 8 * b, 8));
        cipher(words.data(), key);
        store_words(words.data(), 2, data + 8 * b);
    }
}

// Runs every 8-byte block through `cipher`, plus one final block made of the remaining 0-7
// bytes and zeros.
template <typename Cipher>
std::vector<uint8_t> run_blocks(std::span<const uint8_t> in, const uint32_t key[4], Cipher cipher) {
    const size_t blocks = in.size() / 8 + 1;
    std::vector<uint8_t> out(8 * blocks, 0);
    if (!in.empty()) std::memcpy(out.data(), in.data(), in.size());
    run_in_place(out.data(), blocks, key, cipher);
    return out;
}

} // namespace

void TinyCryptEncryptBlocks(uint8_t* data, size_t blocks, const uint32_t key[4]) {
    run_in_place(data, blocks, key, teaEncryptBlock);
}

void TinyCryptDecryptBlocks(uint8_t* data, size_t blocks, const uint32_t key[4]) {
    run_in_place(data, blocks, key, teaDecryptBlock);
}

TinyCryptBlock TinyCryptSeedBlock(std::span<const uint8_t> seed) {
    const auto words = load_words<4>(seed);
    return {words[0], words[1]};
}

TinyCryptKey TinyCryptMakeKey(std::span<const uint8_t> pass_phrase, const TinyCryptBlock& initial) {
    auto pass_key = load_words<4>(pass_phrase);
    uint32_t block[2] = {initial[0], initial[1]};
    teaEncryptBlock(block, pass_key.data());
    TinyCryptKey key;
    store_words(block, 2, key.data());
    store_words(initial.data(), 2, key.data() + 8);
    pass_key.fill(0);
    return key;
}

std::vector<uint8_t> TinyCryptEncrypt(std::span<const uint8_t> plain,
                                      std::span<const uint8_t> key) {
    auto words = load_words<4>(key);
    auto out = run_blocks(plain, words.data(), teaEncryptBlock);
    words.fill(0);
    return out;
}

std::vector<uint8_t> TinyCryptDecrypt(std::span<const uint8_t> cipher,
                                      std::span<const uint8_t> pass_phrase,
                                      const TinyCryptBlock& initial) {
    TinyCryptKey key = TinyCryptMakeKey(pass_phrase, initial);
    auto words = load_words<4>(key);
    auto out = run_blocks(cipher, words.data(), teaDecryptBlock);
    words.fill(0);
    key.fill(0);
    return out;
}
