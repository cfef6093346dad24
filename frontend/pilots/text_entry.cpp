// The name and server-address entry pages and the back-link page pass.
#include "frontend/pilots/text_entry.h"

#include "framework/containers/property_sheet.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_values.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/window_components.h"
#include "media/input/input.h"
#include "media/raster/mouse_pointer.h"
#include "platform/window/key_text.h"
#include "platform/window/messages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// The characters a name or an address may hold (Latin-1): a blank, digits, letters, the
// umlauts and sharp s, a full stop.
constexpr char allowed_characters[] =
    " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    "\xfc\xf6\xeb\xc4\xcb\xd6\xfc\xdc\xdf\xe4\xdc.";
constexpr char back_link[] = "command:back";

int32_t text_entry = 0;
int32_t entry_done = 0;
// The name being typed (the new pilot's full name).
char* name_text = nullptr;
size_t name_size = 0;
// The back page's own focus.
int32_t back_page_focus = -1;

bool allowed(uint32_t c) {
    return c != 0 && c < 0x100 && std::strchr(allowed_characters, char(c)) != nullptr;
}

bool application_window(OmWindowHandle window) {
    IOmWindow* main = TvGetMainWindow();
    return main && window == main->GetHandle();
}

// Mend: a key types with the Shift state that held when it went down. Read from the system at
// the key-up, a capital was lost whenever Shift came up before the letter's key (the messages
// of one frame are handled after all of its keys). The key messages come in the order the keys
// moved, so the state is followed through them: both Shift keys, and each key's Shift when it
// went down.
struct ShiftTrack {
    bool left = false, right = false;
    std::array<bool, 256> at_key_down{};

    void start() {
        *this = {};
        left = platform::shift_key_down();
    }
    bool held() const { return left || right; }
    // Key messages before the edit: Shift's own moves and the state each key went down with.
    void note(uint32_t message, uint32_t vk, intptr_t lparam) {
        const bool down = message == platform::WM_KEYDOWN || message == platform::WM_SYSKEYDOWN;
        const bool up = message == platform::WM_KEYUP || message == platform::WM_SYSKEYUP;
        if (vk == platform::VK_SHIFT && (down || up)) {
            (((uintptr_t(lparam) >> 16) & 0xff) == right_shift_scan ? right : left) = down;
        } else if (down && vk < at_key_down.size()) {
            at_key_down[vk] = held();
        }
    }
    bool when_down(uint32_t vk) const { return vk < at_key_down.size() && at_key_down[vk]; }

    static constexpr uintptr_t right_shift_scan = 0x36;
};
ShiftTrack shift;

// Key-up messages of the application window, edited into `text`; the page shown again.
bool edit(OmWindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam,
          std::string& text, size_t limit) {
    if (!application_window(window)) return false;
    const uint32_t vk = uint32_t(wparam);
    shift.note(message, vk, lparam);
    if (message != platform::WM_KEYUP) return false;
    if (TvApplyEntryKey(text, vk, platform::character_of_virtual_key(vk), shift.when_down(vk),
                        limit))
        entry_done = 1;
    return true;
}

// The pointer and click flag from the mouse events of one poll; keyboard events are dropped.
// The loops clear the click flag after every pass, so a press and its release in one poll
// make a click for that pass.
void read_pointer_events() {
    IInput* input = TvGetInput();
    if (!input) return;
    TvMenuState& m = TvMenus();
    const uint16_t mouse = TvGetMouseDevice();
    TvMenuClick clicks;
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (event.length) input->FreeEventData(&event);
        if (mouse == 0 || event.source != mouse) continue;
        const int32_t value = int32_t(event.value);
        if (event.code == TV_MOUSE_X)
            m.pointer_x = std::clamp(m.pointer_x + value, 0, 639);
        else if (event.code == TV_MOUSE_Y)
            m.pointer_y = std::clamp(m.pointer_y + value, 0, 479);
        else if (event.code == TV_MOUSE_BUTTON)
            clicks.button(m.click, event.value);
    }
}

void pump() {
    if (IOmOS* os = TvGetOS()) {
        os->Pump();
        if (os->IsQuitRequested()) TvSetQuitFlag(1);
    }
}

void poll_input() {
    if (IInput* input = TvGetInput()) input->Poll();
    read_pointer_events();
}

void show_frame(bool vsync) {
    TvDrawPage();
    TvDrawPointer();
    TvShowMenuFrame(vsync);
    TvCountMenuFrame();
}

// The link under the pointer selected, "Menu.Focus" when it changed; the clicked link's href.
bool clicked_link(int32_t* last_focus, std::string* href) {
    TvMenuState& m = TvMenus();
    IHTMLPage* page = TvGetCurrentPage();
    if (!page) return false;
    const int32_t hit = page->LinkAt(m.pointer_x, m.pointer_y);
    page->SelectLink(hit);
    // The pointer is the hand over a link and the arrow elsewhere, as on every page.
    if (IMousePointer* pointer = TvGetMenuPointer()) pointer->SetFrame(hit >= 0 ? 2 : 0);
    if (hit >= 0 && hit != *last_focus) tvfe::TvPlaySound("Menu.Focus");
    *last_focus = hit;
    if (hit < 0 || !(m.click & 1)) return false;
    char text[1024] = "", target[256] = "";
    if (page->GetLink(hit, text, sizeof text, target, sizeof target) < 0) return false;
    *href = text;
    return true;
}

