// Helpers for the HTML engine's tests.
#include "tests/frontend/html/html_test_support.h"

#include "framework/containers/com_array.h"
#include "framework/containers/values.h"
#include "framework/io/memory_stream.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace htmltest {

ComRef<IFont> FakeFont::make(int32_t advance, int32_t height) {
    FakeFont* font = nullptr;
    EXPECT_EQ(om_new_component(&font), OM_S_OK);
    font->advance = advance;
    font->properties_[OM_FONT_SIZE] = height;
    return ComRef<IFont>::adopt(font);
}

OmResult FakeFont::SetProperty(uint32_t id, intptr_t value) {
    if (id < 1 || id > 12) return OM_E_FAIL;
    properties_[id] = value;
    return OM_S_OK;
}

OmResult FakeFont::GetProperty(uint32_t id, intptr_t* value) {
    if (id < 1 || id > 12) return OM_E_FAIL;
    *value = properties_[id];
    return OM_S_OK;
}

OmResult FakeFont::Reset() {
    for (intptr_t& p : properties_) p = 0;
    return OM_S_OK;
}

OmResult FakeFont::DrawGlyph(uint16_t, IRaster*, const OmRect*) {
    return OM_S_OK;
}

OmResult FakeFont::GetGlyphWidth(uint16_t, IRaster*, int32_t* width) {
    ++width_queries;
    *width = advance;
    return OM_S_OK;
}

ComRef<RecordingRenderer> RecordingRenderer::make() {
    RecordingRenderer* renderer = nullptr;
    EXPECT_EQ(om_new_component(&renderer), OM_S_OK);
    return ComRef<RecordingRenderer>::adopt(renderer);
}

OmResult RecordingRenderer::CreateTextureFactory(IRasterCreate** out) {
    *out = nullptr;
    if (refuse_factory) return OM_E_FAIL;
    OmResult r = OmNewRasterDescription(out);
    if (r >= 0) factory = ComRef<IRasterCreate>::share(*out);
    return r;
}

std::vector<uintptr_t> RecordingRenderer::sets_of(uint32_t state) const {
    std::vector<uintptr_t> values;
    for (const RecordedState& s : state_log)
        if (s.state == state) values.push_back(s.value);
    return values;
}

OmResult RecordingRenderer::SetRenderState(uint32_t state, uintptr_t value) {
    if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
    states[state] = value;
    state_log.push_back({state, value});
    return OM_S_OK;
}

OmResult RecordingRenderer::GetRenderState(uint32_t state, uintptr_t* value) {
    if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
    *value = states[state];
    return OM_S_OK;
}

OmResult RecordingRenderer::DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                          uint32_t flags) {
    draws.push_back(
        {type, std::vector<OmTLVertex>(vertices, vertices + count), flags, states[OM_RS_TEXTURE]});
    return OM_S_OK;
}

ComRef<IObjHash> parse_page(std::string_view text) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    if (!text.empty()) stream->Write(text.data(), uint32_t(text.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    ComRef<IObjHash> root;
    EXPECT_EQ(parseHtmlDocument(stream.get(), root.put()), OM_S_OK);
    return root;
}

void attach_font(IObjHash* root, IFont* font) {
    ICOMArray* objs = htmlArrayAt(root, "objs");
    for (int32_t i = 0; objs && i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text")) setHtmlObject(node, "_font", font);
    }
}

namespace {

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

bool is_colour_key(const std::string& key) {
    return key == "bgcolor" || key == "text" || key == "link" || key == "vlink" || key == "alink" ||
           key == "color";
}

class TreeDumper {
public:
    std::string run(IObjHash* root) {
        node(root, 0);
        return out_;
    }

private:
    void indent(int depth) { out_.append(size_t(depth) * 2, ' '); }

    // Writes an object value after "key: " (the line is already started).
    void value(const std::string& key, IUnknown* object, int depth) {
        if (!object) {
            out_ += "(empty)\n";
            return;
        }
        if (IInt* i = om_exact_int(object)) {
            char text[32];
            if (is_colour_key(key) && i->Get() != -1) {
                std::snprintf(text, sizeof text, "0x%08X", uint32_t(i->Get()));
            } else {
                std::snprintf(text, sizeof text, "%d", i->Get());
            }
            out_ += std::string(text) + "\n";
            return;
        }
        if (IString* s = om_exact_string(object)) {
            out_ += (s->Get() ? quoted(s->Get()) : std::string("(null string)")) + "\n";
            return;
        }
        ComRef<IObjHash> hash;
        if (object->QueryInterface(IID_IObjHash, hash.put_void()) >= 0) {
            node(hash.get(), depth);
            return;
        }
        ComRef<ICOMArray> array;
        if (object->QueryInterface(IID_ICOMArray, array.put_void()) >= 0) {
            const int32_t count = array->Count();
            out_ += "[" + std::to_string(count) + "]\n";
            for (int32_t i = 0; i < count; ++i) {
                indent(depth + 1);
                out_ += "- ";
                value("", array->GetAt(i), depth + 1);
            }
            return;
        }
        out_ += "(object)\n";
    }

    void node(IObjHash* hash, int depth) {
        ComRef<IUnknown> identity;
        hash->QueryInterface(IID_IUnknown, identity.put_void());
        auto seen = ids_.find(identity.get());
        if (seen != ids_.end()) {
            out_ += "-> #" + std::to_string(seen->second) + "\n";
            return;
        }
        const int id = int(ids_.size()) + 1;
        ids_[identity.get()] = id;
        keep_.push_back(identity);
        std::vector<std::string> keys;
        hash->ForEach(
            [](const char* name, IUnknown*, void* context) -> OmResult {
                static_cast<std::vector<std::string>*>(context)->push_back(name);
                return OM_S_OK;
            },
            &keys);
        std::sort(keys.begin(), keys.end());
        const char* type = hash->Has("type") ? hash->GetString("type", "") : nullptr;
        out_ += "#" + std::to_string(id) + (type ? std::string(" ") + type : std::string()) + "\n";
        for (const std::string& key : keys) {
            if (key == "type" && type) continue;
            indent(depth + 1);
            out_ += key + ": ";
            value(key, hash->Get(key.c_str()), depth + 1);
        }
    }

    std::string out_;
    std::map<IUnknown*, int> ids_;
    std::vector<ComRef<IUnknown>> keep_;
};

} // namespace

std::string dump_tree(IObjHash* root) {
    return TreeDumper().run(root);
}

} // namespace htmltest
