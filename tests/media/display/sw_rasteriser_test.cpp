// The software rasteriser: fill rules of the triangle routines (rows advanced before they are
// filled, spans [left, right), culling, fixed-point edges), texture addressing and wrapping,
// clip codes, the triangle-list form of strips and fans, clipping and its interpolation modes.
#include "media/display/sw_rasteriser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

OmTLVertex vertex(float x, float y, uint32_t diffuse = 0xFFFFFFFF, float u = 0, float v = 0,
                  float rhw = 1) {
    return OmTLVertex{x, y, 0.5f, rhw, diffuse, 0, u, v};
}

// A small 16-bit target bound to the 16-bit draw state for the test's lifetime.
struct Target16 {
    int32_t width, height;
    std::vector<uint16_t> pixels;
    std::vector<uint16_t> texels;

    Target16(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w * h), 0) {
        sw16_state = {reinterpret_cast<uint8_t*>(pixels.data()), w * 2, w, h, nullptr};
    }
    ~Target16() { sw16_state = {}; }

    void use_texture(std::vector<uint16_t> t) {
        texels = std::move(t);
        sw16_state.texture = texels.data();
    }

    // Rows of '#' (written) and '.' (untouched), separated by '/'.
    std::string coverage() const {
        std::string out;
        for (int32_t y = 0; y < height; ++y) {
            if (y) out += '/';
            for (int32_t x = 0; x < width; ++x) out += pixels[size_t(y * width + x)] ? '#' : '.';
        }
        return out;
    }
    uint16_t at(int32_t x, int32_t y) const { return pixels[size_t(y * width + x)]; }
};

void flat(const OmTLVertex& a, const OmTLVertex& b, const OmTLVertex& c) {
    sw16_flat_triangle(&a, &b, &c);
}

TEST(SwRasteriser, FlatTrianglesFollowTheFillRules) {
    struct Case {
        const char* what;
        OmTLVertex a, b, c;
        const char* expected;
    };
    const Case cases[] = {
        // Rows 0..3 are filled after the edges advance: row y covers [0, y + 1).
        {"right triangle", vertex(0, 0), vertex(0, 4), vertex(4, 4),
         "#...../##..../###.../####../....../......"},
        // The same vertices cyclically rotated draw the same pixels.
        {"rotated", vertex(4, 4), vertex(0, 0), vertex(0, 4),
         "#...../##..../###.../####../....../......"},
        // The opposite winding is culled.
        {"opposite winding", vertex(0, 0), vertex(4, 4), vertex(0, 4),
         "....../....../....../....../....../......"},
        // All vertices on one row after rounding: nothing.
        {"degenerate", vertex(0, 2.2f), vertex(5, 1.6f), vertex(3, 2.4f),
         "....../....../....../....../....../......"},
        // Two parts: the left edge to (0, 2) is replaced by the edge (0, 2) -> (4, 4).
        {"two parts", vertex(2, 0), vertex(0, 2), vertex(4, 4),
         ".#..../###.../..#.../....../....../......"},
        // An edge of two rows steps by half its x difference: 1.5 then 3.
        {"two-row edge", vertex(0, 0), vertex(0, 2), vertex(3, 2),
         "#...../###.../....../....../....../......"},
        // Flat top: the top vertex right of the second.
        {"flat top", vertex(4, 0), vertex(0, 0), vertex(2, 4),
         "###.../.##.../.#..../....../....../......"},
        // Coordinates round half up: 0.4 -> 0, 3.6 -> 4.
        {"rounding", vertex(0.4f, 0.4f), vertex(0.4f, 3.6f), vertex(3.6f, 3.6f),
         "#...../##..../###.../####../....../......"},
    };
    for (const Case& c : cases) {
        Target16 target(6, 6);
        flat(c.a, c.b, c.c);
        EXPECT_EQ(target.coverage(), c.expected) << c.what;
    }
}

TEST(SwRasteriser, FlatColourIsPackedTo565AndSpansStayInsideTheTarget) {
    Target16 target(4, 3);
    flat(vertex(0, 0, 0x00123456), vertex(0, 3, 0), vertex(3, 3, 0));
    EXPECT_EQ(target.at(0, 0), 0x11AA);
    EXPECT_EQ(target.at(0, 2), 0x11AA);

    // A triangle far larger than the target (as drawn without clipping) fills it and writes
    // nothing outside it.
    Target16 small(4, 3);
    flat(vertex(-100, -100, 0xFFFFFFFF), vertex(-100, 100), vertex(300, 100));
    EXPECT_EQ(small.coverage(), "####/####/####");
}

