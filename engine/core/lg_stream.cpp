// Engine streams: one read/write/skip interface over file handles, file names, growing memory
// blocks and caller callbacks; files are reached only through the instance's file routines.
#include "engine/core/lg_stream.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace {

LgModule streamModule;

constexpr int32_t streamsPerBlock = 10;
constexpr size_t memoryGrowth = 512;

const LgFileFunctions& files() {
    return LgEngineInstancePtr->fileFunctions;
}
const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void fail(int32_t code) {
    LgErrorRaise(LgErrorGroupCore, code);
}

bool is_file(const LgStream* s) {
    return s->type == LgStreamTypeFile || s->type == LgStreamTypeFileName;
}

bool open_memory(LgStream* s, const LgStreamMemory* data) {
    switch (s->access) {
    case LgStreamAccessRead: s->kind.memory = {0, data->length, data->start}; return true;
    case LgStreamAccessWrite: s->kind.memory = {0, 0, nullptr}; return true;
    case LgStreamAccessAppend:
        s->kind.memory = {data->length, data->length, data->start};
        return true;
    default: fail(LgErrBadAccess); return false;
    }
}

bool open_file_name(LgStream* s, const char* path) {
    const char* mode = nullptr;
    switch (s->access) {
    case LgStreamAccessRead: mode = "rb"; break;
    case LgStreamAccessWrite: mode = "wb"; break;
    case LgStreamAccessAppend: mode = "ab"; break;
    default: fail(LgErrBadAccess); return false;
    }
    s->kind.file = path != nullptr ? files().open(path, mode) : nullptr;
    if (s->kind.file == nullptr) {
        fail(LgErrFileOpen);
        return false;
    }
    return true;
}

bool grow_memory(LgStream* s, uint32_t length) {
    auto& m = s->kind.memory;
    if (m.buffer == nullptr) {
        m.buffer = static_cast<uint8_t*>(memory().alloc(memoryGrowth));
        if (m.buffer == nullptr) {
            fail(LgErrOutOfMemory);
            return false;
        }
        m.size = memoryGrowth;
    }
    if (m.size - m.position >= length) return true;
    const size_t grown = m.size + (length >= memoryGrowth ? length : memoryGrowth);
    auto* buffer = static_cast<uint8_t*>(memory().realloc(m.buffer, grown));
    if (buffer == nullptr) {
        fail(LgErrOutOfMemory);
        return false;
    }
    m.buffer = buffer;
    m.size = grown;
    return true;
}

uint32_t read_le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void write_le32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Engine files are little-endian; on a big-endian host each 32-bit word swaps in place.
void convert_le32s(void* buffer, uint32_t length) {
    if constexpr (std::endian::native == std::endian::little) return;
    auto* p = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i + 4 <= length; i += 4) {
        uint32_t v;
        std::memcpy(&v, p + i, 4);
        write_le32(p + i, v);
    }
}

LgStream* read_exact(LgStream* stream, void* buffer, uint32_t length) {
    if (LgStreamRead(stream, buffer, length) != length) {
        fail(LgErrShortRead);
        return nullptr;
    }
    convert_le32s(buffer, length);
    return stream;
}

} // namespace

LgStream* LgStreamOpen(int32_t type, int32_t access, const void* data) {
    const LgStreamSlice* slice = streamModule.slice<LgStreamSlice>();
    if (slice == nullptr) {
        fail(LgErrBadState);
        return nullptr;
    }
    auto* s = static_cast<LgStream*>(LgFreeListTake(slice->streamList));
    if (s == nullptr) return nullptr;
    std::memset(static_cast<void*>(s), 0, sizeof(LgStream));
    s->type = type;
    s->access = access;
    s->allocated = 1;
    bool ok = false;
    switch (type) {
    case LgStreamTypeFile:
        s->kind.file = const_cast<void*>(data);
        ok = data != nullptr;
        if (!ok) fail(LgErrNullArgument);
        break;
    case LgStreamTypeFileName: ok = open_file_name(s, static_cast<const char*>(data)); break;
    case LgStreamTypeMemory:
        // A write stream starts empty and needs no data.
        if (data == nullptr && access != LgStreamAccessWrite) {
            fail(LgErrNullArgument);
            break;
        }
        ok = open_memory(s, static_cast<const LgStreamMemory*>(data));
        break;
    case LgStreamTypeCustom:
        ok = data != nullptr;
        if (ok) s->kind.custom = *static_cast<const LgStreamCustom*>(data);
        break;
    default: fail(LgErrBadStreamType); break;
    }
    if (!ok) {
        LgFreeListGive(slice->streamList, s);
        return nullptr;
    }
    return s;
}

