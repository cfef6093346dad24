// Helpers for the browser tests.
#include "tests/frontend/html/html_browser_test_support.h"

#include "framework/io/memory_stream.h"
#include "media/raster/image_codecs.h"
#include "media/raster/raster.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace htmltest {

ComRef<MemoryStorage> MemoryStorage::make() {
    MemoryStorage* storage = nullptr;
    EXPECT_EQ(om_new_component(&storage), OM_S_OK);
    return ComRef<MemoryStorage>::adopt(storage);
}

OmResult MemoryStorage::Open(const char* path, uint32_t mode, uint32_t, IByteStream** out) {
    *out = nullptr;
    if (mode != OM_OPEN_READ) return OM_E_FAIL;
    opened.push_back(path);
    auto file = files.find(path);
    if (file == files.end()) return OM_E_FAIL;
    ComRef<IByteStream> stream;
    OmResult r = OmNewMemoryStream(stream.put());
    if (r < 0) return r;
    if (!file->second.empty())
        stream->Write(file->second.data(), uint32_t(file->second.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    *out = stream.detach();
    return OM_S_OK;
}

OmResult MemoryStorage::GetInfo(const char* path, OmFileInfo* out) {
    auto file = files.find(path);
    if (file == files.end()) return OM_E_FAIL;
    *out = {OM_FILE_REGULAR, uint32_t(file->second.size())};
    return OM_S_OK;
}

int MemoryStorage::opens(const std::string& path) const {
    return int(std::count(opened.begin(), opened.end(), path));
}

int GlyphFont::created = 0;
int GlyphFont::alive = 0;
std::vector<uint16_t> GlyphFont::drawn;
std::vector<std::string> GlyphFont::faces;

GlyphFont::GlyphFont() {
    ++created;
    ++alive;
    properties_[OM_FONT_SIZE] = 18;
}

GlyphFont::~GlyphFont() {
    --alive;
}

void GlyphFont::reset_counts() {
    created = 0;
    drawn.clear();
    faces.clear();
}

OmResult GlyphFont::SetProperty(uint32_t id, intptr_t value) {
    if (id < 1 || id > 12) return OM_E_FAIL;
    if (id == OM_FONT_FACE) {
        face_ = reinterpret_cast<const char*>(value);
        faces.push_back(face_);
        value = reinterpret_cast<intptr_t>(face_.c_str());
    }
    properties_[id] = value;
    return OM_S_OK;
}

OmResult GlyphFont::GetProperty(uint32_t id, intptr_t* value) {
    if (id < 1 || id > 12) return OM_E_FAIL;
    *value = properties_[id];
    return OM_S_OK;
}

OmResult GlyphFont::Reset() {
    for (intptr_t& p : properties_) p = 0;
    return OM_S_OK;
}

OmResult GlyphFont::DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) {
    drawn.push_back(code);
    const uint32_t colour = uint32_t(properties_[OM_FONT_COLOUR]);
    if (target && rect) target->FillRect(rect, &colour);
    return OM_S_OK;
}

OmResult GlyphFont::GetGlyphWidth(uint16_t, IRaster*, int32_t* width) {
    *width = advance;
    return OM_S_OK;
}

std::string png_picture(uint32_t width, uint32_t height, uint32_t colour) {
    ComRef<IRaster> raster;
    EXPECT_EQ(OmNewMemoryRaster(width, height, OM_FORMAT_ARGB8888, raster.put()), OM_S_OK);
    raster->FillRect(nullptr, &colour);
    ComRef<IClassFactory> factory;
    EXPECT_EQ(Png_GetClassObject(CLSID_Png, IID_IClassFactory, factory.put_void()), OM_S_OK);
    ComRef<IObjectRW> writer;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectRW, writer.put_void()), OM_S_OK);
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    EXPECT_EQ(writer->WriteStream(stream.get(), "png", raster.get()), OM_S_OK);
    uint32_t size = 0;
    stream->Seek(0, OM_SEEK_END, &size);
    stream->Seek(0, OM_SEEK_START, nullptr);
    std::string bytes(size, '\0');
    uint32_t done = 0;
    stream->Read(bytes.data(), size, &done);
    return bytes;
}

namespace {

const OmClassRecord glyph_font_classes[] = {
    {&CLSID_Win32TrueTypeFont, nullptr, nullptr, OmCreateComponent<GlyphFont>, "GlyphFont"},
};

OmResult GlyphFont_GetClassObject(const GUID& clsid, const GUID& iid, void** out) {
    return OmGetClassObjectFromTable(glyph_font_classes, 1, clsid, iid, out);
}

} // namespace

void BrowserTest::SetUp() {
    ASSERT_EQ(OmRegisterAllModuleGroups(OmGetObjectManager()), OM_S_OK);
    ASSERT_EQ(
        OmRegisterClassTable(glyph_font_classes, 1, GlyphFont_GetClassObject, OmGetObjectManager()),
        OM_S_OK);
    GlyphFont::reset_counts();
    storage = MemoryStorage::make();
    renderer = RecordingRenderer::make();
}

void BrowserTest::TearDown() {
    storage.reset();
    renderer.reset();
    HtmlTest::TearDown();
    EXPECT_EQ(GlyphFont::alive, 0) << "fonts leaked";
}

ComRef<IHTMLBrowser> BrowserTest::make_browser(const GUID& clsid) {
    ComRef<IHTMLBrowser> browser;
    EXPECT_EQ(OmCreate(clsid, IID_IHTMLBrowser, browser.put()), OM_S_OK);
    return browser;
}

ComRef<IHTMLBrowser> BrowserTest::drawing_browser() {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLBrowser);
    if (browser) EXPECT_EQ(browser->Init(storage.get(), renderer.get()), OM_S_OK);
    return browser;
}

ComRef<IHTMLPage> BrowserTest::load(IHTMLBrowser* browser, const std::string& path,
                                    const std::string& html) {
    storage->files[path] = html;
    ComRef<IHTMLPage> page;
    EXPECT_EQ(browser->LoadPage(path.c_str(), page.put()), OM_S_OK);
    return page;
}

} // namespace htmltest
