// Engine start-up and shutdown on the Direct3D driver, in the game's order.
#include "tools/demoscene/engine_session.h"

#include "engine/core/lg_engine.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/engine_memory.h"
#include "tools/demoscene/engine_error.h"

#include <cstring>

namespace demoscene {
namespace {

const LgMemoryFunctions frameworkMemory = {TvEngineMemAlloc, TvEngineMemFree, TvEngineMemRealloc,
                                           TvEngineMemCalloc};

// Software entries end their names so; the game prefers the others.
bool software_entry(const char* name) {
    const size_t n = std::strlen(name);
    return n >= 3 && std::strcmp(name + n - 3, "S/W") == 0;
}

// The first mode of this size, depth and kind, or -1.
int32_t find_mode(const SessionConfig& c) {
    const uint32_t flags = c.fullScreen ? LgVideoModeFullScreen : 0;
    LgVideoMode m{};
    for (int32_t i = 0; i < LgEngineGetNumVideoModes(); ++i)
        if (LgEngineGetVideoModeInfo(&m, i) != nullptr && m.width == c.width &&
            m.height == c.height && m.depth == c.depth &&
            (m.flags & LgVideoModeFullScreen) == flags)
            return i;
    return -1;
}

} // namespace

bool EngineSession::fail(const std::string& step) {
    error_ = step + " failed" + recorded_engine_error();
    end();
    return false;
}

bool EngineSession::begin(const SessionConfig& config) {
    if (stage_ != Stage::None) return fail("begin of a session already begun");
    error_.clear();
    windowWord_ = reinterpret_cast<uintptr_t>(config.window);
    if (LgEngineInit(&frameworkMemory, 0) != 1) return fail("LgEngineInit");
    stage_ = Stage::Initialised;
    if (!LgRandomPluginAttach()) return fail("the random plug-in's attach");
    if (!LgWorldPluginAttach()) return fail("the world plug-in's attach");
    LgEngineSetDeviceEntry(LgD3DGetDevice);
    if (LgEngineOpen(&windowWord_) != 1) return fail("LgEngineOpen");
    stage_ = Stage::Opened;
    int32_t chosen = -1;
    LgSubSystemInfo info{};
    for (int32_t i = 0; i < LgEngineGetNumSubSystems() && chosen < 0; ++i)
        if (LgEngineGetSubSystemInfo(&info, i) != nullptr && !software_entry(info.name)) chosen = i;
    if (chosen < 0) return fail("finding a sub-system");
    subsystem_ = info.name;
    if (LgEngineSetSubSystem(chosen) != 1) return fail("LgEngineSetSubSystem");
    mode_ = find_mode(config);
    if (mode_ < 0) return fail("finding the video mode");
    if (LgEngineSetVideoMode(mode_) != 1) return fail("LgEngineSetVideoMode");
    if (LgEngineStart() != 1) return fail("LgEngineStart");
    stage_ = Stage::Started;
    // Models name their textures without an extension; the game's data holds BMP files.
    if (LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr) != 1)
        return fail("registering the BMP reader");
    return true;
}

void EngineSession::end() {
    if (stage_ == Stage::Started) LgEngineStop();
    if (stage_ >= Stage::Opened) LgEngineClose();
    if (stage_ >= Stage::Initialised) {
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
    }
    stage_ = Stage::None;
}

} // namespace demoscene
