// Sw8Renderer and Sw16Renderer: renderers that draw screen-space triangles through the software
// rasteriser straight into the locked pixels of an 8-bit palettised or a 5-6-5 target; the
// 8-bit renderer owns a fixed palette with its shade and modulation tables.
#pragma once

#include "framework/core/class_factory.h"
#include "media/display/renderer.h"
#include "media/raster/palette_matcher.h"

#include <cstdint>

inline constexpr GUID CLSID_Sw8Renderer = om_guid("DAF49C04-D7FC-11D4-8723-00C04F7963BA");
inline constexpr GUID CLSID_Sw16Renderer = om_guid("DAF49C03-D7FC-11D4-8723-00C04F7963BA");

// The 8-bit renderer's palette: entries 10..244 spread over a 7-7-7 colour cube, entries 0..9
// and 245..255 black with alpha 0 (A8 R8 G8 B8 words).
void sw8_build_palette(uint32_t colours[OM_PALETTE_ENTRIES]);

// The 8-bit renderer's colour tables built from a palette: the matcher, 16 shade rows of 256
// and the 256 x 256 modulation table.
struct Sw8ColourTables {
    OmPaletteMatcher matcher;
    uint8_t shade[16 * 256];
    uint8_t modulation[256 * 256];
};
void sw8_build_tables(const uint32_t colours[OM_PALETTE_ENTRIES], Sw8ColourTables* tables);

OM_DECLARE_MODULE(Sw16Renderer);
OM_DECLARE_MODULE(Sw8Renderer);
