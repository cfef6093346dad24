// String chunks: narrow strings zero-padded to four bytes, and 16-bit strings of which the
// reader keeps the low byte of each character.
#include "engine/core/lg_string_stream.h"

#include "engine/core/lg_error.h"

#include <cstring>

namespace {

constexpr uint32_t narrowPiece = 64;
constexpr uint32_t widePiece = 128;

// Reads `length` payload bytes, keeping at most `room` narrow characters in out; returns the
// characters kept, or -1 on a short read.
int64_t read_narrow(LgStream* stream, char* out, uint32_t room, uint32_t length) {
    const uint32_t keep = length < room ? length : room;
    for (uint32_t done = 0; done < keep;) {
        const uint32_t n = keep - done < narrowPiece ? keep - done : narrowPiece;
        if (LgStreamRead(stream, out + done, n) != n) return -1;
        done += n;
    }
    if (LgStreamSkip(stream, length - keep) == nullptr) return -1;
    return keep;
}

int64_t read_wide(LgStream* stream, char* out, uint32_t room, uint32_t length) {
    const uint32_t characters = length / 2;
    const uint32_t keep = characters < room ? characters : room;
    uint8_t piece[widePiece];
    for (uint32_t done = 0; done < keep;) {
        const uint32_t chars = keep - done < widePiece / 2 ? keep - done : widePiece / 2;
        if (LgStreamRead(stream, piece, chars * 2) != chars * 2) return -1;
        for (uint32_t i = 0; i < chars; ++i) out[done + i] = static_cast<char>(piece[2 * i]);
        done += chars;
    }
    if (LgStreamSkip(stream, length - keep * 2) == nullptr) return -1;
    return keep;
}

} // namespace

uint32_t LgStringStreamSize(const char* string) {
    const size_t length = string != nullptr ? std::strlen(string) : 0;
    return static_cast<uint32_t>((length + 1 + 3) & ~size_t{3});
}

const char* LgStringStreamWrite(const char* string, LgStream* stream) {
    const char* text = string != nullptr ? string : "";
    const uint32_t size = LgStringStreamSize(text);
    const auto length = static_cast<uint32_t>(std::strlen(text));
    const uint8_t padding[4] = {0, 0, 0, 0};
    if (LgStreamWriteChunkHeader(stream, LgChunkString, size, LgChunkVersion) == nullptr ||
        LgStreamWrite(stream, text, length) == nullptr ||
        LgStreamWrite(stream, padding, size - length) == nullptr)
        return nullptr;
    return text;
}

char* LgStringStreamRead(char* buffer, uint32_t bufferSize, LgStream* stream) {
    if (buffer == nullptr || bufferSize == 0 || stream == nullptr) return nullptr;
    for (;;) {
        uint32_t type = 0, length = 0, version = 0;
        if (!LgStreamReadChunkHeader(stream, &type, &length, &version)) return nullptr;
        if (version < LgChunkVersionMin || version > LgChunkVersionMax) {
            LgErrorRaise(LgErrorGroupCore, LgErrBadChunkVersion);
            return nullptr;
        }
        int64_t kept;
        if (type == LgChunkString)
            kept = read_narrow(stream, buffer, bufferSize - 1, length);
        else if (type == LgChunkWideString)
            kept = read_wide(stream, buffer, bufferSize - 1, length);
        else if (LgStreamSkip(stream, length) == nullptr)
            return nullptr;
        else
            continue;
        if (kept < 0) return nullptr;
        buffer[kept] = '\0';
        return buffer;
    }
}
