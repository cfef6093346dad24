// CryptPW's key agreement, chunk padding and Square-CTS stream encipherment.
#include "framework/crypto/crypt_pw.h"

#include <algorithm>
#include <cstring>

namespace {

// Pads the last chunk so that its length tells whether padding is there: odd lengths carry
// p bytes of value p, even lengths none.
size_t pad_last_chunk(uint8_t* chunk, size_t length) {
    size_t pad = 0;
    if (length < 16)
        pad = 17 - length;
    else if (length % 2 == 1)
        pad = 2;
    std::memset(chunk + length, int(pad), pad);
    return length + pad;
}

void wipe(void* p, size_t n) {
    std::memset(p, 0, n);
}

} // namespace

DsPublicKeyBytes CryptPwMakeKey(std::span<const uint8_t> pass_phrase) {
    return DsMakePublicKeyBytes(pass_phrase);
}

bool CryptPwEncryptKey(const BigNum& public_key, const DsPassDigest& seed_digest,
                       const std::array<uint32_t, 5>& message_digest, CryptPwHeader& header,
                       CryptPwStreamKey& stream_key) {
    CryptRandom g;
    CryptRandom_Zero(g);
    CryptRandom_SeedDigest(g, seed_digest.data());
    uint32_t digests[10] = {};
    std::copy(message_digest.begin(), message_digest.end(), digests);
    CryptRandom_SetMessage(g, digests, 1);
    BigNum secret, msg;
    CryptRandom_MakeNumber(g, secret);
    const bool ok = OmEcEncodeSecret(public_key, msg, secret) == 1;
    OmBigToBytes(msg, header.data(), header.size());
    OmBigToBytes(secret, stream_key.data(), stream_key.size());
    CryptRandom_Zero(g);
    wipe(&secret, sizeof secret);
    wipe(digests, sizeof digests);
    return ok;
}

bool CryptPwDecryptKey(const DsPassDigest& pass_digest, const CryptPwHeader& header,
                       CryptPwStreamKey& stream_key) {
    BigNum priv, msg, secret;
    DsPrivateKey(pass_digest, priv);
    OmBigFromBytes(msg, header.data(), header.size());
    const bool ok = OmEcDecodeSecret(priv, msg, secret) == 1;
    OmBigToBytes(secret, stream_key.data(), stream_key.size());
    wipe(&priv, sizeof priv);
    wipe(&secret, sizeof secret);
    return ok;
}

CryptPwStream::CryptPwStream(const CryptPwStreamKey& key) {
    OmSquareCtsInit(ctx_, key.data());
}

CryptPwStream::~CryptPwStream() {
    OmSquareCtsDone(ctx_);
    wipe(counter_, sizeof counter_);
}

void CryptPwStream::next_iv() {
    for (uint8_t& b : counter_)
        if (++b != 0) break;
    OmSquareCtsSetIV(ctx_, counter_);
}

size_t CryptPwStream::encrypt_chunk(uint8_t* chunk, size_t length) {
    if (length < kCryptPwChunkSize) length = pad_last_chunk(chunk, length);
    next_iv();
    OmSquareCtsEncrypt(ctx_, chunk, length);
    return length;
}

bool CryptPwStream::decrypt_chunk(uint8_t* chunk, size_t& length) {
    if (length < 16) return false;
    next_iv();
    OmSquareCtsDecrypt(ctx_, chunk, length);
    if (length % 2 == 1) {
        const uint8_t pad = chunk[length - 1];
        if (pad < 1 || pad > 16) return false;
        for (size_t i = length - pad; i < length; ++i)
            if (chunk[i] != pad) return false;
        length -= pad;
    }
    return true;
}

size_t CryptPwNextChunkLength(size_t remaining) {
    return remaining == kCryptPwChunkSize + 1 ? remaining : std::min(remaining, kCryptPwChunkSize);
}

bool CryptPwEncrypt(std::span<const uint8_t> plain, std::span<const uint8_t> public_key,
                    std::span<const uint8_t> seed_text, std::vector<uint8_t>& out) {
    out.clear();
    BigNum pub;
    if (public_key.size() < kDsPublicKeySize || !DsPublicKeyFromBytes(public_key, pub))
        return false;
    CryptMessageHash hash(1);
    hash.update(plain.data(), plain.size());
    uint32_t digests[10];
    hash.finish(digests);
    std::array<uint32_t, 5> message_digest;
    std::copy(digests, digests + 5, message_digest.begin());

    CryptPwHeader header;
    CryptPwStreamKey key;
    if (!CryptPwEncryptKey(pub, DsHashPassPhrase(seed_text), message_digest, header, key))
        return false;
    out.assign(header.begin(), header.end());

    CryptPwStream stream(key);
    wipe(key.data(), key.size());
    uint8_t chunk[kCryptPwChunkCapacity];
    for (size_t pos = 0; pos < plain.size();) {
        const size_t take = std::min(kCryptPwChunkSize, plain.size() - pos);
        std::memcpy(chunk, plain.data() + pos, take);
        const size_t length = stream.encrypt_chunk(chunk, take);
        out.insert(out.end(), chunk, chunk + length);
        pos += take;
    }
    wipe(chunk, sizeof chunk);
    return true;
}

bool CryptPwDecrypt(std::span<const uint8_t> cipher, std::span<const uint8_t> pass_phrase,
                    std::vector<uint8_t>& out) {
    out.clear();
    if (cipher.size() < kCryptPwHeaderSize) return false;
    CryptPwHeader header;
    std::copy(cipher.begin(), cipher.begin() + kCryptPwHeaderSize, header.begin());
    CryptPwStreamKey key;
    if (!CryptPwDecryptKey(DsHashPassPhrase(pass_phrase), header, key)) return false;

    CryptPwStream stream(key);
    wipe(key.data(), key.size());
    uint8_t chunk[kCryptPwChunkCapacity];
    bool ok = true;
    for (size_t pos = kCryptPwHeaderSize; pos < cipher.size();) {
        size_t length = CryptPwNextChunkLength(cipher.size() - pos);
        std::memcpy(chunk, cipher.data() + pos, length);
        pos += length;
        if (!stream.decrypt_chunk(chunk, length)) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + length);
    }
    wipe(chunk, sizeof chunk);
    return ok;
}
