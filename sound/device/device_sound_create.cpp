// The device's sound maker.
#include "sound/device/device_sound_create.h"

#include "sound/base/sound_format.h"
#include "sound/device/device_sound.h"
#include "sound/device/win32_dx6_sound_control2.h"

namespace {
constexpr uint32_t default_length = 1024;
} // namespace

OmResult DeviceSoundCreate::Create(Win32Dx6SoundControl2* device, ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    auto* maker = new DeviceSoundCreate;
    if (!maker) return OM_E_OUTOFMEMORY;
    maker->device_ = device;
    if (device) device->AddRef();
    *out = maker;
    return OM_S_OK;
}

DeviceSoundCreate::~DeviceSoundCreate() {
    if (device_) device_->Release();
}

OmResult OmDeviceMakerValidate(SoundMakerRecord& r, uint32_t device_code, uint32_t device_rate) {
    if (r.property1 == 0) r.property1 = 1;
    if (r.length == 0) r.length = default_length;
    if (!(r.volume >= 0.0f)) r.volume = 0.0f;
    if (r.volume > 1.0f) r.volume = 1.0f;
    if (r.format == 0) r.format = device_code;
    if (r.rate == 0) r.rate = device_rate;
    if (device_rate && r.rate > device_rate) {
        r.length = uint32_t(uint64_t(r.length) * device_rate / r.rate);
        r.rate = device_rate;
    }
    if (r.is_3d && sound_format_channels(r.format) > 1) r.format = sound_format_mono(r.format);
    // The device's voices play mono and stereo: a sound of more channels is made in stereo
    // (the conversion that fills it takes two of its channels), not made unplayable.
    if (sound_format_channels(r.format) > 2) r.format = sound_format_stereo(r.format);
    if (!sound_maker_format_ok(r.format)) return OM_E_FAIL;
    r.valid = 1;
    return OM_S_OK;
}

OmResult DeviceSoundCreate::Validate() {
    return OmDeviceMakerValidate(record_,
                                 device_ ? device_->output_code() : SOUND_DEFAULT_OUTPUT_FORMAT,
                                 device_ ? device_->output_rate() : SOUND_DEFAULT_OUTPUT_RATE);
}

OmResult DeviceSoundCreate::CreateSound(ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    OmResult r = ensure_valid();
    if (r < 0) return r;
    if (!device_) return OM_E_FAIL;
    DeviceSound* sound = DeviceSound::make();
    if (!sound) return OM_E_OUTOFMEMORY;
    r = sound->Init(static_cast<ISoundCreate*>(this));
    if (r < 0) {
        sound->Release();
        return r;
    }
    sound->SetParamInt(SOUND_INT_OWNER,
                       reinterpret_cast<intptr_t>(static_cast<ISoundControl*>(device_)));
    *out = sound;
    return OM_S_OK;
}

OmResult DeviceSoundCreate::Clone(ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    ISoundCreate* copy = nullptr;
    OmResult r = Create(device_, &copy);
    if (r < 0) return r;
    static_cast<DeviceSoundCreate*>(copy)->record_ = record_;
    *out = copy;
    return OM_S_OK;
}
