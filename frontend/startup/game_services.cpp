// The front end's services table for the game.
#include "frontend/startup/game_services.h"

#include "frontend/settings/data_storage.h"
#include "frontend/settings/language_strings.h"
#include "frontend/single/front_end_release.h"
#include "frontend/single/mission_pages.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/error_log.h"
#include "frontend/video/video_startup.h"
#include "game/rules/tv_control_bindings.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_camera.h"
#include "game/world/tv_effect_modules.h"
#include "game/world/tv_plane.h"
#include "sound/base/sound.h"

#include <cstdio>
#include <map>
#include <string>

namespace {

void log_error(const char* source, int32_t line, const char* message) {
    TvWriteErrorLine(source, line, message);
}

void log_error2(const char* source, int32_t line, const char* message, const char* detail) {
    TvWriteErrorLine2(source, line, message, detail);
}

void set_listener_frame(const LgMatrix* place, const LgVector* velocity) {
    tvfe::TvSetListenerFrame(place, velocity, nullptr);
}

// Entry n > 0 of music.ini is selected and played; 0 and below do nothing. Always 0.
OmResult play_music(int32_t track) {
    if (track <= 0) return OM_S_OK;
    tvfe::TvSelectMusic(track);
    tvfe::TvStartMusic();
    return OM_S_OK;
}

int32_t sound_is_playing(ISound* sound) {
    return sound->IsPlaying();
}

OmResult sound_set_int(ISound* sound, int32_t id, int32_t value) {
    return sound->SetParamInt(id, value);
}

OmResult sound_set_real(ISound* sound, int32_t id, float value) {
    return sound->SetParamReal(id, value);
}

OmResult sound_play(ISound* sound, int32_t looping) {
    return sound->Play(looping);
}

OmResult sound_stop(ISound* sound) {
    return sound->Stop();
}

OmResult sound_place(ISound* sound, const LgMatrix* place, const LgVector* velocity) {
    if (!place) return OM_E_FAIL;
    const float rows[12] = {place->right.x, place->right.y, place->right.z, place->up.x,
                            place->up.y,    place->up.z,    place->at.x,    place->at.y,
                            place->at.z,    place->pos.x,   place->pos.y,   place->pos.z};
    const float v[3] = {velocity ? velocity->x : 0.0f, velocity ? velocity->y : 0.0f,
                        velocity ? velocity->z : 0.0f};
    return sound->Set3D(rows, v);
}

OmResult sound_set_level(ISound* sound, float level) {
    return sound->SetParamReal(SOUND_REAL_VOLUME, level);
}

uint32_t sound_release(ISound* sound) {
    return sound->Release();
}

// Texts handed to the game stay valid for the run: one copy per key.
std::map<std::string, std::string>& string_copies() {
    static std::map<std::string, std::string> copies;
    return copies;
}

const char* get_string(const char* key, const char* fallback) {
    if (!key) return fallback;
    char missing[320];
    std::snprintf(missing, sizeof missing, TV_MISSING_STRING_FORMAT, key);
    std::string text = TvGetLanguageString(key);
    if (text == missing) return fallback;
    std::string& copy = string_copies()[key];
    copy = std::move(text);
    return copy.c_str();
}

} // namespace

void TvInstallGameServices() {
    TvFrontEndServices services{};
    services.log_error = log_error;
    services.log_error2 = log_error2;
    services.update_sounds = tvfe::TvUpdateSounds;
    services.get_sound_object = tvfe::TvGetSoundObject;
    services.play_sound_at = tvfe::TvPlaySoundAt;
    services.set_listener_frame = set_listener_frame;
    services.play_music = play_music;
    services.sound_is_playing = sound_is_playing;
    services.sound_set_int = sound_set_int;
    services.sound_set_real = sound_set_real;
    services.sound_play = sound_play;
    services.sound_stop = sound_stop;
    services.sound_place = sound_place;
    services.sound_set_level = sound_set_level;
    services.sound_release = sound_release;
    services.get_screen_width = tvfe::TvGetScreenWidth;
    services.get_screen_height = tvfe::TvGetScreenHeight;
    services.open_demo_recordings = tvfe::TvOpenDemoRecordings;
    services.get_string = get_string;
    services.show_loading_progress = TvDrawLoadingProgress;
    services.set_texture_reduction = TvStoreTextureReduction;
    services.fatal_damaged_files = TvNoteDamagedFiles;
    TvInstallFrontEndServices(&services);
    TvInstallControlBindingHooks();
    TvInstallEffectModules();
    TvSetCockpitRenderer(TvDrawPlaneCockpit);
}

void TvRemoveGameServices() {
    TvInstallFrontEndServices(nullptr);
    TvRemoveEffectModules();
    TvSetCockpitRenderer(nullptr);
    string_copies().clear();
}
