// The archive: one pass over a stream, values as text tokens or raw bytes, and the table of
// objects met so far.
#include "framework/io/archive.h"

#include "framework/containers/om_array.h"
#include "framework/core/byte_key_hash.h"
#include "framework/core/guid_text.h"
#include "framework/core/object_manager.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Token buffers, with the NUL: values, and the longer GUID text.
constexpr uint32_t token_size = 80;
constexpr uint32_t guid_token_size = 160;
// Objects being read inside one another at most; a file of nested objects must not exhaust
// the stack.
constexpr int32_t max_object_depth = 256;

constexpr uint32_t code_null = om_archive_code("NULL");
constexpr uint32_t code_object = om_archive_code("OBJ ");
constexpr uint32_t code_reference = om_archive_code("REF ");

bool is_space(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

uint32_t element_size(int32_t type) {
    switch (type) {
    case OM_ARCHIVE_INT:
    case OM_ARCHIVE_CODE: return 4;
    case OM_ARCHIVE_OBJECT: return sizeof(IUnknown*);
    case OM_ARCHIVE_BYTE: return 1;
    case OM_ARCHIVE_GUID: return 16;
    default: return 0; // floats and strings: one element whatever the size
    }
}

class Archive final : public OmObject<Archive, IArchive> {
public:
    ~Archive() {
        for (int32_t i = 0; i < objects_.count; ++i)
            if (auto* object = static_cast<IUnknown*>(OmPtrArrayAt(&objects_, i)))
                object->Release();
        OmPtrArrayFree(&objects_);
        if (index_ready_) OmByteKeyHashDestroy(&index_);
        if (stream_) stream_->Release();
        if (owner_) owner_->Release();
    }
    OmResult init() {
        OmPtrArrayInit(&objects_);
        OmResult r = OmByteKeyHashInit(&index_, 0);
        index_ready_ = r >= 0;
        return r;
    }
    void attach(IArchiver* owner, uint32_t mode, bool text, IByteStream* stream) {
        owner_ = owner;
        owner_->AddRef();
        stream_ = stream;
        if (stream_) stream_->AddRef();
        writing_ = mode != OM_ARCHIVE_READ;
        text_ = text;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IArchive, this}});
    }

    int32_t IsReading() override { return writing_ ? 0 : 1; }
    int32_t IsWriting() override { return writing_ ? 1 : 0; }
    OmResult Read(int32_t type, void* data, uint32_t size) override {
        if (writing_) return OM_E_FAIL;
        return transfer(type, data, size, true);
    }
    OmResult Write(int32_t type, void* data, uint32_t size) override {
        if (!writing_) return OM_E_FAIL;
        return transfer(type, data, size, false);
    }
    OmResult Transfer(int32_t type, void* data, uint32_t size) override {
        return transfer(type, data, size, false);
    }

