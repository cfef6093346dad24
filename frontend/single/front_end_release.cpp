// Input release, window operations and the texture reduction table.
#include "frontend/single/front_end_release.h"

#include "engine/core/lg_engine_instance.h"
#include "framework/platform/os_service.h"
#include "frontend/setup/input_devices.h"
#include "frontend/startup/window_components.h"
#include "platform/window/window.h"

namespace {

int32_t texture_reduction[TV_TEXTURE_SIZE_CLASSES] = {};

void show_main_window(int32_t command) {
    IOmWindow* window = TvGetMainWindow();
    if (platform::Window* handle = window ? window->GetHandle() : nullptr;
        handle && platform::is_window(handle))
        platform::show_window(handle, command);
}

} // namespace

void TvReleaseInputDevices() {
    TvReleaseKeyboardAndMouse();
}

void TvShutDownInput() {
    TvReleaseInputDevices();
    TvReleaseInput();
}

void TvMinimizeWindow() {
    LgEngineSetExclusiveMode(0);
    show_main_window(TV_SHOW_MINIMIZED);
}

void TvRestoreWindow() {
    show_main_window(TV_SHOW_RESTORED);
    LgEngineSetExclusiveMode(1);
}

void TvStoreTextureReduction(int32_t size_class, int32_t shift) {
    if (size_class < 0 || size_class >= TV_TEXTURE_SIZE_CLASSES || shift < 0 || shift > 3) return;
    texture_reduction[size_class] = shift;
}

int32_t TvGetTextureReduction(int32_t size_class) {
    return size_class >= 0 && size_class < TV_TEXTURE_SIZE_CLASSES ? texture_reduction[size_class]
                                                                   : 0;
}

void TvClearTextureReduction() {
    for (int32_t& shift : texture_reduction) shift = 0;
}
