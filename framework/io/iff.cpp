// The IFF component: a stack of open chunks over one stream, the chunk-limited stream view,
// and object transfer with shared objects numbered in the order they are met.
#include "framework/io/iff.h"

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/new_direct.h"
#include "framework/containers/om_array.h"
#include "framework/containers/simple_array.h"
#include "framework/containers/values.h"
#include "framework/core/byte_key_hash.h"
#include "framework/core/object_manager.h"
#include "framework/platform/debug_message.h"

#include <algorithm>
#include <cstdio>

namespace {

struct IffChunkEntry {
    uint32_t tag;
    uint32_t start;  // position of the chunk's tag in the underlying stream
    uint32_t size;   // data bytes: read from the header, or grown while writing
    uint32_t offset; // current position within the data
};

// Nesting deeper than this is refused in both directions: object reading recurses once per
// level, so a file of nothing but nested headers must not exhaust the stack.
constexpr int32_t max_open_chunks = 1024;

struct DefaultType {
    uint32_t tag;
    const GUID* clsid;
    const GUID* iid;
};
const DefaultType default_types[] = {
    {OM_TAG_OBJHASH, &CLSID_ObjHash, &IID_IObjHash},
    {OM_TAG_STRING, &CLSID_String, &IID_IString},
    {OM_TAG_INT, &CLSID_Int, &IID_IInt},
    {OM_TAG_REAL, &CLSID_Real, &IID_IReal},
    {OM_TAG_GUID, &CLSID_Guid, &IID_IGuidValue},
    {OM_TAG_PTR, &CLSID_Ptr, &IID_IPtr},
    {OM_TAG_COMARRAY, &CLSID_COMArray, &IID_ICOMArray},
    {OM_TAG_SIMPLEARRAY, &CLSID_SimpleArray, &IID_ISimpleArray},
    {OM_TAG_COMHASH, &CLSID_COMHash, &IID_ICOMHash},
};

OmResult default_handler(uint32_t tag, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    for (const DefaultType& type : default_types)
        if (type.tag == tag)
            return OmCreateInstance(*type.clsid, nullptr, 0, *type.iid,
                                    reinterpret_cast<void**>(out));
    return OM_E_FAIL;
}

void store_le32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(value >> (8 * i));
}
uint32_t load_le32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

class IFF final : public OmObject<IFF, IIFF, IByteStream> {
public:
    OmResult init() {
        OmArrayInit(&chunks_, sizeof(IffChunkEntry));
        OmResult r = OmByteKeyHashInit(&handlers_, 0);
        if (r < 0) return r;
        handlers_ready_ = true;
        r = OmByteKeyHashInit(&written_, 0);
        if (r < 0) return r;
        written_ready_ = true;
        r = OmNewCOMArray(&read_objects_);
        if (r < 0) return r;
        for (const DefaultType& type : default_types) {
            r = SetHandler(type.tag, default_handler);
            if (r < 0) return r;
        }
        return OM_S_OK;
    }
    ~IFF() {
        while (chunks_.count) EndChunk();
        if (stream_) stream_->Release();
        OmArrayFree(&chunks_);
        if (handlers_ready_) OmByteKeyHashDestroy(&handlers_);
        if (written_ready_) OmByteKeyHashDestroy(&written_);
        if (read_objects_) read_objects_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IIFF, static_cast<IIFF*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }

    OmResult SetStream(uint32_t mode, IByteStream* stream) override {
        mode_ = mode;
        if (stream) stream->AddRef();
        if (stream_) stream_->Release();
        stream_ = stream;
        return OM_S_OK;
    }
    IByteStream* GetStream() override { return stream_; }

