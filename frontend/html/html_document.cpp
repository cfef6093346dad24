// Node operations of the HTML document tree.
#include "frontend/html/html_document.h"

#include "framework/containers/values.h"
#include "framework/core/com_ref.h"

#include <cstring>

IObjHash* htmlNodeAt(IObjHash* node, const char* key) {
    return node ? htmlBorrow<IObjHash>(node->Get(key), IID_IObjHash) : nullptr;
}

ICOMArray* htmlArrayAt(IObjHash* node, const char* key) {
    return node ? htmlBorrow<ICOMArray>(node->Get(key), IID_ICOMArray) : nullptr;
}

IObjHash* htmlArrayNode(ICOMArray* array, int32_t index) {
    return array ? htmlBorrow<IObjHash>(array->GetAt(index), IID_IObjHash) : nullptr;
}

const char* htmlNodeType(IObjHash* node) {
    return node ? node->GetString("type", "") : "";
}

bool htmlNodeIs(IObjHash* node, const char* type) {
    return std::strcmp(htmlNodeType(node), type) == 0;
}

bool htmlArrayHolds(ICOMArray* array, IUnknown* object) {
    if (!array || !object) return false;
    // Compare identities, so that any interface of the same object matches.
    ComRef<IUnknown> wanted;
    if (object->QueryInterface(IID_IUnknown, wanted.put_void()) < 0) return false;
    const int32_t count = array->Count();
    for (int32_t i = 0; i < count; ++i) {
        IUnknown* element = array->GetAt(i);
        if (element == object || element == wanted.get()) return true;
        if (!element) continue;
        ComRef<IUnknown> identity;
        if (element->QueryInterface(IID_IUnknown, identity.put_void()) >= 0 &&
            identity.get() == wanted.get()) {
            return true;
        }
    }
    return false;
}

OmResult newHtmlNode(const char* type, IObjHash** out) {
    *out = nullptr;
    ComRef<IObjHash> node;
    OmResult r = OmCreateObjHash(nullptr, node.put());
    if (r < 0) return r;
    r = node->SetString("type", type);
    if (r < 0) return r;
    *out = node.detach();
    return OM_S_OK;
}

OmResult setHtmlObject(IObjHash* node, const char* key, IUnknown* object) {
    // The table keeps an object stored again under its key as it is, without taking the new
    // reference (a repeated attribute such as two equal backgrounds).
    if (object && node->Get(key) == object) return OM_S_OK;
    if (object) object->AddRef();
    OmResult r = node->Set(key, object);
    if (r < 0 && object) object->Release();
    return r;
}

OmResult newHtmlArrayAt(IObjHash* node, const char* key, ICOMArray** borrowed) {
    ComRef<ICOMArray> array;
    OmResult r = OmNewCOMArray(array.put());
    if (r < 0) return r;
    r = setHtmlObject(node, key, array.get());
    if (r < 0) return r;
    if (borrowed) *borrowed = array.get();
    return OM_S_OK;
}

OmResult appendHtmlObject(ICOMArray* array, IUnknown* object) {
    if (!array) return OM_E_FAIL;
    if (object) object->AddRef();
    int32_t index = array->Append(object);
    if (index < 0) {
        if (object) object->Release();
        return index;
    }
    return OM_S_OK;
}

OmResult newHtmlCell(IObjHash** out) {
    ComRef<IObjHash> cell;
    OmResult r = newHtmlNode("cell", cell.put());
    if (r >= 0) r = newHtmlArrayAt(cell.get(), "objs");
    *out = r >= 0 ? cell.detach() : nullptr;
    return r;
}

OmResult newHtmlFont(IObjHash* base, IObjHash** out) {
    ComRef<IObjHash> font;
    OmResult r = newHtmlNode("font", font.put());
    if (r >= 0) r = font->SetString("face", base ? base->GetString("face", "arial") : "arial");
    if (r >= 0) r = font->SetInt("size", base ? base->GetInt("size", 3) : 3);
    if (r >= 0) {
        r = font->SetInt("color", base ? base->GetInt("color", HTML_NO_COLOUR) : HTML_NO_COLOUR);
    }
    *out = r >= 0 ? font.detach() : nullptr;
    return r;
}

OmResult addHtmlObject(IObjHash* root, IObjHash* cell, IObjHash* object) {
    OmResult r = appendHtmlObject(htmlArrayAt(cell, "objs"), object);
    if (r < 0) return r;
    return appendHtmlObject(htmlArrayAt(root, "objs"), object);
}

OmResult addHtmlObjectToLink(IObjHash* root, IObjHash* object) {
    IObjHash* link = htmlNodeAt(root, "curlink");
    if (!link) return OM_S_OK;
    return appendHtmlObject(htmlArrayAt(link, "objs"), object);
}

OmResult getHtmlRaster(IObjHash* root, const char* text, IObjHash** out) {
    *out = nullptr;
    IObjHash* images = htmlNodeAt(root, "images");
    if (!images) {
        ComRef<IObjHash> table;
        OmResult r = OmCreateObjHash(nullptr, table.put());
        if (r >= 0) r = setHtmlObject(root, "images", table.get());
        if (r < 0) return r;
        images = table.get();
    }
    if (IObjHash* existing = htmlNodeAt(images, text)) {
        existing->AddRef();
        *out = existing;
        return OM_S_OK;
    }
    ComRef<IObjHash> raster;
    OmResult r = newHtmlNode("raster", raster.put());
    if (r >= 0) r = raster->SetString("src", text);
    if (r >= 0) r = setHtmlObject(images, text, raster.get());
    if (r < 0) return r;
    *out = raster.detach();
    return OM_S_OK;
}
