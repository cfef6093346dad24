// ObjectRWWav: reads WAV files into sounds (through OmWaveConvert while option 2 is set) and
// writes sounds as PCM WAV files with an 18-byte format record.
#include "sound/files/object_rw_wav.h"

#include "framework/core/com_ref.h"
#include "framework/platform/sound_support.h"
#include "sound/base/sound_format.h"
#include "sound/files/riff_stream.h"
#include "sound/files/sound_file_rw.h"
#include "sound/processing/sound_values.h"

#include <cstring>

namespace {

constexpr uint32_t pcm_format_bytes = 16; // of "fmt " read; the rest is skipped
constexpr uint32_t max_channels = 255;    // the format code holds 8 bits of them
constexpr int32_t lock_for_writing = 1;
constexpr int32_t lock_for_reading = 2;

class ObjectRWWav final : public SoundFileRW<ObjectRWWav> {
public:
    ObjectRWWav() { extensions_ = "wav"; }

    OmResult read_plain(IByteStream* stream, ISoundCreate* maker, ComRef<ISound>& sound) {
        OmResult r = OmWavReadHeader(stream, maker);
        if (r < 0) return r;
        const auto length = uint32_t(sound_maker_property(maker, MAKER_LENGTH));
        const auto code = uint32_t(sound_maker_property(maker, MAKER_FORMAT));
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
        return r;
    }

    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        ComRef<ISound> sound;
        if (!stream || !object || object->QueryInterface(IID_ISound, sound.put_void()) < 0)
            return OM_E_FAIL;
        const uint32_t code = sound->GetFormat();
        const uint32_t bits = sound_format_bits(code);
        if (bits != 8 && bits != 16) return OM_E_FAIL;
        intptr_t rate = 0;
        sound->GetParamInt(SOUND_INT_FREQUENCY, &rate);
        WAVEFORMATEX format;
        OmWaveFormatFromCode(code, uint32_t(rate), &format);
        const uint64_t data_bytes = uint64_t(sound->GetLength()) * format.block_align;
        OmResult r = riff_write_wave_header(stream, format, nullptr, data_bytes);
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
    uint8_t record[pcm_format_bytes];
    r = riff_read(stream, record, sizeof record);
    if (r < 0) return r;
    r = riff_finish_chunk(stream, size, pcm_format_bytes);
    if (r < 0) return r;
    WAVEFORMATEX format;
    riff_get_format(record, sizeof record, &format);
    const uint32_t channels = format.channels;
    if (format.format_tag != WAVE_FORMAT_PCM || channels == 0 || channels > max_channels ||
        format.block_align == 0 ||
        uint32_t(format.block_align) * 8 != channels * format.bits_per_sample)
        return OM_E_FAIL;
    uint32_t data_bytes = 0;
    r = riff_find_chunk(stream, "data", &data_bytes);
    if (r < 0) return r;
    // A header must not ask for more memory than the file can fill.
    uint64_t left = 0;
    if (riff_bytes_left(stream, &left) && data_bytes > left) return OM_E_FAIL;
    uint32_t code = 0, rate = 0; // the code stays 0 for depths other than 8 and 16
    OmWaveFormatToCode(&format, &code, &rate);
    maker->SetProperty(MAKER_RATE, intptr_t(rate));
    maker->SetProperty(MAKER_FORMAT, intptr_t(code));
    maker->SetProperty(MAKER_LENGTH, intptr_t(data_bytes / format.block_align));
    return OM_S_OK;
}
