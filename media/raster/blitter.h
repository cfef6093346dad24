// IBlitter: moves pixels between rasters: same-format copies, channel-by-channel format
// conversions, colour conversions, fills, clipped and keyed blits and bump maps.
#pragma once

#include "media/raster/raster.h"

inline constexpr GUID CLSID_Blitter = om_guid("D8998BA0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IBlitter = om_guid("D8C93AA8-C84F-11D4-871E-00C04F7963BA");

// Rectangles are as in IRaster (null = the whole raster).
struct IBlitter : IUnknown {
    // Raw row copy between rasters of one depth (the rows and bytes both hold), then the
    // source's colour key. OM_E_PALETTEMISMATCH when the destination has a palette that is
    // not the source's; OM_E_UNKNOWNPIXELFORMAT for different depths.
    virtual OmResult Copy(IRaster* dest, IRaster* source) = 0;
    // Whole-raster copy with format conversion. OM_E_RASTERSIZEMISMATCH for different sizes,
    // OM_E_UNKNOWNPIXELFORMAT for pairs it cannot convert, OM_E_FAIL into an 8-bit raster
    // without palette or from one without palette into direct colour.
    virtual OmResult Convert(IRaster* dest, IRaster* source) = 0;
    // Fills the rectangle (not clipped) with the A8 R8 G8 B8 colour converted to the
    // raster's format. OM_E_FAIL for 24-bit and sub-byte rasters.
    virtual OmResult FillRect(IRaster* raster, const OmRect* rect, const uint32_t* colour) = 0;
    // The A8 R8 G8 B8 colour in the destination format. OM_E_UNKNOWNPIXELFORMAT.
    virtual OmResult ConvertColour(const uint32_t* colour, uint32_t format, uint32_t* out) = 0;
    // A pixel value as blue, green, red, alpha bytes (alpha 0xFF when the format has none).
    // OM_E_UNKNOWNPIXELFORMAT.
    virtual OmResult UnpackColour(uint32_t pixel, uint32_t format, uint8_t* out) = 0;
    // Clipped same-format blit, keyed when the source's colour key is enabled.
    // OM_E_UNKNOWNPIXELFORMAT for different formats.
    virtual OmResult Blit(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                          const OmRect* source_rect) = 0;
    // Not supported: OM_E_FAIL.
    virtual OmResult Unsupported(IRaster* dest, IRaster* source) = 0;
    // Clipped blit with OM_BLIT_CARRY_KEY and OM_BLIT_CONVERT (different formats convert
    // through a temporary raster). OM_E_UNKNOWNPIXELFORMAT without OM_BLIT_CONVERT.
    virtual OmResult BlitConvert(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                                 const OmRect* source_rect, uint32_t flags) = 0;
};

// The blitter that every memory raster shares, no reference added; null while no memory
// raster exists.
IBlitter* OmGetSharedBlitter();

OM_DECLARE_MODULE(Blitter);
