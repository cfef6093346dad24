// The DirectSound devices' shared set-up: the sound object, the primary buffer, the listener.
#include "sound/device/direct_sound_control_base.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "framework/platform/sound_support.h"
#include "sound/device/shared_direct_sound.h"

#include <vector>

DirectSoundControlBase::DirectSoundControlBase() {
    // The OS object gives the window for the cooperative level; without one the level is set
    // for no window, which the platform's sound object accepts.
    OmCreate(CLSID_Win32OS, IID_IOmWindow, &window_);
}

OmResult DirectSoundControlBase::open_direct_sound(IUnknown* object, uint32_t flags) {
    void* window = window_ ? static_cast<void*>(window_->GetHandle()) : nullptr;
    return OmSharedDirectSound(object, window,
                               (flags & CONTROL_INIT_EXCLUSIVE) ? DSSCL_EXCLUSIVE : DSSCL_PRIORITY,
                               &direct_sound_);
}

OmResult DirectSoundControlBase::open_primary(uint32_t code, uint32_t rate, uint32_t flags) {
    if (!direct_sound_) return OM_E_FAIL;
    if (listener_) listener_->Release();
    if (primary_) primary_->Release();
    listener_ = nullptr;
    primary_ = nullptr;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC),
                      DSBCAPS_PRIMARYBUFFER | ((flags & CONTROL_INIT_3D) ? DSBCAPS_CTRL3D : 0u),
                      0,
                      0,
                      nullptr,
                      {}};
    OmResult r = direct_sound_->CreateSoundBuffer(&desc, &primary_, nullptr);
    if (r < 0) return r;
    r = primary_->Play(0, 0, DSBPLAY_LOOPING);
    if (r < 0) return r;
    WAVEFORMATEX format{};
    OmWaveFormatFromCode(code, rate, &format);
    r = primary_->SetFormat(&format);
    if (r < 0) return r;
    WAVEFORMATEX actual{};
    r = primary_->GetFormat(&actual, sizeof actual, nullptr);
    if (r < 0) return r;
    uint32_t actual_code = code, actual_rate = rate;
    OmWaveFormatToCode(&actual, &actual_code, &actual_rate);
    SoundControlBase::SetOutputFormat(actual_code, actual_rate, flags);
    if (flags & CONTROL_INIT_3D) {
        if (primary_->QueryInterface(IID_IDirectSound3DListener,
                                     reinterpret_cast<void**>(&listener_)) >= 0) {
            DS3DLISTENER params{};
            params.dwSize = sizeof params;
            listener_->GetAllParameters(&params);
        } else {
            listener_ = nullptr;
        }
    }
    return OM_S_OK;
}

OmResult DirectSoundControlBase::restore_primary() {
    if (!primary_) return OM_E_FAIL;
    uint32_t status = 0;
    OmResult r = primary_->GetStatus(&status);
    if (r < 0) return r;
    if (status & DSBSTATUS_BUFFERLOST) {
        r = primary_->Restore();
        if (r < 0) return r;
    }
    return OM_S_OK;
}

void DirectSoundControlBase::commit_listener() {
    if (listener_) listener_->CommitDeferredSettings();
}

void DirectSoundControlBase::close_direct_sound() {
    if (listener_) listener_->Release();
    if (primary_) primary_->Release();
    listener_ = nullptr;
    primary_ = nullptr;
    if (direct_sound_) direct_sound_->Release();
    direct_sound_ = nullptr;
    if (window_) window_->Release();
    window_ = nullptr;
}

OmResult DirectSoundControlBase::SetFrame(const float* frame, const float* velocity) {
    SoundControlBase::SetFrame(frame, velocity);
    if (!listener_) return OM_E_FAIL;
    if (frame) {
        listener_->SetPosition(frame[9], frame[10], frame[11], DS3D_DEFERRED);
        listener_->SetOrientation(frame[6], frame[7], frame[8], frame[3], frame[4], frame[5],
                                  DS3D_DEFERRED);
    }
    if (velocity) listener_->SetVelocity(velocity[0], velocity[1], velocity[2], DS3D_DEFERRED);
    return OM_S_OK;
}

OmResult DirectSoundControlBase::SetParamReal(int32_t kind, float value) {
    switch (kind) {
    case CONTROL_REAL_VOLUME: {
        master_volume_ = value;
        std::vector<ComRef<ISound>> sounds;
        for (ISound* s : lists_.active()) sounds.push_back(ComRef<ISound>::share(s));
        for (auto it = sounds.rbegin(); it != sounds.rend(); ++it) {
            float volume = 1.0f;
            if ((*it)->GetParamReal(SOUND_REAL_VOLUME, &volume) >= 0)
                (*it)->SetParamReal(SOUND_REAL_VOLUME, volume);
        }
        return OM_S_OK;
    }
    case CONTROL_REAL_ROLLOFF:
        rolloff_ = value;
        if (listener_) listener_->SetRolloffFactor(value, DS3D_DEFERRED);
        return OM_S_OK;
    case CONTROL_REAL_DOPPLER:
        doppler_ = value;
        if (listener_) listener_->SetDopplerFactor(value, DS3D_DEFERRED);
        return OM_S_OK;
    case CONTROL_REAL_DISTANCE:
        level_ = value;
        if (listener_) listener_->SetDistanceFactor(value, DS3D_DEFERRED);
        return OM_S_OK;
    default: return SoundControlBase::SetParamReal(kind, value);
    }
}

OmResult DirectSoundControlBase::GetParamReal(int32_t kind, float* out) {
    if (kind == CONTROL_REAL_VOLUME) {
        if (!out) return OM_E_FAIL;
        *out = master_volume_;
        return OM_S_OK;
    }
    return SoundControlBase::GetParamReal(kind, out);
}

OmResult DirectSoundControlBase::StopAll(int32_t) {
    lists_.stop_all();
    Update(0);
    return OM_S_OK;
}
