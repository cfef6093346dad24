// The fixed-width text fields the web components keep their parts in, and the path rule they
// share.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace omweb {

// A text of at most N characters.
template <uint32_t N>
struct Field {
    char text[N + 1] = {};

    // OM_E_FAIL (and the field unchanged) when the text is too long.
    OmResult set(const char* value) {
        if (value == nullptr) return OM_E_FAIL;
        const size_t length = std::strlen(value);
        if (length > N) return OM_E_FAIL;
        std::memcpy(text, value, length + 1);
        return OM_S_OK;
    }
    OmResult set(const std::string& value) { return set(value.c_str()); }
    void clear() { text[0] = 0; }
    size_t length() const { return std::strlen(text); }
};

// Copies `text` with its terminator when `size` is larger than its length.
OmResult copy_out(const char* text, char* buffer, uint32_t size);

// A path as the part operations take it: "/" in front unless there is one, and a '/' at the
// end unless there is one.
std::string normalised_path(const char* text);

} // namespace omweb
