// IRaster, the system's picture in memory or on a device, and IRasterCreate, the description
// that makes rasters; the memory raster NullRaster and the description RasterCreate.
#pragma once

#include "framework/core/class_factory.h"
#include "media/raster/pixel_format.h"

#include <cstdint>

inline constexpr GUID IID_IRaster = om_guid("D8DEAFD2-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IRasterCreate = om_guid("D8D9EB1E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_RasterCreate = om_guid("D8AA3C16-C84F-11D4-871E-00C04F7963BA");
// The same class as RasterCreate, registered a second time under its own name.
inline constexpr GUID CLSID_NullRasterCreate = om_guid("189AB209-D5ED-11D4-8723-00C04F7963BA");
inline constexpr GUID CLSID_NullRaster = om_guid("189AB208-D5ED-11D4-8723-00C04F7963BA");

// Result codes of the imaging layer (0x80290003 is OM_E_UNKNOWNPIXELFORMAT of the framework).
inline constexpr OmResult OM_E_RASTERSIZEMISMATCH = int32_t(0x80290001u);
inline constexpr OmResult OM_E_PALETTEMISMATCH = int32_t(0x80290004u);

// Property ids of rasters and raster descriptions. Values travel as intptr_t, so pointers
// (palette, pixel memory, device textures) fit.
inline constexpr uint32_t OM_RASTER_KIND = 1;
inline constexpr uint32_t OM_RASTER_WIDTH = 2;
inline constexpr uint32_t OM_RASTER_HEIGHT = 3;
inline constexpr uint32_t OM_RASTER_FORMAT = 4;
inline constexpr uint32_t OM_RASTER_FLAG5 = 5; // a byte flag carried into the raster
inline constexpr uint32_t OM_RASTER_STRIDE =
    6; // bytes per row, signed; 0 in a description = computed
inline constexpr uint32_t OM_RASTER_COLOUR_KEY = 7;         // a pixel value in the raster's format
inline constexpr uint32_t OM_RASTER_COLOUR_KEY_ENABLED = 8; // byte
inline constexpr uint32_t OM_RASTER_MIP_LEVELS = 9;         // device textures
inline constexpr uint32_t OM_RASTER_SYSTEM_MEMORY = 13;     // device textures
inline constexpr uint32_t OM_RASTER_Z_BUFFER = 15;          // device rasters
inline constexpr uint32_t OM_RASTER_FORMAT_PREFERENCE = 20; // device textures
inline constexpr uint32_t OM_RASTER_EXACT_SIZE = 23;        // device textures: no power-of-two snap
inline constexpr uint32_t OM_RASTER_PALETTE = 24;           // IRaster* of kind 4, one row high
inline constexpr uint32_t OM_RASTER_PIXELS = 25;            // caller-owned pixel memory to wrap
inline constexpr uint32_t OM_RASTER_COLOUR_TEXTURE = 26;    // engine rasters
inline constexpr uint32_t OM_RASTER_DEPTH_TEXTURE = 27;     // engine rasters
// Property ids of a description are 0..OM_RASTER_PROPERTY_COUNT - 1.
inline constexpr uint32_t OM_RASTER_PROPERTY_COUNT = 29;

// Raster kinds (property 1).
inline constexpr uint32_t OM_RASTER_KIND_CAMERA = 1;
inline constexpr uint32_t OM_RASTER_KIND_NORMAL = 2;
inline constexpr uint32_t OM_RASTER_KIND_TEXTURE = 3;
inline constexpr uint32_t OM_RASTER_KIND_PALETTE = 4; // 0xC0120, one row, width = entry count
inline constexpr uint32_t OM_RASTER_KIND_PICTURE = 6;

// Lock modes: bit 0 the caller writes, bit 1 the caller reads.
inline constexpr uint32_t OM_LOCK_WRITE = 1;
inline constexpr uint32_t OM_LOCK_READ = 2;
inline constexpr uint32_t OM_LOCK_READ_WRITE = 3;

// BlitConvert flags.
inline constexpr uint32_t OM_BLIT_CARRY_KEY =
    1; // carry the source's colour key instead of applying it
inline constexpr uint32_t OM_BLIT_CONVERT = 2; // convert when the formats differ

// Sizes past which a memory raster is refused (a file cannot ask for a huge allocation).
inline constexpr uint32_t OM_RASTER_MAX_SIDE = 32768;
inline constexpr uint64_t OM_RASTER_MAX_BYTES = uint64_t(1) << 28;

struct IRaster : IUnknown {
    virtual uint32_t GetWidth() = 0;
    virtual uint32_t GetHeight() = 0;
    // The pixel-format word (low byte = bits per pixel).
    virtual uint32_t GetFormat() = 0;
    // The address of row 0 and the signed stride in bytes (a bottom-up surface has a negative
    // stride). Mode OM_LOCK_*. The implementation's failure.
    virtual OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) = 0;
    virtual OmResult Unlock() = 0;
    // Fills the rectangle (null = whole raster; not clipped, it must lie inside) with an
    // A8 R8 G8 B8 colour converted to the raster's format. 0x80030000 for 24-bit rasters.
    virtual OmResult FillRect(const OmRect* rect, const uint32_t* colour) = 0;
    // Same-format copy of the source rectangle to the destination rectangle, both clipped,
    // honouring the source's colour key. OM_E_UNKNOWNPIXELFORMAT for different formats.
    virtual OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) = 0;
    // OM_E_FAIL for ids the raster does not take.
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    // OM_E_FAIL for ids the raster does not report (the output untouched).
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // Copy with optional format conversion: OM_BLIT_CARRY_KEY, OM_BLIT_CONVERT.
    virtual OmResult BlitConvert(const OmRect* dest_rect, IRaster* source,
                                 const OmRect* source_rect, uint32_t flags) = 0;
};