    OmResult BeginChunk(uint32_t tag) override {
        if (!stream_) return OM_E_FAIL;
        if (chunks_.count >= max_open_chunks) return OM_E_FAIL;
        IffChunkEntry entry{tag, 0, 0, 0};
        OmResult r = stream_->Seek(0, OM_SEEK_CURRENT, &entry.start);
        if (r < 0) return r;
        if (mode_) {
            uint8_t header[OM_IFF_HEADER_SIZE];
            store_le32(header, tag);
            store_le32(header + 4, 0);
            r = write_exactly(header, sizeof header);
            if (r < 0) return r;
        } else {
            r = read_header(&entry.tag, &entry.size);
            if (r < 0) return r;
            if (tag && entry.tag != tag) return OM_E_FAIL;
        }
        auto* slot = static_cast<IffChunkEntry*>(OmArrayAppend(&chunks_));
        if (!slot) return OM_E_OUTOFMEMORY;
        *slot = entry;
        return OM_S_OK;
    }

    // The entry is popped whatever fails, so the stack always unwinds.
    OmResult EndChunk() override {
        if (!chunks_.count) return OM_E_FAIL;
        OmResult r = OM_S_OK;
        if (stream_) {
            const IffChunkEntry& chunk = top();
            if (mode_) {
                uint8_t size[4];
                store_le32(size, chunk.size);
                uint32_t done = 0;
                r = stream_->Seek(int32_t(chunk.start + 4), OM_SEEK_START, nullptr);
                if (r >= 0) r = stream_->Write(size, 4, &done);
                if (r >= 0 && done != 4) r = OM_E_FAIL;
            }
            OmResult moved = Seek(0, OM_SEEK_END, nullptr);
            if (r >= 0) r = moved;
        }
        OmArrayRemoveAt(&chunks_, chunks_.count - 1);
        if (chunks_.count && stream_) {
            IffChunkEntry& parent = top();
            uint32_t position = 0;
            OmResult asked = stream_->Seek(0, OM_SEEK_CURRENT, &position);
            if (r >= 0) r = asked;
            parent.offset = position - parent.start - OM_IFF_HEADER_SIZE;
            if (mode_ && parent.offset > parent.size) parent.size = parent.offset;
        }
        return r < 0 ? r : OM_S_OK;
    }

    OmResult PeekChunk(uint32_t* tag, uint32_t* size) override {
        if (mode_ || !stream_) return OM_E_FAIL;
        uint32_t found_tag, found_size;
        OmResult r = read_header(&found_tag, &found_size);
        if (r < 0) return r;
        r = Seek(-int32_t(OM_IFF_HEADER_SIZE), OM_SEEK_CURRENT, nullptr);
        if (r < 0) return r;
        if (tag) *tag = found_tag;
        if (size) *size = found_size;
        return OM_S_OK;
    }

    OmResult GetChunk(uint32_t* tag, uint32_t* size) override {
        const IffChunkEntry* chunk = chunks_.count ? &top() : nullptr;
        if (tag) *tag = chunk ? chunk->tag : 0;
        if (size) *size = chunk ? chunk->size : 0;
        return OM_S_OK;
    }

    OmResult SkipChunk() override {
        if (mode_ || !stream_) return OM_E_FAIL;
        uint32_t tag, size, before = 0, after = 0;
        OmResult r = read_header(&tag, &size);
        if (r < 0) return r;
        if (size > uint32_t(INT32_MAX)) return OM_E_FAIL;
        r = stream_->Seek(0, OM_SEEK_CURRENT, &before);
        if (r >= 0) r = Seek(int32_t(size), OM_SEEK_CURRENT, nullptr);
        if (r >= 0) r = stream_->Seek(0, OM_SEEK_CURRENT, &after);
        if (r < 0) return r;
        return after - before == size ? OM_S_OK : OM_E_FAIL;
    }

    uint32_t IsWriting() override { return mode_; }

    // Running out of chunk data here is a short transfer like any other: only a chunk header
    // that is not there marks the end of a container's contents.
    OmResult Transfer(void* buffer, uint32_t count) override {
        if (!count) return OM_S_OK;
        if (!buffer) return OM_E_FAIL;
        uint32_t done = 0;
        OmResult r = mode_ ? Write(buffer, count, &done) : Read(buffer, count, &done);
        if (r < 0 && r != OM_E_ENDOFSTREAM) return r;
        return done == count ? OM_S_OK : OM_E_FAIL;
    }

