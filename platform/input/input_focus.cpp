// Window focus as the input devices see it.
#include "platform/input/input_focus.h"

#include "platform/window/window.h"

#include <atomic>

namespace platform {
namespace {

// -1: ask the window service; 0 or 1: forced.
std::atomic<int> forced_focus{-1};

} // namespace

bool window_has_input_focus(GfxWindow window) {
    int forced = forced_focus.load(std::memory_order_relaxed);
    if (forced >= 0) return forced != 0;
    return window && is_foreground(static_cast<Window*>(window));
}

void force_input_focus(bool focused) {
    forced_focus.store(focused ? 1 : 0);
}

void clear_forced_input_focus() {
    forced_focus.store(-1);
}

} // namespace platform
