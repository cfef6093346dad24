// The HTML document: a tree of ObjHash nodes with COMArray child lists. The parser builds it,
// the layout adds "_"-keys, hit testing and the renderers read it; these are the node
// operations every stage shares.
#pragma once

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"

#include <cstdint>

// Link colour states ("_state" on the text and image nodes of links).
inline constexpr int32_t HTML_STATE_ACTIVE = 0;      // "alink" colour
inline constexpr int32_t HTML_STATE_VISITED = 1;     // "vlink" colour
inline constexpr int32_t HTML_STATE_NORMAL = 2;      // "link" colour
inline constexpr int32_t HTML_STATE_HIGHLIGHTED = 3; // "alink" colour

// A font node's "color" when the page gave none.
inline constexpr int32_t HTML_NO_COLOUR = -1;

// The pixel height of a font node's "size" (1 to 7; size 3 is 18 pixels), the measured
// font's property 8.
constexpr int32_t htmlFontPixelHeight(int32_t size) {
    return 2 * size + 12;
}
static_assert(htmlFontPixelHeight(3) == 18);

// The interface of an object a node holds, borrowed (no reference added: the node's keeps it
// alive); null when there is none or it lacks the interface.
template <class T>
T* htmlBorrow(IUnknown* object, const GUID& iid) {
    T* result = nullptr;
    if (!object || object->QueryInterface(iid, reinterpret_cast<void**>(&result)) < 0 || !result)
        return nullptr;
    result->Release();
    return result;
}

// The node under `key` when it is an ObjHash, else null (no reference added).
IObjHash* htmlNodeAt(IObjHash* node, const char* key);
// The array under `key`, else null (no reference added).
ICOMArray* htmlArrayAt(IObjHash* node, const char* key);
// The element `index` of an array when it is an ObjHash, else null (no reference added).
IObjHash* htmlArrayNode(ICOMArray* array, int32_t index);
// The node's "type" text, "" when it has none.
const char* htmlNodeType(IObjHash* node);
// True when the node's "type" is exactly `type`.
bool htmlNodeIs(IObjHash* node, const char* type);
// True when the array holds this very object.
bool htmlArrayHolds(ICOMArray* array, IUnknown* object);

// A new node whose "type" is `type` (one reference).
OmResult newHtmlNode(const char* type, IObjHash** out);
// Stores a new empty array under `key` of the node.
OmResult newHtmlArrayAt(IObjHash* node, const char* key, ICOMArray** borrowed = nullptr);
// Appends the object with a reference of its own.
OmResult appendHtmlObject(ICOMArray* array, IUnknown* object);
// Stores the object under the key with a reference of its own (null empties the key).
OmResult setHtmlObject(IObjHash* node, const char* key, IUnknown* object);

// A new cell node: "type" "cell" and an empty "objs".
OmResult newHtmlCell(IObjHash** out);
// A new font node copying "face", "size" and "color" from `base`, or the defaults "arial",
// 3 and -1 when there is none.
OmResult newHtmlFont(IObjHash* base, IObjHash** out);
// Appends a content node to the cell's "objs" and to the root's "objs".
OmResult addHtmlObject(IObjHash* root, IObjHash* cell, IObjHash* object);
// Appends a node to the "objs" of the root's open link ("curlink"), when there is one.
OmResult addHtmlObjectToLink(IObjHash* root, IObjHash* object);
// The raster node shared by every image naming `text` as its source, made on first use and
// kept in the root's "images" (one reference for the caller).
OmResult getHtmlRaster(IObjHash* root, const char* text, IObjHash** out);
