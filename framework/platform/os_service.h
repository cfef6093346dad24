// Win32OS: the program's one application window and the operating-system services that go
// with it (program directory, clock, debugger output, message boxes, the message pump, the
// window's show state and the message hooks), and the shared acquire/release functions.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"
#include "platform/window/messages.h"

// Both class ids make the same object.
inline constexpr GUID CLSID_Win32OS = om_guid("DDB8D8FC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32OSWindow = om_guid("DFBE3746-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmOS = om_guid("DDE3C350-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmWindow = om_guid("DFC7C0AE-C84F-11D4-871E-00C04F7963BA");

using OmWindowHandle = platform::Window*;
using OmInstanceHandle = void*;

// Sees every window message first; a result >= 0 handles it and becomes the window
// procedure's result, a negative one passes it on.
using OmMessageHook = intptr_t (*)(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                                   intptr_t lparam);

// Limits of the window's names, terminator included.
inline constexpr uint32_t OM_WINDOW_NAME_SIZE = 80;
// The size of the key-input stream's ring.
inline constexpr uint32_t OM_KEY_STREAM_LIMIT = 1024;

inline constexpr char OM_DEFAULT_CLASS_NAME[] = "Ormic6 Class";
inline constexpr char OM_DEFAULT_TITLE[] = "Ormic6 Application";
inline constexpr char OM_ALREADY_RUNNING_TEXT[] =
    "Error: A copy of this program is already running";

struct IOmOS : IUnknown {
    // The program directory in portable form with a trailing '/'. OM_E_FAIL when it does not
    // fit the buffer with its terminator.
    virtual OmResult GetAppPath(char* buffer, uint32_t size) = 0;
    // Handles every waiting window message and applies a pending show state; never blocks. 0.
    virtual OmResult Pump() = 0;
    // Non-zero once WM_QUIT was seen (it stays set).
    virtual uint32_t IsQuitRequested() = 0;
    // Writes the text to the debugger output (stderr). 0.
    virtual OmResult DebugOutput(const char* text) = 0;
    // An error box with the window title (stderr and the error sink when headless). 0.
    virtual OmResult MessageBox(const char* text) = 0;
    // The millisecond clock.
    virtual uint32_t GetTime() = 0;
    // A value kept for the caller, no reference taken; the display keys ask it for IDisplay.
    virtual OmResult SetUserValue(IUnknown* value) = 0;
    virtual IUnknown* GetUserValue() = 0;
    // The stream typed keys are written to (null when it could not be made); no reference
    // added.
    virtual IByteStream* GetKeyStream() = 0;
};

struct IOmWindow : IUnknown {
    // Makes the window, one per machine and class name. OM_E_FAIL when created already, when
    // another instance runs (its window is brought up, or the user told), or when the window
    // cannot be made.
    virtual OmResult Create(OmInstanceHandle instance) = 0;
    // Adopts a window made elsewhere (not destroyed here). OM_E_FAIL for a null window.
    virtual OmResult Attach(OmWindowHandle window, OmInstanceHandle instance) = 0;
    // The window procedure: the hooks in order, then the service's own handling.
    virtual intptr_t HandleMessage(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                                   intptr_t lparam) = 0;
    virtual OmWindowHandle GetHandle() = 0;
    virtual OmInstanceHandle GetInstance() = 0;
    // The setters record the wish; the next Pump applies it. 0.
    virtual OmResult SetWindowed(uint32_t windowed) = 0;
    virtual uint32_t IsWindowed() = 0;
    virtual OmResult SetClientSize(uint32_t width, uint32_t height) = 0;
    virtual OmResult GetClientSize(uint32_t* width, uint32_t* height) = 0;
    // Enables Alt+Enter and Alt+F11/F12 as display-mode keys. 0.
    virtual OmResult SetDisplayKeys(uint32_t alt_enter, uint32_t f11_f12) = 0;
    // OM_E_FAIL when the title does not fit with its terminator.
    virtual OmResult GetTitle(char* buffer, uint32_t size) = 0;
    // OM_E_FAIL for null or names that do not fit OM_WINDOW_NAME_SIZE.
    virtual OmResult SetTitle(const char* text) = 0;
    virtual OmResult SetClassName(const char* text) = 0;
    // The hook's index; OM_E_FAIL when it is listed already (or null), OM_E_OUTOFMEMORY.
    virtual int32_t AddMessageHook(OmMessageHook hook) = 0;
    // OM_E_FAIL when it is not listed; later hooks move down one place.
    virtual OmResult RemoveMessageHook(OmMessageHook hook) = 0;
};

OM_DECLARE_MODULE(Win32OS);

// The shared OS service (Win32OS as IOmOS), counted: made at the first acquire (OM_E_FAIL when
// it cannot be), released at the last release. OmOSRelease returns the new count.
OmResult OmOSAcquire();
uint32_t OmOSRelease();
// OM_E_FAIL when the service is not acquired.
OmResult OmOSGetAppPath(char* buffer, uint32_t size);
// 0 when the service is not acquired.
uint32_t OmOSGetTime();
// The same pair over a second shared Win32OS held as IOmWindow.
OmResult OmOSServiceAcquire();
uint32_t OmOSServiceRelease();
// The shared services while acquired (no reference added), else null.
IOmOS* OmOSGetShared();
IOmWindow* OmOSServiceGetShared();
