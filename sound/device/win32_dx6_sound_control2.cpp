// Win32Dx6SoundControl2: set-up, the output format, ranking and voice assignment on the main
// thread. The voices' buffers and streaming are in device_voices.cpp.
#include "sound/device/win32_dx6_sound_control2.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
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

Win32Dx6SoundControl2::Win32Dx6SoundControl2() = default;

Win32Dx6SoundControl2::~Win32Dx6SoundControl2() = default;

void Win32Dx6SoundControl2::final_release() {
    StopAll(0);
    Update(0);
    stop_worker();
    release_all_voices();
    release_pending();
    close_direct_sound();
    SoundControlBase::final_release();
}

OmResult Win32Dx6SoundControl2::Init(IUnknown* object, uint32_t flags) {
    if (direct_sound_) return OM_E_FAIL;
    OmResult r = open_direct_sound(object, flags);
    if (r < 0) return r;
    // The capabilities are read from a shared object too: a second device must not take a
    // zeroed record for a machine without hardware mixing.
    caps_ = DSCAPS{};
    caps_.dwSize = sizeof(DSCAPS);
    r = direct_sound_->GetCaps(&caps_);
    if (r < 0) {
        direct_sound_->Release();
        direct_sound_ = nullptr;
        return r;
    }
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
    return open_primary(code, rate, flags);
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
    OmResult r = restore_primary();
    if (r < 0) return r;
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
    commit_listener();
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
