// Animated rasters: AnimRaster, an IRaster made of frames that follow one another by time (every
// raster operation works on the current frame), and AnimRasterCreate, the raster description
// that makes animated rasters around an inner description. Time is the OS service's
// millisecond clock (the platform clock).
#pragma once

#include "framework/core/class_factory.h"
#include "media/raster/raster.h"

#include <cstdint>

inline constexpr GUID CLSID_AnimRaster = om_guid("D88D9FDE-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IAnimRaster = om_guid("D8BD4EE6-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_AnimRasterCreate = om_guid("D894C6EC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IAnimRasterCreate = om_guid("D8C2139A-C84F-11D4-871E-00C04F7963BA");

// One frame. Records handed to AddFrame are allocated with OmAllocMemory and owned by the
// animated raster from then on, with the one raster reference they hold.
struct AnimFrame {
    uint32_t index;
    IRaster* raster;
    uint32_t delay; // milliseconds the frame is shown
    uint32_t next;  // index of the frame that follows; its own index stops the animation
};

struct IAnimRaster : IUnknown {
    // The operation the framework's interfaces of this kind share; nothing to prepare here. 0.
    virtual OmResult Initialise() = 0;
    // Moves to the next frame when the current one's delay has passed and the raster is not
    // locked. 0.
    virtual OmResult Update() = 0;
    // Stores the record under "frame" + its index (replacing a record of that index). OM_E_FAIL
    // for a null record or one without a raster (the record is then freed all the same).
    virtual OmResult AddFrame(AnimFrame* frame) = 0;
    // The frame of that index becomes current, its time starting now (index 0 without a
    // "frame0" record selects the default frame). OM_E_FAIL (nothing changed) when there is no
    // such frame or the raster is locked.
    virtual OmResult SelectFrame(uint32_t index) = 0;
    // The description new frames are made from (a reference is held). 0.
    virtual OmResult SetDescription(IRasterCreate* description) = 0;
    // A record of index 0, delay 0, next 0 around the raster (referenced), stored as "default"
    // and made current. OM_E_FAIL for null, OM_E_OUTOFMEMORY.
    virtual OmResult SetDefault(IRaster* raster) = 0;
};

struct IAnimRasterCreate : IUnknown {
    // The operation the framework's interfaces of this kind share; nothing to prepare here. 0.
    virtual OmResult Initialise() = 0;
    // The inner description with a reference added (null when none). 0.
    virtual OmResult GetDescription(IRasterCreate** out) = 0;
    // Holds the inner description (a reference; the old one released). 0.
    virtual OmResult SetDescription(IRasterCreate* description) = 0;
};

// A new AnimRasterCreate around the inner description (referenced). OM_E_OUTOFMEMORY.
OmResult OmNewAnimRasterCreate(IRasterCreate* inner, IRasterCreate** out);

OM_DECLARE_MODULE(AnimRaster);
OM_DECLARE_MODULE(AnimRasterCreate);
