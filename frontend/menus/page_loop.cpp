// The page loop and the network status page.
#include "frontend/menus/page_loop.h"

#include "framework/platform/os_service.h"
#include "framework/platform/timer.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_seam.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/program_options.h"
#include "frontend/startup/window_components.h"
#include "game/rules/tv_game.h"
#include "media/input/input.h"
#include "media/raster/mouse_pointer.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t href_size = 1024;
constexpr uint32_t target_size = 256;

TvMenuSoundPlayer sound_player = nullptr;
TvMenuPassObserver pass_observer = nullptr;
long passes_total = 0;
constexpr long headless_frame_limit = 120;

void play(const char* name) {
    if (sound_player)
        sound_player(name);
    else
        tvfe::TvPlaySound(name);
}

void pump() {
    if (IOmOS* os = TvGetOS()) os->Pump();
}

void release_status_page() {
    IHTMLPage** slot = TvGetStatusPageSlot();
    if (*slot) (*slot)->Release();
    *slot = nullptr;
}

void set_pointer_frame(int32_t frame) {
    if (IMousePointer* pointer = TvGetMenuPointer()) pointer->SetFrame(frame);
}

// Alt-tab: the music pauses while the window has no focus.
void wait_for_focus() {
    tvfe::TvPauseMusic();
    TvWaitWhileUnfocused(pump);
    tvfe::TvStartMusic();
}

enum class Events { go_on, done, leave };

// Step 4: every queued input event.
Events read_events(TvMenuState& m, TvMenuClick& clicks) {
    IInput* input = TvGetInput();
    if (!input) return Events::go_on;
    const uint16_t mouse = TvGetMouseDevice();
    const uint16_t keyboard = TvGetKeyboardDevice();
    Events result = Events::go_on;
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (event.length) input->FreeEventData(&event);
        const int32_t value = int32_t(event.value);
        if (event.source == mouse && mouse != 0) {
            if (event.code == TV_MOUSE_X)
                m.pointer_x = std::clamp(m.pointer_x + value, 1, 639);
            else if (event.code == TV_MOUSE_Y)
                m.pointer_y = std::clamp(m.pointer_y + value, 1, 479);
            else if (event.code == TV_MOUSE_BUTTON)
                clicks.button(m.click, event.value);
        } else if (event.source == keyboard && keyboard != 0) {
            const bool alt = event.value == TV_KEY_LEFT_ALT || event.value == TV_KEY_RIGHT_ALT;
            if (event.code == TV_KEY_UP && alt) m.alt = 0;
            if (event.code != TV_KEY_DOWN) continue;
            if (alt) m.alt = 1;
            if (event.value == TV_KEY_F5) result = Events::done;
            if (event.value == TV_KEY_TAB && m.alt) {
                wait_for_focus();
                m.alt = 0;
                return Events::leave;
            }
        }
    }
    return result;
}

// Steps 6 and 7: the link under the pointer, focus sound, status page, choice.
bool choose(TvMenuState& m, std::string& link) {
    IHTMLPage* page = TvGetCurrentPage();
    const int32_t hit = page->LinkAt(m.pointer_x, m.pointer_y);
    if (hit < 0) {
        page->SelectLink(-1);
        m.focus = 0;
        release_status_page();
        set_pointer_frame(0);
        return false;
    }
    page->SelectLink(hit);
    if (!m.focus || hit != m.last_focused_link) {
        m.focus = 1;
        play("Menu.Focus");
        m.last_focused_link = hit;
    }
    bool chosen = false;
    char href[href_size] = "", target[target_size] = "";
    if (page->GetLink(hit, href, href_size, target, target_size) >= 0) {
        if (m.click & 1) {
            link.assign(href, std::min<size_t>(std::strlen(href), TV_LINK_LIMIT));
            chosen = true;
            release_status_page();
            play("Menu.Click");
        } else if (target[0]) {
            release_status_page();
            m.status_text = target;
            TvLoadPage(TV_STATUS_PAGE, TvGetStatusPageSlot());
        }
        set_pointer_frame(2);
    }
    m.click = 0;
    return chosen;
}

