// Making a sound instance from a play description.
#pragma once

#include "sound/base/sound.h"

// CreateInstance (SOUND_INSTANCE_SHARE) of `sound`, then the description's flagged fields in
// the order priority, frequency, volume, pan, frame, velocity, Param1, Param2 (a field the
// sound does not take is skipped). A null description applies nothing.
OmResult OmSoundInstanceFromDesc(ISound* sound, const SoundPlayDesc* desc, ISound** out);
