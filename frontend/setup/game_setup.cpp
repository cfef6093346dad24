// Game set-up as far as its parts exist: the settings sheet is kept and its keys read. The
// engine camera, the pilots, the input component (which plays CORVEL_INPUT_PLAYBACK back),
// the sound front end, the window-message hook, the network client and the profiler are
// made here, in that order, as their modules join the program.
#include "frontend/setup/game_setup.h"

#include "framework/containers/property_sheet.h"
#include "platform/message_box.h"

namespace {

IPropertySheet* settings_sheet = nullptr;
TvGameSetupSettings setup_settings;

} // namespace

OmResult TvSetUpGame(IPropertySheet* sheet) {
    if (!sheet) {
        platform::message_box(TV_SETUP_ERROR_TITLE, TV_SETUP_NO_SETTINGS_TEXT);
        return OM_E_FAIL;
    }
    TvReleaseGameSetUp();
    sheet->AddRef();
    settings_sheet = sheet;
    // No pilot exists yet to be past mission 25, so the cheats stay locked.
    TvReadGameSetupSettings(sheet, false, &setup_settings);
    return OM_S_OK;
}

void TvReleaseGameSetUp() {
    if (settings_sheet) settings_sheet->Release();
    settings_sheet = nullptr;
    setup_settings = {};
}

IPropertySheet* TvGetSettingsSheet() {
    return settings_sheet;
}

const TvGameSetupSettings& TvGetGameSetupSettings() {
    return setup_settings;
}
