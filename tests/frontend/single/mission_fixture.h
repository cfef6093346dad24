// The single-player front end over the real menus, headless, with a fixture game held as the
// front end's game component and the single-player entry points installed.
#pragma once

#include "frontend/menus/pilot_roster.h"
#include "media/input/input_event.h"
#include "tests/frontend/menus/menu_fixture.h"
#include "tests/frontend/single/fixture_game.h"
#include "tests/support/virtual_clock.h"

#include <string>

namespace singletest {

inline constexpr uint32_t escape_key = 0x80;

class MissionTest : public menutest::MenuTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Input events queued as the devices would queue them.
    void post_key(uint32_t code, bool down);
    void post_click();
    void post_mouse(uint16_t code, int32_t value);
    void post_joystick(uint16_t code, uint32_t value);
    // A pilot in the slot (0-based), made current.
    TvPilotRecord& add_pilot(int32_t slot);

    testsupport::VirtualClockScope clock_;
    FixtureGame game_;
};

} // namespace singletest
