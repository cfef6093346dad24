// Capability profiles of the graphics stand-in: what the device claims and offers, selectable so
// tests can present a minimal device, a palettised one or the default.
#pragma once

#include "platform/graphics/d3d_types.h"

#include <string>
#include <vector>

namespace platform {

struct DisplayModeSpec {
    uint32_t width;
    uint32_t height;
    DDPIXELFORMAT format;
};

struct DeviceProfile {
    // DirectDraw driver as DirectDrawEnumerateA reports it.
    std::string driver_description = "Corvel Display";
    std::string driver_name = "display";
    // The Direct3D device (listed as a hardware device: it is the software rasteriser).
    std::string device_description = "Corvel software rasteriser";
    std::string device_name = "Corvel Rasterizer";
    // Also list an RGB emulation device whose software description is filled (off by default:
    // the game skips sub-systems whose name ends in "S/W").
    bool offer_emulation_device = false;
    // Also list a second DirectDraw driver (a 3-D add-in card) after the primary, under
    // GUID_SecondaryDisplayDriver, with the same capabilities (off by default).
    bool offer_secondary_driver = false;
    std::string secondary_description = "Corvel 3D Accelerator";
    std::string secondary_name = "accelerator";

    uint32_t dd_caps = 0;
    uint32_t dd_fx_caps = 0;
    uint32_t video_memory = 64u << 20;
    uint32_t system_memory = 256u << 20;
    // Whether textures in non-local video memory can be created.
    bool nonlocal_textures = true;

    // The description of the hardware device (the emulation device shares it).
    D3DDEVICEDESC device{};

    std::vector<DDPIXELFORMAT> texture_formats;
    std::vector<DDPIXELFORMAT> z_formats;
    // The desktop: the windowed primary's size and format.
    DisplayModeSpec desktop{};
    // Full-screen modes.
    std::vector<DisplayModeSpec> display_modes;

    // Threads the device rasterises with; 0 for the number of cores (capped). The
    // CORVEL_RASTER_THREADS environment variable overrides it.
    uint32_t raster_threads = 0;
};

// The default: 565/555 display modes, 16-bit textures plus 8888 and 888, z 16/24/32, every
// filter, blend factor and address mode, colour keys, vertex fog, no stencil, no palettes.
DeviceProfile default_profile();
// The least the engine's driver accepts: one 16-bit texture format, z 16, 640x480x16, point
// filtering only, no mip maps, no colour keys, no alpha palettes, blend factors one/srcalpha/
// invsrcalpha only.
DeviceProfile minimal_profile();
// The default plus 4- and 8-bit palettised textures and alpha palettes.
DeviceProfile palettised_profile();

// The profile that new DirectDraw objects and devices use (the default until changed).
const DeviceProfile& device_profile();
void set_device_profile(const DeviceProfile& profile);

} // namespace platform
