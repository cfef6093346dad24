// HTMLMenu: the HTML text of a menu bar written from its description, one column per menu,
// the selected menus expanded into their item links.
#include "frontend/html/html_menu.h"

#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char selected_suffix[] = ".selected";

// Entries of a hash in its own iteration order, borrowed.
std::vector<std::pair<std::string, IUnknown*>> entries_of(ICOMHash* hash) {
    std::vector<std::pair<std::string, IUnknown*>> entries;
    hash->ForEach(
        [](const char* name, IUnknown* object, void* context) -> OmResult {
            static_cast<std::vector<std::pair<std::string, IUnknown*>>*>(context)->emplace_back(
                name, object);
            return OM_S_OK;
        },
        &entries);
    return entries;
}

// The name followed by ".selected", false when it does not fit the key buffer.
bool selected_key(const char* name, char (&key)[HTML_MENU_KEY_CAPACITY]) {
    const int n = std::snprintf(key, sizeof key, "%s%s", name, selected_suffix);
    return n >= 0 && size_t(n) < sizeof key;
}

class HTMLMenu final : public OmObject<HTMLMenu, IHTMLMenu> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IHTMLMenu, this}});
    }

    OmResult SetDescription(IObjHash* description) override {
        description_ = description;
        return OM_S_OK;
    }
    IObjHash* GetDescription() override { return description_; }

    OmResult Write(IByteStream* stream) override {
        ComRef<IObjHash> menus = menu_table();
        if (!stream || !menus) return OM_E_FAIL;
        stream_ = stream;
        menus_ = menus.get();
        written_ = 0;
        write_text(description_->GetString("header", nullptr));
        write_text("<table>\n<tr>\n");
        for (const auto& [name, object] : entries_of(menus_)) {
            ComRef<IObjHash> items;
            if (!object || object->QueryInterface(IID_IObjHash, items.put_void()) < 0) continue;
            char key[HTML_MENU_KEY_CAPACITY];
            const bool selected = selected_key(name.c_str(), key) && menus_->GetInt(key, 0) != 0;
            if (selected ? write_expanded(name.c_str(), items.get())
                         : write_collapsed(name.c_str()))
                ++written_;
        }
        write_text("</tr>\n</table>\n");
        write_text(description_->GetString("footer", nullptr));
        stream_ = nullptr;
        menus_ = nullptr;
        return OM_S_OK;
    }

    OmResult Select(const char* link) override {
        ComRef<IObjHash> menus = menu_table();
        char name[HTML_MENU_PIECE_CAPACITY];
        char key[HTML_MENU_KEY_CAPACITY];
        if (menus && link && std::sscanf(link, "menubar:menu = %255s", name) == 1 &&
            selected_key(name, key))
            menus->SetInt(key, 1);
        return OM_S_OK;
    }

    OmResult ClearSelection() override {
        ComRef<IObjHash> menus = menu_table();
        if (!menus) return OM_S_OK;
        menus->ForEachMatching(
            selected_suffix, OM_MATCH_SUFFIX,
            [](const char*, IUnknown* object, void*) -> OmResult {
                ComRef<IInt> value;
                if (object && object->QueryInterface(IID_IInt, value.put_void()) >= 0)
                    value->Set(0);
                return OM_S_OK;
            },
            nullptr);
        return OM_S_OK;
    }

private:
    ComRef<IObjHash> menu_table() {
        ComRef<IObjHash> menus;
        IUnknown* object = description_ ? description_->Get("menu") : nullptr;
        if (object) object->QueryInterface(IID_IObjHash, menus.put_void());
        return menus;
    }

    void write_text(const char* text) {
        if (text && *text) stream_->Write(text, uint32_t(std::strlen(text)), nullptr);
    }

    // Formats one piece into the 256-character buffer; a piece that does not fit is refused.
    template <class... Args>
    static bool format(char (&buffer)[HTML_MENU_PIECE_CAPACITY], const char* pattern,
                       Args... args) {
        const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
        return n >= 0 && size_t(n) < sizeof buffer;
    }

    bool write_collapsed(const char* name) {
        char piece[HTML_MENU_PIECE_CAPACITY];
        if (!format(piece,
                    "<td><table><tr><td bgcolor=#00ffff><a href=\"menubar:menu=%s\">%s</a></td>"
                    "</tr><tr><td></td></tr></table></td>",
                    name, name))
            return false;
        write_text(piece);
        return true;
    }

    bool write_expanded(const char* name, IObjHash* items) {
        char piece[HTML_MENU_PIECE_CAPACITY];
        if (!format(piece, "<td><table><tr><td bgcolor=#00ffff>%s</td></tr><br>", name))
            return false;
        write_text(piece);
        for (const auto& [label, object] : entries_of(items)) {
            ComRef<IString> target;
            if (!object || object->QueryInterface(IID_IString, target.put_void()) < 0) continue;
            const char* href = target->Get();
            if (format(piece, "<tr><td bgcolor=#00ffff><a href=\"%s\">%s</a></td></tr>\n",
                       href ? href : "", label.c_str()))
                write_text(piece);
        }
        write_text("</table></td>");
        return true;
    }

    IObjHash* description_ = nullptr;
    IByteStream* stream_ = nullptr;
    int32_t written_ = 0;
    IObjHash* menus_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_HTMLMenu, nullptr, nullptr, OmCreateComponent<HTMLMenu>, "HTMLMenu"},
};

} // namespace

OM_DEFINE_MODULE(HTMLMenu, classes)
