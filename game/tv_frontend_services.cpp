// The installed front-end services and their null-safe entry points.
#include "game/tv_frontend_services.h"

int32_t TvDetailTexturesEnabled = 1;
int32_t TvTextureReductionLevel = 0;

namespace {

constexpr int32_t kDefaultScreenWidth = 640;
constexpr int32_t kDefaultScreenHeight = 480;

TvFrontEndServices& installed() {
    static TvFrontEndServices services{};
    return services;
}

} // namespace

void TvInstallFrontEndServices(const TvFrontEndServices* services) {
    installed() = services ? *services : TvFrontEndServices{};
}

const TvFrontEndServices& TvFrontEnd() {
    return installed();
}

void TvLogError(const char* source, int32_t line, const char* message) {
    if (installed().log_error) installed().log_error(source, line, message);
}

void TvLogError2(const char* source, int32_t line, const char* message, const char* detail) {
    if (installed().log_error2) installed().log_error2(source, line, message, detail);
}

OmResult TvUpdateSounds() {
    return installed().update_sounds ? installed().update_sounds() : OM_S_OK;
}

ISound* TvGetSoundObject(const char* name) {
    return installed().get_sound_object && name ? installed().get_sound_object(name) : nullptr;
}

OmResult TvPlaySoundAt(const char* name, const LgMatrix* place, const LgVector* velocity) {
    return installed().play_sound_at ? installed().play_sound_at(name, place, velocity) : OM_E_FAIL;
}

void TvSetListenerFrame(const LgMatrix* place, const LgVector* velocity) {
    if (installed().set_listener_frame) installed().set_listener_frame(place, velocity);
}

OmResult TvPlayMusic(int32_t track) {
    return installed().play_music ? installed().play_music(track) : OM_S_OK;
}

int32_t TvSoundIsPlaying(ISound* sound) {
    return sound && installed().sound_is_playing ? installed().sound_is_playing(sound) : 0;
}

OmResult TvSoundSetInt(ISound* sound, int32_t id, int32_t value) {
    return sound && installed().sound_set_int ? installed().sound_set_int(sound, id, value)
                                              : OM_E_FAIL;
}

OmResult TvSoundSetReal(ISound* sound, int32_t id, float value) {
    return sound && installed().sound_set_real ? installed().sound_set_real(sound, id, value)
                                               : OM_E_FAIL;
}

OmResult TvSoundPlay(ISound* sound, int32_t looping) {
    return sound && installed().sound_play ? installed().sound_play(sound, looping) : OM_E_FAIL;
}

OmResult TvSoundStop(ISound* sound) {
    return sound && installed().sound_stop ? installed().sound_stop(sound) : OM_E_FAIL;
}

OmResult TvSoundPlace(ISound* sound, const LgMatrix* place, const LgVector* velocity) {
    return sound && installed().sound_place ? installed().sound_place(sound, place, velocity)
                                            : OM_E_FAIL;
}

OmResult TvSoundSetLevel(ISound* sound, float level) {
    return sound && installed().sound_set_level ? installed().sound_set_level(sound, level)
                                                : OM_E_FAIL;
}

uint32_t TvSoundRelease(ISound* sound) {
    return sound && installed().sound_release ? installed().sound_release(sound) : 0;
}

void TvShowLoadingProgress(float fraction) {
    if (installed().show_loading_progress) installed().show_loading_progress(fraction);
}

void TvSetTextureReduction(int32_t size_class, int32_t shift) {
    if (installed().set_texture_reduction) installed().set_texture_reduction(size_class, shift);
}

int32_t TvGetScreenWidth() {
    return installed().get_screen_width ? installed().get_screen_width() : kDefaultScreenWidth;
}

int32_t TvGetScreenHeight() {
    return installed().get_screen_height ? installed().get_screen_height() : kDefaultScreenHeight;
}

OmResult TvOpenDemoRecordings() {
    return installed().open_demo_recordings ? installed().open_demo_recordings() : OM_S_OK;
}

const char* TvGetString(const char* key, const char* fallback) {
    return installed().get_string ? installed().get_string(key, fallback) : fallback;
}

void TvFatalDamagedFiles(const char* source, int32_t line, const char* path) {
    TvLogError2(source, line, "Damaged data file:", path ? path : "");
    if (installed().fatal_damaged_files) installed().fatal_damaged_files();
}
