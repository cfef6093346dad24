// Text entry: the typing rules of the name and server-address pages, and the server address
// typed through window messages into [server] "ipaddress".
#include "framework/containers/property_sheet.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/settings/program_settings.h"
#include "frontend/startup/window_components.h"
#include "platform/window/event_hub.h"
#include "platform/window/messages.h"
#include "tests/frontend/single/mission_fixture.h"

#include <gtest/gtest.h>

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
