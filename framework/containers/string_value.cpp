// The String value component: one C string copied into the allocator's memory.
#include "framework/containers/values.h"
#include "framework/io/iff.h"

#include <cstring>
#include <typeinfo>

namespace {

class StringValue final : public OmObject<StringValue, IString> {
public:
    ~StringValue() { OmFreeMemory(text_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IString, this}, {&IID_IObjectIO, this}});
    }
    OmResult Clone(uint32_t, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        IString* copy;
        OmResult r = OmNewString(text_, &copy);
        *out = copy;
        return r;
    }
    // Written with its NUL (a null value as the empty string). Read back with a terminator
    // of its own, so a chunk that is empty or lacks the NUL still gives a proper string.
    OmResult Write(IIFF* file) override {
        if (!file) return OM_E_FAIL;
        OmResult r = file->BeginChunk(OM_TAG_STRING);
        if (r < 0) return r;
        if (file->IsWriting()) {
            const char* text = text_ ? text_ : "";
            r = file->Transfer(const_cast<char*>(text), uint32_t(std::strlen(text) + 1));
        } else {
            r = read_text(file);
        }
        OmResult ended = file->EndChunk();
        return r < 0 ? r : ended;
    }

    OmResult Set(const char* text) override {
        char* copy = nullptr;
        if (text) {
            size_t size = std::strlen(text) + 1;
            copy = static_cast<char*>(OmAllocMemory(size));
            if (!copy) return OM_E_OUTOFMEMORY;
            std::memcpy(copy, text, size);
        }
        OmFreeMemory(text_);
        text_ = copy;
        return OM_S_OK;
    }
    const char* Get() override { return text_; }
    OmResult Append(const char* text) override {
        if (!text || !*text) return OM_S_OK;
        size_t old_length = text_ ? std::strlen(text_) : 0, added = std::strlen(text);
        auto* joined = static_cast<char*>(OmAllocMemory(old_length + added + 1));
        if (!joined) return OM_E_OUTOFMEMORY;
        if (old_length) std::memcpy(joined, text_, old_length);
        std::memcpy(joined + old_length, text, added + 1);
        OmFreeMemory(text_);
        text_ = joined;
        return OM_S_OK;
    }
    int32_t Length() override { return text_ ? int32_t(std::strlen(text_)) : -1; }

private:
    OmResult read_text(IIFF* file) {
        uint32_t size = 0;
        file->GetChunk(nullptr, &size);
        auto* text = static_cast<char*>(OmAllocMemory(size_t(size) + 1));
        if (!text) return OM_E_OUTOFMEMORY;
        OmResult r = file->Transfer(text, size);
        if (r < 0) {
            OmFreeMemory(text);
            return r;
        }
        text[size] = '\0';
        OmFreeMemory(text_);
        text_ = text;
        return OM_S_OK;
    }

    char* text_;
};

const OmClassRecord classes[] = {
    {&CLSID_String, nullptr, nullptr, OmCreateComponent<StringValue>, "String"}};

} // namespace

OmResult OmNewString(const char* text, IString** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    StringValue* object;
    OmResult r = om_new_component(&object);
    if (r < 0) return r;
    r = object->Set(text);
    if (r < 0) {
        object->Release();
        return r;
    }
    *out = object;
    return OM_S_OK;
}

IString* om_exact_string(IUnknown* object) {
    if (!object || typeid(*object) != typeid(StringValue)) return nullptr;
    return static_cast<IString*>(object);
}

OM_DEFINE_MODULE(String, classes)
