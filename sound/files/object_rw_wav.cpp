// ObjectRWWav: reads WAV files into sounds (through OmWaveConvert while option 2 is set) and
// writes sounds as 16-byte-format PCM WAV files.
#include "sound/files/object_rw_wav.h"

#include "framework/core/com_ref.h"
#include "sound/base/sound_format.h"
#include "sound/files/riff_stream.h"
#include "sound/processing/wave_convert.h"

#include <cstring>

namespace {

constexpr uint16_t wave_format_pcm = 1;
constexpr uint32_t pcm_format_bytes = 16; // of "fmt " read; the rest is skipped
constexpr uint32_t written_format_bytes = 18;
constexpr uint32_t header_bytes_after_size = 38; // RIFF size = data bytes + this
constexpr uint32_t max_channels = 255;           // the format code holds 8 bits of them
constexpr int32_t lock_for_writing = 1;
constexpr int32_t lock_for_reading = 2;

uint32_t code_for(uint16_t channels, uint16_t bits) {
    if (bits == 8) return channels | SOUND_FORMAT_PCM_BIT | (8u << 16);
    if (bits == 16) return channels | SOUND_FORMAT_PCM_BIT | (16u << 16) | SOUND_FORMAT_SIGNED_BIT;
    return 0;
}

intptr_t property(ISoundCreate* maker, int32_t id) {
    intptr_t value = 0;
    maker->GetProperty(id, &value);
    return value;
}

class ObjectRWWav final : public ObjectRWBase<ObjectRWWav> {
public:
    ObjectRWWav() { extensions_ = "wav"; }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }

    OmResult ReadStream(IByteStream* stream, const char* extension, IUnknown* context,
                        const GUID& iid, void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (options_[2]) return OmWaveConvert(this, stream, extension, context, iid, out);
        ComRef<ISoundCreate> maker;
        if (!stream || !context || context->QueryInterface(IID_ISoundCreate, maker.put_void()) < 0)
            return OM_E_FAIL;
        OmResult r = OmWavReadHeader(stream, maker.get());
        if (r < 0) return r;
        const auto length = uint32_t(property(maker.get(), MAKER_LENGTH));
        const auto code = uint32_t(property(maker.get(), MAKER_FORMAT));
        ComRef<ISound> sound;
        r = maker->CreateSound(sound.put());
        if (r < 0) return r;
        if (sound->GetLength() != length || sound->GetFormat() != code) return OM_E_FAIL;
        // The header checks make this fit in the data chunk's 32-bit size.
        const uint64_t bytes = uint64_t(length) * sound_format_frame_bytes(code);
        void* memory = nullptr;
        r = sound->Lock(lock_for_writing, &memory);
        if (r < 0) return r;
        r = bytes ? riff_read(stream, memory, uint32_t(bytes)) : OM_S_OK;
        sound->Unlock();
        if (r < 0) return r;
        return sound->QueryInterface(iid, out);
    }

    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        ComRef<ISound> sound;
        if (!stream || !object || object->QueryInterface(IID_ISound, sound.put_void()) < 0)
            return OM_E_FAIL;
        const uint32_t code = sound->GetFormat();
        const uint32_t bits = sound_format_bits(code);
        if (bits != 8 && bits != 16) return OM_E_FAIL;
        const uint32_t block_align = sound_format_frame_bytes(code);
        const uint64_t data_bytes = uint64_t(sound->GetLength()) * block_align;
        if (data_bytes > UINT32_MAX - header_bytes_after_size) return OM_E_FAIL;
        intptr_t rate = 0;
        sound->GetParamInt(SOUND_INT_FREQUENCY, &rate);

        uint8_t header[46];
        std::memcpy(header, "RIFF", 4);
        riff_put32(header + 4, uint32_t(data_bytes) + header_bytes_after_size);
        std::memcpy(header + 8, "WAVEfmt ", 8);
        riff_put32(header + 16, written_format_bytes);
        riff_put16(header + 20, wave_format_pcm);
        riff_put16(header + 22, uint16_t(sound_format_channels(code)));
        riff_put32(header + 24, uint32_t(rate));
        riff_put32(header + 28, uint32_t(rate) * block_align);
        riff_put16(header + 32, uint16_t(block_align));
        riff_put16(header + 34, uint16_t(bits));
        riff_put16(header + 36, 0);
        std::memcpy(header + 38, "data", 4);
        riff_put32(header + 42, uint32_t(data_bytes));
        OmResult r = riff_write(stream, header, sizeof header);
        if (r < 0 || !data_bytes) return r;
        void* memory = nullptr;
        r = sound->Lock(lock_for_reading, &memory);
        if (r < 0) return r;
        r = riff_write(stream, memory, uint32_t(data_bytes));
        sound->Unlock();
        return r;
    }
};

const GUID* const sound_readers[] = {&CATID_SoundObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_ObjectRWWav, sound_readers, nullptr, OmCreateComponent<ObjectRWWav>, "ObjectRWWav"}};

} // namespace

OM_DEFINE_MODULE(ObjectRWWav, classes)

OmResult OmWavReadHeader(IByteStream* stream, ISoundCreate* maker) {
    if (!stream || !maker) return OM_E_FAIL;
    OmResult r = riff_read_wave_header(stream);
    if (r < 0) return r;
    uint32_t size = 0;
    r = riff_find_chunk(stream, "fmt ", &size);
    if (r < 0) return r;
    if (size < pcm_format_bytes) return OM_E_FAIL;
    uint8_t format[pcm_format_bytes];
    r = riff_read(stream, format, sizeof format);
    if (r < 0) return r;
    r = riff_finish_chunk(stream, size, pcm_format_bytes);
    if (r < 0) return r;
    const uint16_t tag = riff_get16(format);
    const uint16_t channels = riff_get16(format + 2);
    const uint32_t rate = riff_get32(format + 4);
    const uint16_t block_align = riff_get16(format + 12);
    const uint16_t bits = riff_get16(format + 14);
    if (tag != wave_format_pcm || channels == 0 || channels > max_channels || block_align == 0 ||
        uint32_t(block_align) * 8 != uint32_t(channels) * bits)
        return OM_E_FAIL;
    uint32_t data_bytes = 0;
    r = riff_find_chunk(stream, "data", &data_bytes);
    if (r < 0) return r;
    // A header must not ask for more memory than the file can fill.
    uint64_t left = 0;
    if (riff_bytes_left(stream, &left) && data_bytes > left) return OM_E_FAIL;
    maker->SetProperty(MAKER_RATE, intptr_t(rate));
    maker->SetProperty(MAKER_FORMAT, intptr_t(code_for(channels, bits)));
    maker->SetProperty(MAKER_LENGTH, intptr_t(data_bytes / block_align));
    return OM_S_OK;
}
