// The DirectSound object a music player plays on: the settings' "lpDirectSound", else the
// program-wide one, else a new one bound to the application window and made program-wide.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "platform/audio/dsound.h"

// `settings` may be null. Its failure, or DirectSoundCreate's.
OmResult OmMusicDirectSound(IObjHash* settings, ComRef<IDirectSound>& out);
