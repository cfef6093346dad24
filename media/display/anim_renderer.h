// AnimRenderer: wraps a renderer so that the raster descriptions it hands out make animated
// rasters; every other renderer operation goes to the wrapped renderer.
#pragma once

#include "framework/core/class_factory.h"
#include "media/display/renderer.h"

inline constexpr GUID CLSID_AnimRenderer = om_guid("D955E566-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IAnimRenderer = om_guid("D980CFBA-C84F-11D4-871E-00C04F7963BA");

// The wrapper's own interface: the renderer it wraps.
struct IAnimRenderer : IUnknown {
    // Holds the renderer (a reference; the old one released; null clears). 0.
    virtual OmResult SetRenderer(IRenderer* renderer) = 0;
    // The wrapped renderer with a reference added (null when none). 0.
    virtual OmResult GetRenderer(IRenderer** out) = 0;
};

OM_DECLARE_MODULE(AnimRenderer);
