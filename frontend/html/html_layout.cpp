// HTML layout: the line context, the page and cell layouts, text wrapping, images and the
// alignment pass.
#include "frontend/html/html_layout.h"

#include "framework/core/com_ref.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_pixels.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Longest word the text layout measures; the rest is dropped.
constexpr size_t kLayoutWordLimit = 79;

// Rounds towards minus infinity (an arithmetic shift).
int32_t floor_half(int32_t value) {
    return value >> 1;
}

void remove_box(IObjHash* node) {
    for (const char* key : {"_x", "_y", "_width", "_height"}) {
        if (node->Has(key)) node->Remove(key);
    }
}

OmResult set_box(IObjHash* node, int32_t x, int32_t y, int32_t width, int32_t height) {
    OmResult r = node->SetInt("_x", x);
    if (r >= 0) r = node->SetInt("_y", y);
    if (r >= 0) r = node->SetInt("_width", width);
    if (r >= 0) r = node->SetInt("_height", height);
    return r;
}

OmResult append_marker(ICOMArray* objs, const char* type) {
    ComRef<IObjHash> marker;
    OmResult r = newHtmlNode(type, marker.put());
    if (r >= 0) r = appendHtmlObject(objs, marker.get());
    return r;
}

bool is_one_of(std::string_view type, std::initializer_list<std::string_view> types) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

// The cell layout itself (see layoutHtmlCell).
OmResult lay_out_cell(HtmlLayoutRun& run, IObjHash* cell, int32_t* width, int32_t* height);

} // namespace

HtmlLayoutSpacing HtmlLayoutSpacing::fromSettings(IObjHash* settings) {
    HtmlLayoutSpacing spacing;
    if (!settings) return spacing;
    spacing.wrap = settings->GetInt("wrapspacing", spacing.wrap);
    spacing.br = settings->GetInt("brspacing", spacing.br);
    spacing.paragraph = settings->GetInt("paragraphspacing", spacing.paragraph);
    spacing.alignment = settings->GetInt("alignmentspacing", spacing.alignment);
    spacing.table = settings->GetInt("tablespacing", spacing.table);
    return spacing;
}

HtmlMeasuredFont::HtmlMeasuredFont(IUnknown* object, IFont* font) : object_(object), font_(font) {
    widths_.fill(-1);
    intptr_t height = 0;
    if (font_->GetProperty(OM_FONT_SIZE, &height) >= 0) line_height_ = int32_t(height);
}

int32_t HtmlMeasuredFont::width(unsigned char code) {
    if (code == 0x7F) code = ' ';
    int32_t& slot = widths_[code];
    if (slot < 0) {
        int32_t measured = 0;
        if (font_->GetGlyphWidth(code, nullptr, &measured) < 0 || measured < 0) measured = 0;
        slot = measured;
    }
    return slot;
}

HtmlMeasuredFont* HtmlFontMetrics::measure(IUnknown* font_object) {
    if (!font_object) return nullptr;
    for (const auto& font : fonts_) {
        if (font->object() == font_object) return font.get();
    }
    IFont* font = nullptr;
    if (font_object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)) < 0 || !font) {
        return nullptr;
    }
    // Borrowed: the text node holds the font for the whole run.
    font->Release();
    fonts_.push_back(std::make_unique<HtmlMeasuredFont>(font_object, font));
    return fonts_.back().get();
}

const HtmlCellExtents::Extent* HtmlCellExtents::find(IObjHash* cell, int32_t width,
                                                     int32_t height) const {
    auto found = extents_.find({cell, width, height});
    return found == extents_.end() ? nullptr : &found->second;
}

void HtmlCellExtents::keep(IObjHash* cell, int32_t width, int32_t height, const Extent& extent) {
    extents_[{cell, width, height}] = extent;
}

void OmHtmlLayoutContextInit(HtmlLayoutContext& context, HtmlLayoutRun& run, ICOMArray* owner,
                             int32_t width, int32_t height) {
    context = HtmlLayoutContext{};
    context.width = width;
    context.height = height;
    context.owner = owner;
    context.run = &run;
}

void OmHtmlLayoutContextGetArgs(const HtmlLayoutContext& context, int32_t* width, int32_t* height) {
    *width = context.width;
    *height = context.height;
}

