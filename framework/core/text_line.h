// OmReadTextLine: one line of a text file read a byte at a time through a byte stream.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// Reads one line into `buffer` (NUL-terminated, at most size - 1 bytes) through the stream's
// Read(buffer, 1, null). Bytes below 0x20 or above 0x80 are dropped, so CR and tabs vanish;
// LF ends the line and is not stored. A full buffer ends the line and the rest of the physical
// line comes as the next one. The first read's failure is returned (OM_E_ENDOFSTREAM at the
// end of the file); a later failing read just ends the line. A buffer of fewer than two bytes
// has no room for a character and fails: it would return empty lines without ever reading.
template <class Stream>
OmResult OmReadTextLine(Stream* stream, char* buffer, uint32_t size) {
    if (!stream || !buffer || size < 2) {
        if (buffer && size > 0) buffer[0] = '\0';
        return OM_E_FAIL;
    }
    uint32_t stored = 0;
    for (bool first = true;; first = false) {
        if (stored + 1 >= size) break;
        uint8_t c;
        OmResult r = stream->Read(&c, 1, nullptr);
        if (r < 0) {
            if (first) {
                buffer[0] = '\0';
                return r;
            }
            break;
        }
        if (c == '\n') break;
        if (c < 0x20 || c > 0x80) continue;
        buffer[stored++] = char(c);
    }
    buffer[stored] = '\0';
    return OM_S_OK;
}
