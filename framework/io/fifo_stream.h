// FifoStream: a first-in-first-out pipe of bytes in a growable ring.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_FifoStream = om_guid("DE02C1E2-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IFifoStream = om_guid("DE37359E-C84F-11D4-871E-00C04F7963BA");

// The pipe's second interface. Its IByteStream never reports the end of the stream: a read
// delivers what is there (possibly nothing) and says how much through `done`.
struct IFifoStream : IUnknown {
    // Unread bytes.
    virtual uint32_t Available() = 0;
    // Discards every unread byte; 0.
    virtual OmResult Clear() = 0;
    // Caps the ring's growth (bytes, 0 = no cap); 0.
    virtual OmResult SetLimit(uint32_t bytes) = 0;
    virtual uint32_t GetLimit() = 0;
};

OM_DECLARE_MODULE(FifoStream);