std::vector<uint16_t> column_texture() {
    // Texel (column c, row r) = c + 1 + 256 x r: every texel written, its place readable.
    std::vector<uint16_t> t(SW_TEXTURE_SIDE * SW_TEXTURE_SIDE);
    for (uint32_t r = 0; r < SW_TEXTURE_SIDE; ++r)
        for (uint32_t c = 0; c < SW_TEXTURE_SIDE; ++c)
            t[r * SW_TEXTURE_SIDE + c] = uint16_t(c + 1 + 256 * r);
    return t;
}

TEST(SwRasteriser, TexturedTrianglesAddressWrappedTexels) {
    {
        // u steps linearly between the span's exact ends: row 3 spans u 0 .. 0.5 over 4 pixels.
        Target16 target(6, 5);
        target.use_texture(column_texture());
        OmTLVertex a = vertex(0, 0, 0, 0, 0), b = vertex(0, 4, 0, 0, 0),
                   c = vertex(4, 4, 0, 0.5f, 0);
        sw16_textured_triangle(&a, &b, &c);
        EXPECT_EQ(target.at(0, 3), 1);
        EXPECT_EQ(target.at(1, 3), 17);
        EXPECT_EQ(target.at(2, 3), 33);
        EXPECT_EQ(target.at(3, 3), 49);
        EXPECT_EQ(target.at(4, 3), 0);
        EXPECT_EQ(target.at(0, 0), 1); // row 0: right end u = 0.125, one pixel at u 0
    }
    {
        // u 1.25 samples column 32 as 0.25 does; v 2.5 wraps to row 64.
        for (float u : {0.25f, 1.25f, -0.75f}) {
            Target16 target(4, 4);
            target.use_texture(column_texture());
            OmTLVertex a = vertex(0, 0, 0, u, 2.5f), b = vertex(0, 4, 0, u, 2.5f),
                       c = vertex(4, 4, 0, u, 2.5f);
            sw16_textured_triangle(&a, &b, &c);
            EXPECT_EQ(target.at(0, 3), 33 + 256 * 64) << u;
            EXPECT_EQ(target.at(3, 3), 33 + 256 * 64) << u;
        }
    }
    {
        // Texels of value 0 leave the target unchanged.
        Target16 target(4, 4);
        std::fill(target.pixels.begin(), target.pixels.end(), 0x5555);
        target.use_texture(std::vector<uint16_t>(SW_TEXTURE_SIDE * SW_TEXTURE_SIDE, 0));
        OmTLVertex a = vertex(0, 0), b = vertex(0, 4), c = vertex(4, 4);
        sw16_textured_triangle(&a, &b, &c);
        EXPECT_EQ(target.pixels, std::vector<uint16_t>(16, 0x5555));
    }
}

TEST(SwRasteriser, TexturedGoldenImage16) {
    // A textured quad of two triangles with perspective (rhw 1 and 0.5) over a 8 x 6 target.
    // Each row samples where its edges stand after advancing (row 0 at v ~ 1/6; the last row at
    // v = 1, wrapped to texel row 0); u runs 0 .. 1 across with perspective.
    Target16 target(8, 6);
    target.use_texture(column_texture());
    OmTLVertex quad[4] = {vertex(1, 0, 0, 0, 0, 1), vertex(7, 0, 0, 1, 0, 0.5f),
                          vertex(7, 6, 0, 1, 1, 0.5f), vertex(1, 6, 0, 0, 1, 1)};
    // Fan order of the renderer: (V0, V2, V1) and (V0, V3, V2).
    sw16_textured_triangle(&quad[0], &quad[2], &quad[1]);
    sw16_textured_triangle(&quad[0], &quad[3], &quad[2]);
    const uint16_t expected[6][8] = {
        {0, 0x1501, 0x0B0C, 0x0D23, 0x0F3B, 0x1152, 0x1369, 0},
        {0, 0x2A01, 0x220D, 0x191A, 0x1D34, 0x224D, 0x2667, 0},
        {0, 0x4001, 0x380F, 0x311D, 0x2A2B, 0x3148, 0x3864, 0},
        {0, 0x5501, 0x4F10, 0x4A20, 0x4530, 0x3F40, 0x4A60, 0},
        {0, 0x6A01, 0x6713, 0x6425, 0x6137, 0x5E4A, 0x5B5C, 0},
        {0, 0x0001, 0x0016, 0x002B, 0x0040, 0x0056, 0x006B, 0},
    };
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(target.at(x, y), expected[y][x]) << x << "," << y;
}

TEST(SwRasteriser, ByteMultiplicationTable) {
    const uint8_t* m = sw_byte_multiplication_table();
    EXPECT_EQ(m[127 * 256 + 100], 50);
    EXPECT_EQ(m[255 * 256 + 255], 254); // (65025 + 127) >> 8
    EXPECT_EQ(m[0 * 256 + 200], 0);
    EXPECT_EQ(m[1 * 256 + 255], 1);
}

