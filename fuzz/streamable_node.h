// A class with a text form for the object streamer harness and its seeds: a number, a name
// and an optional child value, so registered keywords, nested values and every value kind of
// the streamer are read and written.
#pragma once

#include "framework/containers/values.h"
#include "framework/core/class_factory.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/object_streamer.h"

#include <cstring>

inline constexpr GUID CLSID_FuzzStreamNode = om_guid("5E1A0050-0000-4000-8000-00000000F001");
inline constexpr GUID IID_IFuzzStreamNode = om_guid("5E1A0051-0000-4000-8000-00000000F001");

// Nodes nest at most this deep; a deeper one fails to read rather than running the stack out.
inline constexpr int kFuzzStreamNodeDepth = 32;

struct IFuzzStreamNode : IUnknown {
    virtual int32_t& number() = 0;
    // The name and the child, each holding one reference (null allowed).
    virtual IString*& name() = 0;
    virtual IUnknown*& child() = 0;
};

// The keyword that precedes a value in the text form; null for an object without one.
inline const char* fuzz_keyword_of(IUnknown* object) {
    static const struct {
        const GUID* iid;
        const char* keyword;
    } kinds[] = {{&IID_IFuzzStreamNode, "node"},
                 {&IID_IInt, "int"},
                 {&IID_IReal, "real"},
                 {&IID_IString, "string"}};
    for (const auto& kind : kinds) {
        ComRef<IUnknown> typed;
        if (object && object->QueryInterface(*kind.iid, typed.put_void()) >= 0 && typed)
            return kind.keyword;
    }
    return nullptr;
}

// The keyword, then the value's text form; "none" for null.
inline OmResult fuzz_write_keyed_value(IObjectStreamer* streamer, IUnknown* value) {
    const char* keyword = value ? fuzz_keyword_of(value) : "none";
    if (!keyword) return OM_E_FAIL;
    OmResult r = streamer->WriteSpace();
    if (r >= 0) r = streamer->WriteToken(nullptr, keyword);
    if (r >= 0 && value) r = streamer->WriteValue(value);
    return r;
}

class FuzzStreamNode final : public OmObject<FuzzStreamNode, IFuzzStreamNode, IStreamable> {
public:
    ~FuzzStreamNode() {
        if (name_) name_->Release();
        if (child_) child_->Release();
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IFuzzStreamNode, static_cast<IFuzzStreamNode*>(this)},
                                   {&IID_IStreamable, static_cast<IStreamable*>(this)}});
    }
    int32_t& number() override { return number_; }
    IString*& name() override { return name_; }
    IUnknown*& child() override { return child_; }

    OmResult Write(IObjectStreamer* streamer) override {
        OmResult r = streamer->WriteInt(nullptr, number_);
        if (r >= 0) r = streamer->WriteString(name_, name_ ? nullptr : "");
        if (r >= 0) r = fuzz_write_keyed_value(streamer, child_);
        return r;
    }
    OmResult Read(IObjectStreamer* streamer) override {
        static int depth = 0;
        if (depth >= kFuzzStreamNodeDepth) return OM_E_FAIL;
        ++depth;
        const OmResult r = read(streamer);
        --depth;
        return r;
    }

private:
    OmResult read(IObjectStreamer* streamer) {
        number_ = streamer->ReadInt();
        name_ = streamer->ReadString();
        if (!name_) return OM_E_FAIL;
        ComRef<IString> keyword = ComRef<IString>::adopt(streamer->ReadToken());
        if (!keyword) return OM_E_FAIL;
        if (std::strcmp(keyword->Get(), "none") == 0) return OM_S_OK;
        child_ = streamer->ReadValue(keyword.get(), nullptr);
        return child_ ? OM_S_OK : OM_E_FAIL;
    }

    int32_t number_ = 0;
    IString* name_ = nullptr;
    IUnknown* child_ = nullptr;
};

inline const OmClassRecord fuzz_stream_node_classes[] = {
    {&CLSID_FuzzStreamNode, nullptr, nullptr, OmCreateComponent<FuzzStreamNode>, "FuzzStreamNode"}};

// Registers the class with the running object manager.
inline OmResult fuzz_register_stream_node_class() {
    return OmRegisterClassTable(
        fuzz_stream_node_classes, 1,
        [](const GUID& clsid, const GUID& iid, void** out) {
            return OmGetClassObjectFromTable(fuzz_stream_node_classes, 1, clsid, iid, out);
        },
        OmGetObjectManager());
}

// A streamer that knows the keyword "node" (one reference).
inline OmResult fuzz_new_streamer(IObjectStreamer** out) {
    OmResult r = OmNewObjectStreamer(out);
    if (r >= 0) r = (*out)->RegisterKeyword("node", &CLSID_FuzzStreamNode, &IID_IFuzzStreamNode);
    return r;
}
