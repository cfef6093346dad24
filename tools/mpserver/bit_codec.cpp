// Bit packing of the test server's codec.
#include "tools/mpserver/bit_codec.h"

#include <cstring>

namespace mpserver {

void BitWriter::put(uint32_t value, uint32_t bits) {
    for (uint32_t i = 0; i < bits; ++i, ++bits_) {
        if (bits_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= uint8_t(1u << (bits_ % 8));
    }
}

void BitWriter::put_float(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    put(word, 32);
}

void BitWriter::put_bytes(const void* data, size_t size) {
    const auto* b = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) put(b[i], 8);
}

uint32_t BitReader::get(uint32_t bits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bits && at_ < size_bits_; ++i, ++at_)
        if ((data_[at_ / 8] >> (at_ % 8)) & 1u) value |= 1u << i;
    return value;
}

float BitReader::get_float() {
    uint32_t word = get(32);
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

void BitReader::get_bytes(void* out, size_t size) {
    auto* b = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < size; ++i) b[i] = uint8_t(get(8));
}

} // namespace mpserver
