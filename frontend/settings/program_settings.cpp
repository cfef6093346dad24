// Reading aerovant.ini's keys at start-up and at game set-up.
#include "frontend/settings/program_settings.h"

#include "framework/containers/property_sheet.h"
#include "frontend/settings/settings_values.h"

#include <cstdio>
#include <cstdlib>

namespace {

TvProgramSettings program_settings;

bool switch_on(IPropertySheet* sheet, const char* key, int32_t* value) {
    int32_t v = 0;
    if (!TvSettingsGetInt(sheet, key, &v)) return false;
    *value = v != 0 ? 1 : 0;
    return true;
}

} // namespace

TvProgramSettings& TvGetProgramSettings() {
    return program_settings;
}

void TvResetProgramSettings() {
    program_settings = {};
}

void TvReadStartupSettings(IPropertySheet* sheet, const std::string& client_address,
                           TvVideoChoice* video) {
    TvProgramSettings& s = program_settings;
    if (sheet->SetSection(TV_SECTION_GRAPHICS) >= 0) {
        TvSettingsGetInt(sheet, TV_KEY_RENDERER, &video->renderer);
        TvSettingsGetInt(sheet, TV_KEY_MODE, &video->mode);
        TvSettingsGetInt(sheet, TV_KEY_WINDOWED, &video->windowed);
        TvSettingsGetInt(sheet, TV_KEY_SHADOWS, &s.shadows);
        TvSettingsGetReal(sheet, TV_KEY_CAMERADISTANCE, &s.camera_distance);
        TvSettingsGetReal(sheet, TV_KEY_CAMERASCALAR, &s.camera_scalar);
        switch_on(sheet, TV_KEY_DETAILTEXTURES, &s.detail_textures);
    }
    sheet->UseSection(TV_SECTION_GLOBALCONTROL);
    s.control_type = 0;
    std::string type;
    if (TvSettingsGetText(sheet, TV_KEY_TYPE, TV_SETTINGS_TEXT_LIMIT, &type))
        s.control_type = int32_t(std::strtol(type.c_str(), nullptr, 10));
    sheet->UseSection(TV_SECTION_SERVER);
    if (client_address.empty()) {
        TvSettingsGetText(sheet, TV_KEY_IPADDRESS, TV_SETTINGS_TEXT_LIMIT, &s.server_address);
    } else {
        s.server_address = client_address.substr(0, TV_SETTINGS_TEXT_LIMIT);
        sheet->SetString(TV_KEY_IPADDRESS, s.server_address.c_str());
    }
}

void TvStartWithoutSettingsFile(const std::string& client_address) {
    program_settings.control_type = 0;
    program_settings.server_address = client_address.substr(0, TV_SETTINGS_TEXT_LIMIT);
}

void TvReadGameSetupSettings(IPropertySheet* sheet, bool cheats_unlocked,
                             TvGameSetupSettings* out) {
    TvGameSetupSettings s;
    sheet->UseSection(TV_SECTION_GRAPHICS);
    if (!TvSettingsGetReal(sheet, TV_KEY_DRAWDISTANCE, &s.draw_distance) &&
        sheet->GetStringLength(TV_KEY_DRAWDISTANCE) == 0)
        sheet->SetString(TV_KEY_DRAWDISTANCE, TV_DEFAULT_DRAWDISTANCE_TEXT);
    if (!TvSettingsGetInt(sheet, TV_KEY_EFFECTSDETAIL, &s.effects_detail) &&
        sheet->GetStringLength(TV_KEY_EFFECTSDETAIL) == 0)
        sheet->SetString(TV_KEY_EFFECTSDETAIL, TV_DEFAULT_EFFECTSDETAIL_TEXT);
    switch_on(sheet, TV_KEY_VSYNC, &s.vsync);
    int32_t detail = 0;
    if (switch_on(sheet, TV_KEY_DETAILTEXTURES, &detail) && detail) {
        s.detail_textures = 1;
        program_settings.detail_textures = 1;
    }
    TvSettingsGetInt(sheet, TV_KEY_SHADOWS, &s.shadows);

    if (cheats_unlocked && sheet->SetSection(TV_SECTION_CHEAT) >= 0) {
        switch_on(sheet, TV_KEY_BOOST, &s.boost);
        switch_on(sheet, TV_KEY_INFINITE, &s.infinite);
        switch_on(sheet, TV_KEY_INVULNERABLE, &s.invulnerable);
        TvSettingsGetReal(sheet, TV_KEY_GAMESPEED, &s.game_speed);
        TvSettingsGetReal(sheet, TV_KEY_ENEMYENDURANCE, &s.enemy_endurance);
    }
    if (sheet->SetSection(TV_SECTION_ROLL) >= 0)
        TvSettingsGetReal(sheet, TV_KEY_SENSITIVITY, &s.roll_sensitivity);
    if (sheet->SetSection(TV_SECTION_PITCH) >= 0)
        TvSettingsGetReal(sheet, TV_KEY_SENSITIVITY, &s.pitch_sensitivity);
    if (sheet->SetSection(TV_SECTION_THROTTLE) >= 0)
        TvSettingsGetReal(sheet, TV_KEY_SENSITIVITY, &s.throttle_sensitivity);

    sheet->UseSection(TV_SECTION_SOUND);
    for (int channel = 0; channel < 3; ++channel) {
        char key[32];
        std::snprintf(key, sizeof key, TV_KEY_CHANNEL_VOLUME_FORMAT, channel);
        TvSettingsGetReal(sheet, key, &s.volumes[size_t(channel)]);
    }
    s.hardware_sound = 0;
    TvSettingsGetInt(sheet, TV_KEY_HARDWARESOUND, &s.hardware_sound);

    for (int n = 0; n < TV_CAMPAIGN_COUNT; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, TV_SECTION_CAMPAIGN_FORMAT, n);
        if (sheet->SetSection(section) >= 0)
            TvSettingsGetText(sheet, TV_KEY_DIRECTORY, TV_SETTINGS_TEXT_LIMIT,
                              &s.campaign_directories[size_t(n)]);
    }
    *out = s;
}
