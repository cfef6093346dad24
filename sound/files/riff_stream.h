// RIFF WAVE access over a byte stream: exact reads, chunk walking with the pad byte after
// odd-sized chunks, the bytes left in a stream, and little-endian field packing.
#pragma once

#include "framework/io/byte_stream.h"
#include "platform/wave_format.h"

#include <cstddef>
#include <cstdint>

struct RiffChunkHeader {
    char id[4];
    uint32_t size;
};

// Reads exactly `count` bytes: the stream's failure, or OM_E_ENDOFSTREAM for a short read.
OmResult riff_read(IByteStream* stream, void* buffer, uint32_t count);
// Moves forward by `count` bytes (more than a seek offset holds, too).
OmResult riff_skip(IByteStream* stream, uint64_t count);
// Skips a chunk's body and, for an odd size, its pad byte (absent at the end of the stream).
OmResult riff_skip_chunk(IByteStream* stream, uint32_t size);
// Skips the rest of a chunk of `size` bytes whose first `consumed` bytes were read, and its
// pad byte.
OmResult riff_finish_chunk(IByteStream* stream, uint32_t size, uint32_t consumed);
// Reads "RIFF" <size> "WAVE": OM_E_FAIL when either tag differs.
OmResult riff_read_wave_header(IByteStream* stream);
OmResult riff_read_chunk_header(IByteStream* stream, RiffChunkHeader* out);
bool riff_is(const RiffChunkHeader& header, const char* id);
// Skips chunks until one named `id`, leaving the stream at its body. The stream's failure
// (OM_E_ENDOFSTREAM when it ends first).
OmResult riff_find_chunk(IByteStream* stream, const char* id, uint32_t* size);
// The bytes from the position to the end, when the stream can tell (seekable).
bool riff_bytes_left(IByteStream* stream, uint64_t* out);

uint16_t riff_get16(const uint8_t* p);
uint32_t riff_get32(const uint8_t* p);
void riff_put16(uint8_t* p, uint16_t v);
void riff_put32(uint8_t* p, uint32_t v);
// The 18-byte format record, field by field.
void riff_put_format(uint8_t* p, const WAVEFORMATEX& format);
// The format record from `size` bytes (at least 16); a shorter record than 18 bytes reads
// with extra size 0.
void riff_get_format(const uint8_t* p, uint32_t size, WAVEFORMATEX* out);
// "RIFF" <18 + extra size + data + 20> "WAVE", "fmt " <18 + extra size> with the record and
// its `extra` bytes, then the "data" chunk header. OM_E_FAIL when the sizes overflow 32 bits
// or a write comes up short; the stream's failure.
OmResult riff_write_wave_header(IByteStream* stream, const WAVEFORMATEX& format,
                                const uint8_t* extra, uint64_t data_bytes);
// Writes exactly `count` bytes: the stream's failure, or OM_E_FAIL for a short write.
OmResult riff_write(IByteStream* stream, const void* buffer, uint32_t count);
