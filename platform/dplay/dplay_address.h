// Reading the DirectPlay stand-in's compound addresses (the lobby writes them).
#pragma once

#include "platform/dplay/dplay.h"

#include <string>
#include <vector>

namespace platform {

struct CompoundAddress {
    bool has_provider = false;
    GUID provider{};
    bool has_inet = false;
    std::string inet;
    bool has_port = false;
    uint32_t port = 0;
};

// An address block: u32 total size (this word included), then the elements back to back,
// each 16 GUID bytes, u32 data size and the data.
std::vector<uint8_t> make_compound_address(const DPCOMPOUNDADDRESSELEMENT* elements,
                                           uint32_t count);

// Walks the elements of an address block; false when the block's size word is implausible,
// an element runs past the block or a known element has the wrong size. Unknown elements are
// skipped.
bool parse_compound_address(const void* address, CompoundAddress* out);

} // namespace platform
