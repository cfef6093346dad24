// The Win32OS class: shared by its module, its window procedure and the shared-service
// functions.
#pragma once

#include "framework/containers/om_array.h"
#include "framework/core/portable_path.h"
#include "framework/platform/display_interface.h"
#include "framework/platform/os_service.h"
#include "platform/os/named_mutex.h"

class Win32OS final : public OmObject<Win32OS, IOmOS, IOmWindow> {
public:
    // The one object of the process.
    static Win32OS* instance;
    static OmResult Create(IUnknown* outer, IUnknown** out);

    OmResult init();
    ~Win32OS();

    OmResult QueryInterface(const GUID& iid, void** out) override;

    OmResult GetAppPath(char* buffer, uint32_t size) override;
    OmResult Pump() override;
    uint32_t IsQuitRequested() override;
    OmResult DebugOutput(const char* text) override;
    OmResult MessageBox(const char* text) override;
    uint32_t GetTime() override;
    OmResult SetUserValue(IUnknown* value) override;
    IUnknown* GetUserValue() override;
    IByteStream* GetKeyStream() override;

    OmResult Create(OmInstanceHandle instance) override;
    OmResult Attach(OmWindowHandle window, OmInstanceHandle instance) override;
    intptr_t HandleMessage(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                           intptr_t lparam) override;
    OmWindowHandle GetHandle() override;
    OmInstanceHandle GetInstance() override;
    OmResult SetWindowed(uint32_t windowed) override;
    uint32_t IsWindowed() override;
    OmResult SetClientSize(uint32_t width, uint32_t height) override;
    OmResult GetClientSize(uint32_t* width, uint32_t* height) override;
    OmResult SetDisplayKeys(uint32_t alt_enter, uint32_t f11_f12) override;
    OmResult GetTitle(char* buffer, uint32_t size) override;
    OmResult SetTitle(const char* text) override;
    OmResult SetClassName(const char* text) override;
    int32_t AddMessageHook(OmMessageHook hook) override;
    OmResult RemoveMessageHook(OmMessageHook hook) override;

private:
    void compute_program_directory();
    void apply_show_state(bool centre);
    void show_the_cursor();
    int32_t hook_index(OmMessageHook hook) const;
    void write_key(uint8_t byte, intptr_t lparam);
    void change_display_mode(uint32_t key);

    uint32_t state_changed_;
    uint32_t quit_;
    uint32_t cursor_shown_;
    char app_path_[OM_MAX_PATH];
    uint32_t app_path_length_;
    char class_name_[OM_WINDOW_NAME_SIZE];
    char title_[OM_WINDOW_NAME_SIZE];
    uint32_t created_;
    uint32_t owns_window_;
    OmWindowHandle window_;
    OmInstanceHandle instance_;
    platform::NamedMutex* mutex_;
    uint32_t windowed_;
    uint32_t width_;
    uint32_t height_;
    IUnknown* user_value_;
    IByteStream* key_stream_;
    uint8_t key_state_;
    uint32_t alt_enter_;
    uint32_t f11_f12_;
    OmPtrArray hooks_;
};
