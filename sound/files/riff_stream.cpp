// RIFF WAVE access over a byte stream.
#include "sound/files/riff_stream.h"

#include <cstring>
#include <limits>

OmResult riff_read(IByteStream* stream, void* buffer, uint32_t count) {
    if (!stream) return OM_E_FAIL;
    uint32_t done = 0;
    OmResult r = stream->Read(buffer, count, &done);
    if (r < 0) return r;
    return done == count ? OM_S_OK : OM_E_ENDOFSTREAM;
}

OmResult riff_skip(IByteStream* stream, uint64_t count) {
    constexpr uint64_t largest = uint64_t(std::numeric_limits<int32_t>::max());
    while (count) {
        const uint64_t step = count < largest ? count : largest;
        OmResult r = stream->Seek(int32_t(step), OM_SEEK_CURRENT, nullptr);
        if (r < 0) return r;
        count -= step;
    }
    return OM_S_OK;
}

OmResult riff_skip_chunk(IByteStream* stream, uint32_t size) {
    return riff_finish_chunk(stream, size, 0);
}

OmResult riff_finish_chunk(IByteStream* stream, uint32_t size, uint32_t consumed) {
    OmResult r = riff_skip(stream, size - consumed);
    if (r < 0 || !(size & 1)) return r;
    // The pad byte of an odd-sized chunk; a file may end without it.
    uint64_t left = 0;
    if (riff_bytes_left(stream, &left) && left == 0) return OM_S_OK;
    return riff_skip(stream, 1);
}

OmResult riff_read_wave_header(IByteStream* stream) {
    uint8_t header[12];
    OmResult r = riff_read(stream, header, sizeof header);
    if (r < 0) return r;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return OM_E_FAIL;
    return OM_S_OK;
}

OmResult riff_read_chunk_header(IByteStream* stream, RiffChunkHeader* out) {
    uint8_t bytes[8];
    OmResult r = riff_read(stream, bytes, sizeof bytes);
    if (r < 0) return r;
    std::memcpy(out->id, bytes, 4);
    out->size = riff_get32(bytes + 4);
    return OM_S_OK;
}

bool riff_is(const RiffChunkHeader& header, const char* id) {
    return std::memcmp(header.id, id, 4) == 0;
}

OmResult riff_find_chunk(IByteStream* stream, const char* id, uint32_t* size) {
    for (;;) {
        RiffChunkHeader header;
        OmResult r = riff_read_chunk_header(stream, &header);
        if (r < 0) return r;
        if (riff_is(header, id)) {
            *size = header.size;
            return OM_S_OK;
        }
        r = riff_skip_chunk(stream, header.size);
        if (r < 0) return r;
    }
}

bool riff_bytes_left(IByteStream* stream, uint64_t* out) {
    uint32_t here = 0, end = 0;
    if (stream->Seek(0, OM_SEEK_CURRENT, &here) < 0) return false;
    if (stream->Seek(0, OM_SEEK_END, &end) < 0) return false;
    if (stream->Seek(int32_t(here), OM_SEEK_START, nullptr) < 0) return false;
    *out = end > here ? end - here : 0;
    return true;
}

uint16_t riff_get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t riff_get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void riff_put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void riff_put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

OmResult riff_write(IByteStream* stream, const void* buffer, uint32_t count) {
    uint32_t done = 0;
    OmResult r = stream->Write(buffer, count, &done);
    if (r < 0) return r;
    return done == count ? OM_S_OK : OM_E_FAIL;
}
