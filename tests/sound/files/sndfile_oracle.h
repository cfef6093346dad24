// libsndfile over memory, the independent IMA ADPCM codec the ADPCM tests check ours against.
#pragma once

#include <sndfile.h>

#include <cstring>
#include <string>
#include <vector>

namespace soundtest {

// A file in memory for libsndfile's virtual I/O.
class MemoryFile {
public:
    explicit MemoryFile(std::string bytes = {}) : bytes_(std::move(bytes)) {}
    const std::string& bytes() const { return bytes_; }

    static SF_VIRTUAL_IO* io() {
        static SF_VIRTUAL_IO table = {
            [](void* self) -> sf_count_t { return sf_count_t(cast(self)->bytes_.size()); },
            [](sf_count_t offset, int whence, void* self) -> sf_count_t {
                MemoryFile* f = cast(self);
                sf_count_t base = whence == SEEK_SET   ? 0
                                  : whence == SEEK_CUR ? f->at_
                                                       : sf_count_t(f->bytes_.size());
                f->at_ = base + offset;
                return f->at_;
            },
            [](void* out, sf_count_t count, void* self) -> sf_count_t {
                MemoryFile* f = cast(self);
                const sf_count_t left = sf_count_t(f->bytes_.size()) - f->at_;
                const sf_count_t n = left < count ? (left > 0 ? left : 0) : count;
                std::memcpy(out, f->bytes_.data() + f->at_, size_t(n));
                f->at_ += n;
                return n;
            },
            [](const void* in, sf_count_t count, void* self) -> sf_count_t {
                MemoryFile* f = cast(self);
                if (f->bytes_.size() < size_t(f->at_ + count))
                    f->bytes_.resize(size_t(f->at_ + count));
                std::memcpy(f->bytes_.data() + f->at_, in, size_t(count));
                f->at_ += count;
                return count;
            },
            [](void* self) -> sf_count_t { return cast(self)->at_; }};
        return &table;
    }

private:
    static MemoryFile* cast(void* self) { return static_cast<MemoryFile*>(self); }
    std::string bytes_;
    sf_count_t at_ = 0;
};

struct SndfileDecoded {
    int channels = 0;
    int rate = 0;
    std::vector<int32_t> samples; // interleaved
    bool ok = false;
};

// libsndfile's decoding of a WAV file.
inline SndfileDecoded sndfile_decode(const std::string& bytes) {
    SndfileDecoded out;
    MemoryFile file(bytes);
    SF_INFO info{};
    SNDFILE* f = sf_open_virtual(MemoryFile::io(), SFM_READ, &info, &file);
    if (!f) return out;
    std::vector<int16_t> samples(size_t(info.frames) * size_t(info.channels));
    const sf_count_t got = sf_readf_short(f, samples.data(), info.frames);
    sf_close(f);
    out.channels = info.channels;
    out.rate = info.samplerate;
    out.samples.assign(samples.begin(), samples.begin() + got * info.channels);
    out.ok = got == info.frames;
    return out;
}

// libsndfile's IMA ADPCM WAV file of the interleaved samples.
inline std::string sndfile_encode_ima(const std::vector<int16_t>& samples, int channels, int rate) {
    MemoryFile file;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM;
    SNDFILE* f = sf_open_virtual(MemoryFile::io(), SFM_WRITE, &info, &file);
    if (!f) return {};
    sf_writef_short(f, samples.data(), sf_count_t(samples.size() / size_t(channels)));
    sf_close(f);
    return file.bytes();
}

} // namespace soundtest
