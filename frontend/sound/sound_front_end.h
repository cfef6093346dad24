// The sound front end: the game's thin layer over the sound device, the SoundSet loaded from
// "sound/" and MetaMusic. Every function does nothing (and answers its "without" value) when
// the component it needs was not opened, so the game runs silently on a machine without sound.
// The game reaches these through its own entry points (the front-end services table), which is
// why they live in the front end's namespace.
#pragma once

#include "engine/core/lg_types.h"
#include "framework/core/result_codes.h"

#include <cstdint>

struct ISound;
struct ISoundControl;
struct ISoundSet;
struct IMusic;

inline constexpr char TV_SOUND_DIRECTORY[] = "sound/";
inline constexpr char TV_CHANNEL_IN_GAME[] = "InGame";
inline constexpr char TV_CHANNEL_IN_MENU[] = "InMenu";
inline constexpr char TV_CHANNEL_DEVICE[] = "Device";
// Flags of the device's and the set's Init.
inline constexpr uint32_t TV_SOUND_INIT_FLAGS = 3;

namespace tvfe {

// Device (Init(0, 3)), SoundSet (Init(device, 3), Load("sound/")), MetaMusic (Init(0)); stops
// at the first failure and returns it, keeping what was made for TvCloseSound.
OmResult TvOpenSound();
// Releases the SoundSet, the device and MetaMusic, each when held.
void TvCloseSound();

OmResult TvUpdateSounds();
OmResult TvPlaySound(const char* name);
OmResult TvStartSound(const char* name);
// A new instance (one reference for the caller), or null.
ISound* TvGetSoundObject(const char* name);
// Places the listener (the "Device" channel) at the frame; `out_rows` (optional, 12 floats)
// receives the rows handed to the channel. 0 without a sound set.
OmResult TvSetListenerFrame(const LgMatrix* frame, const LgVector* velocity, float* out_rows);
// OM_E_FAIL without a sound set.
OmResult TvGetListenerFrame(LgMatrix* frame);
// OM_E_FAIL without a sound set.
OmResult TvPlaySoundAt(const char* name, const LgMatrix* frame, const LgVector* velocity);
OmResult TvSetChannelVolume(const char* channel, float level);
// -1.0 without a sound set.
float TvGetChannelVolume(const char* channel);
OmResult TvStopAllSounds();
void TvSelectMusic(int32_t entry);
void TvStartMusic();
void TvPauseMusic();
void TvStopMusic();
void TvSetMusicVolume(float level);
int32_t TvGetMusicCount();

// The components held (no reference added), or null.
ISoundControl* TvGetSoundDevice();
ISoundSet* TvGetSoundSet();
IMusic* TvGetMusic();

} // namespace tvfe
