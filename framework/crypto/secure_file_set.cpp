// The file-set pass phrases and the list checksum.
#include "framework/crypto/secure_file_set.h"

#include "framework/core/com_ref.h"
#include "framework/crypto/hash_stream.h"
#include "framework/io/memory_stream.h"

#include <algorithm>

namespace {

// The signing text with its terminating zero byte.
constexpr char kSigningBytes[] = "corvel data set signer 7Q";
static_assert(std::string_view(kSigningBytes) == kSecureBuiltInSigningText);

constexpr uint32_t kChecksumChunk = 65536; // a multiple of 4 keeps words aligned across chunks

} // namespace

std::span<const uint8_t> SecureListPassPhrase(const SecureFileSet& set) {
    if (!set.list_pass_phrase_length)
        return {reinterpret_cast<const uint8_t*>(kSecureBuiltInListText.data()),
                kSecureBuiltInListLength};
    return {set.list_pass_phrase,
            std::min<size_t>(set.list_pass_phrase_length, kSecurePassPhraseCapacity)};
}

std::span<const uint8_t> SecureSigningPassPhrase(const SecureFileSet& set) {
    if (!set.signing_pass_phrase_length)
        return {reinterpret_cast<const uint8_t*>(kSigningBytes), sizeof kSigningBytes};
    return {set.signing_pass_phrase,
            std::min<size_t>(set.signing_pass_phrase_length, kSecurePassPhraseCapacity)};
}

OmResult OmNewStreamOfBytes(std::span<const uint8_t> bytes, IByteStream** out) {
    *out = nullptr;
    ComRef<IByteStream> stream;
    OmResult r = OmNewMemoryStream(stream.put());
    if (r >= 0) r = stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
    if (r >= 0) r = stream->Seek(0, OM_SEEK_START, nullptr);
    if (r < 0) return r;
    *out = stream.detach();
    return OM_S_OK;
}

uint32_t SecureStorage_ComputeChecksum(IByteStream* stream) {
    // Large reads give the same sum as the word-at-a-time reads the format was defined by.
    static thread_local uint8_t chunk[kChecksumChunk];
    uint32_t sum = 0;
    uint32_t word = 0;
    for (;;) {
        const uint32_t got = OmReadUpTo(stream, chunk, kChecksumChunk);
        const uint32_t whole = got / 4 * 4;
        for (uint32_t i = 0; i < whole; i += 4) {
            word = uint32_t(chunk[i]) | uint32_t(chunk[i + 1]) << 8 | uint32_t(chunk[i + 2]) << 16 |
                   uint32_t(chunk[i + 3]) << 24;
            sum += word;
        }
        if (got < kChecksumChunk) {
            for (uint32_t t = 0; t < got - whole; ++t)
                word = (word & ~(0xFFu << (8 * t))) | uint32_t(chunk[whole + t]) << (8 * t);
            sum += word;
            break;
        }
    }
    stream->Seek(0, OM_SEEK_START, nullptr);
    return sum;
}
