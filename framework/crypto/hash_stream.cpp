// Chunked SHA-1 over byte streams.
#include "framework/crypto/hash_stream.h"

#include "framework/crypto/wiped.h"

uint32_t OmReadUpTo(IByteStream* stream, void* buffer, uint32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    while (total < count) {
        uint32_t got = 0;
        const OmResult r = stream->Read(bytes + total, count - total, &got);
        // A stream that claims more than it was asked for is not believed past the buffer.
        if (got > count - total) got = count - total;
        total += got;
        if (r < 0 || got == 0) break;
    }
    return total;
}

namespace {

// Hands the rest of the stream to `consume` chunk by chunk.
template <typename Consume>
void for_each_chunk(IByteStream* stream, Consume consume) {
    Wiped<uint8_t[kHashStreamChunk]> chunk;
    for (;;) {
        const uint32_t got = OmReadUpTo(stream, chunk.value, kHashStreamChunk);
        if (got) consume(chunk.value, got);
        if (got < kHashStreamChunk) return;
    }
}

} // namespace

void OmHashStream(IByteStream* stream, Sha1Context* contexts, int count) {
    for_each_chunk(stream, [&](const uint8_t* data, uint32_t size) {
        for (int i = 0; i < count; ++i) OmSha1Update(contexts[i], data, size);
    });
}

DsPassDigest DsHashPassPhraseStream(IByteStream* stream) {
    Sha1Context ctx;
    OmSha1Init(ctx);
    OmHashStream(stream, &ctx, 1);
    DsPassDigest digest;
    OmSha1Final(ctx, digest.data());
    return digest;
}

DsMessageDigests DsHashMessageStream(IByteStream* stream, int count) {
    CryptMessageHash hash(count);
    for_each_chunk(stream, [&](const uint8_t* data, uint32_t size) { hash.update(data, size); });
    DsMessageDigests digests;
    hash.finish(digests.data());
    return digests;
}
