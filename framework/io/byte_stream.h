// IByteStream: the one interface that carries the framework's byte traffic (files, memory,
// pipes, blocking wrappers).
#pragma once

#include "framework/core/unknown.h"

inline constexpr GUID IID_IByteStream = om_guid("DE47E614-C84F-11D4-871E-00C04F7963BA");

// Seek origins.
inline constexpr uint32_t OM_SEEK_START = 1;
inline constexpr uint32_t OM_SEEK_CURRENT = 2;
inline constexpr uint32_t OM_SEEK_END = 3;

struct IByteStream : IUnknown {
    // Reads up to `count` bytes into `buffer`; the count delivered goes to *done when given.
    // Each kind of stream says how it reports a short read (OM_E_ENDOFSTREAM for memory and
    // files).
    virtual OmResult Read(void* buffer, uint32_t count, uint32_t* done) = 0;
    // Writes `count` bytes; the count written goes to *done when given.
    virtual OmResult Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
    // Moves to `offset` from OM_SEEK_START, OM_SEEK_CURRENT or OM_SEEK_END and stores the new
    // position in *position when given. OM_E_FAIL for any other origin.
    virtual OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) = 0;
};
