// BaseSoundControl: the control base with nothing added.
#include "sound/base/base_sound_control.h"

namespace {

class BaseSoundControl final : public SoundControlBase {
public:
    static OmResult Create(IUnknown* outer, IUnknown** out) {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (outer) return OM_E_NOAGGREGATION;
        auto* control = new BaseSoundControl;
        if (!control) return OM_E_OUTOFMEMORY;
        *out = static_cast<ISoundControl*>(control);
        return OM_S_OK;
    }
};

const OmClassRecord classes[] = {
    {&CLSID_BaseSoundControl, nullptr, nullptr, BaseSoundControl::Create, "BaseSoundControl"}};

} // namespace

OM_DEFINE_MODULE(BaseSoundControl, classes)