TEST(SwRasteriser, ClipCodesAndClipTest) {
    SwRasteriserContext context;
    context.set_viewport(10, 20, 100, 50); // left 10, right 110, top 20, bottom 70
    EXPECT_EQ(context.clip_code(vertex(9, 30)), SW_CLIP_LEFT);
    EXPECT_EQ(context.clip_code(vertex(111, 30)), SW_CLIP_RIGHT);
    EXPECT_EQ(context.clip_code(vertex(50, 19)), SW_CLIP_TOP);
    EXPECT_EQ(context.clip_code(vertex(50, 71)), SW_CLIP_BOTTOM);
    EXPECT_EQ(context.clip_code(vertex(5, 80)), SW_CLIP_LEFT | SW_CLIP_BOTTOM);
    EXPECT_EQ(context.clip_code(vertex(10, 70)), 0); // the edges themselves are inside
    EXPECT_EQ(context.clip_code(vertex(110, 20)), 0);

    OmTLVertex inside[3] = {vertex(20, 30), vertex(30, 30), vertex(20, 40)};
    OmTLVertex right[3] = {vertex(120, 30), vertex(130, 30), vertex(200, 60)};
    OmTLVertex corners[3] = {vertex(0, 0), vertex(200, 30), vertex(50, 200)}; // no shared bit
    OmTLVertex partly[3] = {vertex(20, 30), vertex(130, 30), vertex(200, 60)};
    EXPECT_EQ(context.clip_test(inside, 3), SW_CLIP_INSIDE);
    EXPECT_EQ(context.clip_test(right, 3), SW_CLIP_OUTSIDE);
    EXPECT_EQ(context.clip_test(partly, 3), SW_CLIP_PARTLY);
    EXPECT_EQ(context.clip_test(corners, 3), SW_CLIP_PARTLY);
    EXPECT_EQ(context.clip_codes()[1], SW_CLIP_RIGHT);
}