private:
    OmResult transfer(int32_t type, void* data, uint32_t size, bool read_ids) {
        if (type < OM_ARCHIVE_FLOAT || type > OM_ARCHIVE_GUID) return OM_E_FAIL;
        if (!writing_ && !read_ids && (type == OM_ARCHIVE_CODE || type == OM_ARCHIVE_GUID))
            return OM_S_OK;
        if (!data || !stream_) return OM_E_FAIL;
        const uint32_t element = element_size(type);
        const uint32_t count = element && size ? size / element : 1;
        if (!count) return OM_E_FAIL;
        auto* bytes = static_cast<uint8_t*>(data);
        for (uint32_t i = 0; i < count; ++i) {
            OmResult r = one(type, bytes + i * element, size);
            if (r < 0) return r;
        }
        return writing_ && text_ ? put("\n", 1) : OM_S_OK;
    }

    OmResult one(int32_t type, uint8_t* data, uint32_t size) {
        switch (type) {
        case OM_ARCHIVE_FLOAT: return writing_ ? write_float(data) : read_float(data);
        case OM_ARCHIVE_INT: return writing_ ? write_int(data) : read_int(data);
        case OM_ARCHIVE_CODE: return writing_ ? write_code(data) : read_code(data);
        case OM_ARCHIVE_STRING: return writing_ ? write_string(data) : read_string(data, size);
        case OM_ARCHIVE_BYTE: return writing_ ? write_byte(data) : read_byte(data);
        case OM_ARCHIVE_OBJECT: {
            auto* slot = reinterpret_cast<IUnknown**>(data);
            return writing_ ? write_object(*slot) : read_object(slot);
        }
        default: return writing_ ? write_guid(data) : read_guid(data);
        }
    }

    // Raw bytes.

    OmResult put(const void* bytes, uint32_t count) {
        uint32_t done = 0;
        OmResult r = stream_->Write(bytes, count, &done);
        if (r < 0) return r;
        return done == count ? OM_S_OK : OM_E_FAIL;
    }
    OmResult put_text(const char* text) { return put(text, uint32_t(std::strlen(text))); }
    OmResult get(void* bytes, uint32_t count) {
        uint32_t done = 0;
        OmResult r = stream_->Read(bytes, count, &done);
        if (done == count) return OM_S_OK;
        return r < 0 ? r : OM_E_FAIL;
    }
    OmResult put_u32(uint32_t value) {
        uint8_t bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(value >> (8 * i));
        return put(bytes, 4);
    }
    OmResult get_u32(uint32_t* value) {
        uint8_t bytes[4];
        OmResult r = get(bytes, 4);
        if (r < 0) return r;
        *value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                 uint32_t(bytes[3]) << 24;
        return OM_S_OK;
    }

    // A blank-terminated token, leading white space passed over, cut to size - 1
    // characters (the rest of a longer token is consumed). The stream's end before any
    // character is returned as the stream reports it.
    OmResult token(char* out, uint32_t size) {
        char c;
        OmResult r;
        do {
            r = get(&c, 1);
            if (r < 0) return r;
        } while (is_space(c));
        uint32_t used = 0;
        do {
            if (used + 1 < size) out[used++] = c;
        } while (get(&c, 1) >= 0 && !is_space(c));
        out[used] = '\0';
        return OM_S_OK;
    }

    // Values.

    OmResult write_float(const uint8_t* data) {
        float value;
        std::memcpy(&value, data, 4);
        if (!text_) return put(data, 4);
        char text[64];
        std::snprintf(text, sizeof text, "%f ", double(value));
        return put_text(text);
    }
    OmResult read_float(uint8_t* data) {
        if (!text_) return get(data, 4);
        char text[token_size];
        OmResult r = token(text, sizeof text);
        if (r < 0) return r;
        char* end = nullptr;
        float value = std::strtof(text, &end);
        if (end == text || *end) return OM_E_FAIL;
        std::memcpy(data, &value, 4);
        return OM_S_OK;
    }

    OmResult write_int(const uint8_t* data) {
        int32_t value;
        std::memcpy(&value, data, 4);
        if (!text_) return put_u32(uint32_t(value));
        char text[16];
        std::snprintf(text, sizeof text, "%d ", value);
        return put_text(text);
    }
    OmResult read_int(uint8_t* data) {
        int32_t value;
        OmResult r = text_ ? read_decimal(&value) : get_u32(reinterpret_cast<uint32_t*>(&value));
        if (r >= 0) std::memcpy(data, &value, 4);
        return r;
    }
    // Decimal only: an optional sign and digits, within 32 bits.
    OmResult read_decimal(int32_t* value) {
        char text[token_size];
        OmResult r = token(text, sizeof text);
        if (r < 0) return r;
        char* end = nullptr;
        errno = 0;
        long parsed = std::strtol(text, &end, 10);
        if (end == text || *end || errno || parsed < INT32_MIN || parsed > INT32_MAX)
            return OM_E_FAIL;
        *value = int32_t(parsed);
        return OM_S_OK;
    }

    OmResult write_code(const uint8_t* data) {
        if (!text_) return put(data, 4);
        char text[6] = {};
        std::memcpy(text, data, 4);
        std::strcat(text, " ");
        return put_text(text[0] ? text : " ");
    }
    OmResult read_code(uint8_t* data) {
        if (!text_) return get(data, 4);
        char text[token_size];
        OmResult r = token(text, sizeof text);
        if (r < 0) return r;
        if (std::strlen(text) != 4) return OM_E_FAIL;
        std::memcpy(data, text, 4);
        return OM_S_OK;
    }

    OmResult write_string(const uint8_t* data) {
        const char* text = reinterpret_cast<const char*>(data);
        const auto length = uint32_t(std::strlen(text));
        if (text_) {
            OmResult r = put("\"", 1);
            if (r >= 0) r = put(text, length);
            if (r >= 0) r = put("\" ", 2);
            return r;
        }
        OmResult r = put_u32(length);
        if (r >= 0) r = put(text, length);
        static constexpr uint8_t zeros[4] = {};
        if (r >= 0 && (length & 3)) r = put(zeros, 4 - (length & 3));
        return r;
    }
    // Cut to the caller's buffer; what does not fit is consumed. In text the string runs
    // from its opening quote to a closing quote followed by white space (or the end), so
    // blanks inside it survive.
    OmResult read_string(uint8_t* data, uint32_t size) {
        if (!size) return OM_E_FAIL;
        char* out = reinterpret_cast<char*>(data);
        uint32_t used = 0;
        OmResult r = text_ ? read_quoted(out, size, &used) : read_counted(out, size, &used);
        out[used] = '\0';
        return r;
    }
    OmResult read_quoted(char* out, uint32_t size, uint32_t* used) {
        char c;
        OmResult r;
        do {
            r = get(&c, 1);
            if (r < 0) return r;
        } while (is_space(c));
        if (c != '"') return OM_E_FAIL;
        for (bool quote_pending = false;;) {
            r = get(&c, 1);
            if (r < 0) return quote_pending ? OM_S_OK : OM_E_FAIL;
            if (quote_pending) {
                if (is_space(c)) return OM_S_OK;
                if (*used + 1 < size) out[(*used)++] = '"';
            }
            quote_pending = c == '"';
            if (!quote_pending && *used + 1 < size) out[(*used)++] = c;
        }
    }
    OmResult read_counted(char* out, uint32_t size, uint32_t* used) {
        uint32_t length = 0;
        OmResult r = get_u32(&length);
        if (r < 0) return r;
        const uint32_t kept = length < size - 1 ? length : size - 1;
        r = get(out, kept);
        if (r < 0) return r;
        *used = kept;
        uint64_t skipped = uint64_t(length - kept) + ((length & 3) ? 4 - (length & 3) : 0);
        for (char c; skipped; --skipped) {
            r = get(&c, 1);
            if (r < 0) return r;
        }
        return OM_S_OK;
    }

    OmResult write_byte(const uint8_t* data) {
        if (!text_) return put(data, 1);
        char text[4];
        std::snprintf(text, sizeof text, "%02x ", *data);
        return put_text(text);
    }
    OmResult read_byte(uint8_t* data) {
        if (!text_) return get(data, 1);
        char text[token_size];
        OmResult r = token(text, sizeof text);
        if (r < 0) return r;
        const size_t length = std::strlen(text);
        if (length < 1 || length > 2 || std::strspn(text, "0123456789abcdefABCDEF") != length)
            return OM_E_FAIL;
        *data = uint8_t(std::strtoul(text, nullptr, 16));
        return OM_S_OK;
    }

    OmResult write_guid(const uint8_t* data) {
        GUID g;
        std::memcpy(&g, data, 16);
        if (!text_) {
            uint8_t bytes[16];
            for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(g.Data1 >> (8 * i));
            bytes[4] = uint8_t(g.Data2);
            bytes[5] = uint8_t(g.Data2 >> 8);
            bytes[6] = uint8_t(g.Data3);
            bytes[7] = uint8_t(g.Data3 >> 8);
            std::memcpy(bytes + 8, g.Data4, 8);
            return put(bytes, 16);
        }
        char text[64];
        const uint8_t* d = g.Data4;
        std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X,%02X-%02X,%02X,%02X,%02X,%02X,%02X ",
                      g.Data1, g.Data2, g.Data3, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
        return put_text(text);
    }
    // The text is read by the GUID-text parser, which collects the 32 hexadecimal digits
    // whatever separates them, so the written pieces read back as they were.
    OmResult read_guid(uint8_t* data) {
        GUID g;
        if (text_) {
            char text[guid_token_size];
            OmResult r = token(text, sizeof text);
            if (r < 0) return r;
            if (OmTextToGuid(text, &g) < 0) return OM_E_FAIL;
        } else {
            uint8_t bytes[16];
            OmResult r = get(bytes, 16);
            if (r < 0) return r;
            g.Data1 = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                      uint32_t(bytes[3]) << 24;
            g.Data2 = uint16_t(bytes[4] | bytes[5] << 8);
            g.Data3 = uint16_t(bytes[6] | bytes[7] << 8);
            std::memcpy(g.Data4, bytes + 8, 8);
        }
        std::memcpy(data, &g, 16);
        return OM_S_OK;
    }

    // Objects.

    OmResult write_marker(uint32_t code, const char* word, int32_t number) {
        if (!text_) {
            OmResult r = put_u32(code);
            if (r >= 0 && code != code_null) r = put_u32(uint32_t(number));
            return r;
        }
        char text[32];
        if (code == code_null)
            std::snprintf(text, sizeof text, "%s ", word);
        else
            std::snprintf(text, sizeof text, "%s %d ", word, number);
        return put_text(text);
    }

    OmResult write_object(IUnknown* object) {
        if (!object) return write_marker(code_null, "NULL", 0);
        if (OmByteKeyHashHas(&index_, &object, sizeof object)) {
            const auto position = int32_t(OmByteKeyHashGet(&index_, &object, sizeof object));
            return write_marker(code_reference, "REFERENCE", position + 1);
        }
        IArchivable* archivable = nullptr;
        if (object->QueryInterface(IID_IArchivable, reinterpret_cast<void**>(&archivable)) < 0 ||
            !archivable)
            return OM_E_FAIL;
        const int32_t position = objects_.count;
        OmResult r = OmByteKeyHashSet(&index_, &object, sizeof object, uintptr_t(position));
        if (r >= 0 && OmPtrArrayAppend(&objects_, object) < 0) {
            OmByteKeyHashRemove(&index_, &object, sizeof object);
            r = OM_E_OUTOFMEMORY;
        }
        if (r >= 0) {
            object->AddRef();
            r = write_marker(code_object, "OBJECT", position + 1);
        }
        if (r >= 0) r = archivable->Transfer(this);
        archivable->Release();
        return r;
    }

    OmResult read_object(IUnknown** slot) {
        uint32_t marker = 0;
        int32_t number = 0;
        OmResult r;
        if (text_) {
            char word[token_size];
            r = token(word, sizeof word);
            if (r < 0) return r;
            if (std::strcmp(word, "NULL") == 0)
                marker = code_null;
            else if (std::strcmp(word, "OBJECT") == 0)
                marker = code_object;
            else if (std::strcmp(word, "REFERENCE") == 0)
                marker = code_reference;
            else
                return OM_E_FAIL;
            if (marker != code_null) r = read_decimal(&number);
        } else {
            r = get_u32(&marker);
            if (r >= 0 && marker != code_null) r = get_u32(reinterpret_cast<uint32_t*>(&number));
        }
        if (r < 0) return r;
        if (marker == code_null) {
            *slot = nullptr;
            return OM_S_OK;
        }
        if (marker == code_object) return read_new_object(number, slot);
        if (marker != code_reference) return OM_E_FAIL;
        // Objects announced so far may be referred to; one still being read is not in the
        // table yet and reads as null.
        if (number < 1 || number > announced_) return OM_E_FAIL;
        auto* object = static_cast<IUnknown*>(OmPtrArrayAt(&objects_, number - 1));
        if (object) object->AddRef();
        *slot = object;
        return OM_S_OK;
    }

    // A number must be one that the objects announced so far could have: at most one past
    // the last, so a file cannot make the table grow beyond what it holds.
    OmResult read_new_object(int32_t number, IUnknown** slot) {
        ++announced_;
        if (number < 1 || number > announced_ || depth_ >= max_object_depth) return OM_E_FAIL;
        GUID clsid;
        uint32_t code;
        OmResult r = one(OM_ARCHIVE_GUID, reinterpret_cast<uint8_t*>(&clsid), 16);
        if (r >= 0) r = one(OM_ARCHIVE_CODE, reinterpret_cast<uint8_t*>(&code), 4);
        if (r < 0) return r;
        IArchivable* archivable = nullptr;
        r = OmCreateInstance(clsid, nullptr, 0, IID_IArchivable,
                             reinterpret_cast<void**>(&archivable));
        if (r < 0) return r;
        if (!archivable) return OM_E_FAIL;
        ++depth_;
        r = archivable->Transfer(this);
        --depth_;
        IUnknown* object = nullptr;
        if (r >= 0) r = archivable->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&object));
        archivable->Release();
        if (r < 0) return r;
        r = store(number - 1, object);
        if (r < 0) {
            object->Release();
            return r;
        }
        object->AddRef();
        *slot = object;
        return OM_S_OK;
    }

    // The table takes over the reference. A place already taken means two objects share a
    // number: OM_E_FAIL.
    OmResult store(int32_t position, IUnknown* object) {
        while (objects_.count <= position)
            if (OmPtrArrayAppend(&objects_, nullptr) < 0) return OM_E_OUTOFMEMORY;
        if (OmPtrArrayAt(&objects_, position)) return OM_E_FAIL;
        OmPtrArraySetAt(&objects_, position, object);
        return OM_S_OK;
    }

    IArchiver* owner_;
    IByteStream* stream_;
    bool writing_;
    bool text_;
    OmPtrArray objects_;  // objects met, by number - 1; one reference each
    OmByteKeyHash index_; // writing: object pointer -> position in objects_
    bool index_ready_;
    int32_t announced_; // reading: objects announced so far
    int32_t depth_;     // reading: objects being read inside one another
};

} // namespace

OmResult OmNewArchive(IArchiver* owner, uint32_t mode, bool text, IByteStream* stream,
                      IArchive** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!owner) return OM_E_FAIL;
    Archive* archive;
    OmResult r = om_new_component(&archive);
    if (r < 0) return r;
    archive->attach(owner, mode, text, stream);
    *out = archive;
    return OM_S_OK;
}
