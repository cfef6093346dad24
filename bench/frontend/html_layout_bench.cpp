// Parsing and laying out a text-heavy menu page (about 600 glyphs in links, paragraphs and a
// table) against a fixed-width font.
#include "bench/framework/framework_services.h"
#include "framework/containers/com_array.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/io/memory_stream.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_parser.h"
#include "media/text/font.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

class FixedFont final : public OmObject<FixedFont, IFont> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }
    OmResult SetProperty(uint32_t, intptr_t) override { return OM_S_OK; }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        *value = id == OM_FONT_SIZE ? 18 : 0;
        return OM_S_OK;
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult DrawGlyph(uint16_t, IRaster*, const OmRect*) override { return OM_S_OK; }
    OmResult GetGlyphWidth(uint16_t code, IRaster*, int32_t* width) override {
        *width = code == ' ' ? 4 : 9;
        return OM_S_OK;
    }
};

std::string menu_page() {
    std::string page = "<html><head><title>Pilot roster</title></head>\n"
                       "<body bgcolor=#202020 text=\"#E0E0E0\" link=#FFCC00>\n"
                       "<center><font size=+2><b>Squadron orders</b></font></center><p>\n";
    for (int i = 0; i < 5; ++i) {
        page += "<a href=\"command:play:" + std::to_string(i) +
                "\">Patrol the line above the river and engage any enemy scouts you "
                "meet</a><br>\n";
    }
    page += "<table width=600><tr><td width=200 valign=top>Weather<br>Clear skies with "
            "scattered cloud at dawn</td><td align=right>Escort the two-seaters to the rail "
            "yard &amp; return before dusk; watch for &quot;the red machines&quot;</td></tr>\n"
            "<tr><td>Fuel</td><td>Full tanks, two drums of ammunition</td></tr></table>\n"
            "<p><font color=\"#FF8080\">Report to the adjutant when you land.</font>\n"
            "<a href=menus/main.html>Back</a></body></html>\n";
    return page;
}

ComRef<IObjHash> parse(const std::string& text) {
    ComRef<IByteStream> stream;
    OmNewMemoryStream(stream.put());
    stream->Write(text.data(), uint32_t(text.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    ComRef<IObjHash> root;
    parseHtmlDocument(stream.get(), root.put());
    return root;
}

void attach(IObjHash* root, IFont* font) {
    ICOMArray* objs = htmlArrayAt(root, "objs");
    for (int32_t i = 0; i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text")) setHtmlObject(node, "_font", font);
    }
}

int count_glyphs(IObjHash* root) {
    int glyphs = 0;
    ICOMArray* objs = htmlArrayAt(root, "objs");
    for (int32_t i = 0; i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text"))
            glyphs += int(std::string(node->GetString("string", "")).size());
    }
    return glyphs;
}

void BM_ParseMenuPage(benchmark::State& state) {
    bench::use_framework_allocator();
    const std::string page = menu_page();
    for (auto _ : state) {
        ComRef<IObjHash> root = parse(page);
        benchmark::DoNotOptimize(root.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_ParseMenuPage);

void BM_LayoutMenuPage(benchmark::State& state) {
    bench::use_framework_allocator();
    ComRef<IObjHash> root = parse(menu_page());
    FixedFont* font = nullptr;
    om_new_component(&font);
    attach(root.get(), font);
    state.counters["glyphs"] = count_glyphs(root.get());
    const OmRect page{0, 0, 640, 480};
    for (auto _ : state) {
        benchmark::DoNotOptimize(layoutHtmlDocument(root.get(), nullptr, &page));
    }
    font->Release();
}
BENCHMARK(BM_LayoutMenuPage);

void BM_ParseAndLayoutMenuPage(benchmark::State& state) {
    bench::use_framework_allocator();
    const std::string page = menu_page();
    FixedFont* font = nullptr;
    om_new_component(&font);
    const OmRect rect{0, 0, 640, 480};
    for (auto _ : state) {
        ComRef<IObjHash> root = parse(page);
        attach(root.get(), font);
        benchmark::DoNotOptimize(layoutHtmlDocument(root.get(), nullptr, &rect));
    }
    font->Release();
}
BENCHMARK(BM_ParseAndLayoutMenuPage);

} // namespace