void release_keyboard() {
    if (IInput* input = TvGetInput(); input && TvGetKeyboardDevice())
        input->DisableDevice(TvGetKeyboardDevice());
}

void restore_keyboard() {
    if (IInput* input = TvGetInput(); input && TvGetKeyboardDevice())
        input->EnableDevice(TvGetKeyboardDevice());
}

bool add_hook(OmMessageHook hook) {
    IOmWindow* window = TvGetMainWindow();
    return window && window->AddMessageHook(hook) >= 0;
}

void remove_hook(OmMessageHook hook) {
    if (IOmWindow* window = TvGetMainWindow()) window->RemoveMessageHook(hook);
}

} // namespace

bool TvApplyEntryKey(std::string& text, uint32_t vk, uint32_t c, bool shift, size_t limit) {
    if (text.empty() || text.back() != TV_TEXT_CURSOR) text += TV_TEXT_CURSOR;
    if (vk == platform::VK_DELETE || vk == platform::VK_BACK) {
        if (text.size() > 1) text.erase(text.size() - 2, 1);
        return false;
    }
    if (vk == platform::VK_RETURN) {
        const std::string typed = text.substr(0, text.size() - 1);
        if (typed.find_first_not_of(' ') == std::string::npos) return false;
        text = typed;
        return true;
    }
    if (text.size() >= limit) return false;
    if (c < 0x7f) {
        if (c >= 'A' && c <= 'Z') c += 0x20;
        if (shift && c >= 'a' && c <= 'z') c -= 0x20;
    } else {
        if (c >= 0xc0 && c <= 0xdd) c += 0x20;
        if (shift && c >= 0xe0 && c <= 0xfd) c -= 0x20;
    }
    if (allowed(c)) text.insert(text.size() - 1, 1, char(c));
    return false;
}

intptr_t TvNameEntryHook(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                         intptr_t lparam) {
    if (!name_text) return -1;
    std::string text = name_text;
    if (!edit(window, message, wparam, lparam, text, TV_NAME_ENTRY_LIMIT)) return -1;
    std::snprintf(name_text, name_size, "%s", text.c_str());
    TvShowPage(TV_ENTER_NAME_PAGE);
    return 1;
}

intptr_t TvServerEntryHook(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                           intptr_t lparam) {
    std::string& text = TvGetProgramSettings().server_address;
    if (!edit(window, message, wparam, lparam, text, TV_SERVER_ENTRY_LIMIT)) return -1;
    if (entry_done) {
        IPropertySheet* sheet = TvGetSettingsSheet();
        if (sheet && sheet->UseSection(TV_SECTION_SERVER) >= 0) {
            sheet->RemoveKey(TV_KEY_IPADDRESS);
            sheet->SetString(TV_KEY_IPADDRESS, text.c_str());
        }
    }
    TvShowPage(TV_ENTER_SERVER_PAGE);
    return 1;
}

int32_t TvGetTextEntryFlag() {
    return text_entry;
}

int32_t TvGetEntryDoneFlag() {
    return entry_done;
}

OmResult TvRunServerAddressEntry() {
    entry_done = 0;
    text_entry = 1;
    std::string& text = TvGetProgramSettings().server_address;
    text += TV_TEXT_CURSOR;
    TvSetLink(TV_ENTER_SERVER_PAGE);
    TvShowPage(TV_ENTER_SERVER_PAGE);
    release_keyboard();
    shift.start();
    const bool hooked = add_hook(TvServerEntryHook);
    while (!entry_done && hooked && !TvGetQuitFlag()) {
        pump();
        poll_input();
        TvMenus().click = 0;
        show_frame(false);
    }
    if (hooked) remove_hook(TvServerEntryHook);
    restore_keyboard();
    text_entry = 0;
    // An entry that did not end keeps no cursor in the address.
    if (!entry_done && !text.empty() && text.back() == TV_TEXT_CURSOR) text.pop_back();
    return entry_done ? OM_S_OK : OM_E_FAIL;
}

OmResult TvRunNameEntry(char* name, size_t size) {
    entry_done = 0;
    text_entry = 1;
    name_text = name;
    name_size = size;
    TvSetLink(TV_ENTER_NAME_PAGE);
    TvShowPage(TV_ENTER_NAME_PAGE);
    release_keyboard();
    shift.start();
    const bool hooked = add_hook(TvNameEntryHook);
    int32_t focus = -1;
    bool cancelled = !hooked;
    while (!entry_done && !cancelled && !TvGetQuitFlag()) {
        pump();
        poll_input();
        std::string href;
        if (clicked_link(&focus, &href)) cancelled = true;
        TvMenus().click = 0;
        show_frame(false);
    }
    if (hooked) remove_hook(TvNameEntryHook);
    restore_keyboard();
    name_text = nullptr;
    text_entry = 0;
    return entry_done ? OM_S_OK : OM_E_FAIL;
}

OmResult TvPollBackPage() {
    poll_input();
    std::string href;
    const bool back = clicked_link(&back_page_focus, &href) && href == back_link;
    if (back) return OM_E_FAIL;
    TvMenus().click = 0;
    show_frame(TvGetGameSettingsRecord().vsync != 0);
    return OM_S_OK;
}
