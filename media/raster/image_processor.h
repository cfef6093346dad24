// IImageProcessor (area resampling, halving, alpha channels of 32-bit rasters) and IImageProc,
// the program's one-stop image service (blitter, processor, descriptions, load and save).
#pragma once

#include "framework/platform/file_storage.h"
#include "media/raster/blitter.h"

inline constexpr GUID CLSID_ImageProcessor = om_guid("D8A57762-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IImageProcessor = om_guid("D8D2C410-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_ImageProc = om_guid("D89E5054-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IImageProc = om_guid("D8CDFF5C-C84F-11D4-871E-00C04F7963BA");

// Wrong formats or sizes give OM_E_FAIL; raster creation and blitter failures are passed on.
struct IImageProcessor : IUnknown {
    // Fills the destination from the source with an area filter (both 32 bits per pixel).
    virtual OmResult Resample(IRaster* dest, IRaster* source) = 0;
    // The source as a 0xC0120 raster of the given size: the source itself (one more
    // reference) when it already is one, else a new raster.
    virtual OmResult ResampleToSize(IRaster* source, uint32_t width, uint32_t height,
                                    IRaster** out) = 0;
    // Destination pixel (x, y) = source pixel (2x, 2y); the source square, 32-bit, with a
    // power-of-two side above 1, the destination exactly half its size.
    virtual OmResult Halve(IRaster* dest, IRaster* source) = 0;
    // The image in 0xC0120 with its alpha taken from the mask's brightness (the mask
    // resampled to the image's size when needed).
    virtual OmResult CombineMask(IRaster* image, IRaster* mask, IRaster** out) = 0;
    // Each pixel's alpha = the largest of its red, green and blue (0xC0120 only).
    virtual OmResult AlphaFromBrightness(IRaster* raster) = 0;
    // Each destination alpha = the source pixel's alpha (both 0xC0120 and of one size).
    virtual OmResult CopyAlpha(IRaster* dest, IRaster* source) = 0;
};

// A single shared object; each operation forwards to the blitter, the image processor or
// the RasterCreate class factory.
struct IImageProc : IUnknown {
    virtual OmResult Convert(IRaster* dest, IRaster* source) = 0;
    virtual OmResult Copy(IRaster* dest, IRaster* source) = 0;
    virtual OmResult Resample(IRaster* dest, IRaster* source) = 0;
    virtual OmResult ResampleToSize(IRaster* source, uint32_t width, uint32_t height,
                                    IRaster** out) = 0;
    virtual OmResult Halve(IRaster* dest, IRaster* source) = 0;
    virtual OmResult CombineMask(IRaster* image, IRaster* mask, IRaster** out) = 0;
    virtual OmResult AlphaFromBrightness(IRaster* raster) = 0;
    virtual OmResult CopyAlpha(IRaster* dest, IRaster* source) = 0;
    // A new RasterCreate description queried for `iid`.
    virtual OmResult CreateRasterDescription(IUnknown* outer, const GUID& iid, void** out) = 0;
    virtual OmResult FillRect(IRaster* raster, const OmRect* rect, const uint32_t* colour) = 0;
    virtual OmResult ConvertColour(const uint32_t* colour, uint32_t format, uint32_t* out) = 0;
    virtual OmResult Blit(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                          const OmRect* source_rect) = 0;
    // Reads a picture file through the reader of its extension (category "RasterObjectRW")
    // into the description (null: the file's own format). The reader's or storage's failure.
    virtual OmResult LoadRaster(IFileStorage* storage, const char* path, IRasterCreate* description,
                                IRaster** out) = 0;
    // Writes the raster through the writer of the path's extension.
    virtual OmResult SaveRaster(IFileStorage* storage, const char* path, IRaster* raster) = 0;
};

OM_DECLARE_MODULE(ImageProcessor);
OM_DECLARE_MODULE(ImageProc);
