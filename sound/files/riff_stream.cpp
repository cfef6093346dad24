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

void riff_put_format(uint8_t* p, const WAVEFORMATEX& format) {
    riff_put16(p, format.format_tag);
    riff_put16(p + 2, format.channels);
    riff_put32(p + 4, format.samples_per_second);
    riff_put32(p + 8, format.average_bytes_per_second);
    riff_put16(p + 12, format.block_align);
    riff_put16(p + 14, format.bits_per_sample);
    riff_put16(p + 16, format.extra_size);
}

void riff_get_format(const uint8_t* p, uint32_t size, WAVEFORMATEX* out) {
    out->format_tag = riff_get16(p);
    out->channels = riff_get16(p + 2);
    out->samples_per_second = riff_get32(p + 4);
    out->average_bytes_per_second = riff_get32(p + 8);
    out->block_align = riff_get16(p + 12);
    out->bits_per_sample = riff_get16(p + 14);
    out->extra_size = size >= sizeof(WAVEFORMATEX) ? riff_get16(p + 16) : 0;
}

OmResult riff_write_wave_header(IByteStream* stream, const WAVEFORMATEX& format,
                                const uint8_t* extra, uint64_t data_bytes) {
    constexpr uint32_t record = sizeof(WAVEFORMATEX);
    constexpr uint32_t largest_extra = 22; // the largest record written here is 40 bytes
    if (format.extra_size > largest_extra) return OM_E_FAIL;
    const uint64_t riff_size = record + format.extra_size + data_bytes + 20;
    if (riff_size > UINT32_MAX) return OM_E_FAIL;
    uint8_t header[12 + 8 + record + largest_extra + 8];
    std::memcpy(header, "RIFF", 4);
    riff_put32(header + 4, uint32_t(riff_size));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    riff_put32(header + 16, record + format.extra_size);
    riff_put_format(header + 20, format);
    uint8_t* p = header + 20 + record;
    if (format.extra_size) std::memcpy(p, extra, format.extra_size);
    p += format.extra_size;
    std::memcpy(p, "data", 4);
    riff_put32(p + 4, uint32_t(data_bytes));
    return riff_write(stream, header, uint32_t(p + 8 - header));
}
