// OmByteBuffer: the growable block of bytes that streams, lexers and image code embed.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// Owned by the record that embeds it; memory comes from the program-wide allocator.
struct OmByteBuffer {
    uint8_t* data; // null when empty
    uint32_t size;
};

// Makes the buffer empty without freeing anything (for a fresh record).
void OmByteBufferInit(OmByteBuffer* buffer);
// Replaces the block by a new one of `n` bytes, dropping the old contents (0 bytes empties it).
// OM_E_OUTOFMEMORY with the buffer unchanged.
OmResult OmByteBufferAlloc(OmByteBuffer* buffer, uint32_t n);
// A block of `n` bytes that starts with the first min(old size, n) bytes of the old one.
// OM_E_OUTOFMEMORY with the buffer unchanged.
OmResult OmByteBufferResize(OmByteBuffer* buffer, uint32_t n);
// Frees the block; the buffer is empty afterwards.
void OmByteBufferFree(OmByteBuffer* buffer);
