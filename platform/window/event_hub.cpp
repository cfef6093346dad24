// The event hub: drains SDL's queue and routes each event to the window-message queue and the
// input-device buffers.
#include "platform/window/event_hub.h"

#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/window/key_map.h"
#include "platform/window/window.h"
#include "platform/window/window_internal.h"
#include "platform/window/x11_window_loss.h"

#include <SDL.h>
#include <array>
#include <cstring>
#include <deque>
#include <mutex>

namespace platform {
namespace {

// The same bound a desktop system puts on one thread's message queue.
constexpr size_t message_queue_capacity = 10000;
constexpr int drain_batch = 64;

class DeviceBuffer {
public:
    bool on = false;
    bool overflowed = false;

    void push(const DeviceEvent& e) {
        if (count_ == ring_.size()) {
            head_ = (head_ + 1) % ring_.size();
            --count_;
            overflowed = true;
        }
        ring_[(head_ + count_) % ring_.size()] = e;
        ++count_;
    }
    size_t take(DeviceEvent* out, size_t max) {
        size_t n = 0;
        while (n < max && count_ > 0) {
            out[n++] = ring_[head_];
            head_ = (head_ + 1) % ring_.size();
            --count_;
        }
        return n;
    }
    size_t size() const { return count_; }
    void clear() {
        head_ = count_ = 0;
        overflowed = false;
    }

private:
    std::array<DeviceEvent, DEVICE_BUFFER_CAPACITY> ring_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

struct Hub {
    std::mutex lock;
    std::deque<Msg> messages;
    std::array<DeviceBuffer, 3> devices;
    std::array<uint8_t, 256> keys{};
    uint32_t sequence = 0;
    int mouse_x = 0, mouse_y = 0;
    // The clock is read at most once per drain, and only when an event needs it.
    bool have_time = false;
    uint32_t time = 0;

