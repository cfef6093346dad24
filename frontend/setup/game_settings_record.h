// The settings record every mission is created from, with the values game set-up gives it,
// and the image-reduction level the game's image reader follows.
#pragma once

#include "frontend/settings/program_settings.h"
#include "game/rules/tv_game.h"

struct IUnknown;
struct IPropertySheet;

inline constexpr uint32_t TV_GAME_SETTINGS_SIZE = 13024;
inline constexpr int32_t TV_PLAYER_SLOTS = 8;
inline constexpr int32_t TV_JOIN_VALUE_A = 2475;
inline constexpr int32_t TV_JOIN_VALUE_B = 4200;
inline constexpr uint32_t TV_ALL_PLANES = 255;
inline constexpr char TV_DEFAULT_PLANE[] = "aircodh2";
// The device memory the image-reduction level is measured against.
inline constexpr int64_t TV_TEXTURE_MEMORY_REFERENCE = 31457280;

// The program's one settings record.
TvGameSettings& TvGetGameSettingsRecord();

// What the record is filled from at set-up.
struct TvGameSettingsSources {
    int32_t screen_width = 0;
    int32_t screen_height = 0;
    LgRaster* camera_raster = nullptr;
    LgRaster* depth_raster = nullptr;
    uint16_t keyboard_device = 0;
    uint16_t mouse_device = 0;
    ITimer* timer = nullptr;
    IProfile* profiler = nullptr;
    IUnknown* network_client = nullptr;
    IPropertySheet* settings_sheet = nullptr;
};

// The record's initial values, then the settings read from aerovant.ini.
void TvFillGameSettingsRecord(TvGameSettings* record, const TvGameSettingsSources& sources,
                              const TvGameSetupSettings& settings);

// 31,457,280 divided by the device's answer; a device that answers 0 or less (no figure)
// means no reduction (0).
int32_t TvTextureReductionDivisor(int32_t device_memory);
// The level set-up measured from the started engine (0 before): the game's program-wide
// texture-reduction level (TvTextureReductionLevel).
int32_t TvGetImageReductionLevel();
void TvSetImageReductionLevel(int32_t level);