TEST(SwRasteriser, StripAndFanListForms) {
    std::vector<uint32_t> out;
    ASSERT_TRUE(SwRasteriserContext::list_form(OM_PRIMITIVE_TRIANGLE_STRIP, nullptr, 5, out));
    EXPECT_EQ(out, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2, 2, 3, 4}));
    ASSERT_TRUE(SwRasteriserContext::list_form(OM_PRIMITIVE_TRIANGLE_FAN, nullptr, 5, out));
    EXPECT_EQ(out, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    ASSERT_TRUE(SwRasteriserContext::list_form(OM_PRIMITIVE_TRIANGLE_LIST, nullptr, 7, out));
    EXPECT_EQ(out, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    const uint16_t indices[4] = {9, 8, 7, 6};
    ASSERT_TRUE(SwRasteriserContext::list_form(OM_PRIMITIVE_TRIANGLE_STRIP, indices, 4, out));
    EXPECT_EQ(out, (std::vector<uint32_t>{9, 8, 7, 8, 6, 7}));
    EXPECT_FALSE(SwRasteriserContext::list_form(OM_PRIMITIVE_LINE_LIST, nullptr, 4, out));
    ASSERT_TRUE(SwRasteriserContext::list_form(OM_PRIMITIVE_TRIANGLE_FAN, nullptr, 2, out));
    EXPECT_TRUE(out.empty());
}

TEST(SwRasteriser, InterpolationModes) {
    OmTLVertex a = vertex(0, 0, 0x64C864C8, 0, 0, 1); // bytes 200, 100, 200, 100
    OmTLVertex b = vertex(10, 0, 0xC864C864, 1, 1, 0.5f);
    a.specular = 0x00000064;
    b.specular = 0x000000C8;
    a.sz = 0.2f;
    b.sz = 0.4f;

    OmTLVertex out = a;
    sw_interpolation(9)(0.5f, a, b, out);
    EXPECT_EQ(out.diffuse, 0x96969696u); // 100 <-> 200 both ways give 150
    EXPECT_FLOAT_EQ(out.tu, 0.5f);
    EXPECT_FLOAT_EQ(out.rhw, 1.0f); // A's
    EXPECT_EQ(out.specular, 0x64u); // A's
    EXPECT_FLOAT_EQ(out.sz, 0.3f);

    out = a;
    sw_interpolation(15)(0.5f, a, b, out);
    EXPECT_NEAR(out.tu, 0.5f / 0.75f, 1e-6);
    EXPECT_FLOAT_EQ(out.rhw, 0.75f);
    EXPECT_EQ(out.specular, 0x96u);

    out = a;
    sw_interpolation(9)(0.0f, a, b, out);
    EXPECT_EQ(out.diffuse, a.diffuse);

    out = a;
    out.tu = 7;
    sw_interpolation(0)(0.5f, a, b, out);
    EXPECT_EQ(out.diffuse, a.diffuse);
    EXPECT_FLOAT_EQ(out.tu, 7); // not set by mode 0
    out = a;
    sw_interpolation(8)(0.5f, a, b, out);
    EXPECT_EQ(out.diffuse, 0x96969696u);
    EXPECT_FLOAT_EQ(out.tu, 0);
    out = a;
    sw_interpolation(1)(0.5f, a, b, out);
    EXPECT_EQ(out.diffuse, a.diffuse);
    EXPECT_FLOAT_EQ(out.tu, 0.5f);
}

TEST(SwRasteriser, ClippingKeepsThePolygonInsideTheViewport) {
    SwRasteriserContext context;
    context.set_interpolation_mode(9);
    context.set_viewport(0, 0, 10, 10);
    // One vertex right of the viewport: the triangle becomes a quad on the edge x = 10.
    OmTLVertex v[3] = {vertex(0, 0, 0xFF000064, 0), vertex(20, 0, 0xFF0000C8, 1),
                       vertex(0, 10, 0xFF000064, 0)};
    ASSERT_EQ(context.clip_test(v, 3), SW_CLIP_PARTLY);
    ASSERT_EQ(context.clip_primitive(OM_PRIMITIVE_TRIANGLE_LIST, v, 3), OM_S_OK);
    uint32_t type, count, index_count;
    const OmTLVertex* out;
    const uint16_t* indices;
    context.clipped_output(&type, &out, &count, &indices, &index_count);
    EXPECT_EQ(type, OM_PRIMITIVE_TRIANGLE_LIST);
    ASSERT_EQ(count, 5u); // the three inputs and two new vertices
    EXPECT_EQ(index_count, 6u);
    EXPECT_FLOAT_EQ(out[3].sx, 10);
    EXPECT_FLOAT_EQ(out[3].sy, 0);
    EXPECT_EQ(out[3].diffuse, 0xFF000096u); // halfway from 100 to 200
    EXPECT_FLOAT_EQ(out[3].tu, 0.5f);
    EXPECT_FLOAT_EQ(out[4].sx, 10);
    EXPECT_FLOAT_EQ(out[4].sy, 5);
    for (uint32_t k = 0; k < index_count; ++k) {
        EXPECT_NE(indices[k], 1) << "the outside vertex is not used";
        EXPECT_LT(indices[k], count);
    }

    // Everything shares an outside bit per triangle: nothing left.
    OmTLVertex gone[4] = {vertex(-5, 0), vertex(-1, 0), vertex(-3, 5), vertex(5, 5)};
    ASSERT_EQ(context.clip_test(gone, 4), SW_CLIP_PARTLY);
    EXPECT_EQ(context.clip_primitive(OM_PRIMITIVE_TRIANGLE_LIST, gone, 4), 1);
    EXPECT_EQ(context.clip_primitive(OM_PRIMITIVE_LINE_LIST, gone, 4), OM_E_FAIL);
}

TEST(SwRasteriser, ClippingBuffersGrowWithTheInput) {
    SwRasteriserContext context;
    context.set_viewport(0, 0, 100, 100);
    // 3000 triangles, each crossing the right edge (past the 1024 the buffers start with).
    std::vector<OmTLVertex> v;
    for (int k = 0; k < 3000; ++k) {
        float y = float(k % 90);
        v.insert(v.end(), {vertex(50, y), vertex(150, y), vertex(50, y + 5)});
    }
    ASSERT_EQ(context.clip_test(v.data(), uint32_t(v.size())), SW_CLIP_PARTLY);
    ASSERT_EQ(context.clip_primitive(OM_PRIMITIVE_TRIANGLE_LIST, v.data(), uint32_t(v.size())),
              OM_S_OK);
    uint32_t type, count, index_count;
    const OmTLVertex* out;
    const uint16_t* indices;
    context.clipped_output(&type, &out, &count, &indices, &index_count);
    EXPECT_EQ(count, 9000u + 6000u);
    EXPECT_EQ(index_count, 3000u * 6);
    for (uint32_t k = 9000; k < count; ++k) EXPECT_LE(out[k].sx, 100.0f);

    // An output needing more than 65536 vertices cannot be indexed in 16 bits: refused.
    v.clear();
    for (int k = 0; k < 21000; ++k) {
        float y = float(k % 90);
        v.insert(v.end(), {vertex(50, y), vertex(150, y), vertex(50, y + 5)});
    }
    ASSERT_EQ(context.clip_test(v.data(), uint32_t(v.size())), SW_CLIP_PARTLY);
    EXPECT_EQ(context.clip_primitive(OM_PRIMITIVE_TRIANGLE_LIST, v.data(), uint32_t(v.size())),
              OM_E_FAIL);
    context.clipped_output(&type, &out, &count, &indices, &index_count);
    EXPECT_EQ(index_count, 0u);
}

} // namespace
