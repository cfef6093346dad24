// Fuzzes the engine's string chunks (type 2 and the 16-bit type 0x13): every string in the
// stream is read into a buffer of exactly the given size, and what was read is written back
// as a string chunk and must read back the same.
//
// Input: one byte giving the buffer size less one, then the stream's bytes.
#include "fuzz/engine_harness.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

// Writes the string as a chunk and reads it back into a buffer of the same size.
void round_trip(const std::string& text, uint32_t bufferSize) {
    fuzzing::MemoryWriteStream out;
    fuzzing::require(LgStringStreamWrite(text.c_str(), out.get()) != nullptr, "a string writes");
    const auto written = out.take();
    fuzzing::require(written.size() == LgChunkHeaderSize + LgStringStreamSize(text.c_str()),
                     "a written chunk has the header and the padded size");
    fuzzing::MemoryReadStream in(written.data(), written.size());
    auto again = std::make_unique<char[]>(bufferSize);
    fuzzing::require(LgStringStreamRead(again.get(), bufferSize, in.get()) == again.get() &&
                         text == again.get(),
                     "a written string reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_engine();
    fuzzing::EngineBlocksBalanced balanced;
    if (size == 0) return 0;
    const uint32_t bufferSize = data[0] + 1u;
    fuzzing::MemoryReadStream in(data + 1, size - 1);
    // Exactly the size the reader is told, so a write past it is caught.
    auto buffer = std::make_unique<char[]>(bufferSize);
    fuzzing::require(LgStringStreamRead(buffer.get(), 0, in.get()) == nullptr,
                     "a zero-sized buffer is refused");
    while (LgStringStreamRead(buffer.get(), bufferSize, in.get()) == buffer.get()) {
        const size_t length = strnlen(buffer.get(), bufferSize);
        fuzzing::require(length < bufferSize, "a read string is terminated inside the buffer");
        round_trip(std::string(buffer.get(), length), bufferSize);
    }
    return 0;
}