struct IRasterCreate : IUnknown {
    // Applies the defaults to the properties not set (kind 6, format 0xC0120, flag 5 = 1,
    // stride 0, ...); a palette (kind 4) without size becomes 256 x 1, any other raster
    // without size 128 x 128. 0.
    virtual OmResult Reset() = 0;
    // A raster made from the description (Reset first when it is not prepared).
    // OM_E_OUTOFMEMORY, OM_E_FAIL for sizes that cannot be made.
    virtual OmResult CreateRaster(IRaster** out) = 0;
    // Stores a property and marks it set; a set and fixed property keeps its value (0).
    // OM_E_FAIL for an id of 29 or more and for ids without storage (still marked set).
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    // OM_E_FAIL for id 0, ids above 28, unset properties and property 25.
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // 1 when set, else 0.
    virtual OmResult IsPropertySet(uint32_t id) = 0;
    // Unprepared, width and height 0, every fixed property unset. 0.
    virtual OmResult Clear() = 0;
    // A copy of the description. OM_E_OUTOFMEMORY.
    virtual OmResult Clone(IRasterCreate** out) = 0;
    // Sets or clears the fixed mark. OM_E_FAIL for id 29 or more.
    virtual OmResult SetPropertyFixed(uint32_t id, uint32_t on) = 0;
    // 1 or 0; OM_E_FAIL for id 29 or more.
    virtual OmResult IsPropertyFixed(uint32_t id) = 0;
};

// Sets the description's width, height and format from the source, creates a raster from it
// and fills it from the source (resampled first when the description keeps another size),
// converting with the colour key carried. The new raster in *out, or the failure with
// nothing handed out.
OmResult OmCopyRasterInto(IRaster* source, IRasterCreate* description, IRaster** out);

// A fresh RasterCreate description, made without the object manager.
OmResult OmNewRasterDescription(IRasterCreate** out);
// A memory raster of the given size and format (a fresh description, defaults otherwise).
OmResult OmNewMemoryRaster(uint32_t width, uint32_t height, uint32_t format, IRaster** out);

// Registers RasterCreate, NullRasterCreate and NullRaster.
OM_DECLARE_MODULE(RasterCreate);
