// Reading a sound's integer parameters and a maker's properties where a failed read counts
// as 0.
#pragma once

#include "sound/base/sound_create.h"

inline intptr_t sound_int_param(ISound* sound, int32_t kind) {
    intptr_t value = 0;
    sound->GetParamInt(kind, &value);
    return value;
}

inline intptr_t sound_maker_property(ISoundCreate* maker, int32_t id) {
    intptr_t value = 0;
    maker->GetProperty(id, &value);
    return value;
}
