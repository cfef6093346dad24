// The game's door to the front end: error log, sound front end, loading page, screen size,
// texture reduction, language strings and the shared storage. The front end installs its
// table at start-up; until then (and in tests) every service is harmless: nothing is
// logged or played, sounds are null, the screen is 640 x 480.
#pragma once

#include "engine/core/lg_types.h"
#include "framework/core/result_codes.h"

#include <cstdint>

// A sound object of the game's sound set (subsystem 6); the game only passes it back through
// the sound operations below.
struct ISound;

// Sound parameter ids the game sets.
inline constexpr int32_t kTvSoundIntFrequency = 4;
inline constexpr int32_t kTvSoundIntFlag6 = 6;
inline constexpr int32_t kTvSoundRealVolume = 1;
inline constexpr int32_t kTvSoundRealThrottle = 9;
inline constexpr int32_t kTvSoundRealNosePitch = 10;

// Every entry may be null; the Tv* functions below then do the harmless thing.
struct TvFrontEndServices {
    // Error log: "%s line %d: %s\n" and "%s line %d: %s %s\n".
    void (*log_error)(const char* source, int32_t line, const char* message);
    void (*log_error2)(const char* source, int32_t line, const char* message, const char* detail);
    // Sound front end.
    OmResult (*update_sounds)();
    ISound* (*get_sound_object)(const char* name); // one reference for the caller, or null
    OmResult (*play_sound_at)(const char* name, const LgMatrix* place, const LgVector* velocity);
    void (*set_listener_frame)(const LgMatrix* place, const LgVector* velocity);
    OmResult (*play_music)(int32_t track);
    // Operations on a sound object handed out by get_sound_object.
    int32_t (*sound_is_playing)(ISound* sound);
    OmResult (*sound_set_int)(ISound* sound, int32_t id, int32_t value);
    OmResult (*sound_set_real)(ISound* sound, int32_t id, float value);
    OmResult (*sound_play)(ISound* sound, int32_t looping);
    OmResult (*sound_stop)(ISound* sound);
    OmResult (*sound_place)(ISound* sound, const LgMatrix* place, const LgVector* velocity);
    OmResult (*sound_set_level)(ISound* sound, float level);
    uint32_t (*sound_release)(ISound* sound);
    // Loading page, screen, textures, strings, storage.
    void (*show_loading_progress)(float fraction);
    void (*set_texture_reduction)(int32_t size_class, int32_t shift);
    int32_t (*get_screen_width)();
    int32_t (*get_screen_height)();
    OmResult (*open_demo_recordings)();
    const char* (*get_string)(const char* key, const char* fallback);
    // A data file failed its integrity check where the game cannot go on: the front end
    // notes it and, once the game's call has returned (the caller fails its load), stops the
    // network client, destroys the game, minimises the window, shows the damaged-files
    // message and ends the program through its normal shutdown.
    void (*fatal_damaged_files)();
};

// Installs the front end's table (copied); null restores the harmless defaults.
void TvInstallFrontEndServices(const TvFrontEndServices* services);
// The installed table (every entry null before installation).
const TvFrontEndServices& TvFrontEnd();

void TvLogError(const char* source, int32_t line, const char* message);
void TvLogError2(const char* source, int32_t line, const char* message, const char* detail);
// 0 when there is no sound set.
OmResult TvUpdateSounds();
ISound* TvGetSoundObject(const char* name);
// OM_E_FAIL when there is no sound set.
OmResult TvPlaySoundAt(const char* name, const LgMatrix* place, const LgVector* velocity);
void TvSetListenerFrame(const LgMatrix* place, const LgVector* velocity);
OmResult TvPlayMusic(int32_t track);
// The sound operations; each does nothing (0, or OM_E_FAIL) for a null sound.
int32_t TvSoundIsPlaying(ISound* sound);
OmResult TvSoundSetInt(ISound* sound, int32_t id, int32_t value);
OmResult TvSoundSetReal(ISound* sound, int32_t id, float value);
OmResult TvSoundPlay(ISound* sound, int32_t looping);
OmResult TvSoundStop(ISound* sound);
OmResult TvSoundPlace(ISound* sound, const LgMatrix* place, const LgVector* velocity);
OmResult TvSoundSetLevel(ISound* sound, float level);
uint32_t TvSoundRelease(ISound* sound);
void TvShowLoadingProgress(float fraction);
void TvSetTextureReduction(int32_t size_class, int32_t shift);
// 640 and 480 until the front end says otherwise.
int32_t TvGetScreenWidth();
int32_t TvGetScreenHeight();
OmResult TvOpenDemoRecordings();
// The language string of the key, or the fallback.
const char* TvGetString(const char* key, const char* fallback);

// Ends the program over damaged data files; without a front end it only logs the fault.
void TvFatalDamagedFiles(const char* source, int32_t line, const char* path);

// The "detailtextures" switch, 1 at start; the front end sets it, the landscape reads it.
extern int32_t TvDetailTexturesEnabled;
// The program-wide texture-reduction level, 0 at start; the front end sets it from its
// settings. Above 1 the engine's "jpg" reader halves every image it loads.
extern int32_t TvTextureReductionLevel;
