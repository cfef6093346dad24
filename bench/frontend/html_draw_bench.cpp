// Drawing a text-heavy menu page every frame: HTMLBrowser through the engine-backed renderer
// on the software device at 640 x 480 and at 1024 x 768 (the page scaled up), and the page
// walk alone through a renderer that draws nothing, which shows the cost per quad outside
// the rasteriser.
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "frontend/html/html_browser.h"
#include "game/world/om_lg_renderer.h"
#include "platform/headless.h"
#include "platform/window/window.h"
#include "program/module_groups.h"
#include "tools/demoscene/engine_session.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// About 1,100 glyphs: link lines, a two-column table of orders and a roster.
std::string menu_page() {
    std::string page = "<html><head><title>Orders</title></head>\n"
                       "<body bgcolor=#202020 text=\"#E0E0E0\" link=#FFCC00>\n"
                       "<center><font size=+2><b>Squadron orders</b></font></center><p>\n";
    for (int i = 0; i < 6; ++i) {
        page += "<a href=\"command:play:" + std::to_string(i) +
                "\">Patrol the line above the river and engage any enemy scouts you "
                "meet</a><br>\n";
    }
    page += "<table width=600><tr><td width=200 bgcolor=#303030 valign=top>Weather<br>Clear "
            "skies with scattered cloud at dawn, wind from the west</td><td bgcolor=#283828>"
            "Escort the two-seaters to the rail yard &amp; return before dusk; watch for "
            "&quot;the red machines&quot; over the wood north of the village</td></tr>\n"
            "<tr><td>Fuel</td><td>Full tanks, two drums of ammunition</td></tr></table><p>\n";
    for (int i = 0; i < 6; ++i) {
        page += "Lt. Pilot number " + std::to_string(i) +
                " - 12 victories - Sopwith Camel - B Flight - on leave until Thursday<br>\n";
    }
    page += "<p><font color=\"#FF8080\">Report to the adjutant when you land.</font>\n"
            "<a href=menus/main.html>Back</a></body></html>\n";
    return page;
}

// Accepts everything and draws nothing.
class NullRenderer final : public OmObject<NullRenderer, IRenderer> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }
    OmResult Init(IRaster*) override { return OM_S_OK; }
    IRaster* GetDisplay() override { return nullptr; }
    OmResult CreateTextureFactory(IRasterCreate** out) override {
        return OmNewRasterDescription(out);
    }
    OmResult SetTarget(IRaster*) override { return OM_S_OK; }
    IRaster* GetTarget() override { return nullptr; }
    OmResult BeginScene() override { return OM_S_OK; }
    OmResult EndScene() override { return OM_S_OK; }
    OmResult SetRenderState(uint32_t, uintptr_t) override { return OM_S_OK; }
    OmResult GetRenderState(uint32_t, uintptr_t* value) override {
        *value = 0;
        return OM_S_OK;
    }
    OmResult DrawIndexedPrimitive(uint32_t, const OmTLVertex*, uint32_t, const uint16_t*, uint32_t,
                                  uint32_t) override {
        return OM_S_OK;
    }
    OmResult DrawPrimitive(uint32_t, const OmTLVertex*, uint32_t, uint32_t) override {
        ++quads;
        return OM_S_OK;
    }
    int64_t quads = 0;
};

// The framework with every module, a headless window and the engine started on it.
class DrawSetup {
public:
    DrawSetup(int32_t width, int32_t height) {
        platform::set_headless(true);
        if (OmStartup() < 0) {
            error = "the framework did not start";
            return;
        }
        started_ = true;
        OmRegisterAllModuleGroups(OmGetObjectManager());
        OmLgRenderer_RegisterClasses(OmGetObjectManager());
        platform::WindowDesc desc;
        desc.class_name = "corvel";
        window_ = platform::create_window(desc);
        demoscene::SessionConfig config;
        config.window = window_;
        config.width = width;
        config.height = height;
        if (!session_.begin(config)) error = session_.error();
    }
    ~DrawSetup() {
        session_.end();
        if (window_) platform::destroy_window(window_);
        if (started_) OmShutdown();
    }

