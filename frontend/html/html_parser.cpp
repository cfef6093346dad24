// HTML parser: the document root, the top level, head and body, cell content, text runs,
// inline tags, images, fonts, links and tables.
#include "frontend/html/html_parser.h"

#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/core/text_parse.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_tokenizer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Word buffer sizes of the parser steps (characters including the terminator).
constexpr size_t kTopWord = 40;
constexpr size_t kBodyWord = 40;
constexpr size_t kCellWord = 256;
constexpr size_t kTagName = 20;
constexpr size_t kImageWord = 80;
constexpr size_t kFontWord = 80;
constexpr size_t kLinkWord = 128;
constexpr size_t kTableWord = 40;
constexpr size_t kNumberWord = 20;
constexpr size_t kSizeWord = 10;
constexpr size_t kFaceLimit = 29;
constexpr size_t kStringWord = 128;

std::string without_quotes(std::string_view text) {
    std::string result;
    for (char c : text) {
        if (c != '"') result.push_back(c);
    }
    return result;
}

// Leading digits with an optional sign; 50% gives 50, no digits 0.
int32_t leading_integer(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return int32_t(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// Replaces the entities the pages use; any other ampersand stays as written.
std::string replace_entities(const std::string& word) {
    static constexpr struct {
        const char* name;
        char replacement;
    } kEntities[] = {
        {"&nbsp;", '\x7F'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
    if (word.find('&') == std::string::npos) return word;
    std::string result;
    for (size_t i = 0; i < word.size();) {
        bool replaced = false;
        if (word[i] == '&') {
            for (const auto& entity : kEntities) {
                const size_t length = std::strlen(entity.name);
                if (word.size() - i >= length &&
                    htmlLower(std::string_view(word).substr(i, length)) == entity.name) {
                    result.push_back(entity.replacement);
                    i += length;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) result.push_back(word[i++]);
    }
    return result;
}

class HtmlParser {
public:
    HtmlParser(IByteStream* stream, IObjHash* root) : tokens_(stream), root_(root) {}

    OmResult parseHtmlTopLevel();

private:
    OmResult parseHtmlHead();
    OmResult parseHtmlBodyAttributes();
    OmResult parseHtmlCellContent(IObjHash* cell);
    OmResult parseHtmlText(IObjHash* cell);
    OmResult parseHtmlInlineTag(IObjHash* cell);
    OmResult parseHtmlImage(IObjHash* cell);
    OmResult parseHtmlFontTag();
    OmResult parseHtmlLink();
    OmResult parseHtmlTable(IObjHash* cell);
    OmResult parseHtmlRow(IObjHash* table);
    OmResult parseHtmlCell(IObjHash* row);
    OmResult parseHtmlIntAttribute(IObjHash* node, const char* name);
    OmResult parseHtmlColourAttribute(IObjHash* node, const char* name);
    OmResult parseHtmlStringAttribute(IObjHash* node, const char* name, bool keep_quotes);
    OmResult parseHtmlRasterAttribute(IObjHash* node, const char* name, size_t size);
    OmResult addMarker(IObjHash* cell, const char* type);

    HtmlTokenizer tokens_;
    IObjHash* root_;
};

OmResult HtmlParser::parseHtmlTopLevel() {
    std::string word;
    for (;;) {
        OmResult r = tokens_.nextHtmlToken(word, kTopWord);
        if (r < 0) return r;
        if (word != "<") continue;
        r = tokens_.nextHtmlToken(word, kTopWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == "head") {
            r = parseHtmlHead();
            if (r < 0) return r;
        } else if (name == "body") {
            r = parseHtmlBodyAttributes();
            if (r < 0) return r;
            return parseHtmlCellContent(htmlNodeAt(root_, "cell"));
        }
    }
}

OmResult HtmlParser::parseHtmlHead() {
    IObjHash* properties = htmlNodeAt(root_, "pageproperties");
    std::string word;
    for (;;) {
        OmResult r = tokens_.nextHtmlToken(word, kStringWord);
        if (r < 0) return r;
        if (word != "<") continue;
        r = tokens_.nextHtmlToken(word, kStringWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        r = tokens_.skipHtmlToToken(">");
        if (r < 0) return r;
        if (!name.empty() && name[0] == '/') {
            if (name == "/head") return OM_S_OK;
            continue;
        }
        r = tokens_.nextHtmlToken(word, kStringWord);
        if (r < 0) return r;
        if (word != "<" && properties) {
            ComRef<IString> value;
            r = OmNewString(word.c_str(), value.put());
            if (r >= 0) r = setHtmlObject(properties, name.c_str(), value.get());
            if (r < 0) return r;
        }
        r = tokens_.skipHtmlToToken(">");
        if (r < 0) return r;
    }
}

OmResult HtmlParser::parseHtmlBodyAttributes() {
    std::string word;
    for (;;) {
        OmResult r = tokens_.nextHtmlToken(word, kBodyWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == ">") return OM_S_OK;
        if (name == "bgcolor" || name == "text" || name == "link" || name == "vlink" ||
            name == "alink") {
            r = parseHtmlColourAttribute(root_, name.c_str());
            if (r == OM_E_ENDOFSTREAM) return r;
        } else if (name == "background" || name == "backgroundstretch") {
            r = parseHtmlRasterAttribute(root_, name.c_str(), kBodyWord);
            if (r == OM_E_ENDOFSTREAM) return r;
        }
    }
}

OmResult HtmlParser::parseHtmlCellContent(IObjHash* cell) {
    std::string word;
    for (;;) {
        OmResult r = tokens_.nextHtmlToken(word, kCellWord);
        if (r < 0) return r;
        if (word != "<") {
            tokens_.pushBackHtmlToken(word);
            r = parseHtmlText(cell);
            if (r < 0) return r;
            continue;
        }
        r = tokens_.nextHtmlToken(word, kCellWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == "table") {
            r = parseHtmlTable(cell);
            if (r < 0) return r;
        } else if (name == "/body" || name == "/td" || name == "/th") {
            return tokens_.skipHtmlToToken(">");
        } else if (name == "/tr") {
            tokens_.pushBackHtmlToken("/tr");
            tokens_.pushBackHtmlToken("<");
            return OM_S_OK;
        } else if (name == "/table") {
            // Supplies a missing </tr> before </table>.
            for (const char* w : {"/table", "<", ">", "/tr", "<"}) tokens_.pushBackHtmlToken(w);
            return OM_S_OK;
        } else {
            tokens_.pushBackHtmlToken(word);
            r = parseHtmlInlineTag(cell);
            if (r < 0) return r;
        }
    }
}

OmResult HtmlParser::parseHtmlText(IObjHash* cell) {
    std::string text, word;
    bool first = true;
    for (;;) {
        if (tokens_.nextHtmlToken(word, kCellWord) < 0) break;
        if (word == "<") {
            tokens_.pushBackHtmlToken(word);
            break;
        }
        if (!first) text.push_back(' ');
        text += replace_entities(word);
        first = false;
    }
    const bool visible = std::any_of(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) > 0x20; });
    if (!visible) return OM_S_OK;
    ComRef<IObjHash> node;
    ComRef<IString> string;
    OmResult r = newHtmlNode("text", node.put());
    if (r >= 0) r = node->SetInt("italic", root_->GetInt("italic", 0));
    if (r >= 0) r = node->SetInt("bold", root_->GetInt("bold", 0));
    if (r >= 0) r = node->SetInt("underlined", root_->GetInt("underlined", 0));
    if (r >= 0) r = node->SetInt("pad", root_->GetInt("pad", 1));
    if (r >= 0) {
        ICOMArray* stack = htmlArrayAt(root_, "fontstack");
        IObjHash* font = stack ? htmlArrayNode(stack, stack->Count() - 1) : nullptr;
        r = setHtmlObject(node.get(), "font", font);
    }
    if (r >= 0) r = OmNewString(text.c_str(), string.put());
    if (r >= 0) r = setHtmlObject(node.get(), "string", string.get());
    if (r >= 0) r = addHtmlObject(root_, cell, node.get());
    if (r >= 0) r = addHtmlObjectToLink(root_, node.get());
    return r;
}

OmResult HtmlParser::addMarker(IObjHash* cell, const char* type) {
    ComRef<IObjHash> marker;
    OmResult r = newHtmlNode(type, marker.put());
    if (r >= 0) r = addHtmlObject(root_, cell, marker.get());
    return r;
}

OmResult HtmlParser::parseHtmlInlineTag(IObjHash* cell) {
    std::string word;
    OmResult r = tokens_.nextHtmlToken(word, kTagName);
    if (r < 0) return r;
    const std::string name = htmlLower(word);
    if (name == "img") return parseHtmlImage(cell);
    if (name == "font") return parseHtmlFontTag();
    if (name == "a") return parseHtmlLink();
    if (name == "br" || name == "center" || name == "/center" || name == "p") {
        r = tokens_.skipHtmlToToken(">");
        if (r < 0) return r;
        return addMarker(cell, name.c_str());
    }
    static constexpr struct {
        const char* tag;
        const char* key;
        int32_t value;
    } kStyles[] = {{"b", "bold", 1},    {"/b", "bold", 0},      {"i", "italic", 1},
                   {"/i", "italic", 0}, {"u", "underlined", 1}, {"/u", "underlined", 0},
                   {"nopad", "pad", 0}, {"/nopad", "pad", 1}};
    for (const auto& style : kStyles) {
        if (name == style.tag) {
            r = root_->SetInt(style.key, style.value);
            if (r < 0) return r;
        }
    }
    if (name == "/font") {
        ICOMArray* stack = htmlArrayAt(root_, "fontstack");
        if (stack && stack->Count() > 1) stack->RemoveAt(stack->Count() - 1);
    } else if (name == "/a") {
        r = root_->Set("curlink", nullptr);
        if (r < 0) return r;
    }
    return tokens_.skipHtmlToToken(">");
}

OmResult HtmlParser::parseHtmlRasterAttribute(IObjHash* node, const char* name, size_t size) {
    OmResult r = tokens_.expectHtmlToken("=");
    if (r < 0) return r;
    std::string value;
    r = tokens_.nextHtmlToken(value, size);
    if (r < 0) return r;
    ComRef<IObjHash> raster;
    r = getHtmlRaster(root_, value.c_str(), raster.put());
    if (r >= 0) r = setHtmlObject(node, name, raster.get());
    return r;
}

OmResult HtmlParser::parseHtmlImage(IObjHash* cell) {
    ComRef<IObjHash> image;
    OmResult r = newHtmlNode("image", image.put());
    if (r >= 0) r = addHtmlObject(root_, cell, image.get());
    if (r >= 0) r = addHtmlObjectToLink(root_, image.get());
    if (r < 0) return r;
    std::string word;
    for (;;) {
        r = tokens_.nextHtmlToken(word, kImageWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == ">") return OM_S_OK;
        if (name == "src" || name == "rolloversrc") {
            r = parseHtmlRasterAttribute(image.get(), name.c_str(), kImageWord);
        } else if (name == "border" || name == "width" || name == "height") {
            r = parseHtmlIntAttribute(image.get(), name.c_str());
        }
        if (r < 0) return r;
    }
}

OmResult HtmlParser::parseHtmlIntAttribute(IObjHash* node, const char* name) {
    OmResult r = tokens_.expectHtmlToken("=");
    if (r < 0) return r;
    std::string value;
    r = tokens_.nextHtmlToken(value, kNumberWord);
    if (r < 0) return r;
    return node->SetInt(name, leading_integer(without_quotes(value)));
}

OmResult HtmlParser::parseHtmlColourAttribute(IObjHash* node, const char* name) {
    OmResult r = tokens_.expectHtmlToken("=");
    if (r < 0) return r;
    std::string value;
    r = tokens_.nextHtmlToken(value, kNumberWord);
    if (r < 0) return r;
    std::string digits;
    if (!value.empty() && value[0] == '"') {
        for (char c : value) {
            if (c != '"' && c != '#' && c != ' ') digits.push_back(c);
        }
    } else if (value == "#") {
        r = tokens_.nextHtmlToken(digits, kNumberWord);
        if (r < 0) return r;
    } else {
        // Colour names are not recognised.
        return OM_E_FAIL;
    }
    digits.resize(std::min<size_t>(digits.size(), 6));
    char six[7] = "000000";
    std::memcpy(six + 6 - digits.size(), digits.data(), digits.size());
    const uint32_t colour = 0xFF000000u | uint32_t(OmHexToByte(six)) << 16 |
                            uint32_t(OmHexToByte(six + 2)) << 8 | OmHexToByte(six + 4);
    return node->SetInt(name, int32_t(colour));
}

OmResult HtmlParser::parseHtmlStringAttribute(IObjHash* node, const char* name, bool keep_quotes) {
    OmResult r = tokens_.expectHtmlToken("=");
    if (r < 0) return r;
    std::string value;
    r = tokens_.nextHtmlToken(value, kStringWord);
    if (r < 0) return r;
    return node->SetString(name, keep_quotes ? value.c_str() : without_quotes(value).c_str());
}

OmResult HtmlParser::parseHtmlFontTag() {
    ICOMArray* stack = htmlArrayAt(root_, "fontstack");
    if (!stack) return OM_E_FAIL;
    ComRef<IObjHash> font;
    OmResult r = newHtmlFont(htmlArrayNode(stack, stack->Count() - 1), font.put());
    if (r < 0) return r;
    std::string word;
    for (;;) {
        // The tag still succeeds when the text ends inside it; nothing is pushed.
        if (tokens_.nextHtmlToken(word, kFontWord) < 0) return OM_S_OK;
        const std::string name = htmlLower(word);
        if (name == ">") return appendHtmlObject(stack, font.get());
        if (name == "face") {
            r = tokens_.expectHtmlToken("=");
            if (r >= 0) r = tokens_.nextHtmlToken(word, kFontWord);
            if (r < 0) return r == OM_E_ENDOFSTREAM ? OM_S_OK : r;
            std::string face = without_quotes(word);
            face = face.substr(0, std::min(face.find(','), kFaceLimit));
            r = font->SetString("face", face.c_str());
        } else if (name == "color") {
            if (parseHtmlColourAttribute(font.get(), "color") == OM_E_ENDOFSTREAM) return OM_S_OK;
        } else if (name == "size") {
            r = tokens_.expectHtmlToken("=");
            if (r >= 0) r = tokens_.nextHtmlToken(word, kSizeWord);
            if (r < 0) return r == OM_E_ENDOFSTREAM ? OM_S_OK : r;
            const std::string value = without_quotes(word);
            int32_t size = leading_integer(value);
            if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
                size = std::clamp(font->GetInt("size", 3) + size, 1, 7);
            }
            r = font->SetInt("size", size);
        }
        if (r < 0) return r;
    }
}

OmResult HtmlParser::parseHtmlLink() {
    ComRef<IObjHash> link;
    OmResult r = newHtmlNode("link", link.put());
    if (r >= 0) r = newHtmlArrayAt(link.get(), "objs");
    if (r >= 0) r = appendHtmlObject(htmlArrayAt(root_, "links"), link.get());
    if (r < 0) return r;
    std::string word;
    for (;;) {
        r = tokens_.nextHtmlToken(word, kLinkWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == ">") return setHtmlObject(root_, "curlink", link.get());
        if (name == "href" || name == "target") {
            r = parseHtmlStringAttribute(link.get(), name.c_str(), false);
        } else if (name == "rolloverreplacefrom" || name == "rolloverreplaceto") {
            r = parseHtmlStringAttribute(link.get(), name.c_str(), true);
        }
        if (r < 0) return r;
    }
}

OmResult HtmlParser::parseHtmlTable(IObjHash* cell) {
    ComRef<IObjHash> table;
    OmResult r = newHtmlNode("table", table.put());
    if (r >= 0) r = newHtmlArrayAt(table.get(), "rows");
    if (r >= 0) r = addHtmlObject(root_, cell, table.get());
    if (r < 0) return r;
    std::string word;
    for (;;) {
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == ">") break;
        if (name == "width" || name == "height" || name == "border" || name == "cellpadding" ||
            name == "cellspacing") {
            r = parseHtmlIntAttribute(table.get(), name.c_str());
            if (r < 0) return r;
        }
    }
    for (;;) {
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        if (word != "<") continue;
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == "tr") {
            r = parseHtmlRow(table.get());
            if (r < 0) return r;
        } else if (name == "/table") {
            return tokens_.skipHtmlToToken(">");
        }
    }
}

OmResult HtmlParser::parseHtmlRow(IObjHash* table) {
    ComRef<IObjHash> row;
    OmResult r = newHtmlNode("row", row.put());
    if (r >= 0) r = newHtmlArrayAt(row.get(), "cells");
    if (r >= 0) r = appendHtmlObject(htmlArrayAt(table, "rows"), row.get());
    if (r >= 0) r = tokens_.skipHtmlToToken(">");
    if (r < 0) return r;
    std::string word;
    for (;;) {
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        if (word != "<") continue;
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == "td" || name == "th") {
            r = parseHtmlCell(row.get());
            if (r < 0) return r;
        } else if (name == "/table") {
            tokens_.pushBackHtmlToken("/table");
            tokens_.pushBackHtmlToken("<");
            return OM_S_OK;
        } else if (name == "/tr") {
            return tokens_.skipHtmlToToken(">");
        }
    }
}

OmResult HtmlParser::parseHtmlCell(IObjHash* row) {
    static constexpr const char* kAlignments[] = {"left", "center", "right",  "justify",
                                                  "top",  "middle", "bottom", "baseline"};
    ComRef<IObjHash> cell;
    OmResult r = newHtmlCell(cell.put());
    if (r >= 0) r = appendHtmlObject(htmlArrayAt(row, "cells"), cell.get());
    if (r < 0) return r;
    std::string word;
    for (;;) {
        r = tokens_.nextHtmlToken(word, kTableWord);
        if (r < 0) return r;
        const std::string name = htmlLower(word);
        if (name == ">") break;
        if (name == "width" || name == "height") {
            r = parseHtmlIntAttribute(cell.get(), name.c_str());
        } else if (name == "bgcolor") {
            r = parseHtmlColourAttribute(cell.get(), "bgcolor");
        } else if (name == "background" || name == "backgroundstretch") {
            r = parseHtmlRasterAttribute(cell.get(), name.c_str(), kTableWord);
        } else if (name == "align" || name == "valign") {
            r = tokens_.expectHtmlToken("=");
            if (r >= 0) r = tokens_.nextHtmlToken(word, kTableWord);
            if (r >= 0) {
                const std::string value = without_quotes(word);
                for (const char* alignment : kAlignments) {
                    if (value == alignment) r = addMarker(cell.get(), alignment);
                }
            }
        }
        if (r < 0) return r;
    }
    return parseHtmlCellContent(cell.get());
}

// Builds the root with every part the later stages expect.
OmResult newHtmlRoot(IObjHash** out) {
    ComRef<IObjHash> root;
    OmResult r = newHtmlNode("display", root.put());
    if (r >= 0) r = root->SetInt("selected", -1);
    if (r >= 0) r = newHtmlArrayAt(root.get(), "links");
    if (r >= 0) r = root->Set("curlink", nullptr);
    ICOMArray* fonts = nullptr;
    if (r >= 0) r = newHtmlArrayAt(root.get(), "fonts", &fonts);
    ComRef<IObjHash> table;
    if (r >= 0) r = OmCreateObjHash(nullptr, table.put());
    if (r >= 0) r = setHtmlObject(root.get(), "images", table.get());
    if (r >= 0) r = newHtmlArrayAt(root.get(), "clickboxes");
    if (r >= 0) r = newHtmlArrayAt(root.get(), "objs");
    ComRef<IObjHash> cell;
    if (r >= 0) r = newHtmlCell(cell.put());
    if (r >= 0) r = setHtmlObject(root.get(), "cell", cell.get());
    ComRef<IObjHash> font;
    if (r >= 0) r = newHtmlFont(nullptr, font.put());
    if (r >= 0) r = appendHtmlObject(fonts, font.get());
    ICOMArray* stack = nullptr;
    if (r >= 0) r = newHtmlArrayAt(root.get(), "fontstack", &stack);
    if (r >= 0) r = appendHtmlObject(stack, font.get());
    if (r >= 0) r = root->SetInt("italic", 0);
    if (r >= 0) r = root->SetInt("bold", 0);
    if (r >= 0) r = root->SetInt("underlined", 0);
    if (r >= 0) r = root->SetInt("pad", 1);
    ComRef<IObjHash> properties;
    if (r >= 0) r = OmCreateObjHash(nullptr, properties.put());
    if (r >= 0) r = setHtmlObject(root.get(), "pageproperties", properties.get());
    *out = r >= 0 ? root.detach() : nullptr;
    return r;
}

} // namespace

OmResult parseHtmlDocument(IByteStream* stream, IObjHash** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!stream) return OM_E_FAIL;
    ComRef<IObjHash> root;
    OmResult r = newHtmlRoot(root.put());
    if (r < 0) return r;
    {
        HtmlParser parser(stream, root.get());
        // The page keeps whatever was parsed before the text ended or an attribute failed.
        (void)parser.parseHtmlTopLevel();
    }
    *out = root.detach();
    return OM_S_OK;
}
