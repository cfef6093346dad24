// The device's sound maker: a BaseSoundCreate holding the device, whose descriptions default
// to the device's output format and rate and which makes device sounds.
#pragma once

#include "sound/base/base_sound_create.h"

class Win32Dx6SoundControl2;

// The DirectSound devices' description rules: format and rate default to the device's output;
// a rate above the device's comes down to it with the length scaled alike; a 3D description
// becomes mono; the base's other defaults and format checks.
OmResult OmDeviceMakerValidate(SoundMakerRecord& record, uint32_t device_code,
                               uint32_t device_rate);

class DeviceSoundCreate final : public BaseSoundCreate {
public:
    // A maker of `device` (which it holds with a reference).
    static OmResult Create(Win32Dx6SoundControl2* device, ISoundCreate** out);

    // Format and rate default to the device's output; a rate above the device's comes down to
    // it with the length scaled alike; a 3D description becomes mono; the base's other
    // defaults and format checks.
    OmResult Validate() override;
    // A device sound made from the description, owned by the device (integer parameter 11).
    OmResult CreateSound(ISound** out) override;
    OmResult Clone(ISoundCreate** out) override;

    Win32Dx6SoundControl2* device() const { return device_; }

private:
    DeviceSoundCreate() = default;
    ~DeviceSoundCreate() override;

    Win32Dx6SoundControl2* device_ = nullptr;
};
