// Little-endian chunk output: nested chunks whose lengths are patched when they close, and
// the string and extension chunks every engine object carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace modelwriter {

// What this library writes in every chunk header.
constexpr uint32_t chunkVersion = 0x304;

// One plug-in's data in an object's extension chunk.
struct PluginData {
    uint32_t pluginId = 0;
    std::vector<uint8_t> bytes;
};

class ChunkWriter {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v);
    void raw(const void* data, size_t size);

    // Opens a chunk; its length is filled in by the matching end_chunk. Chunks nest.
    void begin_chunk(uint32_t type, uint32_t version = chunkVersion);
    void end_chunk();
    // A whole chunk of the given body.
    void chunk(uint32_t type, const std::vector<uint8_t>& body, uint32_t version = chunkVersion);

    // Characters, a terminating zero and zero padding to a multiple of 4.
    void string_chunk(const std::string& text);
    // The extension chunk: one sub-chunk per plug-in (an empty list gives length 0).
    void extension_chunk(const std::vector<PluginData>& plugins = {});

    size_t depth() const { return open_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_; // offsets of the open chunks' length fields
};

} // namespace modelwriter
