// Result codes of the component framework: negative is failure, zero or positive success.
#pragma once

#include <cstdint>

using OmResult = int32_t;

inline constexpr OmResult OM_S_OK = 0;
// The file opened but failed the data-file integrity check.
inline constexpr OmResult OM_S_INTEGRITY_FAILED = 0x00280001;
inline constexpr OmResult OM_E_OUTOFMEMORY = int32_t(0x80000000u);
inline constexpr OmResult OM_E_ENDOFSTREAM = int32_t(0x80010000u);
inline constexpr OmResult OM_E_NOINTERFACE = int32_t(0x80020000u);
inline constexpr OmResult OM_E_NOAGGREGATION = int32_t(0x80020001u);
inline constexpr OmResult OM_E_BADPROPERTY = int32_t(0x80020002u);
// General failure: bad argument, missing entry, unsupported operation, buffer too small.
inline constexpr OmResult OM_E_FAIL = int32_t(0x80030000u);
// No such class, category, named entry or global object; a library or entry point is missing.
inline constexpr OmResult OM_E_NOTFOUND = int32_t(0x80030385u);
// The class id is not in the module's class table.
inline constexpr OmResult OM_E_CLASSNOTAVAILABLE = int32_t(0x80040111u);
inline constexpr OmResult OM_E_NOMANAGER = int32_t(0x8004000Au);
inline constexpr OmResult OM_E_STREAMTIMEOUT = int32_t(0x80040327u);
inline constexpr OmResult OM_E_NOTHINGENUMERATED = int32_t(0x80280001u);
inline constexpr OmResult OM_E_UNKNOWNPIXELFORMAT = int32_t(0x80290003u);

inline constexpr bool OmSucceeded(OmResult r) {
    return r >= 0;
}
inline constexpr bool OmFailed(OmResult r) {
    return r < 0;
}
