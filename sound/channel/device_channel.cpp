// DeviceChannel ("DeviceControl"): the channel whose control is its parent's, the device for a
// top-level one. It applies the device keys of channels.ini to that control and makes sounds
// from sample files read through the sound readers by extension.
#include "framework/core/object_manager.h"
#include "framework/io/meta_object_rw.h"
#include "framework/io/object_rw.h"
#include "framework/platform/debug_message.h"
#include "sound/base/sound_params.h"
#include "sound/channel/sound_channel_base.h"
#include "sound/files/sound_keys.h"

#include <cstring>
#include <string>

namespace {

void cross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Sets or clears `bit` of the flags from the flag list "Flags" when the key is there.
void apply_flag(IPropertySheet* sheet, const char* word, uint32_t bit, uint32_t& flags) {
    int32_t set = 0;
    if (OmReadSoundKeyFlag(sheet, "Flags", word, &set) < 0) return;
    flags = set ? flags | bit : flags & ~bit;
}

class DeviceChannel final : public SoundChannelBase {
public:
    DeviceChannel() : SoundChannelBase("DeviceControl") {}

    OmResult ReadKeys(ISoundControl* parent, ICOMHash* channels, IPropertySheet* sheet) override {
        OmResult r = SoundChannelBase::ReadKeys(parent, channels, sheet);
        if (r < 0) return r;
        if (!parent || !sheet) return OM_E_FAIL;
        control_ = ComRef<ISoundControl>::share(parent);
        apply_output_format(sheet);
        float volume = 1.0f;
        OmReadSoundKeyReal(sheet, "Volume", &volume);
        control_->SetParamReal(CONTROL_REAL_VOLUME, volume);
        apply_factor(sheet, "DistanceFactor", CONTROL_REAL_DISTANCE);
        apply_factor(sheet, "DopplerFactor", CONTROL_REAL_DOPPLER);
        apply_factor(sheet, "RollOffFactor", CONTROL_REAL_ROLLOFF);
        int32_t voices = 0;
        if (OmReadSoundKeyInteger(sheet, "Channels", &voices) >= 0)
            control_->SetParamInt(CONTROL_INT_VOICES, voices);
        apply_frame(sheet);
        return OM_S_OK;
    }

    OmResult CreateSound(IPropertySheet* sheet, ICOMHash*, ISound** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!storage_ || !control_ || !sheet) return OM_E_FAIL;
        char sample[SOUND_KEY_WORD_SIZE];
        if (OmReadSoundKeyText(sheet, "Sample", sample, sizeof sample) < 0) {
            char section[OM_SHEET_NAME_SIZE];
            sheet->GetSectionName(section);
            if (std::strlen(section) >= sizeof sample) return OM_E_FAIL;
            std::strcpy(sample, section);
        }
        const std::string path = directory_ + sample;
        ComRef<ISoundCreate> maker;
        OmResult r = control_->CreateSound(maker.put());
        if (r < 0) return r;
        OmApplySoundMakerKeys(sheet, maker.get());
        ComRef<ISound> sound;
        if (!reader_ && (r = make_reader()) < 0) return r;
        r = reader_->Read(storage_.get(), path.c_str(), maker.get(), IID_ISound, sound.put_void());
        if (r < 0) return r;
        if (!sound) return OM_E_FAIL;
        OmApplySoundKeys(sheet, sound.get());
        *out = sound.detach();
        return OM_S_OK;
    }

private:
    // The readers of every sound file format, gathered at the first sound made: the sound set
    // makes a channel of each type to find the one a section names, and most of those never
    // read a sample.
    OmResult make_reader() {
        ComRef<IMetaObjectRW> meta;
        OmResult r = OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, meta.put());
        if (r < 0) return r;
        r = meta->AddCategory(CATID_SoundObjectRW);
        if (r < 0) return r;
        return meta->QueryInterface(IID_IObjectRW, reader_.put_void());
    }

    // Format, Frequency and Flags over the control's current output format; the format is
    // always set again. A refusal leaves the device as it was and is reported with the
    // channel's name: loading goes on with sound intact.
    void apply_output_format(IPropertySheet* sheet) {
        uint32_t code = 0, rate = 0, flags = 0;
        control_->GetOutputFormat(&code, &rate, &flags);
        uint32_t format = 0;
        if (OmReadSoundKeyFormat(sheet, "Format", &format) >= 0) code = format;
        int32_t hz = 0;
        if (OmReadSoundKeyFrequency(sheet, "Frequency", &hz) >= 0) rate = uint32_t(hz);
        apply_flag(sheet, "EXCLUSIVE", CONTROL_INIT_EXCLUSIVE, flags);
        apply_flag(sheet, "3D", CONTROL_INIT_3D, flags);
        if (control_->SetOutputFormat(code, rate, flags) >= 0) return;
        char section[OM_SHEET_NAME_SIZE];
        sheet->GetSectionName(section);
        OmSetMessageParameter("{Channel}", section);
        OmSetMessageParameterInt("{Rate}", nullptr, int32_t(rate));
        OmReportMessage(OM_SEVERITY_WARNING,
                        "Channel '{Channel}' could not set the output format ({Rate} Hz) - the "
                        "device keeps its format");
    }

    void apply_factor(IPropertySheet* sheet, const char* key, int32_t kind) {
        float value;
        if (OmReadChannelFactor(sheet, key, &value) >= 0) control_->SetParamReal(kind, value);
    }

    void apply_frame(IPropertySheet* sheet) {
        float frame[12] = {}, velocity[3] = {};
        control_->GetFrame(frame, velocity);
        float at[3], up[3];
        if (OmReadSoundKeyVector(sheet, "At", at) >= 0 &&
            OmReadSoundKeyVector(sheet, "Up", up) >= 0) {
            cross(up, at, frame);
            std::memcpy(frame + 3, up, sizeof up);
            std::memcpy(frame + 6, at, sizeof at);
        }
        OmReadSoundKeyVector(sheet, "Position", frame + 9);
        OmReadSoundKeyVector(sheet, "Velocity", velocity);
        control_->SetFrame(frame, velocity);
    }

    ComRef<IObjectRW> reader_;
};

const GUID* const channel_category[] = {&CATID_SoundChannel, nullptr};
const OmClassRecord classes[] = {{&CLSID_DeviceChannel, channel_category, nullptr,
                                  SoundChannelBase::create<DeviceChannel>, "DeviceChannel"}};

} // namespace

OM_DEFINE_MODULE(DeviceChannel, classes)
