// TavrinBSPLandscape: the singleton landscape of a mission: the map's BSP world with its sky
// box, fog colour, sun lights, ambient sounds, lens flare and detail pass, and the line
// queries against the world's static triangles.
#pragma once

#include "engine/world/lg_light.h"
#include "framework/core/class_factory.h"
#include "framework/core/component.h"
#include "game/world/tv_bsp_landscape.h"

struct ISound;

// The world of the loaded map, published by LoadMap and cleared by FreeMap; null while no
// map is loaded. Read by the detail pass and the flight model.
extern LgWorld* TvCurrentMapWorld;

// Sky-box faces in file and drawing order.
enum TvSkyFace : int32_t { kTvSkyFront, kTvSkyLeft, kTvSkyBack, kTvSkyRight, kTvSkyUp };
inline constexpr int32_t kTvSkyFaces = 5;

// One looping ambient sound with the altitudes its volume follows.
struct TvAmbientSound {
    ISound* sound = nullptr;
    float low = 0.0f;
    float high = 0.0f;
};

class TavrinBSPLandscape final : public OmObject<TavrinBSPLandscape, ITvBSPLandscape> {
public:
    // The one instance while it exists (cleared when the last reference goes).
    static TavrinBSPLandscape* instance;

    ~TavrinBSPLandscape();
    OmResult QueryInterface(const GUID& iid, void** out) override;

    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult LoadMap(const char* name) override;
    OmResult FreeMap() override;
    OmResult LoadTestMap(const char* world_file) override;
    OmResult GetWorld(LgWorld** out) override;
    OmResult RenderSky(ITvObject* camera) override;
    OmResult RenderLensFlare(ITvObject* camera) override;
    OmResult UpdateView(LgCamera* camera) override;
    OmResult LineHitPoint(LgCollisionPrimitive* line, LgVector* out) override;
    OmResult LineHitOrient(LgCollisionPrimitive* line, LgMatrix* matrix) override;
    OmResult LineHitFraction(LgCollisionPrimitive* line, float* out) override;
    OmResult GetFogColour(LgRGBA* out) override;
    OmResult SetFogColourFromSky(const LgVector* direction) override;
    OmResult HeightAboveGround(const LgVector* point, float* out) override;

    // State the drawing, the detail pass and the tests read.
    LgWorld* world = nullptr;
    LgLight* light1 = nullptr;
    LgLight* light2 = nullptr;
    LgRGBAReal light_colour = {1.0f, 1.0f, 1.0f, 1.0f};
    LgFrame* sun_frame = nullptr;
    TvAmbientSound wind, forest, third;
    LgTexture* sky[kTvSkyFaces] = {};
    LgRGBA fog_colour = {0, 0, 0, 0};
    float height_adjust = 0.0f;
    int32_t flare_visible = 0;
    LgTexture* detail = nullptr;
    // The lens flare's two textures, held while the map is loaded.
    LgTexture* flare_ring = nullptr;
    LgTexture* flare_glow = nullptr;
};

// The detail pass: the last stage of the engine's default world-sector pipeline while a map
// is loaded with detail textures on. It draws the sector through the stage it replaced, then
// lays the landscape's detail texture over the sector's near triangles.
void TvLandscapeDetailPipeline(void* work);
// Makes the detail pass the pipeline's last stage (saving the engine's own stage the first
// time), or puts the saved stage back.
void TvInstallDetailPass(bool on);
// The sector stage the detail pass replaced, null until one was saved.
using TvSectorStage = void (*)(void* work);
TvSectorStage TvSavedSectorStage();

// The fog table RenderSky hands the engine: 0 up to entry 63, then 4 x floor((k - 64) / 3).
void TvBuildFogTable(uint8_t table[256]);
// The fog colour as the engine's colour word: alpha, red, green, blue from the top byte down.
uint32_t TvFogColourWord(const LgRGBA& colour);
// The detail alpha of a camera-space depth, and whether that depth counts as near.
int32_t TvDetailAlpha(float depth, bool* near);

OM_DECLARE_MODULE(TavrinBSPLandscape);
inline OmResult TvRegisterBSPLandscapeClass(IObjectManager* manager) {
    return TavrinBSPLandscape_RegisterClasses(manager);
}
inline OmResult TvUnregisterBSPLandscapeClass(IObjectManager* manager) {
    return TavrinBSPLandscape_UnregisterClasses(manager);
}
inline OmResult TvGetBSPLandscapeClassObject(const GUID& clsid, const GUID& iid, void** out) {
    return TavrinBSPLandscape_GetClassObject(clsid, iid, out);
}
