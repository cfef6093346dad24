// Win32Dx7DirectMusic: one MIDI segment played through the DirectMusic stand-in's
// performance, with the synthesizer's reverb set from music.ini, and IMusicTempo.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/music/music.h"
#include "sound/music/music_players.h"
#include "sound/music/music_tempo.h"

// Reverb defaults when music.ini gives no value.
inline constexpr float DMUSIC_DEFAULT_IN_GAIN = 0.0f;
inline constexpr float DMUSIC_DEFAULT_REVERB_MIX = 10.0f;
inline constexpr float DMUSIC_DEFAULT_REVERB_TIME = 1000.0f;
inline constexpr float DMUSIC_DEFAULT_HIGH_FREQ_RT_RATIO = 0.001f;
// The segment's repeat count for Play with flag bit 0.
inline constexpr uint32_t DMUSIC_LOOP_REPEATS = 200;

// Master volume in hundredths of a decibel for a level 0..1: -100 x 10^(2 x (1 - v)),
// truncated (1 gives -100, 0.5 gives -1000, 0 gives -10000).
int32_t OmDirectMusicMasterVolume(float level);

OM_DECLARE_MODULE(Win32Dx7DirectMusic);
