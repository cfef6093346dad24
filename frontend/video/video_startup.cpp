// Video start-up over the engine's Direct3D driver.
#include "frontend/video/video_startup.h"

#include "engine/core/lg_engine.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/engine_memory.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "frontend/startup/error_log.h"
#include "frontend/video/sector_stages.h"
#include "platform/graphics/presenter.h"
#include "platform/window/gfx_window_hooks.h"
#include "platform/window/window.h"

#include <cstring>
#include <vector>

namespace {

constexpr char source_name[] = "tvdivideo";

const LgMemoryFunctions framework_memory = {TvEngineMemAlloc, TvEngineMemFree, TvEngineMemRealloc,
                                            TvEngineMemCalloc};

struct SubSystem {
    int32_t engine_index;
    LgSubSystemInfo info;
};
struct Mode {
    int32_t engine_index;
    LgVideoMode mode;
};

IOmWindow* video_window = nullptr;
uintptr_t window_word = 0;
bool engine_initialised = false;
bool engine_open = false;
bool engine_started = false;
std::vector<SubSystem> sub_systems;
std::vector<Mode> modes;
int32_t current_sub_system = 0;
int32_t current_mode = -1;
int32_t screen_width = 0;
int32_t screen_height = 0;

bool software_entry(const char* name) {
    const size_t n = strnlen(name, sizeof(LgSubSystemInfo::name));
    return n >= 3 && std::memcmp(name + n - 3, "S/W", 3) == 0;
}

OmResult fail(int line, const char* message) {
    TvWriteErrorLine(source_name, line, message);
    return OM_E_FAIL;
}

} // namespace

OmResult TvInitVideo() {
    if (LgEngineInit(&framework_memory, 0) != 1)
        return fail(__LINE__, "Couldn't initialize Lumagon.");
    engine_initialised = true;
    if (!LgRandomPluginAttach()) return fail(__LINE__, "Couldn't attatch Random plugin.");
    if (!LgWorldPluginAttach()) return fail(__LINE__, "Couldn't attatch world plugin");
    LgClumpRegisterPlugin(int32_t(sizeof(void*)), TV_CLUMP_OWNER_PLUGIN, TvExtensionInit,
                          TvExtensionDestroy, TvExtensionCopy);
    LgAtomicRegisterPlugin(int32_t(sizeof(void*)), TV_ATOMIC_OWNER_PLUGIN, TvExtensionInit,
                           TvExtensionDestroy, TvExtensionCopy);
    if (OmCreate(CLSID_Win32OS, IID_IOmWindow, &video_window) < 0) {
        video_window = nullptr;
        return fail(__LINE__, "Couldn't open Win32 Win32 component.");
    }
    window_word = reinterpret_cast<uintptr_t>(video_window->GetHandle());
    // The graphics stand-in presents into the window service's windows.
    platform::set_gfx_window_hooks(platform::window_service_gfx_hooks());
    LgEngineSetDeviceEntry(LgD3DGetDevice);
    if (LgEngineOpen(&window_word) != 1) {
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
        engine_initialised = false;
        return fail(__LINE__, "Couldn't open Lumagon engine");
    }
    engine_open = true;
    sub_systems.clear();
    for (int32_t i = 0; i < LgEngineGetNumSubSystems(); ++i) {
        SubSystem entry{i, {}};
        if (LgEngineGetSubSystemInfo(&entry.info, i) && !software_entry(entry.info.name))
            sub_systems.push_back(entry);
    }
    return OM_S_OK;
}

OmResult TvSelectVideoModes(int32_t renderer, int32_t windowed) {
    if (renderer < 0) {
        current_sub_system = LgEngineGetCurrentSubSystem();
    } else {
        current_sub_system = renderer;
        if (size_t(renderer) < sub_systems.size())
            LgEngineSetSubSystem(sub_systems[size_t(renderer)].engine_index);
    }
    modes.clear();
    const uint32_t wanted_full_screen = windowed ? 0 : LgVideoModeFullScreen;
    for (int32_t i = 0; i < LgEngineGetNumVideoModes(); ++i) {
        Mode entry{i, {}};
        if (LgEngineGetVideoModeInfo(&entry.mode, i) && entry.mode.width >= 640 &&
            entry.mode.height >= 480 && entry.mode.depth == 16 &&
            (entry.mode.flags & LgVideoModeFullScreen) == wanted_full_screen)
            modes.push_back(entry);
    }
    return OM_S_OK;
}

OmResult TvStartVideo(int32_t mode) {
    if (mode < 0 || size_t(mode) >= modes.size()) return OM_E_BADPROPERTY;
    const Mode& chosen = modes[size_t(mode)];
    if (LgEngineSetVideoMode(chosen.engine_index) != 1 || LgEngineStart() != 1)
        return fail(__LINE__, "Couldn't Start Lumagon Engine");
    engine_started = true;
    LgResourcesSetArenaSize(TV_RESOURCES_ARENA_SIZE);
    current_mode = mode;
    if (video_window && !video_window->IsWindowed()) {
        screen_width = chosen.mode.width;
        screen_height = chosen.mode.height;
        video_window->SetClientSize(uint32_t(screen_width), uint32_t(screen_height));
    } else {
        uint32_t w = 0, h = 0;
        if (video_window) video_window->GetClientSize(&w, &h);
        screen_width = int32_t(w);
        screen_height = int32_t(h);
    }
    TvInstallSectorStages();
    while (platform::show_cursor(false) >= 0) {}
    return OM_S_OK;
}

OmResult TvStopVideo() {
    if (engine_started) LgEngineStop();
    engine_started = false;
    return OM_S_OK;
}

OmResult TvFreeVideoModes() {
    modes.clear();
    screen_width = 0;
    screen_height = 0;
    return OM_S_OK;
}

OmResult TvCloseVideo() {
    if (video_window) video_window->Release();
    video_window = nullptr;
    sub_systems.clear();
    if (engine_open) LgEngineClose();
    if (engine_initialised) {
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
    }
    engine_open = false;
    engine_initialised = false;
    current_mode = -1;
    platform::shut_down_presenter();
    platform::set_gfx_window_hooks({});
    return OM_S_OK;
}

namespace tvfe {

int32_t TvGetScreenWidth() {
    return screen_width;
}

int32_t TvGetScreenHeight() {
    return screen_height;
}

} // namespace tvfe

int32_t TvIsVideoWindowed() {
    return video_window ? int32_t(video_window->IsWindowed() ? 1 : 0) : 1;
}

int32_t TvGetCurrentSubSystem() {
    return current_sub_system;
}

int32_t TvGetCurrentMode() {
    return current_mode;
}

int32_t TvGetModeCount() {
    return int32_t(modes.size());
}

const LgVideoMode* TvGetMode(int32_t index) {
    return index >= 0 && size_t(index) < modes.size() ? &modes[size_t(index)].mode : nullptr;
}

int32_t TvGetSubSystemCount() {
    return int32_t(sub_systems.size());
}

const LgSubSystemInfo* TvGetSubSystem(int32_t index) {
    return index >= 0 && size_t(index) < sub_systems.size() ? &sub_systems[size_t(index)].info
                                                            : nullptr;
}

void* TvGetVideoWindowHandle() {
    return reinterpret_cast<void*>(window_word);
}
