// OmWaveConvert: a plain nested read at the file's own format, then conversion into the sound
// the caller's maker makes.
#include "sound/processing/wave_convert.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_create.h"
#include "sound/processing/sound_processor.h"
#include "sound/processing/sound_values.h"

namespace {

constexpr uint32_t convert_option = 2;

// Clears the reader's option 2 for its lifetime and puts the saved value back.
class OptionCleared {
public:
    explicit OptionCleared(IObjectRW* reader) : reader_(reader) {
        reader_->GetOption(convert_option, &saved_);
        reader_->SetOption(convert_option, 0);
    }
    ~OptionCleared() { reader_->SetOption(convert_option, saved_); }
    OptionCleared(const OptionCleared&) = delete;
    OptionCleared& operator=(const OptionCleared&) = delete;

private:
    IObjectRW* reader_;
    uint32_t saved_ = 0;
};

} // namespace

OmResult OmWaveConvert(IObjectRW* reader, IByteStream* stream, const char* extension,
                       IUnknown* maker, const GUID& iid, void** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    ComRef<ISoundCreate> final_maker;
    if (!reader || !maker || maker->QueryInterface(IID_ISoundCreate, final_maker.put_void()) < 0)
        return OM_E_FAIL;

    ComRef<ISound> file_sound;
    {
        OptionCleared plain(reader);
        ComRef<ISoundCreate> plain_maker;
        OmResult r = OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, plain_maker.put());
        if (r < 0) return r;
        r = reader->ReadStream(stream, extension, plain_maker.get(), IID_ISound,
                               file_sound.put_void());
        if (r < 0) return r;
    }

    final_maker->SetProperty(MAKER_FORMAT, sound_int_param(file_sound.get(), SOUND_INT_FORMAT));
    final_maker->SetProperty(MAKER_LENGTH, sound_int_param(file_sound.get(), SOUND_INT_LENGTH));
    final_maker->SetProperty(MAKER_RATE, sound_int_param(file_sound.get(), SOUND_INT_FREQUENCY));

    ComRef<ISoundProcessor> processor;
    OmResult r = OmCreate(CLSID_SoundProcessor, IID_ISoundProcessor, processor.put());
    if (r < 0) return r;
    ComRef<ISound> sound;
    r = final_maker->CreateSound(sound.put());
    if (r < 0) return r;
    r = processor->Convert(sound.get(), file_sound.get());
    if (r < 0) return r;
    return sound->QueryInterface(iid, out);
}
