// Win32Adpcm: decompresses IMA ADPCM WAV files into 16-bit sounds (through OmWaveConvert
// while option 2 is set) and compresses sounds into them.
#include "sound/files/win32_adpcm.h"

#include "framework/core/com_ref.h"
#include "framework/core/memory.h"
#include "framework/platform/sound_support.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/files/ima_adpcm.h"
#include "sound/files/riff_stream.h"
#include "sound/files/sound_file_rw.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr uint32_t ima_format_bytes = 20; // the record with the samples-per-block word
constexpr uint32_t max_channels = 255;
constexpr int32_t lock_for_writing = 1;
constexpr int32_t lock_for_reading = 2;

// A block from the allocator, freed when this goes.
class Buffer {
public:
    explicit Buffer(size_t bytes)
        : data_(static_cast<uint8_t*>(OmAllocMemory(bytes ? bytes : 1))) {}
    ~Buffer() { OmFreeMemory(data_); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    uint8_t* get() const { return data_; }

private:
    uint8_t* data_;
};

// Holds a sound's sample memory for its lifetime.
class SoundLock {
public:
    SoundLock(ISound* sound, int32_t mode) : sound_(sound) {
        result_ = sound->Lock(mode, &memory_);
    }
    ~SoundLock() {
        if (result_ >= 0) sound_->Unlock();
    }
    SoundLock(const SoundLock&) = delete;
    SoundLock& operator=(const SoundLock&) = delete;
    OmResult result() const { return result_; }
    void* memory() const { return memory_; }

private:
    ISound* sound_;
    void* memory_ = nullptr;
    OmResult result_;
};

struct FileLayout {
    WAVEFORMATEX format{};
    uint16_t samples_per_block = 0; // IMA: the first extra word, when present
    uint32_t data_bytes = 0;
};

// "RIFF" "WAVE", the "fmt " record (short records read with no extra bytes) and the "data"
// chunk, left at its first byte; other chunks ("fact", "LIST") are skipped. OM_E_FAIL for anything
// missing.
OmResult read_layout(IByteStream* stream, FileLayout& layout) {
    OmResult r = riff_read_wave_header(stream);
    if (r < 0) return r;
    uint32_t size = 0;
    if (riff_find_chunk(stream, "fmt ", &size) < 0) return OM_E_FAIL;
    uint8_t record[ima_format_bytes] = {};
    const uint32_t taken = std::min(size, ima_format_bytes);
    if (riff_read(stream, record, taken) < 0) return OM_E_FAIL;
    if (riff_finish_chunk(stream, size, taken) < 0) return OM_E_FAIL;
    riff_get_format(record, taken, &layout.format);
    if (layout.format.extra_size >= 2 && taken >= ima_format_bytes)
        layout.samples_per_block = riff_get16(record + sizeof(WAVEFORMATEX));
    for (;;) {
        RiffChunkHeader header;
        if (riff_read_chunk_header(stream, &header) < 0) return OM_E_FAIL;
        if (riff_is(header, "data")) {
            layout.data_bytes = header.size;
            return OM_S_OK;
        }
        if (riff_skip_chunk(stream, header.size) < 0) return OM_E_FAIL;
    }
}

// The sound the maker makes for the description; OM_E_FAIL when it would not hold it as
// told.
OmResult make_sound(ISoundCreate* maker, uint32_t rate, uint32_t code, uint32_t length,
                    ComRef<ISound>& out) {
    maker->SetProperty(MAKER_RATE, intptr_t(rate));
    maker->SetProperty(MAKER_FORMAT, intptr_t(code));
    maker->SetProperty(MAKER_LENGTH, intptr_t(length));
    OmResult r = maker->CreateSound(out.put());
    if (r < 0) return r;
    if (out->GetLength() != length || out->GetFormat() != code) return OM_E_FAIL;
    return OM_S_OK;
}

uint32_t pcm_code(uint16_t channels, uint16_t bits) {
    if (bits == 8) return channels | SOUND_FORMAT_PCM_BIT | (8u << 16);
    return channels | SOUND_FORMAT_PCM_BIT | (16u << 16) | SOUND_FORMAT_SIGNED_BIT;
}

OmResult read_pcm(IByteStream* stream, const FileLayout& layout, ISoundCreate* maker,
                  ComRef<ISound>& out) {
    const WAVEFORMATEX& f = layout.format;
    if ((f.bits_per_sample != 8 && f.bits_per_sample != 16) || f.block_align == 0 ||
        uint32_t(f.block_align) * 8 != uint32_t(f.channels) * f.bits_per_sample)
        return OM_E_FAIL;
    const uint32_t length = layout.data_bytes / f.block_align;
    OmResult r = make_sound(maker, f.samples_per_second, pcm_code(f.channels, f.bits_per_sample),
                            length, out);
    if (r < 0) return r;
    SoundLock lock(out.get(), lock_for_writing);
    if (lock.result() < 0) return lock.result();
    const uint32_t bytes = length * f.block_align;
    if (bytes && riff_read(stream, lock.memory(), bytes) < 0) return OM_E_FAIL;
    return OM_S_OK;
}

OmResult read_ima(IByteStream* stream, const FileLayout& layout, ISoundCreate* maker,
                  ComRef<ISound>& out) {
    const WAVEFORMATEX& f = layout.format;
    const uint32_t channels = f.channels;
    const uint32_t largest = ima_samples_per_block(f.block_align, channels);
    const uint32_t per_block = layout.samples_per_block ? layout.samples_per_block : largest;
    // A count other than the one the block holds is refused: fewer would drop the last codes
    // of every block, more would read past it.
    if (f.bits_per_sample != 4 || largest == 0 || per_block != largest) return OM_E_FAIL;

    Buffer data(layout.data_bytes);
    if (!data.get()) return OM_E_OUTOFMEMORY;
    if (riff_read(stream, data.get(), layout.data_bytes) < 0) return OM_E_FAIL;

    // Every whole block holds per_block frames; a short last block what its bytes hold (one
    // shorter than its headers nothing).
    const uint32_t whole_blocks = layout.data_bytes / f.block_align;
    const uint32_t tail_bytes = layout.data_bytes % f.block_align;
    uint64_t capacity = uint64_t(whole_blocks) * per_block;
    const uint32_t block_count = whole_blocks + (tail_bytes >= IMA_HEADER_BYTES * channels);
    Buffer block_memory(size_t(per_block) * channels * sizeof(int16_t));
    if (!block_memory.get()) return OM_E_OUTOFMEMORY;
    auto* block = reinterpret_cast<int16_t*>(block_memory.get());
    if (block_count > whole_blocks) {
        uint32_t frames = 0;
        if (!ima_decode_block(data.get() + size_t(whole_blocks) * f.block_align, tail_bytes,
                              channels, per_block, block, &frames))
            return OM_E_FAIL;
        capacity += frames;
    }
    // A "fact" count is not trusted: writers disagree on whether it counts frames or
    // samples, so the length is what the data holds.
    const uint64_t length = capacity;
    if (length > UINT32_MAX) return OM_E_FAIL;

    OmResult r =
        make_sound(maker, f.samples_per_second, pcm_code(f.channels, 16), uint32_t(length), out);
    if (r < 0) return r;
    SoundLock lock(out.get(), lock_for_writing);
    if (lock.result() < 0) return lock.result();
    auto* samples = static_cast<int16_t*>(lock.memory());
    uint64_t written = 0;
    for (uint32_t b = 0; b < block_count && written < length; ++b) {
        const size_t offset = size_t(b) * f.block_align;
        const uint32_t size = std::min<uint32_t>(f.block_align, layout.data_bytes - offset);
        uint32_t frames = 0;
        if (!ima_decode_block(data.get() + offset, size, channels, per_block, block, &frames))
            return OM_E_FAIL;
        const uint64_t take = std::min<uint64_t>(frames, length - written);
        std::memcpy(samples + written * channels, block, size_t(take) * channels * 2);
        written += take;
    }
    std::fill(samples + written * channels, samples + length * channels, int16_t(0));
    return OM_S_OK;
}

// The sound's samples as 16-bit signed values (8-bit unsigned samples widened).
void samples16(const void* memory, uint32_t code, size_t count, int16_t* out) {
    if (sound_format_bits(code) == 16) {
        std::memcpy(out, memory, count * 2);
    } else {
        const auto* bytes = static_cast<const uint8_t*>(memory);
        for (size_t i = 0; i < count; ++i) out[i] = int16_t((int32_t(bytes[i]) - 128) * 256);
    }
}

class Win32Adpcm final : public SoundFileRW<Win32Adpcm> {
public:
    Win32Adpcm() { extensions_ = "adpcm"; }

