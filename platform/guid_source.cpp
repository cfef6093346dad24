// Random GUIDs from the kernel's random source.
#include "platform/guid_source.h"

#include <cerrno>
#include <sys/random.h>

namespace platform {

int new_guid(uint8_t out[16]) {
    size_t got = 0;
    while (got < 16) {
        ssize_t n = ::getrandom(out + got, 16 - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        got += size_t(n);
    }
    // Data3 is stored little-endian, so its top nibble (the version) sits in byte 7.
    out[7] = uint8_t((out[7] & 0x0F) | 0x40);
    // Data4[0] carries the variant bits 10xxxxxx.
    out[8] = uint8_t((out[8] & 0x3F) | 0x80);
    return 0;
}

} // namespace platform