OmResult htmlLayoutNewLine(HtmlLayoutContext& context, int32_t spacing) {
    if (spacing == 0 && context.line_height == 0 && context.line_x == 0) return OM_S_OK;
    ComRef<IObjHash> record;
    OmResult r = newHtmlNode("_br", record.put());
    if (r >= 0) r = record->SetInt("_totalwidth", context.width);
    if (r >= 0) r = record->SetInt("_width", context.line_x);
    if (r >= 0) r = appendHtmlObject(context.owner, record.get());
    context.line_y = htmlPixels(int64_t(context.line_y) + context.line_height + spacing);
    context.line_x = 0;
    context.line_height = 0;
    context.lowest_line_end = std::max(context.lowest_line_end, context.line_y);
    return r;
}

bool htmlLayoutWouldWrap(const HtmlLayoutContext& context, int32_t width) {
    if (context.line_y > context.height) return false;
    if (width > context.width) return false;
    return int64_t(context.line_x) + width > context.width;
}

OmResult htmlLayoutPlace(HtmlLayoutContext& context, int32_t width, int32_t height) {
    if (context.line_y > context.height || width > context.width) return OM_E_FAIL;
    if (htmlLayoutWouldWrap(context, width)) {
        htmlLayoutNewLine(context, context.run->spacing.wrap);
        if (context.line_y > context.height) return OM_E_FAIL;
    }
    context.line_height = std::max(context.line_height, height);
    context.line_x = htmlAddPixels(context.line_x, width);
    context.widest_line = std::max(context.widest_line, context.line_x);
    return OM_S_OK;
}

OmResult htmlLayoutPad(HtmlLayoutContext& context, int32_t width) {
    if (context.line_x == 0) return OM_S_OK;
    return htmlLayoutPlace(context, width, 0);
}

void htmlLayoutGetPos(const HtmlLayoutContext& context, int32_t* x, int32_t* y) {
    *x = context.line_x;
    *y = context.line_y;
}

void htmlLayoutGetExtent(const HtmlLayoutContext& context, int32_t* width, int32_t* height) {
    *width = context.widest_line;
    *height = htmlAddPixels(context.lowest_line_end, context.line_height);
}

OmResult addHtmlFrag(IObjHash* text, int32_t x, int32_t y, int32_t width, int32_t height,
                     IObjHash** out) {
    *out = nullptr;
    ComRef<IObjHash> frag;
    OmResult r = newHtmlNode("frag", frag.put());
    if (r >= 0) r = set_box(frag.get(), x, y, width, height);
    if (r >= 0) r = appendHtmlObject(htmlArrayAt(text, "_frags"), frag.get());
    if (r < 0) return r;
    *out = frag.detach();
    return OM_S_OK;
}

OmResult wrapTextIntoFrags(HtmlLayoutContext& context, IObjHash* text, ICOMArray* objs) {
    HtmlMeasuredFont* font = context.run->metrics.measure(text->Get("_font"));
    if (!font) {
        // Unmeasured text is left out; fragments of an earlier layout must not linger.
        if (text->Has("_frags")) text->Remove("_frags");
        return OM_E_FAIL;
    }
    OmResult r = appendHtmlObject(objs, text);
    if (r >= 0) r = newHtmlArrayAt(text, "_frags");
    if (r < 0) return r;
    const int32_t line_height = font->lineHeight();
    const int32_t blank = font->width(' ');

    int32_t frag_x, frag_y;
    htmlLayoutGetPos(context, &frag_x, &frag_y);
    std::string buffer;
    int32_t frag_width = 0;
    bool buffered = false;
    auto emit = [&]() -> OmResult {
        ComRef<IObjHash> frag;
        OmResult e = addHtmlFrag(text, frag_x, frag_y, frag_width, line_height, frag.put());
        if (e >= 0) e = frag->SetString("_string", buffer.c_str());
        if (e >= 0) e = appendHtmlObject(objs, frag.get());
        return e;
    };

    const std::string_view string = text->GetString("string", "");
    size_t i = 0;
    while (i < string.size()) {
        while (i < string.size() && string[i] == ' ') ++i;
        if (i == string.size()) break;
        const size_t end = std::min(string.find(' ', i), string.size());
        std::string_view word = string.substr(i, std::min(end - i, kLayoutWordLimit));
        i = end;
        // A word wider than the whole line is cut before the character that overflows.
        int32_t word_width = 0;
        for (size_t k = 0; k < word.size(); ++k) {
            const int32_t w = font->width(static_cast<unsigned char>(word[k]));
            if (int64_t(word_width) + w > context.width) {
                word = word.substr(0, k);
                break;
            }
            word_width += w;
        }

        if (!buffered) {
            if (htmlLayoutWouldWrap(context, htmlAddPixels(word_width, blank))) {
                htmlLayoutNewLine(context, context.run->spacing.wrap);
            }
            r = htmlLayoutPlace(context, word_width, line_height);
            if (r < 0) return r;
            // Taken after placing, so that a word the placement moved to a new line has
            // its fragment there too.
            frag_x = htmlPixels(int64_t(context.line_x) - word_width);
            frag_y = context.line_y;
            buffer.assign(word);
            frag_width = word_width;
            buffered = true;
        } else if (!htmlLayoutWouldWrap(context, htmlAddPixels(word_width, blank))) {
            // A word too wide for the line joins the fragment without a wrap.
            (void)htmlLayoutPlace(context, htmlAddPixels(word_width, blank), line_height);
            buffer.push_back(' ');
            buffer.append(word);
            frag_width = htmlPixels(int64_t(frag_width) + word_width + blank);
        } else {
            r = emit();
            if (r < 0) return r;
            htmlLayoutNewLine(context, context.run->spacing.wrap);
            htmlLayoutGetPos(context, &frag_x, &frag_y);
            r = htmlLayoutPlace(context, word_width, line_height);
            if (r < 0) return r;
            buffer.assign(word);
            frag_width = word_width;
        }
    }
    if (buffered) {
        r = emit();
        if (r < 0) return r;
    }
    if (text->GetInt("pad", 0) != 0) (void)htmlLayoutPad(context, blank);
    return OM_S_OK;
}

