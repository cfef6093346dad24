// The sections, keys and defaults of aerovant.ini, and the settings the program keeps from it:
// those start-up reads ([graphics], [globalcontrol], [server]), the language, and those game
// set-up reads into the settings of every mission.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct IPropertySheet;

// Sections.
inline constexpr char TV_SECTION_GRAPHICS[] = "graphics";
inline constexpr char TV_SECTION_GLOBALCONTROL[] = "globalcontrol";
inline constexpr char TV_SECTION_SERVER[] = "server";
inline constexpr char TV_SECTION_LANGUAGE[] = "language";
inline constexpr char TV_SECTION_CHEAT[] = "cheat";
inline constexpr char TV_SECTION_SOUND[] = "sound";
inline constexpr char TV_SECTION_PITCH[] = "Player1Pitch";
inline constexpr char TV_SECTION_ROLL[] = "Player1Roll";
inline constexpr char TV_SECTION_THROTTLE[] = "Player1Throttle";
inline constexpr char TV_SECTION_CAMPAIGN_FORMAT[] = "Campaign%d";

// Keys.
inline constexpr char TV_KEY_RENDERER[] = "renderer";
inline constexpr char TV_KEY_MODE[] = "mode";
inline constexpr char TV_KEY_WINDOWED[] = "windowed";
inline constexpr char TV_KEY_SHADOWS[] = "shadows";
inline constexpr char TV_KEY_CAMERADISTANCE[] = "cameradistance";
inline constexpr char TV_KEY_CAMERASCALAR[] = "camerascalar";
inline constexpr char TV_KEY_DETAILTEXTURES[] = "detailtextures";
inline constexpr char TV_KEY_DRAWDISTANCE[] = "drawdistance";
inline constexpr char TV_KEY_EFFECTSDETAIL[] = "effectsdetail";
inline constexpr char TV_KEY_VSYNC[] = "vSync";
inline constexpr char TV_KEY_TYPE[] = "type";
inline constexpr char TV_KEY_IPADDRESS[] = "ipaddress";
inline constexpr char TV_KEY_LANGUAGE[] = "language";
inline constexpr char TV_KEY_BOOST[] = "boost";
inline constexpr char TV_KEY_INFINITE[] = "infinite";
inline constexpr char TV_KEY_INVULNERABLE[] = "invulnerable";
inline constexpr char TV_KEY_GAMESPEED[] = "gamespeed";
inline constexpr char TV_KEY_ENEMYENDURANCE[] = "enemyendurance";
inline constexpr char TV_KEY_SENSITIVITY[] = "sensitivity";
inline constexpr char TV_KEY_CHANNEL_VOLUME_FORMAT[] = "channel%dvol";
inline constexpr char TV_KEY_HARDWARESOUND[] = "hardwaresound";
inline constexpr char TV_KEY_DIRECTORY[] = "directory";

// Texts written back when missing.
inline constexpr char TV_DEFAULT_DRAWDISTANCE_TEXT[] = "600.0";
inline constexpr char TV_DEFAULT_EFFECTSDETAIL_TEXT[] = "1000";
inline constexpr char TV_DEFAULT_LANGUAGE[] = "english";

// Texts are kept to 31 characters.
inline constexpr uint32_t TV_SETTINGS_TEXT_LIMIT = 31;
inline constexpr int TV_CAMPAIGN_COUNT = 32;

// Read by start-up; the video settings stay with start-up.
struct TvVideoChoice {
    int32_t renderer = 0;
    int32_t mode = 0;
    int32_t windowed = 0;
};

// The program-wide settings of start-up and the language load.
struct TvProgramSettings {
    int32_t shadows = 1;
    float camera_distance = 1.0f;
    float camera_scalar = 1.0f;
    // The game's detail-texture switch: on unless the file switches it off.
    int32_t detail_textures = 1;
    // 0 mousekeys.ini, 1 joystick.ini, 2 joystickkeys.ini, 3 keyboard.ini.
    int32_t control_type = 0;
    std::string server_address;
    std::string language = TV_DEFAULT_LANGUAGE;
};

TvProgramSettings& TvGetProgramSettings();
// Back to the defaults (a new run).
void TvResetProgramSettings();

// Start-up's reading of a loaded file: [graphics] into `video` and the program settings (a
// missing key leaves its value); [globalcontrol] "type" (created when missing, 0 without the
// key); [server] (created when missing): "ipaddress" read into the server address, or written
// from `client_address` when one was given on the command line.
void TvReadStartupSettings(IPropertySheet* sheet, const std::string& client_address,
                           TvVideoChoice* video);
// Start-up without a settings file: nothing is read from or added to the sheet; the command
// line's address (which may be empty) is the server address.
void TvStartWithoutSettingsFile(const std::string& client_address);

// What game set-up reads into the settings of every mission.
struct TvGameSetupSettings {
    float draw_distance = 600.0f;
    int32_t effects_detail = 1000;
    int32_t vsync = 0;
    // The settings record's detail-texture switch: off unless the file switches it on.
    int32_t detail_textures = 0;
    int32_t shadows = 1;
    int32_t boost = 0;
    int32_t infinite = 0;
    int32_t invulnerable = 0;
    float game_speed = 1.0f;
    float enemy_endurance = 1.0f;
    float pitch_sensitivity = 0.5f;
    float roll_sensitivity = 0.5f;
    float throttle_sensitivity = 1.0f;
    // channel0vol music, channel1vol effects in game, channel2vol effects in the menus.
    std::array<float, 3> volumes = {0.5f, 1.0f, 1.0f};
    int32_t hardware_sound = 0;
    std::array<std::string, TV_CAMPAIGN_COUNT> campaign_directories;
};

// Game set-up's reading: creates [graphics] and [sound] when missing and writes the draw
// distance and effects detail back when missing; reads [cheat] only when `cheats_unlocked`
// (a pilot is past mission 25). "detailtextures" on switches the program's switch on too.
void TvReadGameSetupSettings(IPropertySheet* sheet, bool cheats_unlocked, TvGameSetupSettings* out);
