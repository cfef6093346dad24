// The engine opened on the Direct3D driver over the software graphics device, with a chosen
// capability profile; and small helpers to pick video modes and read what the driver made.
#pragma once

#include "engine/core/lg_engine.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/driver/lg_d3d_state.h"
#include "platform/graphics/device_profile.h"
#include "platform/graphics/pixel_format.h"
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace drivertest {

using enginetest::CountingMemory;

// Opens the engine on the driver at construction (the profile applies to every DirectDraw
// object made afterwards) and takes it down again at scope end, so a test sees the driver's
// memory all returned.
class DriverEngine {
public:
    explicit DriverEngine(const platform::DeviceProfile& profile = platform::default_profile()) {
        platform::set_device_profile(profile);
        CountingMemory::reset();
        LgEngineSetDeviceEntry(LgD3DGetDevice);
        opened = LgEngineInit(CountingMemory::functions(), 0) == 1 && LgEngineOpen(&window) == 1;
    }
    ~DriverEngine() {
        if (LgEngineInstancePtr != nullptr && LgEngineInstancePtr->state == LgEngineStateStarted)
            LgEngineStop();
        if (LgEngineGetOpenCount() != 0) LgEngineClose();
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
        platform::set_device_profile(platform::default_profile());
    }
    DriverEngine(const DriverEngine&) = delete;
    DriverEngine& operator=(const DriverEngine&) = delete;

    // The index of the first mode with these properties, or -1.
    static int32_t find_mode(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
        LgVideoMode m{};
        for (int32_t i = 0; i < LgEngineGetNumVideoModes(); ++i)
            if (LgEngineGetVideoModeInfo(&m, i) != nullptr && m.width == width &&
                m.height == height && m.depth == depth && m.flags == flags)
                return i;
        return -1;
    }
    bool start_full_screen(int32_t width = 640, int32_t height = 480) {
        const int32_t mode = find_mode(width, height, 16, LgVideoModeFullScreen);
        return mode >= 0 && LgEngineSetVideoMode(mode) == 1 && LgEngineStart() == 1;
    }
    bool start_windowed() { return LgEngineSetVideoMode(0) == 1 && LgEngineStart() == 1; }

    bool opened = false;
    uintptr_t window = 0x5a17;
};

inline LgError recorded_error() {
    return enginetest::recorded_error();
}

} // namespace drivertest
