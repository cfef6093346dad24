// The process's socket service under every Win32TCP: its user count, the host cache and the
// listening sockets, one per port, shared by the objects that listen there.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

namespace omtcp {

struct Listener; // a listening socket of a port and its users

// The first user starts the service, the last one stops it (dropping the cache).
OmResult service_start();
void service_stop();

// The address of a host (network byte order): the cache, else the resolver, whose answer is
// cached when the name fits the cache's 80 characters. OM_E_TCP_HOSTNOTFOUND when unknown.
OmResult resolve_host(const char* host, uint32_t* address);

// The listener of `port` with one more user, made (bound to any address, backlog 3,
// non-blocking) when the port has none; port 0 lets the system choose and `port` returns its
// choice. OM_E_FAIL when the port cannot be bound.
OmResult listener_acquire(uint16_t* port, Listener** out);
// Drops a user; the last one closes the socket.
void listener_release(Listener* listener);
// A pending connection as a non-blocking socket, or -1 when none is waiting.
int listener_accept(Listener* listener);

// Maps a socket error number to the stream's results (OM_E_FAIL for the rest).
OmResult map_socket_error(int error);

} // namespace omtcp
