// SyncStream: a byte stream that waits for an inner stream to deliver everything asked for.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

#include <cstdint>

inline constexpr GUID CLSID_SyncStream = om_guid("DE1CFBC0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ISyncStream = om_guid("DE516F7C-C84F-11D4-871E-00C04F7963BA");

// Option ids of ISyncStream.
inline constexpr uint32_t OM_SYNC_EXPECTED_LENGTH = 1; // i32, -1 = unknown
inline constexpr uint32_t OM_SYNC_NONBLOCKING = 2;     // 0 = blocking
inline constexpr uint32_t OM_SYNC_TIMEOUT = 3;         // milliseconds
inline constexpr uint32_t OM_SYNC_INNER_STREAM = 4;    // IByteStream*
inline constexpr uint32_t OM_SYNC_BYTES_READ = 5;
inline constexpr uint32_t OM_SYNC_BYTES_WRITTEN = 6;

inline constexpr uint32_t OM_SYNC_DEFAULT_TIMEOUT_MS = 120000;

// The options interface. Values travel as intptr_t so that the inner stream fits.
struct ISyncStream : IUnknown {
    // Setting the inner stream references it, releases the old one and resets the byte
    // counters to 0 and the expected length to -1. OM_E_FAIL for an unknown id.
    virtual OmResult SetOption(uint32_t id, intptr_t value) = 0;
    // The inner stream comes without a reference. OM_E_FAIL for an unknown id, a null `out`,
    // or the expected length while it is unknown.
    virtual OmResult GetOption(uint32_t id, intptr_t* out) = 0;
};

OM_DECLARE_MODULE(SyncStream);
