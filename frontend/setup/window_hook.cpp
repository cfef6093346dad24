// The front end's window-message hook and its flags.
#include "frontend/setup/window_hook.h"

#include "platform/window/messages.h"
#include "platform/window/window.h"

namespace {

constexpr intptr_t handled = 0;
constexpr intptr_t not_handled = -1;

int32_t focus_flag = 1;
int32_t quit_flag = 0;

} // namespace

intptr_t TvFrontEndMessageHook(OmWindowHandle window, uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
    case platform::WM_SETFOCUS: focus_flag = 1; return handled;
    case platform::WM_KILLFOCUS: focus_flag = 0; return handled;
    // The frame loops redraw the whole window every pass; a focused window's paint request is
    // simply taken (which validates it). Unfocused, the window's own handling stands.
    case platform::WM_PAINT:
        return focus_flag && platform::is_window(window) ? handled : not_handled;
    case platform::WM_CLOSE: quit_flag = 1; return handled;
    default: return not_handled;
    }
}

int32_t TvGetFocusFlag() {
    return focus_flag;
}

void TvSetFocusFlag(int32_t focus) {
    focus_flag = focus;
}

int32_t TvGetQuitFlag() {
    return quit_flag;
}

void TvSetQuitFlag(int32_t quit) {
    quit_flag = quit;
}

void TvResetWindowFlags() {
    focus_flag = 1;
    quit_flag = 0;
}