OmResult layoutHtmlImage(HtmlLayoutContext& context, IObjHash* image, ICOMArray* objs) {
    remove_box(image);
    int32_t width, height;
    if (IObjHash* raster = htmlNodeAt(image, "src")) {
        width = image->GetInt("width", raster->GetInt("width", 0));
        height = image->GetInt("height", raster->GetInt("height", 0));
    } else {
        width = image->GetInt("width", 0);
        height = image->GetInt("height", 0);
    }
    if (htmlLayoutWouldWrap(context, width)) htmlLayoutNewLine(context, context.run->spacing.wrap);
    int32_t x, y;
    htmlLayoutGetPos(context, &x, &y);
    OmResult r = htmlLayoutPlace(context, width, height);
    if (r < 0) return r;
    r = set_box(image, x, y, width, height);
    if (r >= 0) r = appendHtmlObject(objs, image);
    return r;
}

OmResult layoutHtmlTable(HtmlLayoutContext& context, IObjHash* table, ICOMArray* objs) {
    HtmlLayoutRun& run = *context.run;
    if (run.table_depth >= HTML_MOST_NESTED_TABLES) {
        remove_box(table);
        return OM_E_FAIL;
    }
    int32_t width, height;
    OmHtmlLayoutContextGetArgs(context, &width, &height);
    ++run.table_depth;
    OmResult r = sizeHtmlTable(context, table, &width, &height);
    --run.table_depth;
    if (r < 0) {
        remove_box(table);
        return r;
    }
    htmlLayoutNewLine(context, context.run->spacing.table);
    int32_t x, y;
    htmlLayoutGetPos(context, &x, &y);
    if (htmlLayoutPlace(context, width, height) < 0) {
        remove_box(table);
        return OM_E_FAIL;
    }
    r = set_box(table, x, y, width, height);
    if (r >= 0) r = appendHtmlObject(objs, table);
    if (r < 0) return r;
    return htmlLayoutNewLine(context, context.run->spacing.table);
}

OmResult layoutHtmlCell(HtmlLayoutRun& run, IObjHash* cell, int32_t* width, int32_t* height) {
    if (!cell || !htmlNodeIs(cell, "cell")) return OM_E_FAIL;
    const int32_t given_width = *width, given_height = *height;
    if (run.measuring) {
        if (const HtmlCellExtents::Extent* known = run.extents.find(cell, *width, *height)) {
            *width = known->width;
            *height = known->height;
            return known->result;
        }
    }
    const OmResult r = lay_out_cell(run, cell, width, height);
    run.extents.keep(cell, given_width, given_height, {r, *width, *height});
    return r;
}

