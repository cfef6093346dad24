// Win32OS's window procedure: the message hooks, then the service's own handling of
// activation, painting, keys and the display-mode keys.
#include "framework/core/com_ref.h"
#include "framework/platform/win32_os.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"

using namespace platform;

namespace {

// Windowed modes change by these steps and stay within these bounds.
constexpr uint32_t window_step_width = 16;
constexpr uint32_t window_step_height = 12;
constexpr uint32_t window_min_side = 32;
constexpr uint32_t window_max_side = 2048;

// The listed mode with the same size and format as `mode`, or -1.
int64_t index_of_mode(IDisplay* display, const OmDisplayMode& mode) {
    uint32_t count = display->GetModeCount();
    for (uint32_t i = 0; i < count; ++i) {
        OmDisplayMode m;
        if (display->GetMode(i, &m) < 0) continue;
        if (m.width == mode.width && m.height == mode.height && m.format == mode.format) return i;
    }
    return -1;
}

bool read_listed_mode(IDisplay* display, int64_t index, OmDisplayMode& mode) {
    if (index < 0 || index >= int64_t(display->GetModeCount())) return false;
    OmDisplayMode m;
    if (display->GetMode(uint32_t(index), &m) < 0) return false;
    mode = m;
    mode.windowed = 0;
    return true;
}

} // namespace

OmResult OmFindClosestDisplayMode(IDisplay* display, const OmDisplayMode* wanted, uint32_t* index) {
    if (!display || !wanted || !index) return OM_E_FAIL;
    uint64_t wanted_area = uint64_t(wanted->width) * wanted->height;
    uint64_t best_difference = 0;
    bool found = false;
    uint32_t count = display->GetModeCount();
    for (uint32_t i = 0; i < count; ++i) {
        OmDisplayMode m;
        if (display->GetMode(i, &m) < 0 || m.format != wanted->format) continue;
        uint64_t area = uint64_t(m.width) * m.height;
        uint64_t difference = area > wanted_area ? area - wanted_area : wanted_area - area;
        if (!found || difference < best_difference) {
            best_difference = difference;
            *index = i;
            found = true;
        }
    }
    return found ? OM_S_OK : OM_E_FAIL;
}

void Win32OS::write_key(uint8_t byte, intptr_t lparam) {
    if (!key_stream_) return;
    for (uint32_t n = key_repeat_count(lparam); n > 0; --n) key_stream_->Write(&byte, 1, nullptr);
}

void Win32OS::change_display_mode(uint32_t key) {
    if (!user_value_) return;
    ComRef<IDisplay> display;
    if (user_value_->QueryInterface(IID_IDisplay, display.put_void()) < 0) return;
    OmDisplayMode mode;
    if (display->GetCurrentMode(&mode) < 0) return;
    const OmDisplayMode old = mode;
    bool change = false;
    if (key == VK_RETURN) {
        if (!mode.windowed) {
            mode.windowed = 1;
            change = true;
        } else {
            uint32_t index;
            change = OmFindClosestDisplayMode(display.get(), &mode, &index) >= 0 &&
                     read_listed_mode(display.get(), index, mode);
        }
    } else if (key == VK_F11) {
        if (!mode.windowed) {
            int64_t current = index_of_mode(display.get(), mode);
            change = current > 0 && read_listed_mode(display.get(), current - 1, mode);
        } else if (mode.width >= window_min_side + window_step_width &&
                   mode.height >= window_min_side + window_step_height) {
            mode.width -= window_step_width;
            mode.height -= window_step_height;
            change = true;
        }
    } else if (key == VK_F12) {
        if (!mode.windowed) {
            int64_t current = index_of_mode(display.get(), mode);
            change = current >= 0 && read_listed_mode(display.get(), current + 1, mode);
        } else if (mode.width + window_step_width <= window_max_side &&
                   mode.height + window_step_height <= window_max_side) {
            mode.width += window_step_width;
            mode.height += window_step_height;
            change = true;
        }
    }
    if (change && display->SetMode(&mode) < 0) display->SetMode(&old);
}

intptr_t Win32OS::HandleMessage(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                                intptr_t lparam) {
    // A hook may add or remove hooks while it runs, so the count is read at every step.
    for (int32_t i = 0; i < hooks_.count; ++i) {
        auto hook = reinterpret_cast<OmMessageHook>(OmPtrArrayAt(&hooks_, i));
        intptr_t r = hook(window, message, wparam, lparam);
        if (r >= 0) return r;
    }
    switch (message) {
    case WM_DESTROY: post_quit_message(0); return 0;
    case WM_CLOSE:
        if (window == window_) window_ = nullptr;
        destroy_window(window);
        return 0;
    case WM_ACTIVATE:
        if ((wparam & 0xFFFF) != WA_INACTIVE) apply_show_state(false);
        return 0;
    case WM_SETFOCUS:
        if (!is_minimized(window)) apply_show_state(false);
        return 0;
    case WM_KILLFOCUS: invalidate_window(window); return 0;
    case WM_PAINT:
    case WM_ERASEBKGND: return 0;
    case WM_MOUSEACTIVATE: apply_show_state(false); return MA_ACTIVATEANDEAT;
    case WM_GETMINMAXINFO:
        if (lparam && width_ && height_) {
            auto* info = reinterpret_cast<MinMaxInfo*>(lparam);
            info->min_track_size = info->max_track_size = {int32_t(width_), int32_t(height_)};
        }
        return 0;
    case WM_NCACTIVATE: return 1;
    case WM_KEYDOWN:
        if (key_is_extended(lparam)) write_key(uint8_t((wparam & 0xFF) | 0x80), lparam);
        return 0;
    case WM_CHAR: write_key(uint8_t(wparam), lparam); return 0;
    case WM_SYSKEYDOWN:
        switch (wparam) {
        case VK_F4: post_quit_message(0); break;
        case VK_RETURN:
            if (alt_enter_) change_display_mode(VK_RETURN);
            break;
        case VK_F11:
        case VK_F12:
            if (f11_f12_) change_display_mode(uint32_t(wparam));
            break;
        case VK_F10: write_key(uint8_t(wparam), lparam); break;
        default: break;
        }
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_SCREENSAVE || (wparam & 0xFFF0) == SC_MONITORPOWER) return 0;
        return def_window_proc(window, message, wparam, lparam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL: return 0;
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

namespace {
const OmClassRecord classes[] = {
    {&CLSID_Win32OSWindow, nullptr, nullptr, Win32OS::Create, "Win32OS"},
    {&CLSID_Win32OS, nullptr, nullptr, Win32OS::Create, "Win32OS"},
};
} // namespace

OM_DEFINE_MODULE(Win32OS, classes)
