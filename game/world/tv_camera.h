// The game camera's interface, its create record and its property ids, as the game builds
// and drives viewports with them.
#pragma once

#include "game/world/tv_object.h"

inline constexpr GUID IID_ITvCamera = om_guid("1BBF91E6-AEF6-4842-9086-C7A7C7FC759F");
inline constexpr GUID CLSID_TavrinCamera = om_guid("975AD639-BB7D-45E4-9BB4-C5E31AF6FC61");

// Camera properties (after the base ids).
enum TvCameraProperty : uint32_t {
    kTvCamPropFarClip = 769,      // set: pointer to float; get: the float's bits
    kTvCamPropNearClip = 770,     // set: pointer to float; get: the float's bits
    kTvCamPropPosition = 771,     // pointer to 3 floats
    kTvCamPropLookAt = 772,       // pointer to 3 floats
    kTvCamPropFollowed = 773,     // ITvObject*
    kTvCamPropEngineCamera = 774, // LgCamera*
    kTvCamPropViewMode = 775,     // TvCameraViewMode; sets the mode's projection
    kTvCamPropDragOffset = 776,   // set only: 3 floats the map or editor view moves by once
    // get only: pointer to the 3 floats where the ray through the cursor meets the world;
    // OM_E_FAIL (and 0) when it meets nothing.
    kTvCamPropCursorGround = 777,
};

// Look events a plane sends its camera (data: 1 pressed, 0 released).
inline constexpr uint32_t kTvEventLookAbove = 0x500;
inline constexpr uint32_t kTvEventLookLeft = 0x501;
inline constexpr uint32_t kTvEventLookRight = 0x502;
inline constexpr uint32_t kTvEventLookBehind = 0x503;
// The camera-change binding went down (data 1): from a chase or look view the camera goes to
// the overhead map, from the map back to the chase view; the free and editor views stay.
inline constexpr uint32_t kTvEventCameraChange = 0x504;

// View modes (the base user value, also property 775). The chase views follow property 773;
// the look keys (arrows) and look events switch between them only. The overhead map looks
// down from 600 above the ground and drags with any mouse button; the editor view looks down
// from the height it is given (property 771) and drags with mouse button 2, leaving button 1
// to the editor. Home and End (on release) change the map's zoom by 20.
enum TvCameraViewMode : int32_t {
    kTvViewChase = 1,
    kTvViewOverhead = 2,
    kTvViewFree = 3,
    kTvViewFront = 4,
    kTvViewEditor = 5,
    kTvViewLeft = 6,
    kTvViewRight = 7,
    kTvViewHigh = 8,
};

// The shared view scale the perspective view windows are multiplied by.
extern float TvCameraViewScale;

// Draws the followed object's cockpit into the engine camera. The plane module installs it;
// until then the camera draws no cockpit.
using TvCockpitRenderer = OmResult (*)(ITvObject* followed, LgCamera* camera);
void TvSetCockpitRenderer(TvCockpitRenderer renderer);

// The camera's create record: the descriptor and the camera's own words. The camera owns
// it: the creator allocates it through the framework allocator and hands it over.
struct TvCameraDescriptor : TvCreateDescriptor {
    uintptr_t reserved23;
    LgWorld* world;
    LgRaster* raster;       // frame-buffer window
    LgRaster* depth_raster; // depth window
    uint32_t reserved27[6];
    float far_clip;
};

struct ITvCamera : ITvObject {
    virtual OmResult SetCameraPosition(const LgVector* position) = 0;
    virtual OmResult SetLookAt(const LgVector* point) = 0;
    // Begins the engine camera's update and sets the camera's render states; a failure when
    // the engine camera cannot begin.
    virtual OmResult BeginUpdate() = 0;
    virtual OmResult EndUpdate() = 0;
    // Draws the atomics of the camera's world that the camera sees.
    virtual OmResult RenderWorld() = 0;
};
