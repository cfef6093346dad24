// Window loss under X11: the error handler and the destroy event. Kept apart from the rest of
// the window code because the X headers define names (Window, None, Bool) that clash with it.
#include "platform/window/x11_window_loss.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <atomic>
#include <cstring>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#endif

namespace platform {
namespace {

std::atomic<uint64_t> loss_errors{0};
std::atomic<bool> window_lost{false};

bool x11_video() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

#if defined(SDL_VIDEO_DRIVER_X11)
XErrorHandler previous_handler = nullptr;

int on_x_error(Display* display, XErrorEvent* error) {
    if (take_x_error_as_window_loss(error->error_code)) return 0;
    return previous_handler ? previous_handler(display, error) : 0;
}
#endif

} // namespace

bool take_x_error_as_window_loss(int error_code) {
#if defined(SDL_VIDEO_DRIVER_X11)
    // A program that draws only into its own windows meets these two only when one of them
    // was destroyed under it; from then on, until it has shut down, every request about that
    // window (the renderer's drawable among them) may fail, whatever code it reports.
    if (error_code == BadWindow || error_code == BadDrawable) window_lost = true;
#else
    (void)error_code;
#endif
    if (!window_lost) return false;
    ++loss_errors;
    return true;
}

void watch_for_window_loss() {
    if (!x11_video()) return;
#if defined(SDL_VIDEO_DRIVER_X11)
    const XErrorHandler replaced = XSetErrorHandler(on_x_error);
    if (replaced != on_x_error) previous_handler = replaced;
#endif
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

uint64_t destroyed_x_window(const SDL_SysWMmsg* message) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (!message || message->subsystem != SDL_SYSWM_X11) return 0;
    const XEvent& event = message->msg.x11.event;
    if (event.type != DestroyNotify) return 0;
    return uint64_t(event.xdestroywindow.window);
#else
    (void)message;
    return 0;
#endif
}

uint64_t x_window_of(SDL_Window* window) {
    if (!window || !x11_video()) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    return uint64_t(info.info.x11.window);
#else
    return 0;
#endif
}

void* prepare_lost_window_destruction(SDL_Window* window) {
    if (!window || !x11_video()) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
#if defined(SDL_VIDEO_DRIVER_X11)
    watch_for_window_loss(); // SDL may have put its own handler back since
    return info.info.x11.display;
#else
    return nullptr;
#endif
}

void settle_window_loss(void* prepared) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (prepared) XSync(static_cast<Display*>(prepared), False);
#else
    (void)prepared;
#endif
}

uint64_t window_loss_errors() {
    return loss_errors;
}

} // namespace platform
