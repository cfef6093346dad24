// Win32Dx6SoundControl2: set-up, the output format, ranking and voice assignment on the main
// thread. The voices' buffers and streaming are in device_voices.cpp.
#include "sound/device/win32_dx6_sound_control2.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "framework/platform/sound_support.h"
#include "sound/base/sound_format.h"
#include "sound/device/device_sound.h"
#include "sound/device/device_sound_create.h"

#include <algorithm>

namespace {

// Ranking order: audible first, then higher priority, then nearer; equal distances go to the
// later-made sound.
bool ranks_before(const DeviceSound* a, const DeviceSound* b) {
    if (a->audible() != b->audible()) return a->audible();
    if (a->priority() != b->priority()) return a->priority() > b->priority();
    if (a->distance() != b->distance()) return a->distance() < b->distance();
    return a->serial() > b->serial();
}

// PCM, mono or stereo, 8 or 16 bits, at a rate DirectSound plays.
bool output_format_valid(uint32_t code, uint32_t rate) {
    const uint32_t channels = sound_format_channels(code), bits = sound_format_bits(code);
    return (code & SOUND_FORMAT_PCM_BIT) && (channels == 1 || channels == 2) &&
           (bits == 8 || bits == 16) && rate >= DSBFREQUENCY_MIN && rate <= DSBFREQUENCY_MAX;
}

DeviceSound* as_device_sound(IUnknown* object) {
    return object ? dynamic_cast<DeviceSound*>(object) : nullptr;
}

} // namespace

OmResult Win32Dx6SoundControl2::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    auto* device = new Win32Dx6SoundControl2;
    if (!device) return OM_E_OUTOFMEMORY;
    *out = static_cast<ISoundControl*>(device);
    return OM_S_OK;
}

Win32Dx6SoundControl2::Win32Dx6SoundControl2() {
    // The OS object gives the window for the cooperative level; without one the level is set
    // for no window, which the platform's sound object accepts.
    OmCreate(CLSID_Win32OS, IID_IOmWindow, &window_);
}

Win32Dx6SoundControl2::~Win32Dx6SoundControl2() = default;

void Win32Dx6SoundControl2::final_release() {
    StopAll(0);
    Update(0);
    stop_worker();
    release_all_voices();
    release_pending();
    if (listener_) listener_->Release();
    if (primary_) primary_->Release();
    listener_ = nullptr;
    primary_ = nullptr;
    if (direct_sound_) direct_sound_->Release();
    direct_sound_ = nullptr;
    if (window_) window_->Release();
    window_ = nullptr;
    SoundControlBase::final_release();
}

OmResult Win32Dx6SoundControl2::Init(IUnknown* object, uint32_t flags) {
    if (direct_sound_) return OM_E_FAIL;
    IDirectSound* ds = nullptr;
    IUnknown* shared = object ? object : OmLookupGlobalObject(IID_IDirectSound);
    if (shared) {
        OmResult r = shared->QueryInterface(IID_IDirectSound, reinterpret_cast<void**>(&ds));
        if (r < 0) return r;
    } else {
        void* window = window_ ? static_cast<void*>(window_->GetHandle()) : nullptr;
        OmResult r = DirectSoundCreate(nullptr, &ds, nullptr);
        if (r < 0) return r;
        r = ds->SetCooperativeLevel(window, (flags & CONTROL_INIT_EXCLUSIVE) ? DSSCL_EXCLUSIVE
                                                                             : DSSCL_PRIORITY);
        if (r < 0) {
            ds->Release();
            return r;
        }
        ds->AddRef(); // the registration takes over a reference of its own
        r = OmRegisterGlobalObject(IID_IDirectSound, ds);
        if (r < 0) ds->Release();
    }
    // The capabilities are read from a shared object too: a second device must not take a
    // zeroed record for a machine without hardware mixing.
    caps_ = DSCAPS{};
    caps_.dwSize = sizeof(DSCAPS);
    OmResult r = ds->GetCaps(&caps_);
    if (r < 0) {
        ds->Release();
        return r;
    }
    direct_sound_ = ds;
    r = SetOutputFormat(SOUND_DEFAULT_OUTPUT_FORMAT, SOUND_DEFAULT_OUTPUT_RATE, flags);
    if (r < 0) return r;
    return set_voice_count(DEVICE_DEFAULT_VOICES);
}