    std::mutex sdl_lock;
    int sdl_users = 0;
};

Hub& hub() {
    static Hub h;
    return h;
}

uint32_t now_locked(Hub& h) {
    if (!h.have_time) {
        h.time = timeGetTime();
        h.have_time = true;
    }
    return h.time;
}

bool enqueue_locked(Hub& h, Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (message == WM_PAINT) {
        for (const Msg& m : h.messages)
            if (m.message == WM_PAINT && m.window == window) return true;
    }
    if (message == WM_MOUSEMOVE && !h.messages.empty()) {
        Msg& last = h.messages.back();
        if (last.message == WM_MOUSEMOVE && last.window == window) {
            last.wparam = wparam;
            last.lparam = lparam;
            last.time = now_locked(h);
            return true;
        }
    }
    if (h.messages.size() >= message_queue_capacity) return false;
    h.messages.push_back(Msg{window, message, wparam, lparam, now_locked(h)});
    return true;
}

void device_event_locked(Hub& h, InputDevice device, uint32_t part, int32_t value,
                         int32_t instance = 0) {
    DeviceBuffer& buffer = h.devices[size_t(device)];
    if (!buffer.on) return;
    buffer.push(DeviceEvent{part, value, now_locked(h), ++h.sequence, instance});
}

uint32_t mouse_key_state(uint32_t sdl_buttons) {
    uint32_t mk = 0;
    if (sdl_buttons & SDL_BUTTON_LMASK) mk |= MK_LBUTTON;
    if (sdl_buttons & SDL_BUTTON_RMASK) mk |= MK_RBUTTON;
    if (sdl_buttons & SDL_BUTTON_MMASK) mk |= MK_MBUTTON;
    SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) mk |= MK_SHIFT;
    if (mod & KMOD_CTRL) mk |= MK_CONTROL;
    return mk;
}

void route_key(Hub& h, const SDL_KeyboardEvent& e) {
    bool down = e.type == SDL_KEYDOWN;
    KeyCode k = key_code_of_scancode(e.keysym.scancode);
    if (k.device) {
        h.keys[k.device] = down ? uint8_t(DEVICE_PRESSED) : 0;
        // Devices report changes of state, not the typematic repeats.
        if (!e.repeat)
            device_event_locked(h, InputDevice::keyboard, k.device, down ? DEVICE_PRESSED : 0);
    }
    if (!k.vk) return;
    bool alt = (e.keysym.mod & KMOD_ALT) != 0;
    // Keys pressed with Alt held, Alt itself and F10 are system keys.
    bool system = alt || k.vk == VK_MENU || k.vk == VK_F10;
    uint32_t message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    intptr_t lparam =
        make_key_lparam(1, k.scan, k.extended, system && alt, down ? e.repeat != 0 : true, !down);
    if (Window* w = input_window(e.windowID)) enqueue_locked(h, w, message, k.vk, lparam);
}

// Characters come as UTF-8; the program works in 8-bit characters, so code points above 255
// have no character to give and are dropped.
void route_text(Hub& h, const SDL_TextInputEvent& e) {
    Window* w = input_window(e.windowID);
    if (!w) return;
    const auto* p = reinterpret_cast<const unsigned char*>(e.text);
    const auto* end = p + strnlen(e.text, sizeof e.text);
    while (p < end) {
        uint32_t cp;
        int len;
        if (*p < 0x80) {
            cp = *p;
            len = 1;
        } else if ((*p & 0xE0) == 0xC0) {
            cp = *p & 0x1Fu;
            len = 2;
        } else if ((*p & 0xF0) == 0xE0) {
            cp = *p & 0x0Fu;
            len = 3;
        } else {
            cp = *p & 0x07u;
            len = 4;
        }
        if (end - p < len) break;
        for (int i = 1; i < len; ++i) cp = (cp << 6) | (p[i] & 0x3Fu);
        p += len;
        if (cp < 256)
            enqueue_locked(h, w, WM_CHAR, cp, make_key_lparam(1, 0, false, false, false, false));
    }
}

void route_window_event(Hub& h, const SDL_WindowEvent& e) {
    Window* w = window_from_sdl_id(e.windowID);
    if (!w) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: enqueue_locked(h, w, WM_CLOSE, 0, 0); break;
    case SDL_WINDOWEVENT_EXPOSED: enqueue_locked(h, w, WM_PAINT, 0, 0); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        enqueue_locked(h, w, WM_ACTIVATE, WA_ACTIVE, 0);
        enqueue_locked(h, w, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        enqueue_locked(h, w, WM_ACTIVATE, WA_INACTIVE, 0);
        enqueue_locked(h, w, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_MOVED:
        note_window_geometry(w);
        enqueue_locked(h, w, WM_MOVE, 0, make_point_lparam(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        note_window_geometry(w);
        enqueue_locked(h, w, WM_SIZE, SIZE_RESTORED, make_point_lparam(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        note_window_show_state(w, SW_SHOWMINIMIZED);
        enqueue_locked(h, w, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        note_window_show_state(w, SW_SHOWMAXIMIZED);
        enqueue_locked(h, w, WM_SIZE, SIZE_MAXIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        note_window_show_state(w, SW_SHOWNORMAL);
        enqueue_locked(h, w, WM_SIZE, SIZE_RESTORED, 0);
        break;
    default: break;
    }
}

int device_button(uint8_t sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
    }
}

void route_mouse_button(Hub& h, const SDL_MouseButtonEvent& e) {
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    int button = device_button(e.button);
    if (button >= 0)
        device_event_locked(h, InputDevice::mouse, MOUSE_BUTTON0 + uint32_t(button),
                            down ? DEVICE_PRESSED : 0);
    uint32_t message;
    switch (e.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
    }
    h.mouse_x = e.x;
    h.mouse_y = e.y;
    if (Window* w = input_window(e.windowID))
        enqueue_locked(h, w, message, mouse_key_state(SDL_GetMouseState(nullptr, nullptr)),
                       make_point_lparam(e.x, e.y));
}

// Another client destroyed one of the program's windows: nothing more is drawn into it, and
// the program hears a close request, so it shuts down as when the user closes the window
// (settings saved) instead of ending on the errors of drawing into a window that is gone.
void route_window_system_event(Hub& h, const SDL_SysWMEvent& e) {
    Window* w = window_from_x_window(destroyed_x_window(e.msg));
    if (!w) return;
    note_window_lost(w);
    enqueue_locked(h, w, WM_CLOSE, 0, 0);
}

void route_event(Hub& h, const SDL_Event& e) {
    switch (e.type) {
    case SDL_SYSWMEVENT: route_window_system_event(h, e.syswm); break;
    case SDL_QUIT: enqueue_locked(h, nullptr, WM_QUIT, 0, 0); break;
    case SDL_WINDOWEVENT: route_window_event(h, e.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: route_key(h, e.key); break;
    case SDL_TEXTINPUT: route_text(h, e.text); break;
    case SDL_MOUSEMOTION:
        if (e.motion.xrel) device_event_locked(h, InputDevice::mouse, MOUSE_X, e.motion.xrel);
        if (e.motion.yrel) device_event_locked(h, InputDevice::mouse, MOUSE_Y, e.motion.yrel);
        h.mouse_x = e.motion.x;
        h.mouse_y = e.motion.y;
        if (Window* w = input_window(e.motion.windowID))
            enqueue_locked(h, w, WM_MOUSEMOVE, mouse_key_state(e.motion.state),
                           make_point_lparam(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: route_mouse_button(h, e.button); break;
    case SDL_MOUSEWHEEL: {
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (notches == 0) break;
        int delta = notches * WHEEL_DELTA;
        device_event_locked(h, InputDevice::mouse, MOUSE_WHEEL, delta);
        if (Window* w = input_window(e.wheel.windowID))
            enqueue_locked(h, w, WM_MOUSEWHEEL,
                           (uintptr_t(uint16_t(int16_t(delta))) << 16) |
                               mouse_key_state(SDL_GetMouseState(nullptr, nullptr)),
                           make_point_lparam(h.mouse_x, h.mouse_y));
        break;
    }
    case SDL_JOYAXISMOTION:
        device_event_locked(h, InputDevice::joystick, JOY_AXIS0 + e.jaxis.axis, e.jaxis.value,
                            e.jaxis.which);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        device_event_locked(h, InputDevice::joystick, JOY_BUTTON0 + e.jbutton.button,
                            e.type == SDL_JOYBUTTONDOWN ? DEVICE_PRESSED : 0, e.jbutton.which);
        break;
    case SDL_JOYHATMOTION:
        device_event_locked(h, InputDevice::joystick, JOY_HAT0 + e.jhat.hat, e.jhat.value,
                            e.jhat.which);
        break;
    default: break;
    }
}

void configure_sdl_before_first_use() {
    // The program handles its own signals, keeps running when its window closes until the
    // window procedure says otherwise, and never opens a display when headless.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (headless())
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    else
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

} // namespace

bool acquire_sdl(uint32_t sdl_flags) {
    Hub& h = hub();
    std::lock_guard guard(h.sdl_lock);
    if ((sdl_flags & SDL_INIT_VIDEO) && !SDL_WasInit(SDL_INIT_VIDEO))
        configure_sdl_before_first_use();
    if (SDL_InitSubSystem(sdl_flags) != 0) return false;
    ++h.sdl_users;
    return true;
}

void release_sdl(uint32_t sdl_flags) {
    Hub& h = hub();
    std::lock_guard guard(h.sdl_lock);
    if (h.sdl_users == 0) return;
    --h.sdl_users;
    SDL_QuitSubSystem(sdl_flags);
}

void drain_events() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_PumpEvents();
    Hub& h = hub();
    SDL_Event batch[drain_batch];
    for (;;) {
        int n = SDL_PeepEvents(batch, drain_batch, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0) break;
        std::lock_guard guard(h.lock);
        for (int i = 0; i < n; ++i) route_event(h, batch[i]);
        h.have_time = false;
    }
}

bool peek_message(Msg* out, bool remove) {
    drain_events();
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    if (h.messages.empty()) return false;
    if (out) *out = h.messages.front();
    if (remove) h.messages.pop_front();
    return true;
}

bool post_message(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    bool queued = enqueue_locked(h, window, message, wparam, lparam);
    h.have_time = false;
    return queued;
}

void post_quit_message(int exit_code) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    h.messages.push_back(Msg{nullptr, WM_QUIT, uintptr_t(exit_code), 0, now_locked(h)});
    h.have_time = false;
}

bool translate_message(const Msg& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    uintptr_t character;
    switch (msg.wparam) {
    case VK_BACK: character = 0x08; break;
    case VK_TAB: character = 0x09; break;
    case VK_RETURN: character = 0x0D; break;
    case VK_ESCAPE: character = 0x1B; break;
    default: return false;
    }
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    uint32_t message = msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    h.messages.push_front(Msg{msg.window, message, character, msg.lparam, msg.time});
    return true;
}

intptr_t dispatch_message(const Msg& msg) {
    if (!msg.window) return 0;
    return send_message(msg.window, msg.message, msg.wparam, msg.lparam);
}

void discard_window_messages(Window* window) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    std::erase_if(h.messages, [window](const Msg& m) { return m.window == window; });
}

size_t queued_message_count() {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    return h.messages.size();
}

bool message_queued(uint32_t message) {
    drain_events();
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    for (const Msg& m : h.messages)
        if (m.message == message) return true;
    return false;
}

void set_device_buffering(InputDevice device, bool on) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    DeviceBuffer& buffer = h.devices[size_t(device)];
    buffer.on = on;
    if (!on) buffer.clear();
}

bool device_buffering(InputDevice device) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    return h.devices[size_t(device)].on;
}

size_t read_device_events(InputDevice device, DeviceEvent* out, size_t max, bool* overflowed) {
    drain_events();
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    DeviceBuffer& buffer = h.devices[size_t(device)];
    if (overflowed) *overflowed = buffer.overflowed;
    buffer.overflowed = false;
    return out ? buffer.take(out, max) : 0;
}

size_t pending_device_events(InputDevice device) {
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    return h.devices[size_t(device)].size();
}

void keyboard_state(uint8_t out[256]) {
    drain_events();
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    std::memcpy(out, h.keys.data(), h.keys.size());
}

void reset_event_hub() {
    if (SDL_WasInit(SDL_INIT_EVENTS)) SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Hub& h = hub();
    std::lock_guard guard(h.lock);
    h.messages.clear();
    for (DeviceBuffer& b : h.devices) {
        b.on = false;
        b.clear();
    }
    h.keys.fill(0);
    h.sequence = 0;
    h.have_time = false;
}

} // namespace platform
