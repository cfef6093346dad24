// The landscape interface the game and its objects query: map loading, world access, the
// sky and lens-flare drawing, the per-frame view update and the line queries.
#pragma once

#include "engine/core/lg_engine.h"
#include "engine/world/lg_collision.h"
#include "framework/core/unknown.h"

struct ITvObject;

inline constexpr GUID IID_ITvBSPLandscape = om_guid("392266F8-F6D2-44E8-91FF-48337B65CD1B");
inline constexpr GUID CLSID_TavrinBSPLandscape = om_guid("5F08AA7B-5312-42A4-9445-A24A30875BD1");

// Every operation returns a result code. A "line" is an engine collision primitive whose
// first six floats are the start and the end point; the operation sets its type itself.
struct ITvBSPLandscape : IUnknown {
    virtual OmResult Reset() = 0;
    virtual OmResult Unload() = 0;
    // Loads "maps\<name>\map.ini" and its world. 0 or OM_E_FAIL.
    virtual OmResult LoadMap(const char* name) = 0;
    // Releases everything LoadMap made. 0.
    virtual OmResult FreeMap() = 0;
    virtual OmResult LoadTestMap(const char* world_file) = 0;
    // The world, null when none. 0.
    virtual OmResult GetWorld(LgWorld** out) = 0;
    // Sky box and fog state for the game camera. 0.
    virtual OmResult RenderSky(ITvObject* camera) = 0;
    // The sun's lens flare when it is on screen. 0.
    virtual OmResult RenderLensFlare(ITvObject* camera) = 0;
    // Sun, lens flare placement and ambient volumes for the engine camera. 0.
    virtual OmResult UpdateView(LgCamera* camera) = 0;
    virtual OmResult LineHitPoint(LgCollisionPrimitive* line, LgVector* out) = 0;
    virtual OmResult LineHitOrient(LgCollisionPrimitive* line, LgMatrix* matrix) = 0;
    virtual OmResult LineHitFraction(LgCollisionPrimitive* line, float* out) = 0;
    // The fog colour, red, green, blue, alpha. 0.
    virtual OmResult GetFogColour(LgRGBA* out) = 0;
    virtual OmResult SetFogColourFromSky(const LgVector* direction) = 0;
    virtual OmResult HeightAboveGround(const LgVector* point, float* out) = 0;
};
