// IHTMLBrowser and IHTMLPage: the browser components that load, lay out and draw HTML menu
// pages, and the page object they hand out. HTMLNullBrowser draws nothing, HTMLBrowser draws
// through a renderer, HTMLBlitBrowser blits onto a raster.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/class_factory.h"
#include "framework/core/om_rect.h"
#include "framework/io/byte_stream.h"
#include "frontend/html/html_hit_test.h"

#include <cstdint>

struct IFileStorage;

inline constexpr GUID CLSID_HTMLNullBrowser = om_guid("DCC5A920-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_HTMLBrowser = om_guid("DCB75B04-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_HTMLBlitBrowser = om_guid("DCB033F6-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IHTMLBrowser = om_guid("DCF09374-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IHTMLPage = om_guid("DCEBCEC0-C84F-11D4-871E-00C04F7963BA");

// Longest base path SetPath takes (the field holds 260 characters).
inline constexpr uint32_t HTML_BROWSER_PATH_LIMIT = 258;
// Page paths and base directories are held in fields of this size, terminator included.
inline constexpr uint32_t HTML_BROWSER_PATH_CAPACITY = 260;

struct IHTMLPage;

struct IHTMLBrowser : IUnknown {
    // Binds the browser to its storage (one reference) and its output: nothing for
    // HTMLNullBrowser, an IRenderer for HTMLBrowser, a COMHash holding "rpPrimary" (IRaster)
    // and "rcpCreate" (IRasterCreate) for HTMLBlitBrowser. OM_E_FAIL when already bound or
    // the output lacks what the class needs; the output's query failure.
    virtual OmResult Init(IFileStorage* storage, IUnknown* output) = 0;
    // The page of a file path (one reference for the caller), read, prepared and laid out at
    // the view size on first use and cached until ClearCaches. The storage's, parser's or
    // preparation's failure; OM_E_FAIL for a path of 260 characters or more.
    virtual OmResult LoadPage(const char* path, IHTMLPage** out) = 0;
    // A new page from the stream's HTML text, not cached; its base directory is the base path.
    virtual OmResult ParsePage(IByteStream* stream, IHTMLPage** out) = 0;
    // Empties the font, image and page tables. 0.
    virtual OmResult ClearCaches() = 0;
    // The view rectangle {x, y, width, height}: pages are laid out at its size and drawn
    // clipped to it. 0.
    virtual OmResult SetRect(const OmRect* rect) = 0;
    // Every drawn coordinate is multiplied by these. 0.
    virtual OmResult SetScale(float horizontal, float vertical) = 0;
    virtual OmResult GetRect(OmRect* out) = 0;
    // The base path of parsed pages. OM_E_FAIL for more than 258 characters (the old one kept).
    virtual OmResult SetPath(const char* path) = 0;
    // Copies the base path with its terminator. OM_E_FAIL when `size` is too small.
    virtual OmResult GetPath(char* buffer, uint32_t size) = 0;
    // The layout and drawing settings ("texturemode", "brspacing", "wrapspacing",
    // "paragraphspacing", "alignmentspacing", "tablespacing"); no reference added.
    virtual IObjHash* GetSettings() = 0;
};

// Link states as SetLinkState takes them: HTML_STATE_* of html_document.h.
struct IHTMLPage : IUnknown {
    // The link under the page point, -1 when none.
    virtual int32_t LinkAt(int32_t x, int32_t y) = 0;
    // Gives every object of the link the state (rollover images swapped first by the drawing
    // browsers). OM_E_FAIL for a link out of range.
    virtual OmResult SetLinkState(int32_t link, int32_t state) = 0;
    // The link's first object gets state 2: 0; 2 when the link holds no object; OM_E_FAIL for
    // a link out of range.
    virtual OmResult MarkLinkFirstObjectNormal(int32_t link) = 0;
    virtual int32_t GetLinkCount() = 0;
    // Copies the link's "href" and "target" (empty when absent), each cut to its buffer's
    // size with a terminator. OM_E_FAIL for a link out of range.
    virtual OmResult GetLink(int32_t link, char* href, uint32_t href_size, char* target,
                             uint32_t target_size) = 0;
    // The old selection returns to state 2, the new one (when 0 or more) gets state 0. 0.
    virtual OmResult SelectLink(int32_t link) = 0;
    // -1 when none.
    virtual int32_t GetSelectedLink() = 0;
    // Lays the page out in {0, 0, width, height} with the browser's settings. 0.
    virtual OmResult Layout(int32_t width, int32_t height) = 0;
    // The laid-out size (0 x 0 before a layout). 0.
    virtual OmResult GetSize(int32_t* width, int32_t* height) = 0;
    // Draws the page with its top-left corner at (x, y) in page units, clipped to the view.
    // The drawing's failure; 0 for HTMLNullBrowser pages, which draw nothing.
    virtual OmResult Draw(int32_t x, int32_t y) = 0;
    // The root's "pageproperties" (head entries); no reference added; null when none.
    virtual IObjHash* GetPageProperties() = 0;
    // The n-th box (from 0) of the link in page coordinates. OM_E_FAIL when there is none.
    virtual OmResult GetLinkBox(int32_t link, int32_t n, HtmlBox* out) = 0;
};

OM_DECLARE_MODULE(HTMLBlitBrowser);
OM_DECLARE_MODULE(HTMLBrowser);
OM_DECLARE_MODULE(HTMLNullBrowser);
