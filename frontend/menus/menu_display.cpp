// The menu camera, renderer, browser and pointer; page loading and drawing.
#include "frontend/menus/menu_display.h"

#include "engine/core/lg_engine.h"
#include "engine/core/lg_image.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/file_storage.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_tokens.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/program_settings.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/startup/error_log.h"
#include "frontend/video/video_startup.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/mouse_pointer.h"
#include "platform/clock.h"
#include "platform/paths.h"

#include <string>
#include <unistd.h>

namespace {

constexpr char source_name[] = "tvnetmenu";

// The menu camera.
IRaster* menu_raster = nullptr;
LgTexture* colour_texture = nullptr;
LgTexture* depth_texture = nullptr;
LgRaster* camera_raster = nullptr;
LgRaster* depth_raster = nullptr;
LgFrame* camera_frame = nullptr;
LgCamera* menu_camera = nullptr;

// The menu browser.
IRenderer* renderer = nullptr;
IRasterCreate* raster_factory = nullptr;
IHTMLBrowser* browser = nullptr;
IHTMLPage* current_page = nullptr;
IHTMLPage* status_page = nullptr;
IMousePointer* pointer = nullptr;

template <class T>
void release(T*& held) {
    if (held) held->Release();
    held = nullptr;
}

LgTexture* texture_property(IRaster* raster, uint32_t id) {
    intptr_t value = 0;
    if (raster->GetProperty(id, &value) < 0) return nullptr;
    return reinterpret_cast<LgTexture*>(value);
}

OmResult make_menu_raster(int32_t width, int32_t height, int32_t depth) {
    ComRef<IRenderer> maker;
    OmResult r = OmCreate(CLSID_OmLgRenderer, IID_IRenderer, maker.put());
    if (r < 0) return r;
    if ((r = maker->Init(nullptr)) < 0) return r;
    ComRef<IRasterCreate> properties;
    if ((r = maker->CreateTextureFactory(properties.put())) < 0) return r;
    properties->SetProperty(OM_RASTER_WIDTH, width);
    properties->SetProperty(OM_RASTER_HEIGHT, height);
    properties->SetProperty(OM_RASTER_FORMAT, depth);
    properties->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_CAMERA);
    properties->SetProperty(OM_RASTER_Z_BUFFER, 1);
    properties->SetProperty(OM_RASTER_EXACT_SIZE, 0);
    return properties->CreateRaster(&menu_raster);
}

// The current directory, restored when the guard ends.
class DirectoryGuard {
public:
    DirectoryGuard() {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer)) saved_ = buffer;
    }
    ~DirectoryGuard() {
        if (!saved_.empty() && chdir(saved_.c_str()) != 0) {
            TvWriteErrorLine2(source_name, __LINE__, "Couldn't restore directory", saved_.c_str());
        }
    }
    DirectoryGuard(const DirectoryGuard&) = delete;
    DirectoryGuard& operator=(const DirectoryGuard&) = delete;

private:
    std::string saved_;
};

// Every frame starts from an opaque black picture and a cleared depth buffer: the page is
// drawn with depth testing on, against nothing of the frame before.
void clear_menu_camera() {
    if (!menu_camera || LgCameraGetCurrent()) return;
    static const LgRGBA black = {0, 0, 0, 255};
    if (!LgCameraBeginUpdate(menu_camera)) return;
    LgCameraClear(menu_camera, &black, LgCameraClearImage | LgCameraClearZ);
    LgCameraEndUpdate(menu_camera);
}

} // namespace

OmResult TvSetUpMenuCamera(int32_t width, int32_t height, int32_t depth) {
    TvReleaseMenuCamera();
    if (make_menu_raster(width, height, depth) >= 0) {
        colour_texture = texture_property(menu_raster, OM_RASTER_COLOUR_TEXTURE);
        depth_texture = texture_property(menu_raster, OM_RASTER_DEPTH_TEXTURE);
        camera_raster = colour_texture ? LgTextureGetRaster(colour_texture) : nullptr;
    }
    if (camera_raster) TvGetGameSettingsRecord().frame_raster = camera_raster;
    if (raster_factory) {
        raster_factory->SetProperty(OM_RASTER_WIDTH, width);
        raster_factory->SetProperty(OM_RASTER_HEIGHT, height);
        raster_factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_NORMAL);
        raster_factory->SetProperty(OM_RASTER_FORMAT, depth);
    }
    if (camera_raster) depth_raster = LgRasterCreate(width, height, depth, LgRasterTypeZBuffer);
    // The game draws into the menu camera's rasters unless a mode change gives it others: it
    // needs the depth raster with the frame raster.
    if (depth_raster) TvGetGameSettingsRecord().depth_raster = depth_raster;
    if (depth_raster) {
        camera_frame = LgFrameCreate();
        menu_camera = camera_frame ? LgCameraCreate() : nullptr;
    }
    if (!menu_camera) {
        TvReleaseMenuCamera();
        return OM_E_FAIL;
    }
    LgCameraSetFrame(menu_camera, camera_frame);
    LgCameraSetRaster(menu_camera, camera_raster);
    LgCameraSetZRaster(menu_camera, depth_raster);
    LgCameraSetFarClipPlane(menu_camera, 2000.0f);
    LgCameraSetProjection(menu_camera, LgCameraParallel);
    LgCameraSetNearClipPlane(menu_camera, 1.0f);
    return OM_S_OK;
}

