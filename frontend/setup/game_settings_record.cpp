// The settings record and its set-up values.
#include "frontend/setup/game_settings_record.h"

#include "game/tv_frontend_services.h"

#include <cstring>

namespace {

TvGameSettings record{};

} // namespace

TvGameSettings& TvGetGameSettingsRecord() {
    return record;
}

void TvFillGameSettingsRecord(TvGameSettings* r, const TvGameSettingsSources& sources,
                              const TvGameSetupSettings& settings) {
    *r = TvGameSettings{};
    r->size = TV_GAME_SETTINGS_SIZE;
    r->placed_player_count = 0;
    r->player_count = TV_PLAYER_SLOTS;
    r->viewport_count = 0; // the new-session word
    r->width = sources.screen_width;
    r->height = sources.screen_height;
    r->front_end_word6 = 1;
    r->far_clip = settings.draw_distance;
    r->effects_detail = settings.effects_detail;
    r->mission_number = 1;
    r->frame_raster = sources.camera_raster;
    r->depth_raster = sources.depth_raster;
    r->keyboard_device = sources.keyboard_device;
    r->mouse_device = sources.mouse_device;
    r->timer_device = kTvTimerDeviceId;
    for (int32_t& word : r->front_end_words15) word = 1;
    r->vsync = settings.vsync;
    r->boost = settings.boost;
    r->infinite = settings.infinite;
    r->invulnerable = settings.invulnerable;
    r->game_speed = settings.game_speed;
    r->enemy_endurance = settings.enemy_endurance;
    r->standard_endurance = 1.0f;
    r->hardware_sound = settings.hardware_sound;
    r->network_client = sources.network_client;
    r->settings_sheet = sources.settings_sheet;
    r->local_player = 0; // the side word
    r->join_values[0] = TV_JOIN_VALUE_A;
    r->join_values[1] = TV_JOIN_VALUE_B;
    std::strncpy(r->plane_id, TV_DEFAULT_PLANE, sizeof r->plane_id - 1);
    r->available_planes = TV_ALL_PLANES;
    r->timer = sources.timer;
    r->profiler = sources.profiler;
}

int32_t TvTextureReductionDivisor(int32_t device_memory) {
    return device_memory > 0 ? int32_t(TV_TEXTURE_MEMORY_REFERENCE / device_memory) : 0;
}

int32_t TvGetImageReductionLevel() {
    return TvTextureReductionLevel;
}

void TvSetImageReductionLevel(int32_t level) {
    // The game's image reader reads the level: above 1 it halves every "jpg" it loads.
    TvTextureReductionLevel = level;
}
