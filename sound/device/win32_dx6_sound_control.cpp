// Win32Dx6SoundControl: set-up and update of the simple DirectSound device.
#include "sound/device/win32_dx6_sound_control.h"

#include "sound/base/sound_format.h"
#include "sound/device/win32_dx6_sound.h"

OmResult Win32Dx6SoundControl::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    auto* device = new Win32Dx6SoundControl;
    if (!device) return OM_E_OUTOFMEMORY;
    *out = static_cast<ISoundControl*>(device);
    return OM_S_OK;
}

void Win32Dx6SoundControl::final_release() {
    StopAll(0);
    close_direct_sound();
    SoundControlBase::final_release();
}

OmResult Win32Dx6SoundControl::Init(IUnknown* object, uint32_t flags) {
    if (direct_sound_) return OM_E_FAIL;
    OmResult r = open_direct_sound(object, flags);
    if (r < 0) return r;
    r = SetOutputFormat(SOUND_DEFAULT_OUTPUT_FORMAT, SOUND_DEFAULT_OUTPUT_RATE, flags);
    return r < 0 ? r : OM_S_OK;
}

OmResult Win32Dx6SoundControl::SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) {
    if (!direct_sound_) return OM_E_FAIL;
    return open_primary(code, rate, flags);
}

OmResult Win32Dx6SoundControl::Update(uint32_t elapsed) {
    OmResult r = restore_primary();
    if (r < 0) return r;
    SoundControlBase::Update(elapsed);
    commit_listener();
    return OM_S_OK;
}

OmResult Win32Dx6SoundControl::CreateSound(ISoundCreate** out) {
    return Win32Dx6SoundCreate::Create(this, out);
}

namespace {
const OmClassRecord classes[] = {{&CLSID_Win32Dx6SoundControl, nullptr, nullptr,
                                  Win32Dx6SoundControl::Create, "Win32Dx6SoundControl"}};
} // namespace

OM_DEFINE_MODULE(Win32Dx6SoundControl, classes)
