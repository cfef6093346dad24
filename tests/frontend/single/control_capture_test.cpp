// Control capture into the Player1 sections: keys, key halves, mouse axes and buttons,
// joystick axes, buttons and the hat, and Escape.
#include "framework/containers/property_sheet.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/single/control_capture.h"
#include "tests/frontend/single/mission_fixture.h"

#include <bit>
#include <gtest/gtest.h>

namespace {

class ControlCapture : public singletest::MissionTest {
protected:
    void SetUp() override {
        MissionTest::SetUp();
        IPropertySheet* sheet = TvGetSettingsSheet();
        ASSERT_GE(sheet->UseSection("Player1Test"), 0);
        sheet->SetString("type", "joystick");
        sheet->SetString("button", "3");
        sheet->SetString("axis", "1");
        sheet->SetString("upkey", "Q");
        sheet->SetString("downbutton", "4");
        sheet->SetString("sensitivity", "0.5");
    }
    void capture(int32_t up, int32_t kind) {
        EXPECT_EQ(TvRunControlCapture("Player1Test", up, kind), OM_S_OK);
    }
    std::string value(const char* name) { return key("Player1Test", name); }
};

TEST_F(ControlCapture, AKeyBindsTheControlAndRemovesTheOtherBindings) {
    post_key('a', true);
    capture(0, 1);
    EXPECT_EQ(value("key"), "A");
    EXPECT_EQ(value("type"), "keyboard");
    for (const char* gone : {"button", "axis", "upkey", "downbutton"})
        EXPECT_EQ(value(gone), "<missing>") << gone;
    EXPECT_EQ(value("sensitivity"), "0.5");
    post_key(0x95, true);
    capture(0, 1);
    EXPECT_EQ(value("key"), "leftarrow");
}

TEST_F(ControlCapture, AKeyHalfKeepsTheOtherHalf) {
    post_key('z', true);
    capture(0, 2);
    EXPECT_EQ(value("downkey"), "Z");
    EXPECT_EQ(value("upkey"), "Q");
    EXPECT_EQ(value("type"), "keyboard");
    EXPECT_EQ(value("axis"), "<missing>");
    EXPECT_EQ(value("downbutton"), "<missing>");
}

TEST_F(ControlCapture, EscapeLeavesTheSectionUnchanged) {
    post_mouse(0x41, 0x23); // a pressed button does not bind an axis control
    post_key(0x80, true);
    capture(1, 2);
    EXPECT_EQ(value("type"), "joystick");
    EXPECT_EQ(value("button"), "3");
    EXPECT_EQ(value("upkey"), "Q");
}

TEST_F(ControlCapture, TheMouseBindsAnAxisOnlyBeyondTwentyCounts) {
    post_mouse(0x30, 15);
    post_mouse(0x31, -10);
    post_key(0xff, true); // code 0xff is no key
    post_mouse(0x30, 10);
    capture(0, 2);
    EXPECT_EQ(value("axis"), "1");
    EXPECT_EQ(value("type"), "mouse");
    EXPECT_EQ(value("button"), "<missing>");
    EXPECT_EQ(value("upkey"), "<missing>");
    post_mouse(0x31, -25);
    capture(0, 2);
    EXPECT_EQ(value("axis"), "2");
    post_mouse(0x44, 0x23);
    capture(0, 1);
    EXPECT_EQ(value("button"), "3");
    EXPECT_EQ(value("type"), "mouse");
    EXPECT_EQ(value("axis"), "<missing>");
}

TEST_F(ControlCapture, JoystickAxesButtonsAndTheHat) {
    if (TvGetJoystickDevice() == 0) GTEST_SKIP() << "no joystick device";
    auto axis = [this](uint16_t a, float v) { post_joystick(a, std::bit_cast<uint32_t>(v)); };
    axis(1, 0.1f);
    axis(1, 0.3f); // drifts by 0.2: ignored
    axis(2, -0.2f);
    axis(2, 0.15f); // moves by 0.35: bound
    capture(0, 2);
    EXPECT_EQ(value("axis"), "2");
    EXPECT_EQ(value("type"), "joystick");
    post_joystick(192 + 4, 0x201);
    capture(1, 2);
    EXPECT_EQ(value("upbutton"), "5");
    EXPECT_EQ(value("axis"), "<missing>");
    post_joystick(0x80, 18000);
    capture(0, 1);
    EXPECT_EQ(value("button"), "-3");
}

TEST(CapturedKeyNames, TableNamesElseTheUpperCaseCharacter) {
    EXPECT_EQ(TvCapturedKeyName(0x20), "spacebar");
    EXPECT_EQ(TvCapturedKeyName(0x81), "f1");
    EXPECT_EQ(TvCapturedKeyName('q'), "Q");
    EXPECT_EQ(TvCapturedKeyName('5'), "5");
    EXPECT_EQ(TvCapturedKeyName(0xe4), "\xc4");
}

} // namespace
