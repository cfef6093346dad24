// SoundProcessor: bit-depth conversion, copying, linear resampling, channel extraction and
// insertion, mixing to mono, and the general Convert that chains them.
#include "sound/processing/sound_processor.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/processing/sound_values.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t lock_for_writing = 1;
constexpr int32_t lock_for_reading = 2;
// Bits 8-20 and 24-31: the PCM byte, the depth and the signedness, not the channel count.
constexpr uint32_t depth_and_sign_mask = 0xFF1FFF00;
constexpr uint32_t pcm_byte_mask = 0xFF00;
constexpr uint32_t pcm_byte = 0x100;
constexpr uint32_t signed16_base = 0x1100000;

bool depth_ok(uint32_t code) {
    uint32_t bits = sound_format_bits(code);
    return bits == 8 || bits == 16;
}

// The common frame of the elementary operations: destination locked for writing, then the
// source for reading; both unlocked when this goes.
class LockedPair {
public:
    LockedPair(ISound* destination, ISound* source) : destination_(destination), source_(source) {
        result_ = destination->Lock(lock_for_writing, &destination_memory_);
        if (result_ < 0) return;
        destination_locked_ = true;
        result_ = source->Lock(lock_for_reading, &source_memory_);
        if (result_ < 0) return;
        source_locked_ = true;
    }
    ~LockedPair() {
        if (source_locked_) source_->Unlock();
        if (destination_locked_) destination_->Unlock();
    }
    LockedPair(const LockedPair&) = delete;
    LockedPair& operator=(const LockedPair&) = delete;

    OmResult result() const { return result_; }
    template <class T>
    T* destination() const {
        return static_cast<T*>(destination_memory_);
    }
    template <class T>
    const T* source() const {
        return static_cast<const T*>(source_memory_);
    }

private:
    ISound* destination_;
    ISound* source_;
    void* destination_memory_ = nullptr;
    void* source_memory_ = nullptr;
    bool destination_locked_ = false;
    bool source_locked_ = false;
    OmResult result_ = OM_S_OK;
};

void set_frequency(ISound* sound, intptr_t frequency) {
    sound->SetParamInt(SOUND_INT_FREQUENCY, frequency);
}

// A sample read as a 16-bit pattern: an 8-bit sample's byte becomes the high byte.
uint16_t widened(const uint8_t* samples, size_t i, uint32_t bits) {
    if (bits == 8) return uint16_t(samples[i] << 8);
    uint16_t v;
    std::memcpy(&v, samples + 2 * i, 2);
    return v;
}

template <class T>
void copy_strided(T* out, size_t out_step, const T* in, size_t in_step, size_t count) {
    for (size_t i = 0; i < count; ++i) out[i * out_step] = in[i * in_step];
}

// Floor division of a sum by a positive count (C++ '/' truncates toward zero).
int32_t floor_divide(int32_t sum, int32_t count) {
    int32_t q = sum / count;
    if ((sum % count) != 0 && sum < 0) --q;
    return q;
}