    OmResult TransferObject(IUnknown** object) override {
        if (!object) return OM_E_FAIL;
        if (mode_) return write_object(*object);
        const int32_t first_new = read_objects_->Count();
        ++reading_depth_;
        const OmResult r = read_object(object);
        --reading_depth_;
        if (r < 0 && reading_depth_ == 0) empty_partial_graph(first_new);
        return r;
    }

    OmResult Reset() override {
        OmByteKeyHashRemoveAll(&written_);
        next_index_ = 0;
        read_objects_->RemoveAll();
        return OM_S_OK;
    }

    OmResult SetHandler(uint32_t tag, IffChunkHandler handler) override {
        if (!handler) {
            OmByteKeyHashRemove(&handlers_, &tag, sizeof tag);
            return OM_S_OK;
        }
        return OmByteKeyHashSet(&handlers_, &tag, sizeof tag, reinterpret_cast<uintptr_t>(handler));
    }
    OmResult GetHandler(uint32_t tag, IffChunkHandler* out) override {
        if (!out) return OM_E_FAIL;
        *out = reinterpret_cast<IffChunkHandler>(OmByteKeyHashGet(&handlers_, &tag, sizeof tag));
        return OM_S_OK;
    }

    // The chunk-limited stream.

    // Data that the stream lacks inside a chunk means a truncated file (OM_E_FAIL); the end of
    // the chunk's own data is OM_E_ENDOFSTREAM.
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (mode_ || !stream_) return OM_E_FAIL;
        if (!chunks_.count) return stream_->Read(buffer, count, done);
        IffChunkEntry& chunk = top();
        if (chunk.offset >= chunk.size) return OM_E_ENDOFSTREAM;
        uint32_t got = 0;
        OmResult r = stream_->Read(buffer, std::min(count, chunk.size - chunk.offset), &got);
        chunk.offset += got;
        if (done) *done = got;
        return r == OM_E_ENDOFSTREAM ? OM_E_FAIL : r;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!mode_ || !stream_) return OM_E_FAIL;
        if (!chunks_.count) return stream_->Write(buffer, count, done);
        uint32_t put = 0;
        OmResult r = stream_->Write(buffer, count, &put);
        IffChunkEntry& chunk = top();
        chunk.offset += put;
        if (chunk.offset > chunk.size) chunk.size = chunk.offset;
        if (done) *done = put;
        return r;
    }

    OmResult Seek(int32_t distance, uint32_t origin, uint32_t* position) override {
        if (!stream_) return OM_E_FAIL;
        if (!chunks_.count) return stream_->Seek(distance, origin, position);
        IffChunkEntry& chunk = top();
        int64_t offset;
        switch (origin) {
        case OM_SEEK_START: offset = distance; break;
        case OM_SEEK_CURRENT: offset = int64_t(chunk.offset) + distance; break;
        case OM_SEEK_END: offset = int64_t(chunk.size) + distance; break;
        default: return OM_E_FAIL;
        }
        if (!mode_ && offset > int64_t(chunk.size)) offset = chunk.size;
        if (offset < 0) offset = 0;
        if (offset > int64_t(UINT32_MAX - chunk.start - OM_IFF_HEADER_SIZE))
            offset = UINT32_MAX - chunk.start - OM_IFF_HEADER_SIZE;
        OmResult r = stream_->Seek(int32_t(chunk.start + OM_IFF_HEADER_SIZE + uint32_t(offset)),
                                   OM_SEEK_START, nullptr);
        if (r < 0) return r;
        chunk.offset = uint32_t(offset);
        if (position) *position = chunk.offset;
        return OM_S_OK;
    }

