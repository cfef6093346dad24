// Text entry: the typing rules of the name and server-address pages, the server address typed
// through window messages into [server] "ipaddress", and a name typed on the keyboard.
#include "framework/containers/property_sheet.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/settings/program_settings.h"
#include "frontend/startup/window_components.h"
#include "media/raster/mouse_pointer.h"
#include "platform/window/event_hub.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "tests/frontend/single/mission_fixture.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

using platform::VK_BACK;
using platform::VK_DELETE;
using platform::VK_RETURN;

// One key typed into the text: its character and Shift (the key code of a full stop is not
// its character).
bool key(std::string& text, uint32_t c, bool shift = false, size_t limit = TV_NAME_ENTRY_LIMIT) {
    const uint32_t vk = c == '.' ? platform::VK_OEM_PERIOD : c < 0x80 ? c : platform::VK_OEM_7;
    return TvApplyEntryKey(text, vk, c, shift, limit);
}

TEST(TextEntryRules, LettersFollowShiftAndOnlyAllowedCharactersAreTaken) {
    struct Case {
        uint32_t c;
        bool shift;
        const char* result;
    };
    for (const Case& c : {Case{'A', false, "a_"}, Case{'A', true, "A_"}, Case{'7', true, "7_"},
                          Case{0xC4, false, "\xe4_"}, Case{0xC4, true, "\xc4_"},
                          Case{0xDF, false, "\xdf_"}, Case{'*', false, "_"}, Case{0xC0, false, "_"},
                          Case{' ', false, " _"}, Case{'.', false, "._"}}) {
        std::string text = "_";
        EXPECT_FALSE(key(text, c.c, c.shift));
        EXPECT_EQ(text, c.result) << std::hex << c.c << " shift " << c.shift;
    }
}

TEST(TextEntryRules, DeleteReturnAndTheLengthLimits) {
    std::string text = "_";
    TvApplyEntryKey(text, VK_BACK, 8, false, TV_NAME_ENTRY_LIMIT);
    EXPECT_EQ(text, "_");
    for (int i = 0; i < 13; ++i) key(text, 'B');
    EXPECT_EQ(text, "bbbbbbbbbbbb_"); // the twelfth is taken, the thirteenth not
    TvApplyEntryKey(text, VK_DELETE, 0, false, TV_NAME_ENTRY_LIMIT);
    EXPECT_EQ(text, "bbbbbbbbbbb_");
    std::string address = "_";
    for (int i = 0; i < 17; ++i) key(address, '1', false, TV_SERVER_ENTRY_LIMIT);
    EXPECT_EQ(address, "111111111111111_");
    // Return on nothing or blanks does nothing; on a text it ends the entry without the cursor.
    std::string blanks = "  _";
    EXPECT_FALSE(TvApplyEntryKey(blanks, VK_RETURN, 13, false, TV_NAME_ENTRY_LIMIT));
    EXPECT_EQ(blanks, "  _");
    EXPECT_TRUE(TvApplyEntryKey(text, VK_RETURN, 13, false, TV_NAME_ENTRY_LIMIT));
    EXPECT_EQ(text, "bbbbbbbbbbb");
}

class ServerEntry : public singletest::MissionTest {};
class NameEntry : public singletest::MissionTest {};

// A key typed on the keyboard: its press and release reach SDL, and from there the event hub.
void push_key(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = SDL_GetWindowID(platform::sdl_window(TvGetMainWindow()->GetHandle()));
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = code;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST_F(NameEntry, ACapitalTypedWithShiftReleasedFirstStaysACapital) {
    // A link band at the top; the pointer rests below it.
    menutest::write_page(dir_, "menus/entername.html", {{"menus\\main.html", 50}});
    TvMenus().pointer_y = 200;
    TvGetMenuPointer()->SetFrame(2); // the hand, as the link that opened the page left it
    // All in one frame: Shift down, J down, Shift up, J up; then a blank, a lower-case o and
    // Return. The J's key-up is read after Shift is up.
    for (const auto& [code, down] :
         std::vector<std::pair<SDL_Scancode, bool>>{{SDL_SCANCODE_LSHIFT, true},
                                                    {SDL_SCANCODE_J, true},
                                                    {SDL_SCANCODE_LSHIFT, false},
                                                    {SDL_SCANCODE_J, false},
                                                    {SDL_SCANCODE_RSHIFT, true},
                                                    {SDL_SCANCODE_O, true},
                                                    {SDL_SCANCODE_O, false},
                                                    {SDL_SCANCODE_RSHIFT, false},
                                                    {SDL_SCANCODE_O, true},
                                                    {SDL_SCANCODE_O, false},
                                                    {SDL_SCANCODE_RETURN, true},
                                                    {SDL_SCANCODE_RETURN, false}})
        push_key(code, down);
    char name[32] = "_";
    EXPECT_EQ(TvRunNameEntry(name, sizeof name), OM_S_OK);
    EXPECT_STREQ(name, "JOo");
    // Over no link the pointer is the arrow.
    EXPECT_EQ(TvGetMenuPointer()->GetFrame(), 0);
}

TEST_F(ServerEntry, TheTypedAddressIsStoredExactlyWithoutTheCursor) {
    menutest::write_page(dir_, "menus/enterserver.html", {{"menus\\main.html", 480}});
    TvGetProgramSettings().server_address.clear();
    // A click on the page does nothing here.
    post_click();
    const uintptr_t keys[] = {'1', '0',      platform::VK_OEM_PERIOD, '1', '2', '3', '4',
                              '5', VK_RETURN};
    for (uintptr_t k : keys)
        platform::post_message(TvGetMainWindow()->GetHandle(), platform::WM_KEYUP, k, 0);
    EXPECT_EQ(TvRunServerAddressEntry(), OM_S_OK);
    EXPECT_EQ(TvGetProgramSettings().server_address, "10.12345");
    EXPECT_EQ(key("server", "ipaddress"), "10.12345");
    EXPECT_EQ(TvGetTextEntryFlag(), 0);
}

} // namespace
