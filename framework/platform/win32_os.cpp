// Win32OS: the application window, its message pump, show states and window procedure.
#include "framework/platform/win32_os.h"

#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "framework/io/fifo_stream.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"

#include <cstdio>
#include <cstring>

using namespace platform;

namespace {

// How long a program in the background yields the processor per pump.
constexpr uint32_t background_sleep_ms = 200;

intptr_t service_window_proc(void* context, Window* window, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) {
    return static_cast<Win32OS*>(context)->HandleMessage(window, message, wparam, lparam);
}

bool copy_name(char (&field)[OM_WINDOW_NAME_SIZE], const char* text) {
    if (!text || std::strlen(text) >= OM_WINDOW_NAME_SIZE) return false;
    std::strcpy(field, text);
    return true;
}

} // namespace

Win32OS* Win32OS::instance = nullptr;

namespace {
const OmStaticStateReset reset_os([] { Win32OS::instance = nullptr; });
}

OmResult Win32OS::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    // The one object is handed out whatever the caller asks, as the program relies on.
    if (instance) {
        instance->AddRef();
        *out = instance->identity();
        return OM_S_OK;
    }
    if (outer) return OM_E_NOAGGREGATION;
    OmResult r = om_new_component(&instance);
    if (r == OM_S_OK) *out = instance->identity();
    return r;
}

OmResult Win32OS::init() {
    std::strcpy(class_name_, OM_DEFAULT_CLASS_NAME);
    std::strcpy(title_, OM_DEFAULT_TITLE);
    windowed_ = 1;
    OmPtrArrayInit(&hooks_);
    // Known from the start, so the debug log finds its place before any window exists.
    compute_program_directory();
    if (OmCreateInstance(CLSID_FifoStream, nullptr, 0, IID_IByteStream,
                         reinterpret_cast<void**>(&key_stream_)) >= 0) {
        IFifoStream* fifo = nullptr;
        if (key_stream_->QueryInterface(IID_IFifoStream, reinterpret_cast<void**>(&fifo)) >= 0) {
            fifo->SetLimit(OM_KEY_STREAM_LIMIT);
            fifo->Release();
        }
    } else {
        key_stream_ = nullptr;
    }
    return OM_S_OK;
}

Win32OS::~Win32OS() {
    if (key_stream_) key_stream_->Release();
    if (mutex_) close_named_mutex(mutex_);
    if (window_ && capture_window() == window_) release_capture();
    if (window_ && owns_window_) {
        // The object is going: the window's last messages must not reach it.
        set_window_proc(window_, nullptr, nullptr);
        destroy_window(window_);
    }
    OmPtrArrayFree(&hooks_);
    instance = nullptr;
}

OmResult Win32OS::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(
        iid, out,
        {{&IID_IOmOS, static_cast<IOmOS*>(this)}, {&IID_IOmWindow, static_cast<IOmWindow*>(this)}});
}

void Win32OS::compute_program_directory() {
    std::string dir = program_dir();
    if (dir.empty() || dir.back() != '/') dir += '/';
    if (dir.size() >= sizeof app_path_) {
        app_path_[0] = '\0';
        app_path_length_ = uint32_t(dir.size()); // too long for any buffer: GetAppPath fails
        return;
    }
    std::strcpy(app_path_, dir.c_str());
    app_path_length_ = uint32_t(dir.size());
}

// --- IOmOS ---

OmResult Win32OS::GetAppPath(char* buffer, uint32_t size) {
    // The terminator needs room too: a path as long as the buffer does not fit.
    if (!buffer || app_path_length_ >= size || app_path_length_ >= sizeof app_path_)
        return OM_E_FAIL;
    std::memcpy(buffer, app_path_, app_path_length_ + 1);
    return OM_S_OK;
}

OmResult Win32OS::Pump() {
    Msg msg;
    while (peek_message(&msg, true)) {
        if (quit_) break;
        if (msg.message == WM_QUIT) {
            quit_ = 1;
            break;
        }
        if (msg.message == WM_KEYDOWN) {
            translate_message(msg);
        } else if (msg.message == WM_KEYUP) {
            translate_message(msg);
            key_state_ = 0;
        } else if (msg.message == WM_TIMER) {
            continue;
        }
        dispatch_message(msg);
    }
    if (state_changed_) {
        apply_show_state(true);
        state_changed_ = 0;
    }
    if (!headless() && !(window_ && is_foreground(window_))) Sleep(background_sleep_ms);
    return OM_S_OK;
}

uint32_t Win32OS::IsQuitRequested() {
    return quit_;
}

OmResult Win32OS::DebugOutput(const char* text) {
    // Mend: only a watching debugger sees it; standard error is the user's terminal.
    debug_output(text);
    return OM_S_OK;
}

OmResult Win32OS::MessageBox(const char* text) {
    message_box(title_, text ? text : "");
    return OM_S_OK;
}

uint32_t Win32OS::GetTime() {
    return timeGetTime();
}

OmResult Win32OS::SetUserValue(IUnknown* value) {
    user_value_ = value;
    return OM_S_OK;
}

