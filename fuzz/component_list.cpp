// Fuzzes the line reader of the component list (dlls.ini) with hostile text and line buffers
// of every size up to the list's own. The list's loop itself is not fuzzed: it loads every
// line it keeps as a shared library.
//
// Input: one byte giving the line buffer size (0 for the list's 260), then the text.
#include "framework/core/component_libraries.h"
#include "framework/core/text_line.h"
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <memory>

namespace {

// The list's bytes behind the Read the line reader calls.
struct TextStream {
    std::span<const uint8_t> bytes;
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(count, bytes.size()));
        if (n > 0) std::memcpy(buffer, bytes.data(), n);
        bytes = bytes.subspan(n);
        if (done) *done = n;
        return n < count ? OM_E_ENDOFSTREAM : OM_S_OK;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const uint8_t sized = input.byte();
    const uint32_t lineSize = sized == 0 ? OM_COMPONENT_LINE_SIZE : sized;
    TextStream stream{input.rest()};
    // Exactly the size the reader is told, so a write past it is caught.
    auto line = std::make_unique<char[]>(lineSize);
    size_t before = stream.bytes.size();
    while (OmReadTextLine(&stream, line.get(), lineSize) >= 0) {
        const size_t length = strnlen(line.get(), lineSize);
        fuzzing::require(length < lineSize, "a line is terminated inside its buffer");
        for (size_t i = 0; i < length; ++i) {
            const auto c = static_cast<uint8_t>(line[i]);
            fuzzing::require(c >= 0x20 && c <= 0x80, "a line holds printable bytes only");
        }
        fuzzing::require(stream.bytes.size() < before, "every line takes some of the text");
        before = stream.bytes.size();
    }
    return 0;
}
