// String chunks (type 2, and type 0x13 of 16-bit characters) that name textures.
#pragma once

#include "engine/core/lg_stream.h"

// Payload size of a string chunk: length + 1 rounded up to a multiple of 4 (null = empty).
uint32_t LgStringStreamSize(const char* string);
// Writes the chunk header (type 2, version 0x304) and the zero-padded payload.
const char* LgStringStreamWrite(const char* string, LgStream* stream);
// Reads the next string chunk (skipping chunks of other types) into buffer, which holds
// bufferSize bytes: a longer string is cut to bufferSize - 1 characters and the rest of its
// payload skipped. The result is always terminated. Null on a short read, a bad version
// ({0, 0x80000004}) or a zero-sized buffer.
char* LgStringStreamRead(char* buffer, uint32_t bufferSize, LgStream* stream);