void TvReleaseMenuCamera() {
    if (menu_camera) {
        LgCameraSetRaster(menu_camera, nullptr);
        LgCameraSetZRaster(menu_camera, nullptr);
        LgCameraSetFrame(menu_camera, nullptr);
        LgCameraDestroy(menu_camera);
    }
    menu_camera = nullptr;
    if (camera_frame) LgFrameDestroy(camera_frame);
    camera_frame = nullptr;
    if (depth_raster && TvGetGameSettingsRecord().depth_raster == depth_raster)
        TvGetGameSettingsRecord().depth_raster = nullptr;
    if (depth_raster) LgRasterDestroy(depth_raster);
    depth_raster = nullptr;
    if (colour_texture) LgTextureDestroy(colour_texture);
    if (depth_texture) LgTextureDestroy(depth_texture);
    colour_texture = depth_texture = nullptr;
    TvGameSettings& record = TvGetGameSettingsRecord();
    if (record.frame_raster == camera_raster) record.frame_raster = nullptr;
    camera_raster = nullptr;
    release(menu_raster);
}

OmResult TvSetUpMenuBrowser() {
    TvReleaseMenuBrowser();
    const int32_t width = tvfe::TvGetScreenWidth();
    const int32_t height = tvfe::TvGetScreenHeight();
    OmResult r = menu_raster ? OM_S_OK : OM_E_FAIL;
    if (r >= 0) r = OmCreate(CLSID_OmLgRenderer, IID_IRenderer, &renderer);
    if (r >= 0) r = renderer->CreateTextureFactory(&raster_factory);
    if (r >= 0) {
        raster_factory->SetProperty(OM_RASTER_FORMAT, 0xC0310);
        raster_factory->SetProperty(OM_RASTER_EXACT_SIZE, 0);
        raster_factory->SetProperty(OM_RASTER_FORMAT_PREFERENCE, 4);
        raster_factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
        raster_factory->SetProperty(OM_RASTER_WIDTH, width);
        raster_factory->SetProperty(OM_RASTER_HEIGHT, height);
        r = renderer->Init(menu_raster);
    }
    if (r >= 0) r = OmCreate(CLSID_HTMLBrowser, IID_IHTMLBrowser, &browser);
    if (r >= 0) r = TvGetDataStorage() ? OM_S_OK : OM_E_FAIL;
    if (r >= 0) r = browser->Init(TvGetDataStorage(), renderer);
    if (r >= 0) {
        IObjHash* settings = browser->GetSettings();
        struct Setting {
            const char* key;
            int32_t value;
        };
        for (const Setting& s :
             {Setting{"tablespacing", 0}, Setting{"alignmentspacing", 2}, Setting{"brspacing", 0},
              Setting{"wrapspacing", 0}, Setting{"paragraphspacing", 3}, Setting{"texturemode", 4}})
            if (r >= 0 && settings) r = settings->SetInt(s.key, s.value);
    }
    if (r >= 0) r = browser->SetScale(float(width) / TV_PAGE_WIDTH, float(height) / TV_PAGE_HEIGHT);
    if (r >= 0) r = OmCreate(CLSID_MousePointer, IID_IMousePointer, &pointer);
    if (r >= 0) {
        const TvMenuState& m = TvMenus();
        pointer->SetTarget(menu_raster);
        pointer->SetRenderer(renderer);
        pointer->SetParameter(16);
        pointer->SetFrame(0);
        pointer->SetPosition(m.pointer_x, m.pointer_y);
        r = pointer->Load(TV_POINTER_FILE, raster_factory);
    }
    if (r < 0) {
        TvWriteErrorLine(source_name, __LINE__, "Couldn't setup HTML browser.");
        TvReleaseMenuBrowser();
    }
    return r;
}

