// Scripted input drivers for the Input tests: two classes in the driver category whose devices,
// calls and posted events the test controls.
#pragma once

#include "framework/core/object_manager.h"
#include "media/input/input.h"

#include <vector>

namespace testsupport {

inline constexpr GUID CLSID_FakeDriverA = om_guid("E862EA5C-7504-4EDF-AFBE-B895A9365799");
inline constexpr GUID CLSID_FakeDriverB = om_guid("2C8440C6-3857-48E0-9490-BAF32C19A8AD");

// What each live fake driver saw and what it posts next. Device kinds are the driver's
// device indices 1.. in order.
struct FakeDriverScript {
    std::vector<uint16_t> kinds;       // kind of device index i + 1
    std::vector<InputEvent> next_poll; // posted (then cleared) by the next Poll
    std::vector<uint32_t> enabled;     // indices passed to EnableDevice
    std::vector<uint32_t> disabled;    // indices passed to DisableDevice
    uint8_t number = 0;                // from SetDeviceNumber
    int polls = 0;
    bool post_on_enable = false; // EnableDevice posts a source-1 notification
};

FakeDriverScript& fake_driver_script(const GUID& clsid);
void reset_fake_driver_scripts();

OM_DECLARE_MODULE(FakeInputDrivers);

} // namespace testsupport