IUnknown* Win32OS::GetUserValue() {
    return user_value_;
}

IByteStream* Win32OS::GetKeyStream() {
    return key_stream_;
}

// --- IOmWindow ---

OmResult Win32OS::Create(OmInstanceHandle instance_handle) {
    if (created_) return OM_E_FAIL;
    MutexStatus status;
    NamedMutex* mutex = create_named_mutex(class_name_, &status);
    if (status == MutexStatus::already_exists) {
        if (Window* other = find_window(class_name_))
            show_window(other, SW_SHOWMAXIMIZED);
        else
            message_box(title_, OM_ALREADY_RUNNING_TEXT);
        return OM_E_FAIL;
    }
    // A lock directory that cannot be used costs the one-instance check, not the program.
    Window* window = create_window({class_name_, title_, service_window_proc, this});
    if (!window) {
        close_named_mutex(mutex);
        return OM_E_FAIL;
    }
    mutex_ = mutex;
    window_ = window;
    owns_window_ = 1;
    instance_ = instance_handle;
    apply_show_state(false);
    compute_program_directory();
    Msg msg;
    while (peek_message(&msg, true)) {
        if (msg.message == WM_QUIT) {
            quit_ = 1;
            continue;
        }
        if (msg.message != WM_TIMER) dispatch_message(msg);
    }
    created_ = 1;
    return OM_S_OK;
}

OmResult Win32OS::Attach(OmWindowHandle window, OmInstanceHandle instance_handle) {
    if (!window) return OM_E_FAIL;
    window_ = window;
    owns_window_ = 0;
    instance_ = instance_handle;
    compute_program_directory();
    created_ = 1;
    return OM_S_OK;
}

OmWindowHandle Win32OS::GetHandle() {
    return window_;
}

OmInstanceHandle Win32OS::GetInstance() {
    return instance_;
}

OmResult Win32OS::SetWindowed(uint32_t windowed) {
    windowed_ = windowed;
    state_changed_ = 1;
    return OM_S_OK;
}

uint32_t Win32OS::IsWindowed() {
    return windowed_;
}

OmResult Win32OS::SetClientSize(uint32_t width, uint32_t height) {
    width_ = width;
    height_ = height;
    state_changed_ = 1;
    return OM_S_OK;
}

OmResult Win32OS::GetClientSize(uint32_t* width, uint32_t* height) {
    if (width) *width = width_;
    if (height) *height = height_;
    return OM_S_OK;
}

OmResult Win32OS::SetDisplayKeys(uint32_t alt_enter, uint32_t f11_f12) {
    alt_enter_ = alt_enter;
    f11_f12_ = f11_f12;
    return OM_S_OK;
}

OmResult Win32OS::GetTitle(char* buffer, uint32_t size) {
    if (!buffer || std::strlen(title_) >= size) return OM_E_FAIL;
    std::strcpy(buffer, title_);
    return OM_S_OK;
}

OmResult Win32OS::SetTitle(const char* text) {
    if (!copy_name(title_, text)) return OM_E_FAIL;
    if (window_) set_window_title(window_, title_);
    return OM_S_OK;
}

OmResult Win32OS::SetClassName(const char* text) {
    return copy_name(class_name_, text) ? OM_S_OK : OM_E_FAIL;
}

int32_t Win32OS::AddMessageHook(OmMessageHook hook) {
    if (!hook || hook_index(hook) >= 0) return OM_E_FAIL;
    return OmPtrArrayAppend(&hooks_, reinterpret_cast<void*>(hook));
}

OmResult Win32OS::RemoveMessageHook(OmMessageHook hook) {
    int32_t index = hook_index(hook);
    if (index < 0) return OM_E_FAIL;
    OmPtrArrayRemoveAt(&hooks_, index);
    return OM_S_OK;
}

int32_t Win32OS::hook_index(OmMessageHook hook) const {
    for (int32_t i = 0; i < hooks_.count; ++i)
        if (OmPtrArrayAt(&hooks_, i) == reinterpret_cast<void*>(hook)) return i;
    return -1;
}

// --- Show state ---

void Win32OS::apply_show_state(bool centre) {
    if (!window_) return;
    if (width_ == 0) {
        show_window(window_, SW_SHOWMINIMIZED);
        show_the_cursor();
    } else if (windowed_) {
        show_window(window_, SW_SHOWNORMAL);
        show_the_cursor();
        if (centre && height_ != 0) {
            Point desktop = desktop_size();
            int w = int(width_), h = int(height_);
            move_window(window_, (desktop.x - w) / 2, (desktop.y - h) / 2, w, h);
            invalidate_window(window_);
        }
    } else {
        show_window(window_, SW_SHOWMAXIMIZED);
        set_arrow_cursor(false);
        if (cursor_shown_) {
            show_cursor(false);
            cursor_shown_ = 0;
        }
        set_capture(window_);
    }
}

void Win32OS::show_the_cursor() {
    set_arrow_cursor(true);
    if (!cursor_shown_) {
        show_cursor(true);
        cursor_shown_ = 1;
    }
    release_capture();
}