void TvReleaseMenuBrowser() {
    release(status_page);
    release(current_page);
    release(browser);
    release(raster_factory);
    release(pointer);
    release(renderer);
}

OmResult TvSetUpMenuVideo() {
    const int32_t width = tvfe::TvGetScreenWidth();
    const int32_t height = tvfe::TvGetScreenHeight();
    OmResult r = TvSetUpMenuCamera(width, height, 16);
    if (r >= 0) r = TvSetUpMenuBrowser();
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.width = width;
    record.height = height;
    if (camera_raster) record.frame_raster = camera_raster;
    if (depth_raster) record.depth_raster = depth_raster;
    LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr);
    LgImageRegisterFileFormat("jpg", TvLoadImageRaster, nullptr);
    return r;
}

void TvReleaseMenuVideo() {
    // The game was discarded before the engine stops: no mission is loaded any more.
    TvMenus().mission_loaded = 0;
    TvReleaseMenuBrowser();
    TvGameSettings& record = TvGetGameSettingsRecord();
    if (depth_raster && record.depth_raster == depth_raster) record.depth_raster = nullptr;
    TvReleaseMenuCamera();
}

OmResult TvLoadPage(const char* name, IHTMLPage** slot) {
    if (!name || !slot || !browser) return OM_E_FAIL;
    DirectoryGuard guard;
    const std::string language = ".\\Language\\" + TvGetProgramSettings().language;
    if (platform::change_dir(language) != 0)
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't enter directory", language.c_str());
    ComRef<IByteStream> file;
    if (TvOpenDataFile(name, OM_OPEN_TEXT, file.put()) < 0 || !file) return OM_E_FAIL;
    ComRef<IByteStream> expanded;
    OmResult r = OmNewMemoryStream(expanded.put());
    if (r < 0) return r;
    if ((r = TvExpandTemplate(file.get(), expanded.get())) < 0) return r;
    expanded->Seek(0, OM_SEEK_START, nullptr);
    IHTMLPage* page = nullptr;
    if ((r = browser->ParsePage(expanded.get(), &page)) < 0) return r;
    release(*slot);
    *slot = page;
    return OM_S_OK;
}

OmResult TvShowPage(const char* name) {
    return TvLoadPage(name, &current_page);
}

void TvDrawPage() {
    if (!browser || !renderer) return;
    const int32_t width = tvfe::TvGetScreenWidth();
    const int32_t height = tvfe::TvGetScreenHeight();
    browser->SetScale(float(width) / TV_PAGE_WIDTH, float(height) / TV_PAGE_HEIGHT);
    clear_menu_camera();
    if (renderer->BeginScene() < 0) return;
    renderer->SetRenderState(OM_RS_Z_ENABLE, width <= TV_PAGE_WIDTH ? 1 : 2);
    if (current_page) current_page->Draw(0, 0);
    if (status_page) status_page->Draw(0, 0);
    renderer->EndScene();
    if (TvIsVideoWindowed()) platform::Sleep(10);
}

void TvDrawPointer() {
    if (!pointer) return;
    const TvMenuState& m = TvMenus();
    const float sx = float(tvfe::TvGetScreenWidth()) / TV_PAGE_WIDTH;
    const float sy = float(tvfe::TvGetScreenHeight()) / TV_PAGE_HEIGHT;
    pointer->SetPosition(int32_t(sx * float(m.pointer_x)), int32_t(sy * float(m.pointer_y)));
    pointer->SetParameter(1);
    pointer->Draw();
}

void TvShowMenuFrame(bool vsync) {
    if (menu_camera) LgCameraShowRaster(menu_camera, TvGetVideoWindowHandle(), vsync ? 1 : 0);
}

IHTMLBrowser* TvGetMenuBrowser() {
    return browser;
}
IHTMLPage* TvGetCurrentPage() {
    return current_page;
}
IHTMLPage** TvGetStatusPageSlot() {
    return &status_page;
}
IMousePointer* TvGetMenuPointer() {
    return pointer;
}
IRenderer* TvGetMenuRenderer() {
    return renderer;
}
IRaster* TvGetMenuRaster() {
    return menu_raster;
}
LgCamera* TvGetMenuCamera() {
    return menu_camera;
}
