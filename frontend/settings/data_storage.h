// The data storage: the secured data-file set data/demo1.bin to demo3.bin opened through
// SecureStorage and registered as the program-wide file storage, through which menu pages,
// strings.ini and control layouts are read. Without a valid set every open passes through.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct IByteStream;
struct IFileStorage;

inline constexpr char TV_DATA_SET_LIST[] = "data/demo1.bin";
inline constexpr char TV_DATA_SET_PUBLIC_KEY[] = "data/demo2.bin";
inline constexpr char TV_DATA_SET_SIGNATURE[] = "data/demo3.bin";

// Opens the set and registers its storage as the program-wide object under the platform
// storage class id, replacing the reference held before. 0 or the failing result. The game
// reaches it through its own TvOpenDemoRecordings entry (the front-end services table).
namespace tvfe {
OmResult TvOpenDemoRecordings();
} // namespace tvfe
// The program-wide storage reference (no reference added), or null before it is opened.
IFileStorage* TvGetDataStorage();
// Releases the program's own reference (the registered object stays until shutdown).
void TvReleaseDataStorage();

// Opens a data file for reading through the storage. A file that opens but fails the set's
// integrity check counts as opened. OM_E_FAIL without a storage; else the storage's failure.
OmResult TvOpenDataFile(const char* path, uint32_t kind, IByteStream** out);
