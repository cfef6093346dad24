// Stream functions over IByteStream: a stream over a string, read-all, copy, hex coding.
#pragma once

#include "framework/io/byte_stream.h"

// A memory stream holding the characters of `text` (no NUL), positioned at its start; one
// reference. The failure of creating or writing it, with nothing handed out.
OmResult OmCreateTextStream(const char* text, IByteStream** out);
// The whole stream as a NUL-terminated block from the allocator (the caller frees it with
// OmFreeMemory); the stream's position is kept. OM_E_OUTOFMEMORY, or the failing seek or read.
OmResult OmStreamReadAll(IByteStream* stream, char** out);
// Copies in chunks of up to 1024 bytes until a read yields nothing (0) or a write fails (its
// result).
OmResult OmCopyStream(IByteStream* destination, IByteStream* source);
// Each source byte becomes two upper-case hexadecimal characters, until a read fails or
// yields nothing (0); a failed write ends with its result.
OmResult OmHexEncodeStream(IByteStream* destination, IByteStream* source);
// Each pair of characters becomes one byte, until a read yields fewer than two (0); a failed
// write ends with its result.
OmResult OmHexDecodeStream(IByteStream* destination, IByteStream* source);
