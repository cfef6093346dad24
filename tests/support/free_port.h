// A loopback port that nothing listens on right now, as the system hands one out: for code
// that must be given a port number before it listens (other tests run beside these, so a
// caller that loses the port to one of them tries another).
#pragma once

#include <cstdint>

namespace testsupport {

// 0 when no socket can be had.
uint16_t free_loopback_port();

} // namespace testsupport
