// The WAV reader. RIFF layout: "RIFF", size, "WAVE", then chunks of id, size and data, each
// padded to an even size. Every size from the file is bounded by its parent and the file.
#include "framework/platform/wav_reader.h"

#include "framework/core/allocated.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

struct OmWavFile : OmAllocated {
    FILE* stream;
    uint32_t file_size;
};

namespace {

constexpr uint32_t fourcc(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
           uint32_t(uint8_t(t[3])) << 24;
}

constexpr uint32_t id_riff = fourcc("RIFF");
constexpr uint32_t id_wave = fourcc("WAVE");
constexpr uint32_t id_fmt = fourcc("fmt ");
constexpr uint32_t id_data = fourcc("data");

constexpr uint32_t pcm_format_size = 16;

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool read_exact(OmWavFile* f, void* buffer, uint32_t count) {
    return std::fread(buffer, 1, count, f->stream) == count;
}

bool seek_to(OmWavFile* f, uint32_t offset) {
    return fseeko(f->stream, off_t(offset), SEEK_SET) == 0;
}

// Finds the chunk `id` among the chunks from `start` to `end`, with its size limited to what
// lies within `end`.
bool find_chunk(OmWavFile* f, uint32_t id, uint32_t start, uint32_t end, OmRiffChunk* out) {
    for (uint64_t at = start; at + 8 <= end;) {
        uint8_t header[8];
        if (!seek_to(f, uint32_t(at)) || !read_exact(f, header, 8)) return false;
        uint64_t size = le32(header + 4);
        uint64_t data = at + 8;
        if (le32(header) == id) {
            *out = {id, uint32_t(std::min<uint64_t>(size, end - data)), 0, uint32_t(data)};
            return true;
        }
        at = data + size + (size & 1);
    }
    return false;
}

uint32_t size_of(FILE* stream) {
    if (fseeko(stream, 0, SEEK_END) != 0) return 0;
    off_t size = ftello(stream);
    return size < 0 ? 0 : uint32_t(std::min<off_t>(size, UINT32_MAX));
}

void close_file(OmWavFile*& f) {
    if (!f) return;
    if (f->stream) std::fclose(f->stream);
    delete f;
    f = nullptr;
}

int32_t open_and_read_format(const char* path, OmWavFile*& f, WAVEFORMATEX*& format,
                             OmRiffChunk* riff) {
    f = new OmWavFile;
    if (!f) return OM_WAV_ERROR_OPEN;
    f->stream = platform::open_file(path ? path : "", "rb");
    if (!f->stream) return OM_WAV_ERROR_OPEN;
    f->file_size = size_of(f->stream);

    uint8_t header[12];
    if (!seek_to(f, 0) || !read_exact(f, header, 12) || le32(header) != id_riff ||
        le32(header + 8) != id_wave)
        return OM_WAV_ERROR_NOT_WAVE;
    uint32_t riff_end = uint32_t(std::min<uint64_t>(8ull + le32(header + 4), f->file_size));
    *riff = {id_riff, riff_end - 8, id_wave, 8};

    OmRiffChunk fmt;
    if (!find_chunk(f, id_fmt, 12, riff_end, &fmt)) return OM_WAV_ERROR_CHUNK_NOT_FOUND;
    if (fmt.size < pcm_format_size) return OM_WAV_ERROR_NOT_WAVE;
    uint8_t pcm[pcm_format_size];
    if (!seek_to(f, fmt.data_offset) || !read_exact(f, pcm, pcm_format_size))
        return OM_WAV_ERROR_SHORT_FORMAT;
    uint16_t tag = le16(pcm);
    uint16_t extra = 0;
    if (tag != WAVE_FORMAT_PCM) {
        uint8_t extra_bytes[2];
        if (fmt.size < pcm_format_size + 2 || !read_exact(f, extra_bytes, 2))
            return OM_WAV_ERROR_SHORT_FORMAT;
        extra = le16(extra_bytes);
    }
    format = static_cast<WAVEFORMATEX*>(OmAllocMemory(sizeof(WAVEFORMATEX) + extra));
    if (!format) return OM_WAV_ERROR_NO_MEMORY;
    format->format_tag = tag;
    format->channels = le16(pcm + 2);
    format->samples_per_second = le32(pcm + 4);
    format->average_bytes_per_second = le32(pcm + 8);
    format->block_align = le16(pcm + 12);
    format->bits_per_sample = le16(pcm + 14);
    format->extra_size = extra;
    // The extra bytes must lie inside the chunk, whatever the extra size claims.
    if (extra && (fmt.size < pcm_format_size + 2u + extra || !read_exact(f, format + 1, extra)))
        return OM_WAV_ERROR_SHORT_FORMAT;
    return 0;
}

} // namespace

int32_t OmWavOpen(const char* path, OmWavFile** file, WAVEFORMATEX** format, OmRiffChunk* riff) {
    if (!file || !format || !riff) return OM_WAV_ERROR_OPEN;
    OmWavFile* f = nullptr;
    WAVEFORMATEX* fmt = nullptr;
    int32_t r = open_and_read_format(path, f, fmt, riff);
    if (r != 0) {
        OmFreeMemory(fmt);
        fmt = nullptr;
        close_file(f);
    }
    *file = f;
    *format = fmt;
    return r;
}

int32_t OmWavSeekData(OmWavFile* file, OmRiffChunk* data, const OmRiffChunk* riff) {
    if (!file || !data || !riff) return -1;
    uint32_t riff_end =
        uint32_t(std::min<uint64_t>(uint64_t(riff->data_offset) + riff->size, file->file_size));
    if (!find_chunk(file, id_data, riff->data_offset + 4, riff_end, data)) return -1;
    return seek_to(file, data->data_offset) ? 0 : -1;
}

int32_t OmWavRead(OmWavFile* file, uint32_t count, uint8_t* buffer, OmRiffChunk* data,
                  uint32_t* read) {
    if (read) *read = 0;
    if (!file || !data || (count && !buffer)) return OM_WAV_ERROR_EXHAUSTED;
    count = std::min(count, data->size);
    data->size -= count;
    if (std::fread(buffer, 1, count, file->stream) != count) return OM_WAV_ERROR_EXHAUSTED;
    if (read) *read = count;
    return 0;
}

int32_t OmWavClose(OmWavFile** file, WAVEFORMATEX** format) {
    if (format) {
        OmFreeMemory(*format);
        *format = nullptr;
    }
    if (file) close_file(*file);
    return 0;
}
