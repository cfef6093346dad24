// MemoryStream: a byte stream over a growable block of memory.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_MemoryStream = om_guid("DE09E8F0-C84F-11D4-871E-00C04F7963BA");

OM_DECLARE_MODULE(MemoryStream);

// A new empty memory stream made directly (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewMemoryStream(IByteStream** out);
