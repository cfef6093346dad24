// What every fuzz harness shares: the framing of inputs that carry more than one byte string
// (single bytes and length-prefixed parts from the front, the rest as the last part; the seed
// generator writes inputs the same way, so valid seeds reach the parsers whole), and the check
// that stops the fuzzer when a property every input must keep is broken.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

namespace fuzzing {

inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "fuzz: broken: %s\n", what);
        std::abort();
    }
}

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

    // One byte; 0 once the input is used up.
    uint8_t byte() {
        if (bytes_.empty()) return 0;
        const uint8_t b = bytes_[0];
        bytes_ = bytes_.subspan(1);
        return b;
    }
    // A part: a little-endian u16 length, then that many bytes (cut at the end of the input).
    std::span<const uint8_t> part() {
        const size_t low = byte();
        const size_t high = byte(); // before the size below is taken
        const size_t length = std::min(low | high << 8, bytes_.size());
        const auto out = bytes_.first(length);
        bytes_ = bytes_.subspan(length);
        return out;
    }
    bool empty() const { return bytes_.empty(); }
    // Everything not yet taken.
    std::span<const uint8_t> rest() {
        const auto out = bytes_;
        bytes_ = {};
        return out;
    }

private:
    std::span<const uint8_t> bytes_;
};

inline std::string_view as_text(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Builds an input in the framing above.
class FuzzInputWriter {
public:
    FuzzInputWriter& byte(uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    FuzzInputWriter& part(std::span<const uint8_t> p) {
        const size_t length = std::min<size_t>(p.size(), 0xffff);
        byte(static_cast<uint8_t>(length)).byte(static_cast<uint8_t>(length >> 8));
        bytes_.insert(bytes_.end(), p.begin(), p.begin() + static_cast<std::ptrdiff_t>(length));
        return *this;
    }
    FuzzInputWriter& part(std::string_view text) {
        return part({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    FuzzInputWriter& rest(std::span<const uint8_t> p) {
        bytes_.insert(bytes_.end(), p.begin(), p.end());
        return *this;
    }
    FuzzInputWriter& rest(std::string_view text) {
        return rest({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace fuzzing
