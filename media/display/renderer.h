// IRenderer: draws screen-space (transformed and lit) triangles into a target raster. Every
// renderer takes the same vertex, primitive types and render-state numbers.
#pragma once

#include "media/raster/raster.h"

#include <cstdint>

inline constexpr GUID IID_IRenderer = om_guid("D9918030-C84F-11D4-871E-00C04F7963BA");
// The category "Ormic Renderer" of the registered renderer classes.
inline constexpr GUID CATID_OrmicRenderer = om_guid("D97C0B06-C84F-11D4-871E-00C04F7963BA");

// The transformed-and-lit vertex, 32 bytes.
struct OmTLVertex {
    float sx;          // screen x
    float sy;          // screen y
    float sz;          // depth
    float rhw;         // reciprocal homogeneous w
    uint32_t diffuse;  // A8 R8 G8 B8
    uint32_t specular; // A8 R8 G8 B8
    float tu;
    float tv;
};
static_assert(sizeof(OmTLVertex) == 32);

// Primitive types.
inline constexpr uint32_t OM_PRIMITIVE_POINT_LIST = 1;
inline constexpr uint32_t OM_PRIMITIVE_LINE_LIST = 2;
inline constexpr uint32_t OM_PRIMITIVE_LINE_STRIP = 3;
inline constexpr uint32_t OM_PRIMITIVE_TRIANGLE_LIST = 4;
inline constexpr uint32_t OM_PRIMITIVE_TRIANGLE_STRIP = 5;
inline constexpr uint32_t OM_PRIMITIVE_TRIANGLE_FAN = 6;

// Draw flags: the vertices lie inside the target, skip clipping.
inline constexpr uint32_t OM_DRAW_DONOTCLIP = 0x4;

// Render-state numbers; states 0..46 are accepted, OM_RENDER_STATE_COUNT and above are refused
// with OM_E_FAIL.
inline constexpr uint32_t OM_RS_TEXTURE = 1; // an IRaster* from the renderer's texture factory
inline constexpr uint32_t OM_RS_ANTIALIAS = 2;
inline constexpr uint32_t OM_RS_TEXTURE_ADDRESS = 3;
inline constexpr uint32_t OM_RS_TEXTURE_PERSPECTIVE = 4;
inline constexpr uint32_t OM_RS_WRAP_U = 5;
inline constexpr uint32_t OM_RS_WRAP_V = 6;
inline constexpr uint32_t OM_RS_Z_ENABLE = 7;
inline constexpr uint32_t OM_RS_FILL_MODE = 8;
inline constexpr uint32_t OM_RS_SHADE_MODE = 9; // 1 flat, 2 Gouraud
inline constexpr uint32_t OM_RS_LINE_PATTERN = 10;
inline constexpr uint32_t OM_RS_MONO_ENABLE = 11;
inline constexpr uint32_t OM_RS_ROP2 = 12;
inline constexpr uint32_t OM_RS_PLANE_MASK = 13;
inline constexpr uint32_t OM_RS_Z_WRITE_ENABLE = 14;
inline constexpr uint32_t OM_RS_ALPHA_TEST_ENABLE = 15;
inline constexpr uint32_t OM_RS_LAST_PIXEL = 16;
inline constexpr uint32_t OM_RS_TEXTURE_MAG = 17;
inline constexpr uint32_t OM_RS_TEXTURE_MIN = 18;
inline constexpr uint32_t OM_RS_SRC_BLEND = 19;
inline constexpr uint32_t OM_RS_DEST_BLEND = 20;
inline constexpr uint32_t OM_RS_TEXTURE_MAP_BLEND = 21;
inline constexpr uint32_t OM_RS_CULL_MODE = 22;
inline constexpr uint32_t OM_RS_Z_FUNC = 23;
inline constexpr uint32_t OM_RS_ALPHA_REF = 24;
inline constexpr uint32_t OM_RS_ALPHA_FUNC = 25;
inline constexpr uint32_t OM_RS_DITHER_ENABLE = 26;
inline constexpr uint32_t OM_RS_ALPHA_BLEND_ENABLE = 27;
inline constexpr uint32_t OM_RS_FOG_ENABLE = 28;
inline constexpr uint32_t OM_RS_SPECULAR_ENABLE = 29;
inline constexpr uint32_t OM_RS_Z_VISIBLE = 30;
inline constexpr uint32_t OM_RS_SUBPIXEL = 31;
inline constexpr uint32_t OM_RS_SUBPIXEL_X = 32;
inline constexpr uint32_t OM_RS_STIPPLED_ALPHA = 33;
inline constexpr uint32_t OM_RS_FOG_COLOUR =
    34; // a pointer to an OmColour (blue, green, red, alpha)
inline constexpr uint32_t OM_RS_FOG_TABLE_MODE = 35;
inline constexpr uint32_t OM_RS_FOG_TABLE_START = 36;
inline constexpr uint32_t OM_RS_FOG_TABLE_END = 37;
inline constexpr uint32_t OM_RS_FOG_TABLE_DENSITY = 38;
inline constexpr uint32_t OM_RS_STIPPLE_ENABLE = 39;
inline constexpr uint32_t OM_RS_EDGE_ANTIALIAS = 40;
inline constexpr uint32_t OM_RS_COLOUR_KEY_ENABLE = 41;
inline constexpr uint32_t OM_RS_BORDER_COLOUR = 43;
inline constexpr uint32_t OM_RS_TEXTURE_ADDRESS_U = 44;
inline constexpr uint32_t OM_RS_TEXTURE_ADDRESS_V = 45;
inline constexpr uint32_t OM_RS_MIPMAP_LOD_BIAS = 46;
inline constexpr uint32_t OM_RENDER_STATE_COUNT = 47;

// Blend factors (states 19 and 20).
inline constexpr uint32_t OM_BLEND_ZERO = 1;
inline constexpr uint32_t OM_BLEND_ONE = 2;
inline constexpr uint32_t OM_BLEND_SRC_COLOUR = 3;
inline constexpr uint32_t OM_BLEND_INV_SRC_COLOUR = 4;
inline constexpr uint32_t OM_BLEND_SRC_ALPHA = 5;
inline constexpr uint32_t OM_BLEND_INV_SRC_ALPHA = 6;

struct IRenderer : IUnknown {
    // Binds the renderer to a display raster (referenced), or to a display of its own when
    // null. The display's failure or OM_E_FAIL for a display it cannot draw to.
    virtual OmResult Init(IRaster* display) = 0;
    // The display raster, no reference added.
    virtual IRaster* GetDisplay() = 0;
    // A raster description that makes rasters the renderer can use as textures.
    virtual OmResult CreateTextureFactory(IRasterCreate** out) = 0;
    // The raster drawn into (referenced; null clears). OM_E_FAIL inside a scene.
    virtual OmResult SetTarget(IRaster* target) = 0;
    // The target, no reference added.
    virtual IRaster* GetTarget() = 0;
    virtual OmResult BeginScene() = 0;
    virtual OmResult EndScene() = 0;
    // OM_E_FAIL for a state of OM_RENDER_STATE_COUNT or more, or one the renderer refuses.
    virtual OmResult SetRenderState(uint32_t state, uintptr_t value) = 0;
    virtual OmResult GetRenderState(uint32_t state, uintptr_t* value) = 0;
    // Draws `count` vertices through `index_count` 16-bit indices as the primitive type;
    // flags OM_DRAW_*.
    virtual OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                          const uint16_t* indices, uint32_t index_count,
                                          uint32_t flags) = 0;
    virtual OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                   uint32_t flags) = 0;
};
