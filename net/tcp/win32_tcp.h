// Win32TCP: a TCP connection as a byte stream, made by connecting to a host and port or by
// accepting on a listening port shared by every object that listens there.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

#include <cstdint>

inline constexpr GUID CLSID_Win32TCP = om_guid("DF9811A6-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmTcp = om_guid("DD9C3CC4-C84F-11D4-871E-00C04F7963BA");

// Results of the TCP stream.
inline constexpr OmResult OM_E_TCP_NOTCONNECTED = int32_t(0x80040321u); // none, none pending, reset
inline constexpr OmResult OM_E_TCP_CLOSED = int32_t(0x80040322u);       // closed by the peer
inline constexpr OmResult OM_E_TCP_HOSTNOTFOUND = int32_t(0x80040323u); // or address not available
inline constexpr OmResult OM_E_TCP_NETDOWN = int32_t(0x80040324u);
inline constexpr OmResult OM_E_TCP_REFUSED = int32_t(0x80040325u);
inline constexpr OmResult OM_E_TCP_UNREACHABLE = int32_t(0x80040326u);
inline constexpr OmResult OM_E_TCP_TIMEDOUT = int32_t(0x80040327u);

// Option ids.
inline constexpr uint32_t OM_TCP_PORT = 1;           // u16
inline constexpr uint32_t OM_TCP_LISTEN = 2;         // set: stop, then listen when non-zero
inline constexpr uint32_t OM_TCP_CLOSE_ON_RESET = 3; // non-zero: a reset finishes the stream

struct IOmTcp : IUnknown {
    // OM_E_FAIL for an unknown id, or the listening failure of option 2. After listening on
    // port 0, option 1 reads back the port the system chose.
    virtual OmResult SetOption(uint32_t id, uint32_t value) = 0;
    virtual OmResult GetOption(uint32_t id, uint32_t* out) = 0;
    // Closes any connection or listener and connects to `host` (a name or dotted address) at
    // the port (a blocking connect); the stream is non-blocking afterwards.
    virtual OmResult Connect(const char* host) = 0;
};

// Name look-ups: the IPv4 address of `host` in network byte order; false when unknown.
using OmTcpResolver = bool (*)(const char* host, uint32_t* address);
// Replaces the resolver (null restores the system's); returns the previous one.
OmTcpResolver OmTcpSetResolver(OmTcpResolver resolver);

OM_DECLARE_MODULE(Win32TCP);
