// The object streamer: a character reader that honours comments and keyword definitions at
// line starts, token and number conversion, escaped strings and printable binary blocks.
#include "framework/io/object_streamer.h"

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/new_direct.h"
#include "framework/containers/om_array.h"
#include "framework/core/com_ref.h"
#include "framework/core/guid_text.h"
#include "framework/core/object_manager.h"
#include "framework/io/line_code.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The classes the default keywords create: a hash and an array in their text form.
constexpr GUID CLSID_StreamedHash = om_guid("DAA87352-C84F-11D4-871E-00C04F7963BA");
constexpr GUID CLSID_StreamedArray = om_guid("DAA3AE9E-C84F-11D4-871E-00C04F7963BA");

// Tokens are collected in pieces of this many characters.
constexpr size_t token_piece = 63;
// Escaped text goes to the stream in pieces of this many bytes.
constexpr size_t escape_piece = 64;
// The escaped form of the empty text: a token needs at least one character.
constexpr char empty_text_escape[] = "\\_";

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool needs_hex_escape(uint8_t c) {
    return c <= 0x20 || c == 0x7F || c == '#' || c == '$';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* text_of(IString* string, const char* text) {
    return string ? string->Get() : text;
}

// Undoes the escaping in place; the result is never longer.
void unescape(char* text) {
    char* out = text;
    for (const char* in = text; *in;) {
        if (*in != '\\' || !in[1]) {
            *out++ = *in++;
            continue;
        }
        const char kind = in[1];
        if (kind == 'x' && hex_value(in[2]) >= 0 && hex_value(in[3]) >= 0) {
            *out++ = char(hex_value(in[2]) * 16 + hex_value(in[3]));
            in += 4;
        } else if (kind == '_') {
            in += 2;
        } else {
            *out++ = kind;
            in += 2;
        }
    }
    *out = '\0';
}

class ObjectStreamer final : public OmObject<ObjectStreamer, IObjectStreamer> {
public:
    OmResult init() {
        line_start_ = 1;
        at_output_line_start_ = true;
        OmPtrArrayInit(&owned_ids_);
        OmResult r = OmCreateObjHash(nullptr, &class_ids_);
        if (r >= 0) r = OmCreateObjHash(nullptr, &iids_);
        if (r >= 0) r = RegisterKeyword("hash", &CLSID_StreamedHash, &IID_IObjHash);
        if (r >= 0) r = RegisterKeyword("array", &CLSID_StreamedArray, &IID_ICOMArray);
        return r;
    }
    ~ObjectStreamer() {
        if (class_ids_) class_ids_->Release();
        if (iids_) iids_->Release();
        for (int32_t i = 0; i < owned_ids_.count; ++i) OmFreeMemory(OmPtrArrayAt(&owned_ids_, i));
        OmPtrArrayFree(&owned_ids_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectStreamer, this}});
    }

    OmResult RegisterKeyword(const char* name, const GUID* clsid, const GUID* iid) override {
        if (!name || !clsid || !iid) return OM_E_FAIL;
        OmResult r = class_ids_->SetPtr(name, const_cast<GUID*>(clsid));
        if (r < 0) return r;
        return iids_->SetPtr(name, const_cast<GUID*>(iid));
    }
    OmResult LookupKeyword(const char* name, GUID* clsid, GUID* iid) override {
        if (!name || !class_ids_->Has(name) || !iids_->Has(name)) return OM_E_FAIL;
        auto* found_clsid = static_cast<const GUID*>(class_ids_->GetPtr(name, nullptr));
        auto* found_iid = static_cast<const GUID*>(iids_->GetPtr(name, nullptr));
        if (!found_clsid || !found_iid) return OM_E_FAIL;
        if (clsid) *clsid = *found_clsid;
        if (iid) *iid = *found_iid;
        return OM_S_OK;
    }

    OmResult SetStream(IByteStream* stream) override {
        stream_ = stream;
        return OM_S_OK;
    }
    IByteStream* GetStream() override { return stream_; }

    OmResult WriteKeywordDefinition(const char* name) override {
        GUID clsid, iid;
        OmResult r = LookupKeyword(name, &clsid, &iid);
        if (r < 0) return r;
        char text[2 * OM_GUID_TEXT_SIZE];
        OmGuidToText(clsid, text);
        text[OM_GUID_TEXT_SIZE - 1] = ' ';
        OmGuidToText(iid, text + OM_GUID_TEXT_SIZE);
        return put(text);
    }
    OmResult WriteKeyword(const char* name) override {
        OmResult r = LookupKeyword(name, nullptr, nullptr);
        if (r < 0) return r;
        return put(name);
    }
    OmResult ReadKeyword(GUID* clsid, GUID* iid) override {
        ComRef<IString> token = read_token();
        if (!token) return OM_E_FAIL;
        return LookupKeyword(token->Get(), clsid, iid);
    }

    OmResult WriteValue(IUnknown* object) override {
        if (!object) return OM_E_FAIL;
        if (ComRef<IStreamable> streamable = query<IStreamable>(object, IID_IStreamable))
            return streamable->Write(this);
        if (ComRef<IInt> value = query<IInt>(object, IID_IInt)) return WriteInt(value.get(), 0);
        if (ComRef<IReal> value = query<IReal>(object, IID_IReal))
            return WriteReal(value.get(), 0.0f);
        // Written escaped, with its separating blank, so that ReadValue("string") reads
        // exactly this text back.
        if (ComRef<IString> value = query<IString>(object, IID_IString))
            return WriteString(value.get(), nullptr);
        return OM_E_FAIL;
    }

    IUnknown* ReadValue(IString* keyword_string, const char* keyword) override {
        const char* name = text_of(keyword_string, keyword);
        if (!name) return nullptr;
        GUID clsid, iid;
        if (LookupKeyword(name, &clsid, &iid) >= 0) return read_registered(clsid, iid);
        if (std::strcmp(name, "int") == 0) {
            IInt* value = nullptr;
            if (OmNewInt(0, &value) < 0) return nullptr;
            value->Set(ReadInt());
            return value;
        }
        if (std::strcmp(name, "real") == 0) {
            IReal* value = nullptr;
            if (OmNewReal(0.0f, &value) < 0) return nullptr;
            value->Set(ReadReal());
            return value;
        }
        if (std::strcmp(name, "string") == 0) return ReadString();
        return nullptr;
    }

    OmResult WriteString(IString* string, const char* text) override {
        const char* source = text_of(string, text);
        if (!source) return OM_E_FAIL;
        OmResult r = put(" ");
        if (r < 0) return r;
        if (!*source) return put(empty_text_escape);
        char piece[escape_piece];
        size_t used = 0;
        for (const char* c = source; *c; ++c) {
            if (used + 4 > sizeof piece) {
                r = put(piece, used);
                if (r < 0) return r;
                used = 0;
            }
            const auto byte = uint8_t(*c);
            if (byte == '\\') {
                piece[used++] = '\\';
                piece[used++] = '\\';
            } else if (needs_hex_escape(byte)) {
                static constexpr char digits[] = "0123456789ABCDEF";
                piece[used++] = '\\';
                piece[used++] = 'x';
                piece[used++] = digits[byte >> 4];
                piece[used++] = digits[byte & 15];
            } else {
                piece[used++] = char(byte);
            }
        }
        return used ? put(piece, used) : OM_S_OK;
    }
    IString* ReadString() override {
        ComRef<IString> token = read_token();
        if (!token) return nullptr;
        // Unescaping only shortens the text, so it is done in the String's own copy.
        unescape(const_cast<char*>(token->Get()));
        return token.detach();
    }

    OmResult WriteToken(IString* string, const char* text) override {
        const char* source = text_of(string, text);
        if (!source) return OM_E_FAIL;
        return put(source);
    }
    IString* ReadToken() override { return read_token().detach(); }

    OmResult WriteInt(IInt* value_object, int32_t value) override {
        char text[16];
        std::snprintf(text, sizeof text, " %d", value_object ? value_object->Get() : value);
        return put(text);
    }
    int32_t ReadInt() override {
        ComRef<IString> token = read_token();
        int value = 0;
        if (token) std::sscanf(token->Get(), "%d", &value);
        return value;
    }
    OmResult WriteReal(IReal* value_object, float value) override {
        char text[64];
        std::snprintf(text, sizeof text, " %f", double(value_object ? value_object->Get() : value));
        return put(text);
    }
    float ReadReal() override {
        ComRef<IString> token = read_token();
        float value = 0.0f;
        if (token) std::sscanf(token->Get(), "%f", &value);
        return value;
    }

    OmResult WriteBlock(const void* data, uint32_t count) override {
        if (count && !data) return OM_E_FAIL;
        OmResult r = put("begin");
        const auto* bytes = static_cast<const uint8_t*>(data);
        char line[OM_LINE_MAX_CHARS];
        for (uint32_t at = 0; r >= 0 && at < count;) {
            const uint32_t n = std::min(OM_LINE_MAX_BYTES, count - at);
            r = put(line, OmEncodeLine(bytes + at, n, line));
            if (r >= 0) r = NewLine();
            at += n;
        }
        if (r >= 0) r = put(line, OmEncodeLine(nullptr, 0, line));
        if (r >= 0) r = NewLine();
        if (r >= 0) r = put("end");
        return r;
    }

    OmResult ReadBlock(void* buffer, uint32_t* size) override {
        if (!size || (*size && !buffer)) return OM_E_FAIL;
        const uint32_t capacity = *size;
        auto* out = static_cast<uint8_t*>(buffer);
        *size = 0;
        for (;;) {
            char length;
            OmResult r = block_char(&length, true);
            if (r < 0) return r;
            if (uint8_t(length) < 32 || uint8_t(length) > 32 + OM_LINE_MAX_BYTES) return OM_E_FAIL;
            const uint32_t n = OmLineLength(length);
            if (n > capacity - *size) return OM_E_FAIL;
            char groups[OM_LINE_MAX_CHARS];
            const uint32_t group_chars = 4 * ((n + 2) / 3);
            for (uint32_t i = 0; i < group_chars; ++i) {
                r = block_char(&groups[i], false);
                if (r < 0) return r;
            }
            r = OmDecodeLine(groups, n, out + *size, capacity - *size, nullptr);
            if (r < 0) return r;
            char checksum; // part of the line; not compared
            r = block_char(&checksum, false);
            if (r < 0) return r;
            *size += n;
            if (n == 0) return OM_S_OK;
        }
    }

    OmResult Expect(IString* string, const char* text) override {
        const char* wanted = text_of(string, text);
        if (!wanted) return OM_E_FAIL;
        for (const char* c = wanted; *c; ++c) {
            skipping_ = 1;
            char got;
            OmResult r = next_char(&got);
            skipping_ = 0;
            if (r < 0 || got != *c) return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult WriteComment(IString* string, const char* text) override {
        const char* comment = text_of(string, text);
        if (!comment) comment = "";
        OmResult r = at_output_line_start_ ? OM_S_OK : put("\n");
        if (r >= 0) r = put("#");
        if (r >= 0) r = put(comment, std::strcspn(comment, "\r\n"));
        if (r >= 0) r = NewLine();
        return r;
    }
    OmResult WriteSpace() override { return put(" "); }
    OmResult NewLine() override {
        OmResult r = put("\n");
        for (uint32_t i = 0; r >= 0 && i < indent_; ++i) r = put("\t");
        if (r >= 0) at_output_line_start_ = true;
        return r;
    }
    OmResult Indent() override {
        ++indent_;
        return OM_S_OK;
    }
    OmResult Unindent() override {
        if (indent_ == 0) return OM_E_FAIL;
        --indent_;
        return OM_S_OK;
    }

private:
    template <class T>
    static ComRef<T> query(IUnknown* object, const GUID& iid) {
        ComRef<T> typed;
        object->QueryInterface(iid, typed.put_void());
        return typed;
    }

    IUnknown* read_registered(const GUID& clsid, const GUID& iid) {
        ComRef<IUnknown> object;
        if (OmCreateInstance(clsid, nullptr, 0, iid, object.put_void()) < 0 || !object)
            return nullptr;
        ComRef<IStreamable> streamable = query<IStreamable>(object.get(), IID_IStreamable);
        if (!streamable || streamable->Read(this) < 0) return nullptr;
        return object.detach();
    }

    OmResult put(const char* text) { return put(text, std::strlen(text)); }
    OmResult put(const char* text, size_t count) {
        if (!stream_) return OM_E_FAIL;
        if (!count) return OM_S_OK;
        uint32_t done = 0;
        OmResult r = stream_->Write(text, uint32_t(count), &done);
        if (r < 0) return r;
        if (done != count) return OM_E_FAIL;
        at_output_line_start_ = false;
        return OM_S_OK;
    }

    // One byte of the stream; OM_E_ENDOFSTREAM at its end.
    OmResult raw_byte(char* c) {
        if (!stream_) return OM_E_FAIL;
        uint8_t byte = 0;
        uint32_t done = 0;
        OmResult r = stream_->Read(&byte, 1, &done);
        if (done != 1) return r < 0 ? r : OM_E_ENDOFSTREAM;
        *c = char(byte);
        return OM_S_OK;
    }

    // The next character, white space passed over while skipping, comments and keyword
    // definitions at line starts consumed.
    OmResult next_char(char* c) {
        for (;;) {
            char ch;
            OmResult r = raw_byte(&ch);
            if (r < 0) return r;
            if (is_space(ch)) {
                if (ch == '\n') line_start_ = 1;
                if (skipping_) continue;
                *c = ch;
                return OM_S_OK;
            }
            if (line_start_ && ch == '#') {
                r = skip_comment();
                if (r < 0) return r;
                continue;
            }
            if (line_start_ && ch == '$') {
                read_definition();
                continue;
            }
            line_start_ = 0;
            skipping_ = 0;
            *c = ch;
            return OM_S_OK;
        }
    }

    OmResult skip_comment() {
        for (;;) {
            char ch;
            OmResult r = raw_byte(&ch);
            if (r < 0) return r;
            if (ch == '\n') {
                line_start_ = 1;
                return OM_S_OK;
            }
        }
    }

    // "$keyword {class id} {interface id}" on the rest of the line: registered when all three
    // are there and sound. A definition never reaches into the next line.
    void read_definition() {
        std::string line;
        for (char ch; raw_byte(&ch) >= 0 && ch != '\n';) line += ch;
        line_start_ = 1;
        std::string fields[3];
        size_t found = 0;
        for (size_t at = 0; found < 3;) {
            at = line.find_first_not_of(" \t\r", at);
            if (at == std::string::npos) break;
            const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
            fields[found++] = line.substr(at, end - at);
            at = end;
        }
        if (found < 3) return;
        GUID ids[2];
        if (OmTextToGuid(fields[1].c_str(), &ids[0]) < 0) return;
        if (OmTextToGuid(fields[2].c_str(), &ids[1]) < 0) return;
        auto* copy = static_cast<GUID*>(OmAllocMemory(sizeof ids));
        if (!copy) return;
        std::memcpy(copy, ids, sizeof ids);
        if (OmPtrArrayAppend(&owned_ids_, copy) < 0) {
            OmFreeMemory(copy);
            return;
        }
        RegisterKeyword(fields[0].c_str(), &copy[0], &copy[1]);
    }

    // The next token as a new String, or null when the stream ends before one.
    ComRef<IString> read_token() {
        skipping_ = 1;
        char c;
        OmResult r = next_char(&c);
        skipping_ = 0;
        if (r < 0) return nullptr;
        ComRef<IString> token;
        if (OmNewString("", token.put()) < 0) return nullptr;
        char piece[token_piece + 1];
        size_t used = 0;
        for (;;) {
            piece[used++] = c;
            if (used == token_piece) {
                piece[used] = '\0';
                if (token->Append(piece) < 0) return nullptr;
                used = 0;
            }
            if (next_char(&c) < 0 || is_space(c)) break;
        }
        piece[used] = '\0';
        if (token->Append(piece) < 0) return nullptr;
        return token;
    }

    // A character of a binary line, read as it is: only the line breaks and indentation
    // before a line's length character are passed over (a blank is the length 0). The end
    // of the stream means the line is cut short.
    OmResult block_char(char* c, bool at_line_start) {
        for (;;) {
            OmResult r = raw_byte(c);
            if (r < 0) return OM_E_FAIL;
            if (at_line_start && (*c == '\n' || *c == '\r' || *c == '\t')) continue;
            line_start_ = 0;
            return OM_S_OK;
        }
    }

    IObjHash* class_ids_;
    IObjHash* iids_;
    IByteStream* stream_;
    uint32_t skipping_;
    uint32_t line_start_;
    uint32_t indent_;
    bool at_output_line_start_;
    OmPtrArray owned_ids_; // GUID pairs of keyword definitions read from the stream
};

const OmClassRecord classes[] = {
    {&CLSID_ObjectStreamer, nullptr, nullptr, OmCreateComponent<ObjectStreamer>, "ObjectStreamer"}};

} // namespace

OM_DEFINE_MODULE(ObjectStreamer, classes)

OmResult OmNewObjectStreamer(IObjectStreamer** out) {
    return om_new_direct<ObjectStreamer>(out);
}
