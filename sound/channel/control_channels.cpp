// The channel types that only wrap sounds of their ancestors: QueueChannel, PriorityChannel,
// LimiterChannel, 3dChannel and MetaChannel.
#include "framework/core/text_fields.h"
#include "sound/base/sound_params.h"
#include "sound/channel/control_channel.h"
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/meta_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "sound/channel/queued_sound_control.h"
#include "sound/files/sound_keys.h"

namespace {

// "LimiterMax" is read into a buffer of 40 bytes.
constexpr uint32_t limiter_max_size = 40;

// An integer key, 0 when absent or unreadable.
int32_t integer_or_zero(IPropertySheet* sheet, const char* key) {
    int32_t value = 0;
    if (OmReadSoundKeyInteger(sheet, key, &value) < 0) value = 0;
    return value;
}

class QueueChannel final : public ControlChannel {
public:
    QueueChannel() : ControlChannel("QueueControl", CLSID_QueuedSoundControl) {}

protected:
    OmResult read_keys(ICOMHash*, IPropertySheet* sheet) override {
        control_->SetParamInt(CONTROL_INT_VOICES, integer_or_zero(sheet, "MaxSounds"));
        return OM_S_OK;
    }
};

class PriorityChannel final : public ControlChannel {
public:
    PriorityChannel() : ControlChannel("PriorityControl", CLSID_PrioritySoundControl) {}

protected:
    OmResult read_keys(ICOMHash*, IPropertySheet* sheet) override {
        float volume = 1.0f;
        OmReadSoundKeyReal(sheet, "Volume", &volume);
        control_->SetParamInt(CONTROL_INT_VOICES, integer_or_zero(sheet, "MaxSounds"));
        control_->SetParamReal(CONTROL_REAL_VOLUME, volume);
        return OM_S_OK;
    }
};

class LimiterChannel final : public ControlChannel {
public:
    LimiterChannel() : ControlChannel("LimiterControl", CLSID_LimiterSoundControl) {}

protected:
    OmResult read_keys(ICOMHash*, IPropertySheet* sheet) override {
        int32_t enable = 0;
        if (OmReadSoundKeyBool(sheet, "LimiterEnable", &enable) >= 0)
            control_->SetParamInt(CONTROL_INT_LIMITER_ENABLE, enable);
        float maximum = 0.0f;
        if (OmReadSoundKeyReal(sheet, "LimiterMax", &maximum, limiter_max_size) >= 0)
            control_->SetParamReal(CONTROL_REAL_LIMITER_MAX, maximum);
        return OM_S_OK;
    }
};

class PlacedChannel final : public ControlChannel {
public:
    PlacedChannel() : ControlChannel("3dControl", CLSID_3dSoundControl) {}

protected:
    OmResult read_keys(ICOMHash*, IPropertySheet* sheet) override {
        static constexpr struct {
            const char* key;
            int32_t kind;
        } factors[] = {{"DistanceFactor", CONTROL_REAL_DISTANCE},
                       {"DopplerFactor", CONTROL_REAL_DOPPLER},
                       {"RollOffFactor", CONTROL_REAL_ROLLOFF}};
        for (const auto& f : factors) {
            float value;
            if (OmReadChannelFactor(sheet, f.key, &value) >= 0)
                control_->SetParamReal(f.kind, value);
        }
        return OM_S_OK;
    }
};

class MetaChannel final : public ControlChannel {
public:
    MetaChannel() : ControlChannel("MetaSoundControl", CLSID_MetaSoundControl) {}

protected:
    // "Channels": names split at every ',' (no blanks stripped), each a channel with a
    // control, added as members in order. OM_E_FAIL at the first that is not.
    OmResult read_keys(ICOMHash* channels, IPropertySheet* sheet) override {
        char list[SOUND_KEY_NUMBER_SIZE];
        if (OmReadSoundKeyText(sheet, "Channels", list, sizeof list) < 0) return OM_S_OK;
        const uint32_t count = OmCountFields(list, ',');
        for (uint32_t i = 0; i < count; ++i) {
            char name[SOUND_KEY_WORD_SIZE];
            if (OmGetField(list, ',', i, name, sizeof name) < 0) return OM_E_FAIL;
            IUnknown* entry = channels ? channels->Get(name) : nullptr;
            ISoundControl* member =
                entry ? static_cast<ISoundChannel*>(entry)->GetControl() : nullptr;
            if (!member) return OM_E_FAIL;
            control_->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(member));
        }
        return OM_S_OK;
    }
};

const GUID* const channel_category[] = {&CATID_SoundChannel, nullptr};
const OmClassRecord queue_classes[] = {{&CLSID_QueueChannel, channel_category, nullptr,
                                        SoundChannelBase::create<QueueChannel>, "QueueChannel"}};
const OmClassRecord priority_classes[] = {{&CLSID_PriorityChannel, channel_category, nullptr,
                                           SoundChannelBase::create<PriorityChannel>,
                                           "PriorityChannel"}};
const OmClassRecord limiter_classes[] = {{&CLSID_LimiterChannel, channel_category, nullptr,
                                          SoundChannelBase::create<LimiterChannel>,
                                          "LimiterChannel"}};
const OmClassRecord placed_classes[] = {{&CLSID_3dChannel, channel_category, nullptr,
                                         SoundChannelBase::create<PlacedChannel>, "3dChannel"}};
const OmClassRecord meta_classes[] = {{&CLSID_MetaChannel, channel_category, nullptr,
                                       SoundChannelBase::create<MetaChannel>, "MetaChannel"}};

} // namespace

OM_DEFINE_MODULE(QueueChannel, queue_classes)
OM_DEFINE_MODULE(PriorityChannel, priority_classes)
OM_DEFINE_MODULE(LimiterChannel, limiter_classes)
OM_DEFINE_MODULE(PlacedChannel, placed_classes)
OM_DEFINE_MODULE(MetaChannel, meta_classes)