    // A browser bound to the renderer as the menus set it up, and the page parsed by it.
    bool load(IRenderer* renderer, float scale_x, float scale_y) {
        if (OmCreate(CLSID_HTMLBrowser, IID_IHTMLBrowser, browser.put()) < 0 ||
            browser->Init(nullptr, renderer) < 0)
            return false;
        IObjHash* settings = browser->GetSettings();
        settings->SetInt("texturemode", 4);
        settings->SetInt("brspacing", 0);
        settings->SetInt("wrapspacing", 0);
        settings->SetInt("alignmentspacing", 2);
        browser->SetScale(scale_x, scale_y);
        const std::string text = menu_page();
        ComRef<IByteStream> stream;
        OmNewMemoryStream(stream.put());
        stream->Write(text.data(), uint32_t(text.size()), nullptr);
        stream->Seek(0, OM_SEEK_START, nullptr);
        return browser->ParsePage(stream.get(), page.put()) >= 0;
    }

    std::string error;
    ComRef<IHTMLBrowser> browser;
    ComRef<IHTMLPage> page;

private:
    bool started_ = false;
    platform::Window* window_ = nullptr;
    demoscene::EngineSession session_;
};

void BM_DrawMenuPage(benchmark::State& state) {
    const int32_t width = int32_t(state.range(0)), height = int32_t(state.range(1));
    DrawSetup setup(width, height);
    if (!setup.error.empty()) {
        state.SkipWithError(setup.error.c_str());
        return;
    }
    {
        ComRef<IRenderer> renderer;
        ComRef<IRasterCreate> factory;
        ComRef<IRaster> camera;
        if (OmCreate(CLSID_OmLgRenderer, IID_IRenderer, renderer.put()) < 0 ||
            renderer->CreateTextureFactory(factory.put()) < 0) {
            state.SkipWithError("no engine renderer");
            return;
        }
        factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_CAMERA);
        factory->SetProperty(OM_RASTER_WIDTH, width);
        factory->SetProperty(OM_RASTER_HEIGHT, height);
        factory->SetProperty(OM_RASTER_Z_BUFFER, 1);
        if (factory->CreateRaster(camera.put()) < 0 || renderer->Init(camera.get()) < 0 ||
            !setup.load(renderer.get(), float(width) / 640.0f, float(height) / 480.0f)) {
            state.SkipWithError("set-up failed");
            return;
        }
        for (auto _ : state) {
            renderer->BeginScene();
            renderer->SetRenderState(OM_RS_Z_ENABLE, 0);
            renderer->SetRenderState(OM_RS_Z_WRITE_ENABLE, 0);
            setup.page->Draw(0, 0);
            renderer->EndScene();
        }
        setup.page.reset();
        setup.browser.reset();
    }
}
BENCHMARK(BM_DrawMenuPage)
    ->Args({640, 480})
    ->Args({1024, 768})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_WalkMenuPage(benchmark::State& state) {
    DrawSetup setup(640, 480);
    if (!setup.error.empty()) {
        state.SkipWithError(setup.error.c_str());
        return;
    }
    NullRenderer* renderer = nullptr;
    om_new_component(&renderer);
    if (!setup.load(renderer, 1.0f, 1.0f)) {
        state.SkipWithError("set-up failed");
        renderer->Release();
        return;
    }
    setup.page->Draw(0, 0); // the glyphs reach the cache
    renderer->quads = 0;
    for (auto _ : state) setup.page->Draw(0, 0);
    state.counters["quads"] = double(renderer->quads) / double(state.iterations());
    state.counters["per_quad_ns"] = benchmark::Counter(
        double(renderer->quads), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    setup.page.reset();
    setup.browser.reset();
    renderer->Release();
}
BENCHMARK(BM_WalkMenuPage)->Unit(benchmark::kMicrosecond);

} // namespace
