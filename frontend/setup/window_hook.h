// The front end's window-message hook: it tells the loops about focus changes and close
// requests through two program-wide flags, which they read after pumping messages.
#pragma once

#include "framework/platform/os_service.h"

#include <cstdint>

// 0 for a handled message, -1 otherwise: focus gained or lost (the focus flag follows),
// paint while focused (nothing is drawn here), close (the quit flag is set; the window stays
// for the shutdown to take down).
intptr_t TvFrontEndMessageHook(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam);

// 1 while the application window has the keyboard focus.
int32_t TvGetFocusFlag();
// The page loop clears it while the user is switched away; the hook sets it again.
void TvSetFocusFlag(int32_t focus);
// Alt and Tab: waits, pumping window messages with `pump`, while the application window has
// no focus. A focus loss that the window manager reports shortly after the keys still counts;
// when the focus never leaves (one window, the keys bound elsewhere, a slip) the wait ends
// after that grace instead of waiting for a focus-in that will not come. Ends on a close
// request too.
void TvWaitWhileUnfocused(void (*pump)());
// 1 after a close request.
int32_t TvGetQuitFlag();
void TvSetQuitFlag(int32_t quit);
// Back to the start of a run: focused (the window is made with the focus), not quitting.
void TvResetWindowFlags();
