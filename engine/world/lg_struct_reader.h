// Reading inside a struct chunk without running past its length: the chunk readers of
// geometries and worlds take their records through it.
#pragma once

#include "engine/core/lg_error.h"
#include "engine/core/lg_stream.h"

#include <cstdint>

class LgStructReader {
public:
    LgStructReader(LgStream* stream, uint32_t length) : stream_(stream), left_(length) {}

    // Little-endian 32-bit words.
    bool words(void* buffer, uint64_t bytes) {
        return take(bytes) &&
               LgStreamReadInt32s(stream_, buffer, static_cast<uint32_t>(bytes)) != nullptr;
    }
    bool bytes(void* buffer, uint64_t bytes) {
        if (!take(bytes)) return false;
        if (LgStreamRead(stream_, buffer, static_cast<uint32_t>(bytes)) != bytes) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
            return false;
        }
        return true;
    }
    bool skip(uint64_t bytes) {
        return take(bytes) && LgStreamSkip(stream_, static_cast<uint32_t>(bytes)) != nullptr;
    }
    // A struct longer than its contents: the rest is skipped.
    bool finish() { return LgStreamSkip(stream_, left_) != nullptr; }
    uint64_t left() const { return left_; }

private:
    bool take(uint64_t bytes) {
        if (bytes > left_) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
            return false;
        }
        left_ -= static_cast<uint32_t>(bytes);
        return true;
    }

    LgStream* stream_;
    uint32_t left_;
};