    OmResult read_plain(IByteStream* stream, ISoundCreate* maker, ComRef<ISound>& sound) {
        FileLayout layout;
        OmResult r = read_layout(stream, layout);
        if (r < 0) return r;
        const WAVEFORMATEX& f = layout.format;
        if (layout.data_bytes == 0 || f.channels == 0 || f.channels > max_channels)
            return OM_E_FAIL;
        // A header must not ask for more memory than the file can fill.
        uint64_t left = 0;
        if (riff_bytes_left(stream, &left) && layout.data_bytes > left) return OM_E_FAIL;
        if (f.format_tag == WAVE_FORMAT_IMA_ADPCM) return read_ima(stream, layout, maker, sound);
        if (f.format_tag == WAVE_FORMAT_PCM) return read_pcm(stream, layout, maker, sound);
        return OM_E_FAIL;
    }

    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        ComRef<ISound> sound;
        if (!stream || !object || object->QueryInterface(IID_ISound, sound.put_void()) < 0)
            return OM_E_FAIL;
        const uint32_t code = sound->GetFormat();
        const uint32_t channels = sound_format_channels(code);
        const uint32_t bits = sound_format_bits(code);
        if ((bits != 8 && bits != 16) || channels == 0) return OM_E_FAIL;
        intptr_t rate = 0;
        sound->GetParamInt(SOUND_INT_FREQUENCY, &rate);
        const uint32_t length = sound->GetLength();
        const uint32_t tag = options_[ADPCM_OPTION_WRITE_TAG] ? options_[ADPCM_OPTION_WRITE_TAG]
                                                              : WAVE_FORMAT_IMA_ADPCM;
        WAVEFORMATEX format;
        OmWaveFormatFromCode(code, uint32_t(rate), &format);
        uint8_t extra[2] = {};
        std::optional<Buffer> encoded_memory;
        const uint8_t* data = nullptr;
        uint64_t data_bytes = 0;

