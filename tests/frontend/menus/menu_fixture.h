// The menus over the real engine, headless: game set-up on a settings sheet read from the
// test's aerovant.ini, the data storage, the menu camera, browser and pointer from a test data
// set, and recording stand-ins for the entry points the menus start (missions, sessions,
// pilots, text entry, control capture, credits).
#pragma once

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/settings/settings_file.h"
#include "tests/frontend/menus/menu_data.h"
#include "tests/frontend/video_fixture.h"

#include <string>
#include <vector>

namespace menutest {

// What the stand-ins were asked, and how they answer.
struct EntryScript {
    std::vector<std::string> calls;
    OmResult answer = OM_S_OK; // of every stand-in
    std::string next_page;     // left in the link buffer by missions and sessions
};
EntryScript& entry_script();
const TvMenuEntryPoints& recording_entry_points();

class MenuTest : public frontendtest::VideoTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The sheet loaded from `ini` (written as aerovant.ini) and game set-up run on it.
    void set_up_game(const std::string& ini);
    // The key's value, or "<missing>".
    std::string key(const char* section, const char* name);
    bool has_section(const char* section);

    ComRef<IPropertySheet> sheet_;
};

} // namespace menutest
