// The byte stream over an open file that file storage hands out.
#pragma once

#include "framework/io/byte_stream.h"

// Opens `resolved_path` (a path of this machine) for `mode` (OM_OPEN_*) and keeps
// `native_path` (the program's form) with it. OM_E_FAIL when the file does not open,
// OM_E_OUTOFMEMORY.
OmResult om_open_file_stream(const char* native_path, const char* resolved_path, uint32_t mode,
                             uint32_t kind, IByteStream** out);