class SoundProcessor final : public OmObject<SoundProcessor, ISoundProcessor> {
public:
    static inline SoundProcessor* instance = nullptr;
    ~SoundProcessor() { instance = nullptr; }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ISoundProcessor, this}});
    }

    OmResult ConvertBits(ISound* destination, ISound* source) override {
        if (!destination || !source) return OM_E_FAIL;
        const uint32_t dst = destination->GetFormat(), src = source->GetFormat();
        const uint32_t length = source->GetLength();
        if (destination->GetLength() != length ||
            sound_format_channels(dst) != sound_format_channels(src) ||
            (dst & pcm_byte_mask) != pcm_byte || (src & pcm_byte_mask) != pcm_byte)
            return OM_E_FAIL;
        LockedPair pair(destination, source);
        if (pair.result() < 0) return pair.result();
        if (!depth_ok(dst) || !depth_ok(src)) return OM_E_FAIL;
        const size_t count = size_t(length) * sound_format_channels(src);
        const uint16_t flip = uint16_t((sound_format_signed(src) ? 0x8000 : 0) ^
                                       (sound_format_signed(dst) ? 0x8000 : 0));
        const uint32_t src_bits = sound_format_bits(src);
        const auto* in = pair.source<uint8_t>();
        auto* out = pair.destination<uint8_t>();
        if (sound_format_bits(dst) == 16) {
            for (size_t i = 0; i < count; ++i) {
                uint16_t v = widened(in, i, src_bits) ^ flip;
                std::memcpy(out + 2 * i, &v, 2);
            }
        } else {
            for (size_t i = 0; i < count; ++i)
                out[i] = uint8_t((widened(in, i, src_bits) ^ flip) >> 8);
        }
        set_frequency(destination, sound_int_param(source, SOUND_INT_FREQUENCY));
        return OM_S_OK;
    }

    OmResult Copy(ISound* destination, ISound* source) override {
        if (!destination || !source) return OM_E_FAIL;
        const uint32_t code = source->GetFormat();
        const uint32_t length = source->GetLength();
        if (destination->GetFormat() != code || destination->GetLength() < length) return OM_E_FAIL;
        LockedPair pair(destination, source);
        if (pair.result() < 0) return pair.result();
        const size_t bytes = size_t(length) * sound_format_frame_bytes(code);
        if (bytes) std::memcpy(pair.destination<uint8_t>(), pair.source<uint8_t>(), bytes);
        set_frequency(destination, sound_int_param(source, SOUND_INT_FREQUENCY));
        return OM_S_OK;
    }

    OmResult Resample(ISound* destination, ISound* source) override {
        if (!destination || !source) return OM_E_FAIL;
        if (destination->GetFormat() != SOUND_FORMAT_MONO16 ||
            source->GetFormat() != SOUND_FORMAT_MONO16)
            return OM_E_FAIL;
        const uint32_t dst_length = destination->GetLength();
        const uint32_t src_length = source->GetLength();
        LockedPair pair(destination, source);
        if (pair.result() < 0) return pair.result();
        // The rate product in 64 bits (32 overflow from about 2.2 s of 44.1 kHz audio),
        // rounded to float as the stored files' timing expects, the division in double.
        const intptr_t src_rate = sound_int_param(source, SOUND_INT_FREQUENCY);
        intptr_t rate = src_rate;
        if (src_length) {
            const float product = float(int64_t(dst_length) * int64_t(src_rate));
            rate = intptr_t(double(product) / double(src_length));
        }
        set_frequency(destination, rate);
        const int16_t* s = pair.source<int16_t>();
        int16_t* d = pair.destination<int16_t>();
        if (dst_length == 0) return OM_S_OK;
        if (src_length <= 1) {
            const int16_t first = src_length ? s[0] : int16_t(0);
            std::fill(d, d + dst_length, first);
            return OM_S_OK;
        }
        const uint32_t last = src_length - 1;
        const float step = float(src_length) / float(dst_length);
        float p = 0.0f;
        for (uint32_t k = 0; k + 1 < dst_length; ++k) {
            // The accumulated position can run past the source: both neighbours are clamped
            // to the last sample.
            uint32_t i = std::min(uint32_t(p), last);
            uint32_t next = std::min(i + 1, last);
            float value = float(s[i]) + float(int32_t(s[next]) - int32_t(s[i])) * (p - float(i));
            d[k] = int16_t(int32_t(value));
            p += step;
        }
        d[dst_length - 1] = s[last];
        return OM_S_OK;
    }

    OmResult ExtractChannel(ISound* destination, uint32_t channel, ISound* source) override {
        return move_channel(destination, source, channel, ChannelSide::source);
    }

    OmResult InsertChannel(ISound* destination, uint32_t channel, ISound* source) override {
        return move_channel(destination, source, channel, ChannelSide::destination);
    }

    OmResult MixToMono(ISound* destination, ISound* source) override {
        if (!destination || !source) return OM_E_FAIL;
        const uint32_t dst = destination->GetFormat(), src = source->GetFormat();
        const uint32_t length = source->GetLength();
        const uint32_t channels = sound_format_channels(src);
        if (sound_format_bits(dst) != 16 || sound_format_channels(dst) != 1 ||
            (dst & depth_and_sign_mask) != (src & depth_and_sign_mask) ||
            destination->GetLength() != length || channels == 0)
            return OM_E_FAIL;
        LockedPair pair(destination, source);
        if (pair.result() < 0) return pair.result();
        const int16_t* in = pair.source<int16_t>();
        int16_t* out = pair.destination<int16_t>();
        for (size_t i = 0; i < length; ++i) {
            int32_t sum = 0;
            for (uint32_t c = 0; c < channels; ++c) sum += in[i * channels + c];
            out[i] = int16_t(floor_divide(sum, int32_t(channels)));
        }
        set_frequency(destination, sound_int_param(source, SOUND_INT_FREQUENCY));
        return OM_S_OK;
    }

    OmResult Convert(ISound* destination, ISound* source) override;

