// The single-player tests' fixture.
#include "tests/frontend/single/mission_fixture.h"

#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_state.h"
#include "frontend/setup/input_devices.h"
#include "frontend/single/mission_loop.h"
#include "frontend/single/single_player.h"
#include "media/input/input.h"

#include <gtest/gtest.h>

namespace singletest {

namespace {

const char settings_text[] = "[graphics]\nvSync=0\n"
                             "[sound]\nchannel0vol=0.5\nchannel1vol=1.0\nchannel2vol=0.8\n"
                             "[Player1]\n"
                             "[Player1Roll]\ntype=keyboard\nupkey=A\ndownkey=D\n"
                             "[Player1Fire]\ntype=keyboard\nkey=spacebar\n"
                             "[Campaign0]\ndirectory=allied\n"
                             "[server]\n";

void post(const InputEvent& event) {
    if (IInput* input = TvGetInput()) input->PostEvent(&event);
}

} // namespace

void MissionTest::SetUp() {
    MenuTest::SetUp();
    set_up_game(settings_text);
    TvInstallSinglePlayerEntryPoints();
    TvForgetMissionsPlayed();
    // Every page the single-player front end opens is one band over the whole page, so a
    // click anywhere chooses it; the pause page's band is set by each test.
    using menutest::write_page;
    for (const char* page :
         {"menus/victory.html", "menus/defeat.html", "menus/congratulations.html",
          "menus/allied_victory.html", "menus/central_victory.html", "menus/main.html",
          "missions/allied/loading2.html", "missions/allied/loading3.html"})
        write_page(dir_, page, {{"menus\\main.html", 480}});
    write_page(dir_, "Menus/pause.html", {{"command:return", 480}});
    ASSERT_NE(TvGetKeyboardDevice(), 0);
    ASSERT_NE(TvGetMouseDevice(), 0);
    TvSetGameComponent(&game_);
}

void MissionTest::TearDown() {
    MenuTest::TearDown();
    TvForgetMissionsPlayed();
}

void MissionTest::post_key(uint32_t code, bool down) {
    post(InputEvent{TvGetKeyboardDevice(), uint16_t(down ? 0x11 : 0x10), 0, code});
}

void MissionTest::post_click() {
    post(InputEvent{TvGetMouseDevice(), 0x41, 0, 0x23});
}

void MissionTest::post_mouse(uint16_t code, int32_t value) {
    post(InputEvent{TvGetMouseDevice(), code, 0, uint32_t(value)});
}

void MissionTest::post_joystick(uint16_t code, uint32_t value) {
    post(InputEvent{TvGetJoystickDevice(), code, 0, value});
}

TvPilotRecord& MissionTest::add_pilot(int32_t slot) {
    TvPilotRoster& roster = TvGetPilotRoster();
    roster.used[slot] = 1;
    TvResetPilot(slot);
    roster.current = slot;
    return roster.pilots[slot];
}

} // namespace singletest
