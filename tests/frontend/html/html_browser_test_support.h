// Helpers for the browser tests: a file storage in memory that logs its opens, a font that
// stands in for the TrueType font and counts its glyphs, pictures written as BMP files, and
// a fixture with every module registered.
#pragma once

#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "frontend/html/html_browser.h"
#include "program/module_groups.h"
#include "tests/frontend/html/html_test_support.h"

#include <map>
#include <string>
#include <vector>

namespace htmltest {

// Files by exact path; opens for reading are logged, opens for writing refused.
class MemoryStorage final : public OmObject<MemoryStorage, IFileStorage> {
public:
    static ComRef<MemoryStorage> make();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) override;
    OmResult Rename(const char*, const char*) override { return OM_E_FAIL; }
    OmResult Delete(const char*) override { return OM_E_FAIL; }
    OmResult MakeDirectory(const char*) override { return OM_E_FAIL; }
    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }
    OmResult Enumerate(const char*, OmEnumerateCallback, void*) override { return OM_E_FAIL; }
    OmResult GetInfo(const char* path, OmFileInfo* out) override;

    // How often the path was opened for reading.
    int opens(const std::string& path) const;

    std::map<std::string, std::string> files;
    std::vector<std::string> opened;
};

// Stands in for Win32TrueTypeFont: every glyph is `advance` pixels wide and property 8 high;
// DrawGlyph fills the rectangle with the drawing colour (property 10). Counts are static,
// as the browsers make the fonts through the object manager.
class GlyphFont final : public OmObject<GlyphFont, IFont> {
public:
    GlyphFont();
    ~GlyphFont();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult Reset() override;
    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override;
    OmResult GetGlyphWidth(uint16_t code, IRaster* target, int32_t* width) override;

    static constexpr int32_t advance = 8;
    // Fonts made, fonts alive, and the codes drawn since the last reset.
    static int created;
    static int alive;
    static std::vector<uint16_t> drawn;
    static std::vector<std::string> faces;
    static void reset_counts();

private:
    intptr_t properties_[13] = {};
    std::string face_;
};

// A PNG file of the size, every pixel the colour (0xAARRGGBB).
std::string png_picture(uint32_t width, uint32_t height, uint32_t colour);

// Registers every module group, then GlyphFont in place of Win32TrueTypeFont.
class BrowserTest : public HtmlTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A browser of the class, through the object manager.
    ComRef<IHTMLBrowser> make_browser(const GUID& clsid);
    // An HTMLBrowser bound to `storage` and `renderer`.
    ComRef<IHTMLBrowser> drawing_browser();
    // The page of the text, through LoadPage of `path` (the file is added to the storage).
    ComRef<IHTMLPage> load(IHTMLBrowser* browser, const std::string& path, const std::string& html);

    ComRef<MemoryStorage> storage;
    ComRef<RecordingRenderer> renderer;
};

} // namespace htmltest
