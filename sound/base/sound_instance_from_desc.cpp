// Making a sound instance from a play description.
#include "sound/base/sound_instance_from_desc.h"

OmResult OmSoundInstanceFromDesc(ISound* sound, const SoundPlayDesc* desc, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!sound) return OM_E_FAIL;
    ISound* instance = nullptr;
    OmResult r = sound->CreateInstance(SOUND_INSTANCE_SHARE, &instance);
    if (r < 0) return r;
    if (desc) {
        uint32_t f = desc->flags;
        if (f & SOUND_DESC_PRIORITY) instance->SetParamInt(SOUND_INT_PRIORITY, desc->priority);
        if (f & SOUND_DESC_FREQUENCY) instance->SetParamInt(SOUND_INT_FREQUENCY, desc->frequency);
        if (f & SOUND_DESC_VOLUME) instance->SetParamReal(SOUND_REAL_VOLUME, desc->volume);
        if (f & SOUND_DESC_PAN) instance->SetParamReal(SOUND_REAL_PAN, desc->pan);
        if (f & SOUND_DESC_FRAME) instance->Set3D(desc->frame, nullptr);
        if (f & SOUND_DESC_VELOCITY) instance->Set3D(nullptr, desc->velocity);
        if (f & SOUND_DESC_PARAM1) instance->SetParamReal(SOUND_REAL_PARAM1, desc->param1);
        if (f & SOUND_DESC_PARAM2) instance->SetParamReal(SOUND_REAL_PARAM2, desc->param2);
    }
    *out = instance;
    return OM_S_OK;
}
