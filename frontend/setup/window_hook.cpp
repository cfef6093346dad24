// The front end's window-message hook and its flags.
#include "frontend/setup/window_hook.h"

#include "platform/clock.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"

namespace {

constexpr intptr_t handled = 0;
constexpr intptr_t not_handled = -1;

// How long a task switch waits for the focus loss to be reported.
constexpr uint32_t focus_loss_grace_ms = 100;
constexpr uint32_t unfocused_poll_ms = 10;

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

void TvWaitWhileUnfocused(void (*pump)()) {
    // Mend: the focus flag is not cleared here. Cleared, the loops waited for a new focus-in
    // even when the focus had never left, and the program stood still until the user clicked
    // another window and back.
    const uint32_t start = platform::timeGetTime();
    while (focus_flag && !quit_flag && platform::timeGetTime() - start < focus_loss_grace_ms) {
        pump();
        if (focus_flag) platform::Sleep(unfocused_poll_ms);
    }
    while (!focus_flag && !quit_flag) {
        pump();
        if (!focus_flag) platform::Sleep(unfocused_poll_ms);
    }
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