private:
    // Which side is interleaved: the source for ExtractChannel, the destination for
    // InsertChannel; the other side is mono.
    enum class ChannelSide { source, destination };

    OmResult move_channel(ISound* destination, ISound* source, uint32_t channel,
                          ChannelSide interleaved) {
        if (!destination || !source) return OM_E_FAIL;
        const uint32_t dst = destination->GetFormat(), src = source->GetFormat();
        const uint32_t length = source->GetLength();
        const bool extract = interleaved == ChannelSide::source;
        const uint32_t mono = extract ? dst : src;
        const uint32_t channels = sound_format_channels(extract ? src : dst);
        // The channel index and the destination's length are checked too: both would let the
        // copy run past the sample memory.
        if (sound_format_channels(mono) != 1 ||
            (dst & depth_and_sign_mask) != (src & depth_and_sign_mask) || channel >= channels ||
            destination->GetLength() < length)
            return OM_E_FAIL;
        LockedPair pair(destination, source);
        if (pair.result() < 0) return pair.result();
        const size_t in_step = extract ? channels : 1, out_step = extract ? 1 : channels;
        const size_t in_first = extract ? channel : 0, out_first = extract ? 0 : channel;
        if (sound_format_bits(src) == 8)
            copy_strided(pair.destination<uint8_t>() + out_first, out_step,
                         pair.source<uint8_t>() + in_first, in_step, length);
        else if (sound_format_bits(src) == 16)
            copy_strided(pair.destination<int16_t>() + out_first, out_step,
                         pair.source<int16_t>() + in_first, in_step, length);
        else
            return OM_E_FAIL;
        set_frequency(destination, sound_int_param(source, SOUND_INT_FREQUENCY));
        return OM_S_OK;
    }
};

// A temporary BaseSound of the code and length (and the rate when non-zero).
OmResult make_temporary(uint32_t code, uint32_t length, intptr_t rate, ComRef<ISound>& out) {
    ComRef<ISoundCreate> maker;
    OmResult r = OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put());
    if (r < 0) return r;
    maker->SetProperty(MAKER_FORMAT, intptr_t(code));
    maker->SetProperty(MAKER_LENGTH, intptr_t(length));
    if (rate) maker->SetProperty(MAKER_RATE, rate);
    return maker->CreateSound(out.put());
}

OmResult SoundProcessor::Convert(ISound* destination, ISound* source) {
    if (!destination || !source) return OM_E_FAIL;
    const uint32_t dst_code = destination->GetFormat();
    const uint32_t dst_length = destination->GetLength();
    const uint32_t dst_channels = sound_format_channels(dst_code);
    auto current = ComRef<ISound>::share(source);

    auto same_shape = [&] {
        return sound_format_channels(current->GetFormat()) == dst_channels &&
               current->GetLength() == dst_length;
    };
    if (!same_shape()) {
        // Depth: work in 16-bit signed samples.
        if (sound_format_bits(current->GetFormat()) != 16) {
            ComRef<ISound> wide;
            OmResult r = make_temporary((current->GetFormat() & 0xFFFF) | signed16_base,
                                        current->GetLength(),
                                        sound_int_param(current.get(), SOUND_INT_FREQUENCY), wide);
            if (r < 0) return r;
            r = ConvertBits(wide.get(), current.get());
            if (r < 0) return r;
            current = std::move(wide);
        }
        // Length.
        if (current->GetLength() != dst_length) {
            const uint32_t code = current->GetFormat();
            ComRef<ISound> resampled;
            OmResult r = make_temporary(
                code, dst_length, sound_int_param(current.get(), SOUND_INT_FREQUENCY), resampled);
            if (r < 0) return r;
            if (sound_format_channels(code) == 1) {
                Resample(resampled.get(), current.get());
            } else {
                ComRef<ISound> mono_out, mono_in;
                r = make_temporary(SOUND_FORMAT_MONO16, dst_length, 0, mono_out);
                if (r < 0) return r;
                r = make_temporary(SOUND_FORMAT_MONO16, current->GetLength(), 0, mono_in);
                if (r < 0) return r;
                for (uint32_t c = 0; c < sound_format_channels(code); ++c) {
                    ExtractChannel(mono_in.get(), c, current.get());
                    Resample(mono_out.get(), mono_in.get());
                    InsertChannel(resampled.get(), c, mono_out.get());
                }
                set_frequency(resampled.get(),
                              sound_int_param(mono_out.get(), SOUND_INT_FREQUENCY));
            }
            current = std::move(resampled);
        }
        // Channels.
        const uint32_t current_channels = sound_format_channels(current->GetFormat());
        if (current_channels != dst_channels) {
            ComRef<ISound> mixed;
            OmResult r = make_temporary((dst_code & 0xFFFF) | signed16_base, dst_length, 0, mixed);
            if (r < 0) return r;
            if (dst_channels == 1) {
                MixToMono(mixed.get(), current.get());
            } else {
                ComRef<ISound> mono;
                r = make_temporary(SOUND_FORMAT_MONO16, dst_length, 0, mono);
                if (r < 0) return r;
                for (uint32_t i = 0; i < dst_channels; ++i) {
                    ExtractChannel(mono.get(), i * current_channels / dst_channels, current.get());
                    InsertChannel(mixed.get(), i, mono.get());
                }
            }
            current = std::move(mixed);
        }
    }
    return ConvertBits(destination, current.get());
}

OmResult create_sound_processor(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(SoundProcessor::instance, outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_SoundProcessor, nullptr, nullptr, create_sound_processor, "SoundProcessor"}};

} // namespace

OM_DEFINE_MODULE(SoundProcessor, classes)
