// Fuzzes the engine's chunk layer: chunk headers, find-chunk, skips and exact 32-bit reads over
// a memory stream, and the writes that copy every chunk found; a file stream and a callback
// stream over the same bytes must see the same chunks as the memory stream.
//
// Input: one byte naming the chunk type to look for, then the stream's bytes.
#include "fuzz/engine_harness.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A callback stream over the input, the way a caller hands the engine bytes it holds itself.
struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

uint32_t source_read(void* d, void* buffer, uint32_t length) {
    auto* s = static_cast<Source*>(d);
    const size_t n = length < s->size - s->at ? length : s->size - s->at;
    std::memcpy(buffer, s->data + s->at, n);
    s->at += n;
    return static_cast<uint32_t>(n);
}

int32_t source_skip(void* d, uint32_t length) {
    auto* s = static_cast<Source*>(d);
    if (length > s->size - s->at) {
        s->at = s->size;
        return 0;
    }
    s->at += length;
    return 1;
}

size_t position(const LgStream* stream) {
    return stream->kind.memory.position;
}
size_t left(const LgStream* stream) {
    return stream->kind.memory.size - stream->kind.memory.position;
}

// Headers read and skipped one after another until the stream gives out.
int count_chunks(LgStream* stream) {
    int count = 0;
    uint32_t type = 0, length = 0, version = 0;
    while (LgStreamReadChunkHeader(stream, &type, &length, &version) == 1) {
        ++count;
        if (LgStreamSkip(stream, length) == nullptr) break;
    }
    return count;
}

// Finds every chunk of the wanted type, reads its body exactly and writes header and body to
// a memory write stream; what was written must be the input's bytes of those chunks.
void copy_found_chunks(const uint8_t* data, size_t size, uint32_t wanted) {
    fuzzing::MemoryReadStream in(data, size);
    fuzzing::MemoryWriteStream out;
    std::vector<uint8_t> expected;
    std::vector<uint8_t> body;
    uint32_t length = 0, version = 0;
    while (LgStreamFindChunk(in.get(), wanted, &length, &version) == 1) {
        fuzzing::require(position(in.get()) <= size, "position stays inside the buffer");
        fuzzing::require(version >= LgChunkVersionMin && version <= LgChunkVersionMax,
                         "found chunks have an accepted version");
        const size_t header = position(in.get()) - LgChunkHeaderSize;
        if (length > left(in.get())) {
            fuzzing::require(LgStreamSkip(in.get(), length) == nullptr,
                             "skipping past the end fails");
            break;
        }
        body.resize(length);
        fuzzing::require(LgStreamReadInt32s(in.get(), body.data(), length) == in.get(),
                         "a body inside the buffer reads whole");
        if (LgStreamWriteChunkHeader(out.get(), wanted, length, version) == nullptr ||
            LgStreamWriteInt32s(out.get(), body.data(), length) == nullptr)
            break;
        expected.insert(expected.end(), data + header, data + header + LgChunkHeaderSize + length);
    }
    fuzzing::require(out.take() == expected, "the copied chunks are the input's bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_engine();
    fuzzing::EngineBlocksBalanced balanced;
    if (size == 0) return 0;
    const uint32_t wanted = data[0];
    ++data;
    --size;

    copy_found_chunks(data, size, wanted);

    int inMemory = 0;
    {
        fuzzing::MemoryReadStream in(data, size);
        inMemory = count_chunks(in.get());
    }

    Source source = {data, size, 0};
    LgStreamCustom callbacks = {nullptr, source_read, nullptr, source_skip, &source};
    LgStream* custom = LgStreamOpen(LgStreamTypeCustom, LgStreamAccessRead, &callbacks);
    fuzzing::require(custom != nullptr, "a callback stream opens");
    const int inCallbacks = count_chunks(custom);
    LgStreamClose(custom, nullptr);
    fuzzing::require(inCallbacks == inMemory, "callback and memory streams see the same chunks");

    // The file functions over the bytes held in memory, as over a model file on disk.
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    fuzzing::require(file != nullptr, "the bytes open as a file");
    LgStream* fromFile = LgStreamOpen(LgStreamTypeFile, LgStreamAccessRead, file);
    fuzzing::require(fromFile != nullptr, "a file stream opens");
    const int inFile = count_chunks(fromFile);
    LgStreamClose(fromFile, nullptr);
    std::fclose(file);
    fuzzing::require(inFile == inMemory, "file and memory streams see the same chunks");
    return 0;
}
