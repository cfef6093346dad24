// SHA-1 over byte streams: the pass phrase and message digests that the signature and cipher
// components compute from the streams they are handed.
#pragma once

#include "framework/crypto/signature.h"
#include "framework/io/byte_stream.h"

inline constexpr uint32_t kHashStreamChunk = 16384;

// Reads until `count` bytes have come, a read delivers nothing or a read fails (streams that
// hand out less than asked before their end are read on); the number of bytes read.
uint32_t OmReadUpTo(IByteStream* stream, void* buffer, uint32_t count);

// Feeds the stream from its current position to each of `count` SHA-1 contexts in chunks of
// 16384 bytes, until a read delivers fewer (an empty final read ends it too). The stream is
// left where the reading stopped.
void OmHashStream(IByteStream* stream, Sha1Context* contexts, int count);

// SHA-1 of the rest of the stream (a pass phrase or seed text), as five words.
DsPassDigest DsHashPassPhraseStream(IByteStream* stream);

// The message digests of the rest of the stream (`CryptMessageHash` with count 1 or 2).
DsMessageDigests DsHashMessageStream(IByteStream* stream, int count);
