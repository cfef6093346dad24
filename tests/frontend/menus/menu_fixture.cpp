// The menus' test fixture.
#include "tests/frontend/menus/menu_fixture.h"

#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "frontend/menus/front_end.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/page_seam.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/program_settings.h"
#include "frontend/setup/cheat_gate.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/program_options.h"

#include <limits>

namespace menutest {

namespace {

EntryScript script;

OmResult record(std::string call) {
    script.calls.push_back(std::move(call));
    return script.answer;
}

OmResult leave_next_page(OmResult result) {
    if (result >= 0 && !script.next_page.empty()) TvSetLink(script.next_page);
    return result;
}

const TvMenuEntryPoints recording{
    [](int32_t mission) { return leave_next_page(record("mission " + std::to_string(mission))); },
    [](const char* address) {
        return leave_next_page(record(std::string("session ") + (address ? address : "-")));
    },
    [](int32_t pilot) {
        const OmResult r = record("create pilot " + std::to_string(pilot));
        if (r >= 0) TvGetPilotRoster().used[pilot - 1] = 1;
        return r;
    },
    []() { return record("save pilots"); },
    []() { return record("enter server address"); },
    [](const char* section, int32_t up, int32_t kind) {
        return record(std::string("capture ") + section + " " + std::to_string(up) + " " +
                      std::to_string(kind));
    },
    []() { return record("credits"); },
};

} // namespace

EntryScript& entry_script() {
    return script;
}

const TvMenuEntryPoints& recording_entry_points() {
    return recording;
}

void MenuTest::SetUp() {
    VideoTest::SetUp();
    script = {};
    TvResetMenuState();
    TvResetMenuPassCount();
    TvClearPilotRoster();
    TvResetProgramSettings();
    TvResetWindowFlags();
    TvSetPilotProgress({});
    // No frame limit: the tests end their loops themselves.
    TvSetProgramOptions({"", std::numeric_limits<long>::max()});
    write_menu_data(dir_);
    ASSERT_GE(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet_.put()), 0);
    TvInstallMenuEntryPoints(&recording);
    TvInstallMenuPageHooks();
}

void MenuTest::set_up_game(const std::string& ini) {
    dir_.write_file(TV_SETTINGS_FILE_NAME, ini);
    ComRef<IFileStorage> storage;
    ASSERT_GE(OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()), 0);
    sheet_->Clear();
    TvLoadSettingsFile(storage.get(), sheet_.get(), TV_SETTINGS_FILE_NAME);
    TvVideoChoice video;
    TvReadStartupSettings(sheet_.get(), "", &video);
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    ASSERT_GE(tvfe::TvOpenDemoRecordings(), 0);
    ASSERT_EQ(TvSetUpMenuVideo(), OM_S_OK);
}

void MenuTest::TearDown() {
    TvInstallMenuEntryPoints(nullptr);
    TvShutDownFrontEnd();
    TvInstallPageHooks(nullptr);
    TvClearPilotRoster();
    TvResetMenuState();
    TvResetProgramSettings();
    TvSetProgramOptions({});
    sheet_.reset();
    VideoTest::TearDown();
}

std::string MenuTest::key(const char* section, const char* name) {
    char text[256] = {};
    if (sheet_->SetSection(section) < 0 || sheet_->GetString(name, text, sizeof text) < 0)
        return "<missing>";
    return text;
}

bool MenuTest::has_section(const char* section) {
    return sheet_->SetSection(section) >= 0;
}

} // namespace menutest