namespace {

OmResult lay_out_cell(HtmlLayoutRun& run, IObjHash* cell, int32_t* width, int32_t* height) {
    ICOMArray* laid_out = nullptr;
    OmResult r = newHtmlArrayAt(cell, "_objs", &laid_out);
    if (r < 0) return r;
    HtmlLayoutContext context;
    OmHtmlLayoutContextInit(context, run, laid_out, *width, *height);
    const HtmlLayoutSpacing& spacing = run.spacing;

    ICOMArray* objs = htmlArrayAt(cell, "objs");
    const int32_t count = objs ? objs->Count() : 0;
    for (int32_t i = 0; i < count; ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (!node) continue;
        const std::string_view type = htmlNodeType(node);
        if (type == "br") {
            htmlLayoutNewLine(context, spacing.br);
        } else if (type == "p") {
            htmlLayoutNewLine(context, spacing.paragraph);
        } else if (is_one_of(type, {"left", "center", "right", "top", "middle", "bottom"})) {
            htmlLayoutNewLine(context, spacing.alignment);
            appendHtmlObject(laid_out, node);
        } else if (is_one_of(type, {"/left", "/center", "/right", "/top", "/middle", "/bottom"})) {
            htmlLayoutNewLine(context, spacing.alignment);
            append_marker(laid_out, "left");
        } else if (type == "text") {
            (void)wrapTextIntoFrags(context, node, laid_out);
        } else if (type == "image") {
            (void)layoutHtmlImage(context, node, laid_out);
        } else if (type == "table") {
            (void)layoutHtmlTable(context, node, laid_out);
        }
    }
    htmlLayoutNewLine(context, 0);
    htmlLayoutGetExtent(context, width, height);
    alignHtmlCellLines(cell, *height);
    return OM_S_OK;
}

} // namespace

OmResult layoutHtmlDocument(IObjHash* root, IObjHash* settings, const OmRect* rect) {
    IObjHash* cell = htmlNodeAt(root, "cell");
    if (!cell) return OM_E_FAIL;
    int32_t width = rect ? rect->width : HTML_DEFAULT_PAGE_WIDTH;
    int32_t height = rect ? rect->height : HTML_DEFAULT_PAGE_HEIGHT;
    HtmlLayoutRun run;
    run.spacing = HtmlLayoutSpacing::fromSettings(settings);
    OmResult r = cell->SetInt("_totalwidth", width);
    if (r >= 0) r = cell->SetInt("_totalheight", height);
    if (r < 0) return r;
    r = layoutHtmlCell(run, cell, &width, &height);
    if (r < 0) return r;
    r = cell->SetInt("_width", width);
    if (r >= 0) r = cell->SetInt("_height", height);
    return r;
}

void alignHtmlCellLines(IObjHash* cell, int32_t content_height) {
    ICOMArray* objs = htmlArrayAt(cell, "_objs");
    if (!objs) return;
    enum class Mode { left, center, right } mode = Mode::left;
    int32_t vertical = 0, horizontal = 0;
    const int32_t count = objs->Count();
    int32_t i = 0;
    while (i < count) {
        IObjHash* node = htmlArrayNode(objs, i);
        const std::string_view type = htmlNodeType(node);
        if (type == "left" || type == "center" || type == "right") {
            mode = type == "left" ? Mode::left : type == "center" ? Mode::center : Mode::right;
            ++i;
            continue;
        }
        if (type == "_br") {
            ++i;
            continue;
        }
        if (type == "top") {
            vertical = 0;
        } else if (type == "middle") {
            vertical = htmlPixels((int64_t(cell->GetInt("_height", 0)) - content_height) / 2);
        } else if (type == "bottom") {
            vertical = htmlPixels(int64_t(cell->GetInt("_height", 0)) - content_height);
        }
        // This entry starts a line that runs up to the next line-end record.
        int32_t end = i;
        while (end < count && !htmlNodeIs(htmlArrayNode(objs, end), "_br")) ++end;
        if (end < count) {
            IObjHash* record = htmlArrayNode(objs, end);
            const int32_t spare =
                htmlPixels(int64_t(record->GetInt("_totalwidth", 0)) - record->GetInt("_width", 0));
            horizontal = mode == Mode::left ? 0 : mode == Mode::right ? spare : floor_half(spare);
        }
        for (int32_t k = i; k < end; ++k) {
            IObjHash* item = htmlArrayNode(objs, k);
            if (!item) continue;
            if (item->Has("_x"))
                item->SetInt("_x", htmlAddPixels(item->GetInt("_x", 0), horizontal));
            if (item->Has("_y")) item->SetInt("_y", htmlAddPixels(item->GetInt("_y", 0), vertical));
        }
        i = end + 1;
    }
}
