// The test server's own bit codec: fields packed least significant bit first into
// consecutive bytes, as the game's messages are. The reader knows how many bits are left,
// so every field can be checked against the payload before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mpserver {

class BitWriter {
public:
    // The low `bits` bits of `value` (bits 1..32).
    void put(uint32_t value, uint32_t bits);
    void put_float(float value);
    // Each byte of `data` as 8 bits.
    void put_bytes(const void* data, size_t size);
    // The payload: whole bytes, a partial last byte padded with zeros.
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint64_t bit_count() const { return bits_; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t bits_ = 0;
};

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_bits_(uint64_t(size) * 8) {}
    uint64_t left() const { return size_bits_ - at_; }
    bool has(uint64_t bits) const { return bits <= left(); }
    // The next `bits` bits (1..32) without sign extension; 0 past the end.
    uint32_t get(uint32_t bits);
    float get_float();
    void get_bytes(void* out, size_t size);

private:
    const uint8_t* data_;
    uint64_t size_bits_;
    uint64_t at_ = 0;
};

} // namespace mpserver
