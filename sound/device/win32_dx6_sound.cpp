// Win32Dx6Sound: a sound with a DirectSound buffer of its own, played by DirectSound, and the
// simple device's maker.
#include "sound/device/win32_dx6_sound.h"

#include "framework/platform/sound_support.h"
#include "sound/base/sound_format.h"
#include "sound/device/device_sound.h"
#include "sound/device/device_sound_create.h"
#include "sound/device/win32_dx6_sound_control.h"

#include <algorithm>

Win32Dx6Sound::~Win32Dx6Sound() {
    if (locked_ && buffer_) buffer_->Unlock(lock_part1_, lock_bytes1_, lock_part2_, lock_bytes2_);
    if (buffer_3d_) buffer_3d_->Release();
    if (buffer_) {
        buffer_->Stop();
        buffer_->Release();
    }
}

OmResult Win32Dx6Sound::Init(IUnknown* object) {
    auto* maker = object ? dynamic_cast<Win32Dx6SoundCreate*>(object) : nullptr;
    if (!maker || !maker->device() || !maker->device()->direct_sound()) return OM_E_FAIL;
    OmResult r = BaseSound::Init(object);
    if (r < 0) return r;
    // The samples live in the DirectSound buffer, not in memory of the sound's own.
    if (memory_) OmFreeMemory(memory_);
    memory_ = nullptr;
    device_ = maker->device();
    if ((r = make_buffer()) < 0) return r;
    return device_->AddObject(CONTROL_LIST_ATTACHED, static_cast<ISound*>(this));
}

OmResult Win32Dx6Sound::make_buffer() {
    WAVEFORMATEX format{};
    OmWaveFormatFromCode(format_, uint32_t(frequency_), &format);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = is_3d_ ? SIMPLE_SOUND_FLAGS_3D : SIMPLE_SOUND_FLAGS;
    if (cursor_) desc.dwFlags |= DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = length_ * frame_bytes_;
    desc.lpwfxFormat = &format;
    OmResult r = device_->direct_sound()->CreateSoundBuffer(&desc, &buffer_, nullptr);
    if (r < 0) {
        buffer_ = nullptr;
        return r;
    }
    if (is_3d_) {
        if ((r = buffer_->QueryInterface(IID_IDirectSound3DBuffer,
                                         reinterpret_cast<void**>(&buffer_3d_))) < 0) {
            buffer_3d_ = nullptr;
            return r;
        }
        DS3DBUFFER params{};
        params.dwSize = sizeof params;
        if (buffer_3d_->GetAllParameters(&params) >= 0) {
            min_radius_ = params.flMinDistance;
            max_radius_ = params.flMaxDistance;
        }
    }
    return OM_S_OK;
}

int32_t Win32Dx6Sound::IsPlaying() {
    uint32_t status = 0;
    if (!buffer_ || buffer_->GetStatus(&status) < 0) return 0;
    return status & DSBSTATUS_PLAYING;
}

OmResult Win32Dx6Sound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!(flags & SOUND_INSTANCE_SHARE)) return SOUND_E_NOT_SHARED;
    if (!device_ || !device_->direct_sound() || !buffer_) return OM_E_FAIL;
    Win32Dx6Sound* copy = make();
    if (!copy) return OM_E_OUTOFMEMORY;
    OmResult r = copy->copy_from(*this, true);
    if (r >= 0) r = device_->direct_sound()->DuplicateSoundBuffer(buffer_, &copy->buffer_);
    if (r >= 0 && is_3d_)
        r = copy->buffer_->QueryInterface(IID_IDirectSound3DBuffer,
                                          reinterpret_cast<void**>(&copy->buffer_3d_));
    if (r < 0) {
        copy->Release();
        return r;
    }
    copy->device_ = device_;
    copy->buffer_->SetCurrentPosition(0);
    device_->AddObject(CONTROL_LIST_ATTACHED, static_cast<ISound*>(copy));
    *out = copy;
    return OM_S_OK;
}

OmResult Win32Dx6Sound::Lock(int32_t, void** out) {
    if (!out || !buffer_ || locked_) return OM_E_FAIL;
    OmResult r = buffer_->Lock(0, 0, &lock_part1_, &lock_bytes1_, &lock_part2_, &lock_bytes2_,
                               DSBLOCK_ENTIREBUFFER);
    if (r < 0) return r;
    locked_ = true;
    *out = lock_part1_;
    return OM_S_OK;
}

OmResult Win32Dx6Sound::Unlock() {
    if (!locked_) return OM_E_FAIL;
    locked_ = false;
    return buffer_->Unlock(lock_part1_, lock_bytes1_, lock_part2_, lock_bytes2_);
}

OmResult Win32Dx6Sound::GetSegments(int32_t, uint32_t, uint32_t, void** part1, uint32_t* count1,
                                    void** part2, uint32_t* count2) {
    if (!locked_ || !part1 || !count1 || frame_bytes_ == 0) return OM_E_FAIL;
    *part1 = lock_part1_;
    *count1 = lock_bytes1_ / frame_bytes_;
    if (part2) *part2 = lock_part2_;
    if (count2) *count2 = lock_bytes2_ / frame_bytes_;
    return OM_S_OK;
}

OmResult Win32Dx6Sound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_FREQUENCY) {
        frequency_ = int32_t(value);
        if (buffer_) buffer_->SetFrequency(uint32_t(value));
        return OM_S_OK;
    }
    if (kind == SOUND_INT_TIME_STEP) {
        if (device_ && listed() && !IsPlaying())
            device_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
        return OM_S_OK;
    }
    return BaseSound::SetParamInt(kind, value);
}

