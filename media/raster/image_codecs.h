// The picture readers and writers of the category "RasterObjectRW" (IObjectRW): INI picture
// descriptions, Sun raster, BMP, PNG and JPEG. ReadStream takes an IRasterCreate description
// as its context and hands out an IRaster; ReadInfoStream fills width, height and format of
// the description given as its info object.
#pragma once

#include "framework/io/object_rw.h"
#include "media/raster/raster.h"

inline constexpr GUID CLSID_RasterIni = om_guid("ACBC82E8-1038-41D2-906D-FD1A1D8419DC");
inline constexpr GUID CLSID_SunRaster = om_guid("D949F9A4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Bmp = om_guid("D8F68756-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Png = om_guid("D91F0F50-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Jpeg = om_guid("D9027318-C84F-11D4-871E-00C04F7963BA");

// Options of the picture readers (IObjectRW::SetOption).
inline constexpr uint32_t OM_IMAGE_OPTION_QUALITY = 1; // JPEG compression quality 0..100
// Non-zero (the default): decode in the file's own format, then deliver in the caller's
// description through OmCopyRasterInto; zero: decode straight into the caller's description.
inline constexpr uint32_t OM_IMAGE_OPTION_CONVERT = 2;

OM_DECLARE_MODULE(RasterIni);
OM_DECLARE_MODULE(SunRaster);
OM_DECLARE_MODULE(Bmp);
OM_DECLARE_MODULE(Png);
OM_DECLARE_MODULE(Jpeg);
