// The network library's transport classes for its tests, in the order of the program's network
// group.
#pragma once

#include "net/session/network.h"
#include "net/tcp/win32_tcp.h"
#include "net/transport/om_transport.h"
#include "net/transport/packet_queue.h"

namespace testsupport {

inline void register_network_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {Network_RegisterClasses, NullTransport_RegisterClasses, PacketQueue_RegisterClasses,
          Win32TCP_RegisterClasses, Win32Dx5Transport_RegisterClasses,
          Win32Dx6Transport_RegisterClasses})
        f(manager);
}

} // namespace testsupport