int32_t LgStreamClose(LgStream* stream, LgStreamMemory* out) {
    if (stream == nullptr) return 0;
    switch (stream->type) {
    case LgStreamTypeFile: break;
    case LgStreamTypeFileName: files().close(stream->kind.file); break;
    case LgStreamTypeMemory:
        if (stream->access == LgStreamAccessWrite || stream->access == LgStreamAccessAppend) {
            auto& m = stream->kind.memory;
            if (out != nullptr)
                *out = {m.buffer, static_cast<uint32_t>(m.position)};
            else if (m.buffer != nullptr)
                memory().free(m.buffer); // nobody takes it: it would be lost
        }
        break;
    case LgStreamTypeCustom:
        if (stream->kind.custom.close != nullptr)
            stream->kind.custom.close(stream->kind.custom.data);
        break;
    default: fail(LgErrBadStreamType); return 0;
    }
    if (stream->allocated) LgFreeListGive(streamModule.slice<LgStreamSlice>()->streamList, stream);
    return 1;
}

uint32_t LgStreamRead(LgStream* stream, void* buffer, uint32_t length) {
    if (stream == nullptr || (buffer == nullptr && length > 0)) return 0;
    if (is_file(stream)) {
        const auto got = static_cast<uint32_t>(files().read(buffer, 1, length, stream->kind.file));
        if (got < length)
            fail(files().atEnd(stream->kind.file) ? LgErrEndOfStream : LgErrShortRead);
        return got;
    }
    switch (stream->type) {
    case LgStreamTypeMemory: {
        auto& m = stream->kind.memory;
        const size_t left = m.size - m.position;
        if (length > left) {
            length = static_cast<uint32_t>(left);
            fail(LgErrEndOfStream);
        }
        if (length > 0) std::memcpy(buffer, m.buffer + m.position, length);
        m.position += length;
        return length;
    }
    case LgStreamTypeCustom: {
        if (stream->kind.custom.read == nullptr) return 0;
        const uint32_t got = stream->kind.custom.read(stream->kind.custom.data, buffer, length);
        return got > length ? length : got;
    }
    default: fail(LgErrBadStreamType); return 0;
    }
}

LgStream* LgStreamWrite(LgStream* stream, const void* buffer, uint32_t length) {
    if (stream == nullptr || (buffer == nullptr && length > 0)) return nullptr;
    if (is_file(stream)) {
        if (files().write(buffer, 1, length, stream->kind.file) < length) {
            fail(LgErrFileWrite);
            return nullptr;
        }
        return stream;
    }
    switch (stream->type) {
    case LgStreamTypeMemory: {
        if (stream->access == LgStreamAccessRead) {
            fail(LgErrBadAccess);
            return nullptr;
        }
        if (!grow_memory(stream, length)) return nullptr;
        auto& m = stream->kind.memory;
        if (length > 0) std::memcpy(m.buffer + m.position, buffer, length);
        m.position += length;
        return stream;
    }
    case LgStreamTypeCustom:
        if (stream->kind.custom.write == nullptr ||
            stream->kind.custom.write(stream->kind.custom.data, buffer, length) <= 0)
            return nullptr;
        return stream;
    default: fail(LgErrBadStreamType); return nullptr;
    }
}

