// IFileStorage and Win32Storage: files as byte streams, and file-system operations, by
// portable path.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID IID_IFileStorage = om_guid("DE40BF06-C84F-11D4-871E-00C04F7963BA");

// Open modes.
inline constexpr uint32_t OM_OPEN_READ = 1;
inline constexpr uint32_t OM_OPEN_WRITE = 2;  // created or truncated
inline constexpr uint32_t OM_OPEN_APPEND = 3; // created when missing, writes at the end
// Open kinds (the same on this platform).
inline constexpr uint32_t OM_OPEN_BINARY = 1;
inline constexpr uint32_t OM_OPEN_TEXT = 2;

// Kinds of GetInfo; Enumerate reports OM_FILE_DIRECTORY or OM_FILE_NONE.
inline constexpr uint32_t OM_FILE_NONE = 0;
inline constexpr uint32_t OM_FILE_REGULAR = 1;
inline constexpr uint32_t OM_FILE_DIRECTORY = 2;

struct OmFileInfo {
    uint32_t kind;
    uint32_t size; // bytes; 0 for a directory
};

// Called per enumerated name (portable form); a negative result stops the enumeration.
using OmEnumerateCallback = OmResult (*)(const char* name, uint32_t kind, void* context);

// Paths are portable ("/dev/drive-c/dir/file", or relative to the current directory); their
// components match the file system ignoring case. Failures of the file system are OM_E_FAIL.
struct IFileStorage : IUnknown {
    // A stream on the file (one reference). The stream's Read answers OM_E_ENDOFSTREAM for a
    // short read at the end of the file, OM_E_FAIL for other short reads; its Write OM_E_FAIL
    // for a short write. OM_E_FAIL for a mode or kind out of range or a file that does not
    // open; OM_E_OUTOFMEMORY; or the path's conversion failure.
    virtual OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) = 0;
    // Renames a file or directory, replacing an existing target file.
    virtual OmResult Rename(const char* old_path, const char* new_path) = 0;
    // Removes a regular file or an empty directory.
    virtual OmResult Delete(const char* path) = 0;
    // Creates one directory; OM_E_FAIL when it exists or cannot be made.
    virtual OmResult MakeDirectory(const char* path) = 0;
    // Not supported: OM_E_FAIL.
    virtual OmResult Reserved1(void* first, void* second) = 0;
    virtual OmResult Reserved2(void* first, void* second) = 0;
    // Calls back for each name matching the pattern's last component ('*' and '?', any case;
    // "." and ".." included), "." and ".." first, then by name. OM_E_NOTHINGENUMERATED when
    // nothing matches; a negative callback result is returned at once; otherwise the last
    // callback result.
    virtual OmResult Enumerate(const char* pattern, OmEnumerateCallback callback,
                               void* context) = 0;
    // Kind and size of a path. OM_E_FAIL when it cannot be examined.
    virtual OmResult GetInfo(const char* path, OmFileInfo* out) = 0;
};

OM_DECLARE_MODULE(Win32Storage);
