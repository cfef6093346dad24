// Windows that the window system destroyed behind the program's back (under X11, a window
// destroyed by another client): the destruction arrives as a window-system event, and the X
// errors raised by drawing into the window before the program has closed it are expected,
// not the end of the program.
#pragma once

#include <cstdint>

struct SDL_Window;
struct SDL_SysWMmsg;

namespace platform {

// Once SDL's X11 video is up: installs the program's X error handler above SDL's (again
// whenever SDL has put its own back) and asks SDL for the window-system events that report a
// destroyed window. Nothing under other video drivers.
void watch_for_window_loss();

// The X window that a window-system message reports destroyed; 0 for any other message.
uint64_t destroyed_x_window(const SDL_SysWMmsg* message);

// The X window behind an SDL window; 0 when it has none (other video drivers).
uint64_t x_window_of(SDL_Window* window);

// Before an SDL window whose X window is lost is destroyed: returns what settle_window_loss
// needs (null when nothing is to be done).
void* prepare_lost_window_destruction(SDL_Window* window);
// After it was destroyed: a round trip on its X connection, so the errors of destroying a gone
// window reach the program's handler now, not when SDL closes the connection under its own.
void settle_window_loss(void* prepared);

// X errors taken as a lost window so far (a BadWindow or BadDrawable, and every error after
// the first of them: drawing into and shutting down a lost window raises them).
uint64_t window_loss_errors();

// The error handler's decision for an X error code: true when it is taken as window loss.
// Exposed for tests, which have no X errors to raise at will.
bool take_x_error_as_window_loss(int error_code);

} // namespace platform