LgStream* LgStreamSkip(LgStream* stream, uint32_t length) {
    if (stream == nullptr || length == 0) return stream;
    if (is_file(stream)) {
        void* file = stream->kind.file;
        if (stream->access == LgStreamAccessRead) {
            // Seeking past the end of a file succeeds; reading the skip's last byte tells
            // whether the file really held it.
            uint8_t last;
            if (files().seek(file, static_cast<long>(length) - 1, SEEK_CUR) == 0 &&
                files().read(&last, 1, 1, file) == 1)
                return stream;
        } else if (files().seek(file, static_cast<long>(length), SEEK_CUR) == 0) {
            return stream;
        }
        if (files().atEnd(file)) fail(LgErrEndOfStream);
        return nullptr;
    }
    switch (stream->type) {
    case LgStreamTypeMemory: {
        auto& m = stream->kind.memory;
        if (length <= m.size - m.position) {
            m.position += length;
            return stream;
        }
        m.position = m.size;
        fail(LgErrEndOfStream);
        return nullptr;
    }
    case LgStreamTypeCustom:
        if (stream->kind.custom.skip == nullptr ||
            stream->kind.custom.skip(stream->kind.custom.data, length) <= 0)
            return nullptr;
        return stream;
    default: fail(LgErrBadStreamType); return nullptr;
    }
}

int32_t LgStreamReadChunkHeader(LgStream* stream, uint32_t* type, uint32_t* length,
                                uint32_t* version) {
    uint8_t bytes[LgChunkHeaderSize];
    if (LgStreamRead(stream, bytes, LgChunkHeaderSize) != LgChunkHeaderSize) {
        fail(LgErrShortRead);
        return 0;
    }
    if (type != nullptr) *type = read_le32(bytes);
    if (length != nullptr) *length = read_le32(bytes + 4);
    if (version != nullptr) *version = read_le32(bytes + 8);
    return 1;
}

LgStream* LgStreamWriteChunkHeader(LgStream* stream, uint32_t type, uint32_t length,
                                   uint32_t version) {
    uint8_t bytes[LgChunkHeaderSize];
    write_le32(bytes, type);
    write_le32(bytes + 4, length);
    write_le32(bytes + 8, version);
    return LgStreamWrite(stream, bytes, LgChunkHeaderSize);
}

int32_t LgStreamFindChunk(LgStream* stream, uint32_t type, uint32_t* length, uint32_t* version) {
    uint32_t foundType = 0, foundLength = 0, foundVersion = 0;
    for (;;) {
        if (!LgStreamReadChunkHeader(stream, &foundType, &foundLength, &foundVersion)) return 0;
        if (foundType == type) break;
        if (LgStreamSkip(stream, foundLength) == nullptr) return 0;
    }
    if (foundVersion < LgChunkVersionMin || foundVersion > LgChunkVersionMax) {
        fail(LgErrBadChunkVersion);
        return 0;
    }
    if (length != nullptr) *length = foundLength;
    if (version != nullptr) *version = foundVersion;
    return 1;
}

LgStream* LgStreamReadInt32s(LgStream* stream, void* buffer, uint32_t length) {
    return read_exact(stream, buffer, length);
}

LgStream* LgStreamReadReals(LgStream* stream, void* buffer, uint32_t length) {
    return read_exact(stream, buffer, length);
}

LgStream* LgStreamWriteInt32s(LgStream* stream, const void* buffer, uint32_t length) {
    constexpr uint32_t piece = 256;
    uint8_t staged[piece];
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (length > 0) {
        const uint32_t n = length < piece ? length : piece;
        std::memcpy(staged, p, n);
        convert_le32s(staged, n);
        if (LgStreamWrite(stream, staged, n) == nullptr) return nullptr;
        p += n;
        length -= n;
    }
    return stream;
}

void* LgStreamModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgStreamSlice>(instance, offset);
    s->streamList = LgFreeListCreate(sizeof(LgStream), streamsPerBlock, 0);
    if (s->streamList == nullptr) return nullptr;
    streamModule.offset = offset;
    ++streamModule.openCount;
    return instance;
}

void* LgStreamModuleClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgStreamSlice>(instance, offset);
    LgFreeListDestroy(s->streamList);
    s->streamList = nullptr;
    if (streamModule.openCount > 0) --streamModule.openCount;
    return instance;
}
