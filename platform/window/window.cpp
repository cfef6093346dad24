// Top-level windows: the list of live windows, their SDL side and their remembered state.
#include "platform/window/window.h"

#include "platform/graphics/presenter.h"
#include "platform/headless.h"
#include "platform/window/event_hub.h"
#include "platform/window/window_internal.h"
#include "platform/window/x11_window_loss.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace platform {

struct Window {
    SDL_Window* sdl = nullptr;
    bool sdl_acquired = false;
    std::string class_name;
    std::string title;
    WindowProc proc = nullptr;
    void* context = nullptr;
    // The window's state is kept here whatever SDL does with it: the dummy video driver
    // ignores minimising and maximising, and a window manager may refuse a request.
    int show = SW_HIDE;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> icon;
    int icon_width = 0, icon_height = 0;
};

namespace {

struct WindowList {
    std::mutex lock;
    std::vector<std::unique_ptr<Window>> live;
    Window* capture = nullptr;
    int cursor_count = 0;
    bool arrow = true;
    Point cursor{0, 0};
};

WindowList& windows() {
    static WindowList list;
    return list;
}

bool alive_locked(WindowList& list, const Window* w) {
    return w && std::any_of(list.live.begin(), list.live.end(),
                            [w](const std::unique_ptr<Window>& p) { return p.get() == w; });
}

// Applies the cursor's visibility: shown while the count is 0 or more and the arrow is set.
void apply_cursor_locked(WindowList& list) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_ShowCursor(list.cursor_count >= 0 && list.arrow ? SDL_ENABLE : SDL_DISABLE);
}

} // namespace

Window* create_window(const WindowDesc& desc) {
    auto w = std::unique_ptr<Window>(new (std::nothrow) Window);
    if (!w) return nullptr;
    w->class_name = desc.class_name;
    w->title = desc.title;
    w->proc = desc.proc;
    w->context = desc.context;
    w->width = desc.width > 0 ? desc.width : 640;
    w->height = desc.height > 0 ? desc.height : 480;
    if (acquire_sdl(SDL_INIT_VIDEO)) {
        w->sdl_acquired = true;
        w->sdl = SDL_CreateWindow(w->title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                  SDL_WINDOWPOS_UNDEFINED, w->width, w->height, SDL_WINDOW_HIDDEN);
        if (w->sdl) {
            SDL_GetWindowPosition(w->sdl, &w->x, &w->y);
            watch_for_window_loss();
        }
    }
    Window* result = w.get();
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    list.live.push_back(std::move(w));
    return result;
}

void destroy_window(Window* window) {
    if (!is_window(window)) return;
    send_message(window, WM_DESTROY, 0, 0);
    discard_window_messages(window);
    std::unique_ptr<Window> owned;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        auto it =
            std::find_if(list.live.begin(), list.live.end(),
                         [window](const std::unique_ptr<Window>& p) { return p.get() == window; });
        if (it == list.live.end()) return; // the procedure destroyed it already
        owned = std::move(*it);
        list.live.erase(it);
        if (list.capture == window) list.capture = nullptr;
    }
    if (owned->sdl) {
        void* lost =
            sdl_window_lost(owned->sdl) ? prepare_lost_window_destruction(owned->sdl) : nullptr;
        // The presenter's renderer and texture on this window are not freed with it.
        release_presentation_of(owned->sdl);
        SDL_DestroyWindow(owned->sdl);
        settle_window_loss(lost);
    }
    if (owned->sdl_acquired) release_sdl(SDL_INIT_VIDEO);
}

void set_window_proc(Window* window, WindowProc proc, void* context) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    if (!alive_locked(list, window)) return;
    window->proc = proc;
    window->context = context;
}

bool is_window(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return alive_locked(list, window);
}

Window* find_window(std::string_view class_name) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    for (const auto& w : list.live)
        if (w->class_name == class_name) return w.get();
    return nullptr;
}

intptr_t send_message(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    WindowProc proc;
    void* context;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return 0;
        proc = window->proc;
        context = window->context;
    }
    if (!proc) return def_window_proc(window, message, wparam, lparam);
    return proc(context, window, message, wparam, lparam);
}

intptr_t def_window_proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t) {
    switch (message) {
    case WM_CLOSE: destroy_window(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCACTIVATE: return 1;
    case WM_MOUSEACTIVATE: return MA_ACTIVATE;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0u) == SC_CLOSE) post_message(window, WM_CLOSE, 0, 0);
        return 0;
    default: return 0;
    }
}

void show_window(Window* window, int show_command) {
    SDL_Window* sdl;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window) || window->show == show_command) return;
        window->show = show_command;
        sdl = window->sdl;
    }
    if (!sdl) return;
    switch (show_command) {
    case SW_HIDE: SDL_HideWindow(sdl); break;
    case SW_SHOWMINIMIZED:
        SDL_ShowWindow(sdl);
        SDL_MinimizeWindow(sdl);
        break;
    case SW_SHOWMAXIMIZED:
        SDL_ShowWindow(sdl);
        SDL_MaximizeWindow(sdl);
        break;
    default:
        SDL_ShowWindow(sdl);
        SDL_RestoreWindow(sdl);
        break;
    }
}

int window_show_state(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return alive_locked(list, window) ? window->show : SW_HIDE;
}

bool is_minimized(Window* window) {
    return window_show_state(window) == SW_SHOWMINIMIZED;
}

