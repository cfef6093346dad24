// Little-endian chunk output with back-patched lengths.
#include "tools/modelwriter/chunk_writer.h"

#include <cstring>
#include <stdexcept>

namespace modelwriter {

namespace {

constexpr uint32_t stringChunk = 0x2;
constexpr uint32_t extensionChunk = 0x3;

} // namespace

void ChunkWriter::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void ChunkWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
}

void ChunkWriter::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof(bits));
    u32(bits);
}

void ChunkWriter::raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

void ChunkWriter::begin_chunk(uint32_t type, uint32_t version) {
    u32(type);
    open_.push_back(bytes_.size());
    u32(0);
    u32(version);
}

void ChunkWriter::end_chunk() {
    if (open_.empty()) throw std::logic_error("end_chunk without begin_chunk");
    const size_t field = open_.back();
    open_.pop_back();
    const size_t body = bytes_.size() - (field + 8);
    if (body > 0xffffffffu) throw std::length_error("chunk longer than 4 GiB");
    for (int i = 0; i < 4; ++i) bytes_[field + i] = static_cast<uint8_t>(body >> (8 * i));
}

void ChunkWriter::chunk(uint32_t type, const std::vector<uint8_t>& body, uint32_t version) {
    begin_chunk(type, version);
    raw(body.data(), body.size());
    end_chunk();
}

void ChunkWriter::string_chunk(const std::string& text) {
    begin_chunk(stringChunk);
    raw(text.data(), text.size());
    const size_t padded = (text.size() + 1 + 3) & ~size_t{3};
    for (size_t i = text.size(); i < padded; ++i) u8(0);
    end_chunk();
}

void ChunkWriter::extension_chunk(const std::vector<PluginData>& plugins) {
    begin_chunk(extensionChunk);
    for (const PluginData& p : plugins) chunk(p.pluginId, p.bytes);
    end_chunk();
}

} // namespace modelwriter
