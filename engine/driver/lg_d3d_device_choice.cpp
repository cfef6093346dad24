// Which Direct3D device a sub-system gets, and the "RefRast" registry setting behind it.
#include "engine/driver/lg_d3d_driver.h"

namespace {

constexpr char refRastKey[] = "Software\\Ostrel\\Lumagon";
constexpr char refRastValue[] = "RefRast";

LgD3DRegistryReader registryReader = nullptr;

} // namespace

LgD3DRegistryReader LgD3DSetRegistryReader(LgD3DRegistryReader reader) {
    LgD3DRegistryReader previous = registryReader;
    registryReader = reader;
    return previous;
}

uint32_t LgD3DReadRefRast() {
    if (registryReader == nullptr) return 0;
    uint32_t size = 0;
    if (!registryReader(refRastKey, refRastValue, nullptr, &size) || size != sizeof(uint32_t))
        return 0;
    uint32_t number = 0;
    size = sizeof(number);
    if (!registryReader(refRastKey, refRastValue, &number, &size) || size != sizeof(uint32_t))
        return 0;
    return number;
}

const platform::GUID* LgD3DChooseDeviceGuid(const LgD3DSubSystem* subsystem) {
    if (subsystem != nullptr && subsystem->hardware) return &platform::IID_IDirect3DHALDevice;
    return LgD3DReadRefRast() != 0 ? &platform::IID_IDirect3DRefDevice
                                   : &platform::IID_IDirect3DRGBDevice;
}