OmResult Win32Dx6SoundControl2::SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) {
    if (!direct_sound_) return OM_E_FAIL;
    if (caps_.dwFreeHwMixingAllBuffers == 0 && rate > DEVICE_SOFTWARE_RATE_LIMIT)
        rate = DEVICE_SOFTWARE_RATE_LIMIT;
    // A code or rate the output cannot take is refused before anything is released: the
    // working primary buffer stays as it is.
    if (!output_format_valid(code, rate)) return OM_E_FAIL;
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

OmResult Win32Dx6SoundControl2::SetFrame(const float* frame, const float* velocity) {
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

OmResult Win32Dx6SoundControl2::CreateSound(ISoundCreate** out) {
    return DeviceSoundCreate::Create(this, out);
}

OmResult Win32Dx6SoundControl2::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == CONTROL_INT_VOICES) return set_voice_count(int32_t(value));
    return SoundControlBase::SetParamInt(kind, value);
}

OmResult Win32Dx6SoundControl2::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == CONTROL_INT_VOICES) {
        if (!out) return OM_E_FAIL;
        *out = intptr_t(voice_count());
        return OM_S_OK;
    }
    return SoundControlBase::GetParamInt(kind, out);
}

OmResult Win32Dx6SoundControl2::SetParamReal(int32_t kind, float value) {
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

OmResult Win32Dx6SoundControl2::GetParamReal(int32_t kind, float* out) {
    if (kind == CONTROL_REAL_VOLUME) {
        if (!out) return OM_E_FAIL;
        *out = master_volume_;
        return OM_S_OK;
    }
    return SoundControlBase::GetParamReal(kind, out);
}

OmResult Win32Dx6SoundControl2::StopAll(int32_t) {
    lists_.stop_all();
    Update(0);
    return OM_S_OK;
}

OmResult Win32Dx6SoundControl2::AddObject(int32_t list, IUnknown* object) {
    if (list != CONTROL_LIST_ACTIVE) return SoundControlBase::AddObject(list, object);
    DeviceSound* sound = as_device_sound(object);
    if (!sound) return OM_E_FAIL;
    if (sound->listed()) return OM_S_OK;
    std::vector<ISound*>& active = lists_.active();
    size_t index = active.size();
    if (sound->audible()) {
        for (size_t i = 0; i < active.size(); ++i) {
            if (ranks_before(sound, static_cast<DeviceSound*>(active[i]))) {
                index = i;
                break;
            }
        }
    }
    lists_.insert_active(index, sound);
    for (size_t i = index; i < active.size(); ++i)
        static_cast<DeviceSound*>(active[i])->rank = int32_t(i);
    return OM_S_OK;
}

void Win32Dx6SoundControl2::rank_active_sounds() {
    std::vector<ISound*>& active = lists_.active();
    std::stable_sort(active.begin(), active.end(), [](ISound* a, ISound* b) {
        return ranks_before(static_cast<DeviceSound*>(a), static_cast<DeviceSound*>(b));
    });
    for (size_t i = 0; i < active.size(); ++i)
        static_cast<DeviceSound*>(active[i])->rank = int32_t(i);
}

OmResult Win32Dx6SoundControl2::Update(uint32_t elapsed) {
    release_pending();
    if (!primary_) return OM_E_FAIL;
    uint32_t status = 0;
    OmResult r = primary_->GetStatus(&status);
    if (r < 0) return r;
    if (status & DSBSTATUS_BUFFERLOST) {
        r = primary_->Restore();
        if (r < 0) return r;
    }
    lists_.time_step(elapsed);
    rank_active_sounds();

    // Hold every listed sound: releasing a voice may drop the last other reference.
    std::vector<ComRef<ISound>> held;
    for (ISound* s : lists_.active()) held.push_back(ComRef<ISound>::share(s));
    std::vector<DeviceSound*> ranked;
    for (auto& s : held) ranked.push_back(static_cast<DeviceSound*>(s.get()));

    size_t back = ranked.size();
    while (back > 0 && !ranked[back - 1]->audible()) {
        --back;
        if (ranked[back]->voice_index() >= 0) release_voice(ranked[back]);
    }
    size_t i = 0;
    bool stealing = false;
    for (; i < ranked.size() && ranked[i]->audible(); ++i) {
        DeviceSound* sound = ranked[i];
        if (sound->voice_index() >= 0) continue;
        OmResult got = claim_voice(sound, stealing);
        if (got < 0 && !stealing) {
            stealing = true;
            got = claim_voice(sound, true);
        }
        if (got < 0) break; // nothing left to steal
        sound->apply_to_voice();
        start_voice(sound);
    }
    if (listener_) listener_->CommitDeferredSettings();
    release_pending();
    return OM_S_OK;
}

OmResult Win32Dx6SoundControl2::acquire_voice(DeviceSound* sound) {
    if (claim_voice(sound, false) >= 0) return OM_S_OK;
    return claim_voice(sound, true);
}

namespace {
const OmClassRecord classes[] = {{&CLSID_Win32Dx6SoundControl2, nullptr, nullptr,
                                  Win32Dx6SoundControl2::Create, "Win32Dx6SoundControl2"}};
} // namespace

OM_DEFINE_MODULE(Win32Dx6SoundControl2, classes)
