// Test helpers for fonts and text: a framework with the program directory in a temporary
// folder, a scripted font, and page descriptions of memory rasters.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_service.h"
#include "media/raster/image_codecs.h"
#include "media/raster/image_processor.h"
#include "media/text/font.h"
#include "media/text/font_cache.h"
#include "media/text/text_renderer.h"
#include "platform/paths.h"
#include "tests/media/raster/raster_fixture.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace texttest {

// Registers what fonts and caches reach for: the OS service (program directory), storage,
// the picture readers and image services, and the text modules themselves.
class TextTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        platform::set_program_dir(dir_.path());
        IObjectManager* manager = OmGetObjectManager();
        for (auto registration :
             {Win32OS_RegisterClasses, Win32Storage_RegisterClasses, Blitter_RegisterClasses,
              RasterCreate_RegisterClasses, ImageProcessor_RegisterClasses,
              ImageProc_RegisterClasses, Bmp_RegisterClasses, CompressedFont_RegisterClasses,
              GeneralFont_RegisterClasses, Win32TrueTypeFont_RegisterClasses,
              SimpleFontCache_RegisterClasses, FontCache_RegisterClasses,
              TextRenderer_RegisterClasses, TextBlt_RegisterClasses})
            ASSERT_EQ(registration(manager), 0);
    }
    void TearDown() override {
        platform::set_program_dir("");
        FrameworkTest::TearDown();
    }
    testsupport::TempDir dir_;
};

template <class T>
ComRef<T> create(const GUID& clsid, const GUID& iid) {
    ComRef<T> object;
    EXPECT_EQ(OmCreate(clsid, iid, object.put()), OM_S_OK);
    return object;
}

// A description of memory rasters of the page size (format 0xC0120 unless given).
inline ComRef<IRasterCreate> page_factory(int32_t width = 128, int32_t height = 128,
                                          uint32_t format = OM_FORMAT_ARGB8888) {
    ComRef<IRasterCreate> factory;
    EXPECT_EQ(OmNewRasterDescription(factory.put()), OM_S_OK);
    factory->SetProperty(OM_RASTER_WIDTH, width);
    factory->SetProperty(OM_RASTER_HEIGHT, height);
    factory->SetProperty(OM_RASTER_FORMAT, format);
    return factory;
}

// A font whose glyphs have scripted widths (default 10) and fill their rectangle with the
// colour 0xFF000000 | code; it counts what it is asked.
class ScriptedFont final : public OmObject<ScriptedFont, IFont> {
public:
    static ComRef<ScriptedFont> make(int32_t height, int32_t default_width = 10) {
        ComRef<ScriptedFont> font = ComRef<ScriptedFont>::adopt(new ScriptedFont);
        font->height = height;
        font->default_width = default_width;
        return font;
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        properties[id] = value;
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (id == OM_FONT_SIZE)
            *value = height;
        else
            *value = properties.count(id) ? properties[id] : 0;
        return OM_S_OK;
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override {
        ++draws;
        drawn.push_back(code);
        uint32_t colour = 0xFF000000u | code;
        return target->FillRect(rect, &colour);
    }
    OmResult GetGlyphWidth(uint16_t code, IRaster*, int32_t* width) override {
        ++measures;
        *width = widths.count(code) ? widths[code] : default_width;
        return OM_S_OK;
    }

    int32_t height = 16;
    int32_t default_width = 10;
    std::map<uint16_t, int32_t> widths;
    std::map<uint32_t, intptr_t> properties;
    int draws = 0;
    int measures = 0;
    std::vector<uint16_t> drawn;
};

inline std::u16string text16(const char* text) {
    std::u16string out;
    while (*text) out += char16_t(uint8_t(*text++));
    return out;
}

} // namespace texttest
