// The software rasteriser under the software renderers: the rasteriser context (viewport, clip
// codes, the viewport clipping stage with its 16 interpolation modes) and the triangle routines
// that fill spans straight into a locked target through the program-wide draw state.
#pragma once

#include "framework/core/result_codes.h"
#include "media/display/renderer.h"
#include "media/raster/palette_matcher.h"

#include <cstdint>
#include <vector>

// A triangle routine: draws one screen-space triangle into the draw state's target.
using SwTriangleRoutine = void (*)(const OmTLVertex*, const OmTLVertex*, const OmTLVertex*);

// Texture sides the textured routines address (texels wrap at 128 in both directions).
inline constexpr uint32_t SW_TEXTURE_SIDE = 128;

// The program-wide draw state of one pixel depth: the locked target and the texture. Only one
// software renderer of a depth draws at a time. Spans are kept inside width x height.
struct SwTargetState {
    uint8_t* base = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    const void* texture = nullptr; // 128 x 128 texels, row stride 128
};
extern SwTargetState sw16_state;
extern SwTargetState sw8_state;

// The 8-bit renderer's colour tables, used by the 8-bit routines.
struct Sw8Tables {
    const OmPaletteMatcher* matcher = nullptr;
    const uint8_t* shade = nullptr;      // 16 rows of 256
    const uint8_t* modulation = nullptr; // 256 rows of 256
};
extern Sw8Tables sw8_tables;

// The byte multiplication table: [t][v] = (v x t + 127) >> 8.
const uint8_t* sw_byte_multiplication_table();

// Triangle routines.
void sw_draw_nothing(const OmTLVertex*, const OmTLVertex*, const OmTLVertex*);
void sw16_flat_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);
void sw16_textured_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);
void sw8_untextured_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);
void sw8_textured_smooth_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);
void sw8_textured_keyed_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);
void sw8_textured_flat_triangle(const OmTLVertex* a, const OmTLVertex* b, const OmTLVertex* c);

// Clip codes of a vertex against the viewport.
inline constexpr uint8_t SW_CLIP_LEFT = 1;
inline constexpr uint8_t SW_CLIP_RIGHT = 2;
inline constexpr uint8_t SW_CLIP_TOP = 4;
inline constexpr uint8_t SW_CLIP_BOTTOM = 8;

// Clip test results.
inline constexpr int SW_CLIP_OUTSIDE = 0;
inline constexpr int SW_CLIP_PARTLY = 1;
inline constexpr int SW_CLIP_INSIDE = 2;

// Fills the fields of a vertex made at t on the edge from a to b (x and y are set by the
// clipper) as the interpolation mode asks.
using SwInterpolation = void (*)(float t, const OmTLVertex& a, const OmTLVertex& b,
                                 OmTLVertex& out);
SwInterpolation sw_interpolation(uint32_t mode);

// The rasteriser context: the viewport and the clipping stage's buffers. The output buffers
// grow with the input; the output indices are 16-bit, so a clipping whose output would need
// more than 65536 vertices is refused.
class SwRasteriserContext {
public:
    SwRasteriserContext();

    void set_viewport(double x, double y, double width, double height);
    // 0..15; other values are refused (false).
    bool set_interpolation_mode(uint32_t mode);
    uint32_t interpolation_mode() const { return mode_; }
    double left() const { return left_; }
    double right() const { return right_; }
    double top() const { return top_; }
    double bottom() const { return bottom_; }

    // SW_CLIP_INSIDE, SW_CLIP_OUTSIDE or SW_CLIP_PARTLY; the codes are kept for clipping.
    int clip_test(const OmTLVertex* vertices, uint32_t count);
    const uint8_t* clip_codes() const { return codes_.data(); }
    uint8_t clip_code(const OmTLVertex& v) const;

    // Clips the primitive (types 4, 5, 6) after clip_test on the same vertices: 0 when output
    // is ready, 1 when nothing is left, OM_E_FAIL for another type or an output too large for
    // 16-bit indices.
    OmResult clip_primitive(uint32_t type, const OmTLVertex* vertices, uint32_t count);
    OmResult clip_indexed_primitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                    const uint16_t* indices, uint32_t index_count);
    // The last clipping's output: a triangle list (triples in list form).
    void clipped_output(uint32_t* type, const OmTLVertex** vertices, uint32_t* vertex_count,
                        const uint16_t** indices, uint32_t* index_count) const;

    // The triangle-list form of a primitive's vertex numbers (strip and fan orders), or false
    // for another type.
    static bool list_form(uint32_t type, const uint16_t* indices, uint32_t count,
                          std::vector<uint32_t>& out);

private:
    OmResult clip_triangles(const OmTLVertex* vertices, uint32_t count);
    bool clip_polygon(uint32_t i0, uint32_t i1, uint32_t i2);
    uint32_t add_vertex(const OmTLVertex& v, uint8_t code);

    double left_ = 0, right_ = 640, top_ = 0, bottom_ = 480;
    float rect_[4] = {0, 0, 640, 480};
    uint32_t mode_ = 15;
    SwInterpolation interpolate_;
    std::vector<OmTLVertex> out_vertices_;
    std::vector<uint16_t> out_indices_;
    std::vector<uint8_t> codes_;     // per input vertex
    std::vector<uint8_t> out_codes_; // per output vertex
    std::vector<uint32_t> triples_;
    std::vector<uint32_t> polygon_, next_polygon_;
    bool overflow_ = false;
};
