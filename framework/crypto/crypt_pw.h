// CryptPW: public-key encipherment with a key pair from a pass phrase. A message key is agreed
// on the curve (the 32-byte message point leads the ciphertext) and the data follows in
// 4096-byte chunks of Square-CTS, each under its own counter IV.
//
// A stream-based component drives the pieces: `CryptPwEncryptKey` / `CryptPwDecryptKey`
// derive the header and stream key from digests, and `CryptPwStream` enciphers chunk by chunk.
// `CryptPwEncrypt` and `CryptPwDecrypt` do the whole job over byte buffers.
#pragma once

#include "framework/crypto/signature.h"
#include "framework/crypto/square_cts.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

inline constexpr size_t kCryptPwHeaderSize = 32;
inline constexpr size_t kCryptPwChunkSize = 4096;
// Room a chunk buffer needs: a 4095-byte last chunk grows by 2, a short one to 17 bytes.
inline constexpr size_t kCryptPwChunkCapacity = kCryptPwChunkSize + 2;

// The built-in seed text of the message secret (39 printable characters). It only varies the
// secret: deciphering needs the pass phrase alone.
inline constexpr std::string_view kCryptPwDefaultSeed = "corvel CryptPW seed 5f1c8e2a907b43d6a18";
static_assert(kCryptPwDefaultSeed.size() == 39);

using CryptPwHeader = std::array<uint8_t, kCryptPwHeaderSize>;
using CryptPwStreamKey = std::array<uint8_t, 16>;

// The enciphering key of a pass phrase: its 38-byte public key.
DsPublicKeyBytes CryptPwMakeKey(std::span<const uint8_t> pass_phrase);

// Sender: the message secret from the seed digest and the SHA-1 of the whole plaintext, the
// message point (header) and the stream key. False when the public key is no curve point.
bool CryptPwEncryptKey(const BigNum& public_key, const DsPassDigest& seed_digest,
                       const std::array<uint32_t, 5>& message_digest, CryptPwHeader& header,
                       CryptPwStreamKey& stream_key);
// Receiver: the stream key from the pass phrase and the header. False when the header is no
// curve point.
bool CryptPwDecryptKey(const DsPassDigest& pass_digest, const CryptPwHeader& header,
                       CryptPwStreamKey& stream_key);

// The chunked Square-CTS layer with its 16-byte little-endian block counter.
class CryptPwStream {
public:
    explicit CryptPwStream(const CryptPwStreamKey& key);
    ~CryptPwStream();
    CryptPwStream(const CryptPwStream&) = delete;
    CryptPwStream& operator=(const CryptPwStream&) = delete;

    // Enciphers one chunk of 1..4096 bytes in place, padding it first when it is the last one
    // (shorter than 4096 bytes); the buffer holds kCryptPwChunkCapacity bytes. Returns the
    // enciphered length.
    size_t encrypt_chunk(uint8_t* chunk, size_t length);
    // Deciphers one chunk in place and strips the padding of an odd-length chunk; `length`
    // becomes the plaintext length. False for a chunk below 16 bytes or a bad padding.
    bool decrypt_chunk(uint8_t* chunk, size_t& length);

private:
    void next_iv();

    SquareCtsContext ctx_;
    uint8_t counter_[16] = {};
};

// Splits ciphertext after the header into the chunks the encipherment made: 4096 bytes each,
// except that a single byte after a full chunk belongs to it (a padded 4095-byte chunk).
size_t CryptPwNextChunkLength(size_t remaining);

// Whole-buffer forms. Encrypt needs a public key of at least 38 bytes (only 38 are used).
bool CryptPwEncrypt(std::span<const uint8_t> plain, std::span<const uint8_t> public_key,
                    std::span<const uint8_t> seed_text, std::vector<uint8_t>& out);
// On a bad chunk `out` keeps the chunks deciphered before it and the result is false.
bool CryptPwDecrypt(std::span<const uint8_t> cipher, std::span<const uint8_t> pass_phrase,
                    std::vector<uint8_t>& out);