void move_window(Window* window, int x, int y, int width, int height) {
    SDL_Window* sdl;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return;
        window->x = x;
        window->y = y;
        window->width = std::max(width, 1);
        window->height = std::max(height, 1);
        sdl = window->sdl;
    }
    if (sdl) {
        SDL_SetWindowSize(sdl, std::max(width, 1), std::max(height, 1));
        SDL_SetWindowPosition(sdl, x, y);
    }
}

bool window_client_rect(Window* window, int* x, int* y, int* width, int* height) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    if (!alive_locked(list, window)) return false;
    if (x) *x = window->x;
    if (y) *y = window->y;
    if (width) *width = window->width;
    if (height) *height = window->height;
    return true;
}

Point desktop_size() {
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 &&
        mode.h > 0)
        return {mode.w, mode.h};
    return {1024, 768};
}

void set_window_title(Window* window, std::string_view title) {
    SDL_Window* sdl;
    std::string copy(title);
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return;
        window->title = copy;
        sdl = window->sdl;
    }
    if (sdl) SDL_SetWindowTitle(sdl, copy.c_str());
}

std::string window_title(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return alive_locked(list, window) ? window->title : std::string();
}

std::string window_class_name(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return alive_locked(list, window) ? window->class_name : std::string();
}

void invalidate_window(Window* window) {
    if (is_window(window)) post_message(window, WM_PAINT, 0, 0);
}

namespace {
std::atomic<bool> headless_foreground{true};
} // namespace

void set_headless_foreground(bool foreground) {
    headless_foreground = foreground;
}

bool is_foreground(Window* window) {
    SDL_Window* sdl;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return false;
        sdl = window->sdl;
    }
    if (headless() || !sdl) return headless_foreground.load();
    return (SDL_GetWindowFlags(sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

namespace {
constexpr char lost_key[] = "corvel.lost";
}

void note_window_lost(Window* window) {
    SDL_Window* sdl = sdl_window(window);
    if (sdl) SDL_SetWindowData(sdl, lost_key, sdl);
}

bool sdl_window_lost(SDL_Window* window) {
    return window && SDL_GetWindowData(window, lost_key) != nullptr;
}

Window* window_from_x_window(uint64_t x_window) {
    if (x_window == 0) return nullptr;
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    // The X window is asked for now: SDL makes a new one behind the same window when a renderer
    // needs other visuals, and the old one's destruction is no loss.
    for (const auto& w : list.live)
        if (w->sdl && x_window_of(w->sdl) == x_window) return w.get();
    return nullptr;
}

SDL_Window* sdl_window(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return alive_locked(list, window) ? window->sdl : nullptr;
}

Window* window_from_sdl_id(uint32_t sdl_window_id) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    for (const auto& w : list.live)
        if (w->sdl && SDL_GetWindowID(w->sdl) == sdl_window_id) return w.get();
    return nullptr;
}

Window* input_window(uint32_t sdl_window_id) {
    if (Window* w = window_from_sdl_id(sdl_window_id)) return w;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        if (SDL_Window* focus = SDL_GetKeyboardFocus())
            if (Window* w = window_from_sdl_id(SDL_GetWindowID(focus))) return w;
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return list.live.empty() ? nullptr : list.live.front().get();
}

bool set_window_icon(Window* window, const uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0 || width > 1024 || height > 1024) return false;
    SDL_Window* sdl;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return false;
        window->icon.assign(pixels, pixels + static_cast<size_t>(width) * height);
        window->icon_width = width;
        window->icon_height = height;
        sdl = window->sdl;
    }
    if (!sdl) return true;
    // SDL copies the picture; the surface only borrows the pixels for the call.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(pixels), width, height, 32, width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return true;
    SDL_SetWindowIcon(sdl, surface);
    SDL_FreeSurface(surface);
    return true;
}

Point window_icon_size(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    if (!alive_locked(list, window)) return {0, 0};
    return {window->icon_width, window->icon_height};
}

void set_cursor_pos(int x, int y) {
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        list.cursor = {x, y};
    }
    // Only a real display has a pointer to move; the dummy driver has none.
    if (SDL_WasInit(SDL_INIT_VIDEO) && !headless()) SDL_WarpMouseGlobal(x, y);
}

Point cursor_pos() {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return list.cursor;
}

int show_cursor(bool show) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    list.cursor_count += show ? 1 : -1;
    apply_cursor_locked(list);
    return list.cursor_count;
}

void set_arrow_cursor(bool arrow) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    list.arrow = arrow;
    apply_cursor_locked(list);
}

void set_capture(Window* window) {
    SDL_Window* sdl;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (!alive_locked(list, window)) return;
        list.capture = window;
        sdl = window->sdl;
    }
    if (sdl) SDL_SetWindowGrab(sdl, SDL_TRUE);
}

void release_capture() {
    SDL_Window* sdl = nullptr;
    {
        WindowList& list = windows();
        std::lock_guard guard(list.lock);
        if (list.capture) sdl = list.capture->sdl;
        list.capture = nullptr;
    }
    if (sdl) SDL_SetWindowGrab(sdl, SDL_FALSE);
}

void note_window_geometry(Window* window) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    if (!alive_locked(list, window) || !window->sdl) return;
    SDL_GetWindowPosition(window->sdl, &window->x, &window->y);
    SDL_GetWindowSize(window->sdl, &window->width, &window->height);
}

void note_window_show_state(Window* window, int show_command) {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    if (alive_locked(list, window)) window->show = show_command;
}

Window* capture_window() {
    WindowList& list = windows();
    std::lock_guard guard(list.lock);
    return list.capture;
}

} // namespace platform
