// Input and its devices, and the frame Timer.
#include "frontend/setup/input_devices.h"

#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "framework/io/byte_stream.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/timer.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/test_hooks.h"
#include "media/input/input.h"

namespace {

constexpr char source_name[] = "tvnetmenu";

IInput* input = nullptr;
ITimer* timer = nullptr;
IByteStream* playback = nullptr;
uint16_t keyboard_id = 0;
uint16_t mouse_id = 0;
uint16_t joystick_id = 0;

template <class T>
void release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// Finds and enables the first device of the kind; its id, or 0 when there is none.
uint16_t open_first(uint16_t kind) {
    uint16_t id = 0;
    if (input->FindDevice(kind, &id) < 0) return 0;
    input->EnableDevice(id);
    return id;
}

// A recording named by the test hook is played back in place of the devices.
void start_playback() {
    const std::string& path = TvGetTestHooks().input_playback;
    if (path.empty()) return;
    IFileStorage* storage = nullptr;
    if (OmCreate(CLSID_FileStorage, IID_IFileStorage, &storage) >= 0) {
        if (storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, &playback) < 0)
            playback = nullptr;
        storage->Release();
    }
    if (!playback || input->StartPlayback(playback) < 0) {
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't play input back from", path.c_str());
        release(playback);
    }
}

} // namespace

OmResult TvCreateInput() {
    TvReleaseInput();
    if (OmCreate(CLSID_Input, IID_IInput, &input) < 0 || input->Init(TV_INPUT_QUEUE_SIZE) < 0) {
        release(input);
        TvWriteErrorLine(source_name, __LINE__, "Couldn't create input component.");
        return OM_E_FAIL;
    }
    start_playback();
    return TvOpenInputDevices();
}

OmResult TvOpenInputDevices() {
    if (TvReopenKeyboardAndMouse() < 0) return OM_E_FAIL;
    joystick_id = open_first(kInputKindJoystick);
    return OM_S_OK;
}

OmResult TvReopenKeyboardAndMouse() {
    if (!input) return OM_E_FAIL;
    keyboard_id = open_first(kInputKindKeyboard);
    mouse_id = open_first(kInputKindMouse);
    release(timer);
    if (OmCreate(CLSID_Timer, IID_ITimer, &timer) < 0) {
        timer = nullptr;
        return OM_E_FAIL;
    }
    timer->Start();
    return OM_S_OK;
}

void TvReleaseInput() {
    release(timer);
    // An enabled device holds Input in turn: the devices go first.
    if (input)
        for (uint16_t id : {joystick_id, mouse_id, keyboard_id})
            if (id) input->DisableDevice(id);
    if (input && playback) input->StopRecording();
    release(input);
    release(playback);
    keyboard_id = mouse_id = joystick_id = 0;
}

void TvReleaseKeyboardAndMouse() {
    if (input)
        for (uint16_t id : {keyboard_id, mouse_id})
            if (id) input->DisableDevice(id);
    keyboard_id = mouse_id = 0;
    release(timer);
}

IInput* TvGetInput() {
    return input;
}

ITimer* TvGetTimer() {
    return timer;
}

uint16_t TvGetKeyboardDevice() {
    return keyboard_id;
}

uint16_t TvGetMouseDevice() {
    return mouse_id;
}

uint16_t TvGetJoystickDevice() {
    return joystick_id;
}
