// Scripted key events: the script's lines, and events that reach the window messages, the key
// state and the keyboard device after the frames they name, as typed keys do.
#include "platform/clock.h"
#include "platform/window/event_hub.h"
#include "platform/window/key_script.h"
#include "platform/window/key_text.h"
#include "platform/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform;

TEST(KeyScript, LinesAreFrameActionAndSdlKeyName) {
    std::vector<ScriptedKey> keys;
    std::string error;
    ASSERT_TRUE(parse_key_script("# typing\n\n 3 down Left Shift \n3 down a # lower case\n"
                                 "4 up A\n2 up return\n",
                                 &keys, &error))
        << error;
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].frame, 3u);
    EXPECT_EQ(keys[0].scancode, uint32_t(SDL_SCANCODE_LSHIFT));
    EXPECT_TRUE(keys[0].down);
    EXPECT_EQ(keys[1].scancode, uint32_t(SDL_SCANCODE_A));
    EXPECT_FALSE(keys[2].down);
    EXPECT_EQ(keys[3].scancode, uint32_t(SDL_SCANCODE_RETURN));

    for (const char* bad :
         {"down A", "0 down A", "x down A", "3 press A", "3 down", "3 down Nokey"}) {
        error.clear();
        EXPECT_FALSE(parse_key_script(std::string("1 up A\n") + bad + "\n", &keys, &error)) << bad;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

class KeyScriptDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        reset_event_hub();
        window_ = create_window({"Key Script", "keys", nullptr, nullptr});
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        stop_key_script();
        destroy_window(window_);
        reset_event_hub();
    }
    std::vector<Msg> take_messages() {
        std::vector<Msg> out;
        Msg m;
        while (peek_message(&m, true)) out.push_back(m);
        return out;
    }
    Window* window_ = nullptr;
};

TEST_F(KeyScriptDelivery, EventsArriveAfterTheirFramesAsTypedKeys) {
    std::vector<ScriptedKey> keys;
    ASSERT_TRUE(parse_key_script("2 down Left Shift\n2 down K\n3 up K\n3 up Left Shift\n"
                                 "3 down Left Alt\n4 down Return\n4 up Return\n4 up Left Alt\n"
                                 "9 down Escape\n",
                                 &keys, nullptr));
    set_device_buffering(InputDevice::keyboard, true);
    start_key_script(keys);

    note_frame_shown(); // frame 1: nothing yet
    EXPECT_TRUE(take_messages().empty());

    note_frame_shown(); // frame 2: Shift and K go down
    std::vector<Msg> m = take_messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wparam, VK_SHIFT);
    EXPECT_EQ(m[1].message, WM_KEYDOWN);
    EXPECT_EQ(m[1].wparam, uintptr_t('K'));
    EXPECT_EQ(m[1].window, window_);
    EXPECT_TRUE(shift_key_down()); // what a text-entry page reads with the key-up

    note_frame_shown(); // frame 3: K and Shift up, Alt down
    m = take_messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, WM_KEYUP);
    EXPECT_EQ(character_of_virtual_key(uint32_t(m[0].wparam)), uint32_t('K'));
    EXPECT_EQ(m[1].message, WM_KEYUP);
    EXPECT_FALSE(shift_key_down());
    EXPECT_EQ(m[2].message, WM_SYSKEYDOWN);

    note_frame_shown(); // frame 4: Return with Alt held is a system key
    m = take_messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ(m[0].wparam, VK_RETURN);
    EXPECT_EQ(m[1].message, WM_SYSKEYUP);

    // The keyboard device saw every change, in order.
    std::vector<DeviceEvent> device(64);
    device.resize(read_device_events(InputDevice::keyboard, device.data(), device.size()));
    EXPECT_EQ(device.size(), 8u);

    // Stopping drops what is left.
    EXPECT_EQ(stop_key_script(), 8u);
    for (int i = 0; i < 10; ++i) note_frame_shown();
    EXPECT_TRUE(take_messages().empty());
}

} // namespace
