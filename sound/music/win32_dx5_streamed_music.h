// Win32Dx5StreamedMusic: a WAV file played as endless music through one DirectSound buffer of
// two one-second halves, refilled by a worker on the service tick.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/music/music.h"
#include "sound/music/music_players.h"
#include "sound/music/music_tempo.h"

// The streaming buffer's flags: get-current-position-2, volume, frequency.
inline constexpr uint32_t STREAMED_MUSIC_BUFFER_FLAGS = 0x100A0;
inline constexpr uint32_t STREAMED_MUSIC_POLL_MS = 100;

OM_DECLARE_MODULE(Win32Dx5StreamedMusic);
