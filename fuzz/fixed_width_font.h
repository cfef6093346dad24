// A font for the page harnesses: every glyph the same width, a fixed pixel height, nothing
// drawn, so the layout's arithmetic is all that a page exercises.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "fuzz/fuzz_support.h"
#include "media/text/font.h"

namespace fuzzing {

class FixedWidthFont final : public OmObject<FixedWidthFont, IFont> {
public:
    static ComRef<IFont> make(int32_t advance, int32_t height) {
        FixedWidthFont* font = nullptr;
        require(om_new_component(&font) >= 0, "a fixed-width font is made");
        font->advance_ = advance;
        font->properties_[OM_FONT_SIZE] = height;
        return ComRef<IFont>::adopt(font);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        if (id < 1 || id > 12) return OM_E_FAIL;
        properties_[id] = value;
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (id < 1 || id > 12 || !value) return OM_E_FAIL;
        *value = properties_[id];
        return OM_S_OK;
    }
    OmResult Reset() override {
        for (intptr_t& p : properties_) p = 0;
        return OM_S_OK;
    }
    OmResult DrawGlyph(uint16_t, IRaster*, const OmRect*) override { return OM_S_OK; }
    OmResult GetGlyphWidth(uint16_t, IRaster*, int32_t* width) override {
        if (!width) return OM_E_FAIL;
        *width = advance_;
        return OM_S_OK;
    }

private:
    int32_t advance_ = 8;
    intptr_t properties_[13] = {};
};

} // namespace fuzzing