void Win32Dx6Sound::apply_volume() {
    float master = device_ ? device_->master_volume() : 1.0f;
    if (buffer_) buffer_->SetVolume(device_volume(volume_ * overall_volume_ * master));
}

OmResult Win32Dx6Sound::SetParamReal(int32_t kind, float value) {
    OmResult r = BaseSound::SetParamReal(kind, value);
    if (r < 0 || !buffer_) return r;
    switch (kind) {
    case SOUND_REAL_VOLUME:
    case SOUND_REAL_OVERALL_VOLUME: apply_volume(); break;
    case SOUND_REAL_PAN:
        if (!buffer_3d_) buffer_->SetPan(device_pan(pan_));
        break;
    case SOUND_REAL_MIN_RADIUS:
        if (buffer_3d_) buffer_3d_->SetMinDistance(min_radius_, DS3D_DEFERRED);
        break;
    case SOUND_REAL_MAX_RADIUS:
        if (buffer_3d_) buffer_3d_->SetMaxDistance(max_radius_, DS3D_DEFERRED);
        break;
    case SOUND_REAL_INNER_CONE_ANGLE:
    case SOUND_REAL_OUTER_CONE_ANGLE:
        if (buffer_3d_)
            buffer_3d_->SetConeAngles(uint32_t(inner_cone_angle_), uint32_t(outer_cone_angle_),
                                      DS3D_DEFERRED);
        break;
    case SOUND_REAL_OUTER_CONE_VOLUME:
        if (buffer_3d_)
            buffer_3d_->SetConeOutsideVolume(device_volume(outer_cone_volume_), DS3D_DEFERRED);
        break;
    default: break;
    }
    return r;
}

OmResult Win32Dx6Sound::Play(int32_t argument) {
    if (!device_ || !buffer_) return OM_E_FAIL;
    apply_volume();
    bool looping = loop_control_ > 0 || (loop_control_ == 0 && (argument & SOUND_PLAY_LOOP));
    uint32_t flags = looping ? DSBPLAY_LOOPING : 0;
    if (buffer_3d_) flags |= SIMPLE_PLAY_TERMINATE_BY_DISTANCE;
    if (priority_ != 0) flags |= SIMPLE_PLAY_TERMINATE_BY_PRIORITY;
    OmResult r = buffer_->Play(0, uint32_t(priority_), flags);
    if (r < 0) return r;
    playing_ = 1;
    paused_ = 0;
    return device_->AddObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
}

OmResult Win32Dx6Sound::Pause() {
    if (buffer_) buffer_->Stop();
    paused_ = 1;
    if (device_ && listed()) device_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
    return OM_S_OK;
}

OmResult Win32Dx6Sound::Stop() {
    if (buffer_) {
        buffer_->Stop();
        buffer_->SetCurrentPosition(0);
    }
    playing_ = paused_ = 0;
    if (device_ && listed()) device_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
    return OM_S_OK;
}

OmResult Win32Dx6Sound::Set3D(const float* frame, const float* velocity) {
    BaseSound::Set3D(frame, velocity);
    if (!buffer_3d_) return OM_E_FAIL;
    const float* position = frame_.position();
    const float* at = frame_.at();
    buffer_3d_->SetPosition(position[0], position[1], position[2], DS3D_DEFERRED);
    buffer_3d_->SetConeOrientation(at[0], at[1], at[2], DS3D_DEFERRED);
    buffer_3d_->SetVelocity(frame_.velocity[0], frame_.velocity[1], frame_.velocity[2],
                            DS3D_DEFERRED);
    return OM_S_OK;
}

OmResult Win32Dx6Sound::SetPlayPosition(uint32_t frame) {
    if (!buffer_ || frame >= length_) return OM_E_FAIL;
    return buffer_->SetCurrentPosition(frame * frame_bytes_);
}

OmResult Win32Dx6Sound::GetPlayPosition(uint32_t* frame) {
    if (!frame || !buffer_ || frame_bytes_ == 0) return OM_E_FAIL;
    uint32_t play = 0, write = 0;
    OmResult r = buffer_->GetCurrentPosition(&play, &write);
    if (r < 0) return r;
    *frame = play / frame_bytes_;
    return OM_S_OK;
}

// ---- The maker ----

OmResult Win32Dx6SoundCreate::Create(Win32Dx6SoundControl* device, ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    auto* maker = new Win32Dx6SoundCreate;
    if (!maker) return OM_E_OUTOFMEMORY;
    maker->device_ = device;
    if (device) device->AddRef();
    *out = maker;
    return OM_S_OK;
}

Win32Dx6SoundCreate::~Win32Dx6SoundCreate() {
    if (device_) device_->Release();
}

OmResult Win32Dx6SoundCreate::Validate() {
    return OmDeviceMakerValidate(record_,
                                 device_ ? device_->output_code() : SOUND_DEFAULT_OUTPUT_FORMAT,
                                 device_ ? device_->output_rate() : SOUND_DEFAULT_OUTPUT_RATE);
}

OmResult Win32Dx6SoundCreate::CreateSound(ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    OmResult r = ensure_valid();
    if (r < 0) return r;
    if (!device_) return OM_E_FAIL;
    Win32Dx6Sound* sound = Win32Dx6Sound::make();
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

OmResult Win32Dx6SoundCreate::Clone(ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    ISoundCreate* copy = nullptr;
    OmResult r = Create(device_, &copy);
    if (r < 0) return r;
    static_cast<Win32Dx6SoundCreate*>(copy)->record_ = record_;
    *out = copy;
    return OM_S_OK;
}