void hide_system_cursor() {
    // Hidden once: the display count stays at -1 however many passes ask.
    if (platform::show_cursor(false) < -1) platform::show_cursor(true);
}

} // namespace

OmResult TvRunPage(std::string& link, uint32_t timeout_ms) {
    TvMenuState& m = TvMenus();
    bool done = false;
    uint32_t elapsed = 0;
    if (IInput* input = TvGetInput()) input->Poll();
    for (long pass = 0; !done; ++pass) {
        if (pass_observer) pass_observer(pass);
        if (TvGetQuitFlag()) return OM_S_OK;
        pump();
        if (IInput* input = TvGetInput()) input->Poll();
        if (IOmAerovantClient* client = TvGetNetworkClient()) client->Poll(0);
        if (m.leave_page) return OM_S_OK;
        // A close request: the flag stays set, so every loop above this one ends too.
        if (IOmOS* os = TvGetOS(); os && os->IsQuitRequested()) TvSetQuitFlag(1);
        if (TvGetQuitFlag()) return OM_S_OK;

        TvMenuClick clicks;
        const Events events = read_events(m, clicks);
        if (events == Events::leave) {
            clicks.end_pass(m.click);
            return OM_S_OK;
        }
        if (events == Events::done) done = true;

        uint32_t step = 0;
        if (ITimer* timer = TvGetTimer()) {
            timer->Update();
            step = timer->GetDeltaMs();
        }
        if (m.mission_loaded) {
            if (ITvGame* game = TvGetGameComponent()) {
                const InputEvent tick{TV_TIMER_DEVICE, TV_TIMER_CODE, 12, step};
                game->HandleInput(&tick);
            }
        }
        elapsed += step;

        if (TvGetCurrentPage()) {
            if (choose(m, link)) done = true;
            hide_system_cursor();
            TvDrawPage();
            TvDrawPointer();
            TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
        }
        clicks.end_pass(m.click);
        TvCountMenuFrame();
        tvfe::TvUpdateSounds();
        if (timeout_ms != 0 && elapsed > timeout_ms) {
            link = TV_TIMEOUT_LINK;
            done = true;
        }
    }
    return OM_S_OK;
}

void TvMenuClick::button(uint32_t& click, uint32_t value) {
    if (value == TV_BUTTON_PRESSED) {
        click |= 1;
        pressed_ = true;
        released_after_press_ = false;
    } else if (pressed_) {
        released_after_press_ = true;
    } else {
        click = 0;
    }
}

void TvMenuClick::end_pass(uint32_t& click) {
    if (released_after_press_) click = 0;
    pressed_ = released_after_press_ = false;
}

OmResult TvShowNetStatusPage(const char* page, int32_t value) {
    TvMenuState& m = TvMenus();
    if (!page) return OM_S_OK;
    if (m.status_shown && m.link == page && m.status_value_shown == value) return OM_S_OK;
    char command[64] = "";
    if (std::strcmp(page, "menus\\connecting.html") == 0)
        std::snprintf(command, sizeof command, "command:settimervalue:%d", value);
    else if (std::strcmp(page, "menus\\waiting.html") == 0)
        std::snprintf(command, sizeof command, "command:setwaittimervalue:%d", value);
    if (command[0]) {
        TvSetLink(command);
        TvDispatchLink();
    }
    TvSetLink(page);
    TvShowPage(m.link.c_str());
    TvDrawPage();
    TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
    m.status_value_shown = value;
    m.status_shown = true;
    return OM_S_OK;
}

void TvSetMenuPassObserver(TvMenuPassObserver observer) {
    pass_observer = observer;
}

void TvSetMenuSoundPlayer(TvMenuSoundPlayer player) {
    sound_player = player;
}

long TvMenuPassCount() {
    return passes_total;
}

void TvResetMenuPassCount() {
    passes_total = 0;
}

void TvCountMenuFrame() {
    ++passes_total;
    long limit = TvGetProgramOptions().frames;
    // Nobody can quit a headless run: it ends after a fixed number of frames.
    if (limit < 0 && platform::headless()) limit = headless_frame_limit;
    if (limit >= 0 && passes_total >= limit) TvSetQuitFlag(1);
}