private:
    IffChunkEntry& top() const {
        return *static_cast<IffChunkEntry*>(OmArrayAtUnchecked(&chunks_, chunks_.count - 1));
    }

    OmResult write_exactly(const void* buffer, uint32_t count) {
        uint32_t done = 0;
        OmResult r = Write(buffer, count, &done);
        if (r < 0) return r;
        return done == count ? OM_S_OK : OM_E_FAIL;
    }

    // Reads a chunk header through the chunk-limited stream. A header that is not there at
    // all passes the end on (OM_E_ENDOFSTREAM); a cut one, or a size that reaches past the
    // enclosing chunk or the stream, is a damaged file (OM_E_FAIL).
    OmResult read_header(uint32_t* tag, uint32_t* size) {
        uint8_t header[OM_IFF_HEADER_SIZE];
        uint32_t done = 0;
        OmResult r = Read(header, sizeof header, &done);
        if (r < 0 && done == 0) return r;
        if (done != sizeof header) return OM_E_FAIL;
        *tag = load_le32(header);
        *size = load_le32(header + 4);
        uint32_t room;
        if (chunks_.count) {
            const IffChunkEntry& parent = top();
            room = parent.size - parent.offset;
        } else {
            r = stream_room(&room);
            if (r < 0) return r;
        }
        return *size <= room ? OM_S_OK : OM_E_FAIL;
    }

    // Bytes between the underlying stream's position and its end.
    OmResult stream_room(uint32_t* room) {
        uint32_t here = 0, end = 0;
        OmResult r = stream_->Seek(0, OM_SEEK_CURRENT, &here);
        if (r >= 0) r = stream_->Seek(0, OM_SEEK_END, &end);
        if (r >= 0) r = stream_->Seek(int32_t(here), OM_SEEK_START, nullptr);
        if (r < 0) return r;
        *room = end >= here ? end - here : 0;
        return OM_S_OK;
    }

    OmResult write_empty_chunk(uint32_t tag) {
        OmResult r = BeginChunk(tag);
        if (r < 0) return r;
        return EndChunk();
    }

    OmResult write_object(IUnknown* object) {
        if (!object) return write_empty_chunk(OM_TAG_NULL);
        if (OmByteKeyHashHas(&written_, &object, sizeof object)) {
            uint8_t index[4];
            store_le32(index, uint32_t(OmByteKeyHashGet(&written_, &object, sizeof object)));
            OmResult r = BeginChunk(OM_TAG_REF);
            if (r < 0) return r;
            r = Transfer(index, sizeof index);
            OmResult ended = EndChunk();
            return r < 0 ? r : ended;
        }
        // Asked before the object is numbered, so an object that cannot be written leaves no
        // gap in the numbering a reader would see.
        IObjectIO* io = nullptr;
        if (object->QueryInterface(IID_IObjectIO, reinterpret_cast<void**>(&io)) < 0 || !io)
            return OM_E_FAIL;
        OmResult r = OmByteKeyHashSet(&written_, &object, sizeof object, next_index_);
        if (r >= 0) {
            ++next_index_;
            r = io->Write(this);
        }
        io->Release();
        return r < 0 ? r : OM_S_OK;
    }

    OmResult read_object(IUnknown** object) {
        uint32_t tag, size;
        OmResult r = PeekChunk(&tag, &size);
        if (r < 0) return r;
        if (tag == OM_TAG_NULL) {
            r = SkipChunk();
            if (r < 0) return r;
            *object = nullptr;
            return OM_S_OK;
        }
        if (tag == OM_TAG_REF) return read_reference(object);

        IffChunkHandler handler = nullptr;
        GetHandler(tag, &handler);
        if (!handler) {
            char text[5];
            OmIffTagText(tag, text);
            OmSetMessageParameter("{chunk}", text);
            OmReportMessage(OM_SEVERITY_FATAL, "Don't know how to handle chunk '{chunk}'");
            return OM_E_FAIL;
        }
        IUnknown* created = nullptr;
        r = handler(tag, &created);
        if (r < 0) return r;
        if (!created) return OM_E_FAIL;
        // Numbered before its contents are read, so references inside it resolve.
        created->AddRef();
        if (read_objects_->Append(created) < 0) {
            created->Release();
            created->Release();
            return OM_E_OUTOFMEMORY;
        }
        IObjectIO* io = nullptr;
        r = created->QueryInterface(IID_IObjectIO, reinterpret_cast<void**>(&io));
        if (r >= 0 && io) {
            r = io->Write(this);
            io->Release();
        } else {
            r = OM_E_FAIL;
        }
        if (r < 0) {
            created->Release();
            // The object's chunk is there, so running out of data inside it is damage, not
            // the end of the enclosing container.
            return r == OM_E_ENDOFSTREAM ? OM_E_FAIL : r;
        }
        *object = created;
        return OM_S_OK;
    }

    // The objects made by a read that failed are handed to nobody, but those among them that
    // refer to each other, or to themselves, would keep each other alive: the containers
    // among them are emptied (they stay numbered, empty, for later references).
    void empty_partial_graph(int32_t first_new) {
        for (int32_t i = read_objects_->Count() - 1; i >= first_new; --i) {
            IUnknown* made = read_objects_->GetAt(i);
            if (!made) continue;
            ICOMArray* array = nullptr;
            ICOMHash* hash = nullptr;
            if (made->QueryInterface(IID_ICOMArray, reinterpret_cast<void**>(&array)) >= 0 &&
                array) {
                array->RemoveAll();
                array->Release();
            } else if (made->QueryInterface(IID_ICOMHash, reinterpret_cast<void**>(&hash)) >= 0 &&
                       hash) {
                hash->RemoveAll();
                hash->Release();
            }
        }
    }

    OmResult read_reference(IUnknown** object) {
        uint8_t bytes[4];
        OmResult r = BeginChunk(OM_TAG_REF);
        if (r < 0) return r;
        r = Transfer(bytes, sizeof bytes);
        OmResult ended = EndChunk();
        if (r < 0) return r;
        if (ended < 0) return ended;
        const uint32_t index = load_le32(bytes);
        if (index >= uint32_t(read_objects_->Count())) {
            OmSetMessageParameterInt("{fileref}", "%d", int32_t(index));
            OmReportMessage(OM_SEVERITY_FATAL,
                            "A reference '{fileref}' within the file could not be resolved");
            return OM_E_FAIL;
        }
        IUnknown* found = read_objects_->GetAt(int32_t(index));
        if (found) found->AddRef();
        *object = found;
        return OM_S_OK;
    }

    IByteStream* stream_;
    uint32_t mode_;
    OmArray chunks_;
    OmByteKeyHash handlers_;
    OmByteKeyHash written_;
    ICOMArray* read_objects_;
    uint32_t next_index_;
    int32_t reading_depth_ = 0; // TransferObject reads running inside one another
    bool handlers_ready_;
    bool written_ready_;
};

const OmClassRecord classes[] = {{&CLSID_IFF, nullptr, nullptr, OmCreateComponent<IFF>, "IFF"}};

} // namespace

OM_DEFINE_MODULE(IFF, classes)

OmResult OmNewIFF(IIFF** out) {
    return om_new_direct<IFF>(out);
}

OmResult OmIffTransferChunk(IIFF* file, uint32_t tag, void* data, uint32_t size) {
    if (!file) return OM_E_FAIL;
    OmResult r = file->BeginChunk(tag);
    if (r < 0) return r;
    r = file->Transfer(data, size);
    OmResult ended = file->EndChunk();
    return r < 0 ? r : ended;
}

void OmIffTagText(uint32_t tag, char* out) {
    for (int i = 0; i < 4; ++i) out[i] = char(tag >> (24 - 8 * i));
    out[4] = '\0';
}
