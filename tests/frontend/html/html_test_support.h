// Helpers for the HTML engine's tests: a fixed-width fake font, a renderer that records what
// it is asked to draw, pages parsed from text and a stable text dump of a document tree.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "media/display/renderer.h"
#include "media/text/font.h"
#include "tests/support/framework_fixture.h"

#include <string>
#include <string_view>
#include <vector>

namespace htmltest {

// Every glyph is `advance` pixels wide; property 8 (the pixel height) starts at `height`.
class FakeFont final : public OmObject<FakeFont, IFont> {
public:
    static ComRef<IFont> make(int32_t advance, int32_t height);

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult Reset() override;
    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override;
    OmResult GetGlyphWidth(uint16_t code, IRaster* target, int32_t* width) override;

    int32_t advance = 8;
    int32_t width_queries = 0;

private:
    intptr_t properties_[13] = {};
};

// One DrawPrimitive call and the texture (render state 1) it was drawn with.
struct RecordedDraw {
    uint32_t type;
    std::vector<OmTLVertex> vertices;
    uint32_t flags;
    uintptr_t texture = 0;
};

// One SetRenderState call.
struct RecordedState {
    uint32_t state;
    uintptr_t value;
};

// Accepts every call; keeps the draws and the render states.
class RecordingRenderer final : public OmObject<RecordingRenderer, IRenderer> {
public:
    static ComRef<RecordingRenderer> make();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }
    OmResult Init(IRaster*) override { return OM_S_OK; }
    IRaster* GetDisplay() override { return nullptr; }
    // A memory raster description (the last one handed out is kept in `factory`).
    OmResult CreateTextureFactory(IRasterCreate** out) override;
    OmResult SetTarget(IRaster*) override { return OM_S_OK; }
    IRaster* GetTarget() override { return nullptr; }
    OmResult BeginScene() override { return OM_S_OK; }
    OmResult EndScene() override { return OM_S_OK; }
    OmResult SetRenderState(uint32_t state, uintptr_t value) override;
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override;
    OmResult DrawIndexedPrimitive(uint32_t, const OmTLVertex*, uint32_t, const uint16_t*, uint32_t,
                                  uint32_t) override {
        return OM_E_FAIL;
    }
    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                           uint32_t flags) override;

    std::vector<RecordedDraw> draws;
    std::vector<RecordedState> state_log;
    uintptr_t states[OM_RENDER_STATE_COUNT] = {};
    ComRef<IRasterCreate> factory;
    bool refuse_factory = false;

    // Forgets the draws and the state log (the states stay).
    void clear() {
        draws.clear();
        state_log.clear();
    }
    // The SetRenderState calls of one state, in order.
    std::vector<uintptr_t> sets_of(uint32_t state) const;
};

// The document of a page given as text; fails the test when parsing fails.
ComRef<IObjHash> parse_page(std::string_view text);
// Gives every text node of the document the font as its "_font".
void attach_font(IObjHash* root, IFont* font);
// Every key of every node reachable from the root, keys sorted, each node written in full at
// its first appearance (numbered #n) and referred to as -> #n after that.
std::string dump_tree(IObjHash* root);

// A started framework per test that fails the test when framework memory leaks.
using HtmlTest = testsupport::FrameworkTest;

} // namespace htmltest
