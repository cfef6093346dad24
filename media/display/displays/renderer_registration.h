// The displays' renderer-registration interface and the device interface through which a
// display hands its DirectDraw object and drawing surface to a Direct3D renderer.
#pragma once

#include "framework/core/unknown.h"

// The id the Direct3D renderer asks a display for; the displays answer it, and the older id
// below, with the same interface.
inline constexpr GUID IID_IOmRendererRegistration = om_guid("DF14F050-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmRendererRegistrationOld =
    om_guid("D985946E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IDx5RendererDevice = om_guid("D98A5922-C84F-11D4-871E-00C04F7963BA");

struct IOmRendererRegistration : IUnknown {
    // A renderer already listed answers 0; a new one is listed (no reference taken) and, while
    // a mode is applied, attached at once (its failure unlists it and is returned).
    virtual OmResult RegisterRenderer(IUnknown* renderer) = 0;
    // Detaches and unlists; OM_E_FAIL for a renderer not listed.
    virtual OmResult UnregisterRenderer(IUnknown* renderer) = 0;
};

// Device property ids of IDx5RendererDevice.
inline constexpr uint32_t OM_DX5_PROPERTY_DIRECTDRAW = 256;    // dx5::IDirectDraw2*
inline constexpr uint32_t OM_DX5_PROPERTY_RENDER_TARGET = 257; // dx5::IDirectDrawSurface3*

struct IDx5RendererDevice : IUnknown {
    // OM_E_FAIL without a device.
    virtual OmResult ReleaseDevice() = 0;
    // 256 the DirectDraw object, 257 the render-target surface (referenced); OM_E_FAIL else.
    virtual OmResult SetProperty(uint32_t id, void* value) = 0;
    // No reference added; OM_E_FAIL for other ids.
    virtual OmResult GetProperty(uint32_t id, void** value) = 0;
    // 0 at once when made; OM_E_FAIL without surface or DirectDraw object.
    virtual OmResult CreateDevice() = 0;
};
