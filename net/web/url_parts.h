// The web components: URL (a URL kept as scheme, host, path and file name, which opens the
// stream that suits its scheme), and the streams that take the parts through IOmUrlParts:
// HTTP, Win32InetStream and File. Also the four URL text functions.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

#include <cstdint>

inline constexpr GUID CLSID_URL = om_guid("DCD8BBF0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmUrl = om_guid("DD06089E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32InetStream = om_guid("DF76B0BA-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_File = om_guid("DCAB6F42-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_HTTP = om_guid("DCCCD02E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmUrlParts = om_guid("DD0143EA-C84F-11D4-871E-00C04F7963BA");
// The category of the classes that fetch "http" documents ("Ormic HTTP TP").
inline constexpr GUID CATID_OrmicHttpTP = om_guid("DCDFE2FE-C84F-11D4-871E-00C04F7963BA");

// Results of the web components.
inline constexpr OmResult OM_E_UNKNOWNSCHEME = int32_t(0x80040136u);
inline constexpr OmResult OM_E_NOBYTESTREAM = int32_t(0x80030384u);
inline constexpr OmResult OM_E_NODOCUMENT = int32_t(0x80030385u); // missing document (404)
inline constexpr OmResult OM_E_STREAMENDED = int32_t(0x80040322u);

// Widths of the parts, in characters (the fields hold one more for the terminator).
inline constexpr uint32_t OM_URL_SCHEME_MAX = 8;
inline constexpr uint32_t OM_URL_HOST_MAX = 127;
inline constexpr uint32_t OM_URL_PATH_MAX = 1023;
inline constexpr uint32_t OM_URL_FILE_MAX = 1023;

// Part ids of IOmUrl.
inline constexpr uint32_t OM_URL_TEXT = 1; // whole URL; 6 sets it too, 6 reads path + file
inline constexpr uint32_t OM_URL_SCHEME = 2;
inline constexpr uint32_t OM_URL_HOST = 3;
inline constexpr uint32_t OM_URL_PATH = 4;
inline constexpr uint32_t OM_URL_FILE = 5;
inline constexpr uint32_t OM_URL_RELATIVE = 6;
inline constexpr uint32_t OM_URL_RELOAD = 7;

// Part ids of IOmUrlParts.
inline constexpr uint32_t OM_PART_HOST = 1;
inline constexpr uint32_t OM_PART_PATH = 2;
inline constexpr uint32_t OM_PART_FILE = 3;   // setting it fetches in the network streams
inline constexpr uint32_t OM_PART_RELOAD = 4; // a text: non-empty on, empty off
// Win32InetStream only: the scheme its URL is built with ("http" unless set).
inline constexpr uint32_t OM_PART_SCHEME = 5;

struct IOmUrl : IUnknown {
    virtual OmResult SetPart(uint32_t id, const char* text) = 0;
    // Copies the part with its terminator when `size` is larger than its length.
    virtual OmResult GetPart(uint32_t id, char* buffer, uint32_t size) = 0;
    // A stream on the document the parts name (its IByteStream, one reference).
    virtual OmResult Open(IByteStream** out) = 0;
};

struct IOmUrlParts : IUnknown {
    virtual OmResult SetPart(uint32_t id, const char* text) = 0;
    virtual OmResult GetPart(uint32_t id, char* buffer, uint32_t size) = 0;
};

// URL text functions: each copies its part into `buffer` (with the terminator) and fails with
// OM_E_FAIL when it does not fit. Separators inside double quotes do not split.
// The text before the first ':'; empty (and 0) without one.
OmResult OmUrlGetScheme(const char* url, char* buffer, uint32_t size);
// After the scheme and its ':', "//" then the text up to the next '/'.
OmResult OmUrlGetHost(const char* url, char* buffer, uint32_t size);
// After the scheme, "//" and a host of up to 39 characters, the text up to the first '?'.
OmResult OmUrlGetPath(const char* url, char* buffer, uint32_t size);
// The last '/'-separated field; OM_E_FAIL when there is no '/'.
OmResult OmUrlGetFileName(const char* text, char* buffer, uint32_t size);

OM_DECLARE_MODULE(URL);
OM_DECLARE_MODULE(File);
OM_DECLARE_MODULE(HTTP);
OM_DECLARE_MODULE(Win32InetStream);
