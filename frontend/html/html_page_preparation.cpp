// Font and picture preparation of new pages for the drawing browsers.
#include "frontend/html/html_page_preparation.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "frontend/html/html_document.h"

#include <cstring>

namespace {

constexpr char default_descriptor_face[] = "default";
constexpr char default_font_face[] = "arial";
constexpr int32_t default_font_size = 3;

struct ImageWalk {
    const HtmlImageSource* source;
    OmResult result;
};

// Loads the entry's picture and makes its raster; failures leave the entry empty.
void load_entry(const HtmlImageSource& source, IObjHash* entry, const char* src) {
    if (htmlHasUrlScheme(src)) return;
    std::string path = source.base_directory ? source.base_directory : "";
    for (const char* c = src; *c; ++c) {
        if (*c != '"') path += *c;
    }
    ComRef<IRasterCreate> description;
    if (source.image_proc->CreateRasterDescription(nullptr, IID_IRasterCreate,
                                                   description.put_void()) < 0)
        return;
    ComRef<IRaster> picture;
    if (source.image_proc->LoadRaster(source.storage, path.c_str(), description.get(),
                                      picture.put()) < 0 ||
        !picture)
        return;
    entry->SetInt("width", int32_t(picture->GetWidth()));
    entry->SetInt("height", int32_t(picture->GetHeight()));
    ComRef<IRaster> raster;
    if (source.maker->make(picture.get(), raster.put()) < 0 || !raster) return;
    setHtmlObject(entry, "_raster", raster.get());
}

OmResult prepare_image_node(const HtmlImageSource& source, IObjHash* image) {
    if (image->Get("_raster")) return OM_S_OK;
    const char* src = image->GetString("src", "");
    IObjHash* entry = htmlNodeAt(source.image_table, src);
    if (!entry) {
        ComRef<IObjHash> fresh;
        OmResult r = OmCreateObjHash(nullptr, fresh.put());
        if (r < 0) return r;
        if ((r = setHtmlObject(source.image_table, src, fresh.get())) < 0) return r;
        entry = fresh.get();
        load_entry(source, entry, src);
    }
    if (entry->Has("width")) image->SetInt("width", entry->GetInt("width", 0));
    if (entry->Has("height")) image->SetInt("height", entry->GetInt("height", 0));
    if (IUnknown* raster = entry->Get("_raster")) setHtmlObject(image, "_raster", raster);
    return OM_S_OK;
}

OmResult image_entry(const char*, IUnknown* object, void* context) {
    auto* walk = static_cast<ImageWalk*>(context);
    ComRef<IObjHash> image;
    if (!object || object->QueryInterface(IID_IObjHash, image.put_void()) < 0) return OM_S_OK;
    OmResult r = prepare_image_node(*walk->source, image.get());
    if (r < 0) walk->result = r;
    return OM_S_OK;
}

// Tables nest only as deep as the parser lets them; the bound guards a cyclic tree.
constexpr int max_depth = 64;

OmResult prepare_node_images(const HtmlImageSource& source, IObjHash* node, int depth) {
    if (depth > max_depth) return OM_S_OK;
    if (IObjHash* images = htmlNodeAt(node, "images")) {
        ImageWalk walk{&source, OM_S_OK};
        images->ForEach(image_entry, &walk);
        if (walk.result < 0) return walk.result;
    }
    ICOMArray* objs = htmlArrayAt(node, "objs");
    const int32_t count = objs ? objs->Count() : 0;
    for (int32_t i = 0; i < count; ++i) {
        IObjHash* table = htmlArrayNode(objs, i);
        if (!htmlNodeIs(table, "table")) continue;
        ICOMArray* rows = htmlArrayAt(table, "rows");
        const int32_t row_count = rows ? rows->Count() : 0;
        for (int32_t row = 0; row < row_count; ++row) {
            ICOMArray* cells = htmlArrayAt(htmlArrayNode(rows, row), "cells");
            const int32_t cell_count = cells ? cells->Count() : 0;
            for (int32_t c = 0; c < cell_count; ++c) {
                IObjHash* cell = htmlArrayNode(cells, c);
                if (!cell) continue;
                OmResult r = prepare_node_images(source, cell, depth + 1);
                if (r < 0) return r;
            }
        }
    }
    return OM_S_OK;
}

} // namespace

std::string htmlFontDescriptor(IObjHash* text) {
    IObjHash* font = htmlNodeAt(text, "font");
    std::string descriptor =
        font ? font->GetString("face", default_descriptor_face) : default_descriptor_face;
    for (const char* flag : {"bold", "italic", "underlined"}) {
        descriptor += '|';
        descriptor += char('0' + text->GetInt(flag, 0));
    }
    descriptor += '|';
    descriptor +=
        std::to_string(font ? font->GetInt("size", default_font_size) : default_font_size);
    return descriptor;
}

OmResult prepareHtmlTextFont(const HtmlFontRequest& request, IObjHash* text,
                             const std::string& descriptor) {
    IObjHash* node = htmlNodeAt(text, "font");
    const int32_t size = node ? node->GetInt("size", default_font_size) : default_font_size;
    const int32_t height = htmlFontPixelHeight(size);
    if (node) node->SetInt("height", height);
    IUnknown* font = request.font_table->Get(descriptor.c_str());
    if (!font) {
        ComRef<IFont> made;
        OmResult r = OmCreate(CLSID_Win32TrueTypeFont, IID_IFont, made.put());
        if (r < 0) return r;
        made->SetProperty(OM_FONT_SIZE, height);
        made->SetProperty(OM_FONT_BOLD, text->GetInt("bold", 0));
        made->SetProperty(OM_FONT_ITALIC, text->GetInt("italic", 0));
        made->SetProperty(OM_FONT_UNDERLINE, text->GetInt("underlined", 0));
        const char* face = node ? node->GetString("face", default_font_face) : default_font_face;
        made->SetProperty(OM_FONT_FACE, reinterpret_cast<intptr_t>(face));
        if (request.smoothing) made->SetProperty(OM_FONT_SMOOTHING, 1);
        if ((r = setHtmlObject(request.font_table, descriptor.c_str(), made.get())) < 0) return r;
        font = made.get();
    }
    return setHtmlObject(text, "_font", font);
}

bool htmlHasUrlScheme(const char* src) {
    const char* colon = std::strchr(src, ':');
    return colon && colon != src;
}

OmResult prepareHtmlImages(const HtmlImageSource& source, IObjHash* root) {
    return prepare_node_images(source, root, 0);
}