        SoundLock lock(sound.get(), lock_for_reading);
        if (lock.result() < 0) return lock.result();
        if (tag == WAVE_FORMAT_PCM) {
            data = static_cast<const uint8_t*>(lock.memory());
            data_bytes = uint64_t(length) * format.block_align;
        } else if (tag == WAVE_FORMAT_IMA_ADPCM) {
            const uint32_t block_align = ADPCM_WRITE_BLOCK_ALIGN * channels;
            if (block_align > UINT16_MAX) return OM_E_FAIL;
            const uint32_t per_block = ADPCM_WRITE_SAMPLES_PER_BLOCK;
            format.format_tag = WAVE_FORMAT_IMA_ADPCM;
            format.average_bytes_per_second = uint32_t(uint64_t(rate) * block_align / per_block);
            format.block_align = uint16_t(block_align);
            format.bits_per_sample = 4;
            format.extra_size = sizeof extra;
            riff_put16(extra, uint16_t(per_block));
            Buffer pcm_memory(size_t(length) * channels * sizeof(int16_t));
            if (!pcm_memory.get()) return OM_E_OUTOFMEMORY;
            auto* pcm = reinterpret_cast<int16_t*>(pcm_memory.get());
            samples16(lock.memory(), code, size_t(length) * channels, pcm);
            const uint32_t blocks = (length + per_block - 1) / per_block;
            data_bytes = uint64_t(length / per_block) * block_align;
            if (length % per_block) data_bytes += ima_block_bytes(length % per_block, channels);
            if (data_bytes > UINT32_MAX) return OM_E_FAIL;
            encoded_memory.emplace(size_t(data_bytes));
            if (!encoded_memory->get()) return OM_E_OUTOFMEMORY;
            ImaEncoderState state;
            uint8_t* at = encoded_memory->get();
            for (uint32_t b = 0; b < blocks; ++b) {
                const uint32_t frames = std::min(per_block, length - b * per_block);
                ima_encode_block(pcm + size_t(b) * per_block * channels, frames, channels, state,
                                 at);
                at += ima_block_bytes(frames, channels);
            }
            data = encoded_memory->get();
        } else {
            return OM_E_FAIL;
        }
        if (riff_write_wave_header(stream, format, extra, data_bytes) < 0) return OM_E_FAIL;
        if (data_bytes && riff_write(stream, data, uint32_t(data_bytes)) < 0) return OM_E_FAIL;
        return OM_S_OK;
    }
};

const GUID* const sound_readers[] = {&CATID_SoundObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_Win32Adpcm, sound_readers, nullptr, OmCreateComponent<Win32Adpcm>, "Win32Adpcm"}};

} // namespace

OM_DEFINE_MODULE(Win32Adpcm, classes)
