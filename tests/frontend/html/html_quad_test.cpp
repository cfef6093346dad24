// Screen quads through a recording renderer, and rectangle clipping.
#include "frontend/html/html_quad.h"
#include "tests/frontend/html/html_test_support.h"

#include <gtest/gtest.h>

namespace htmltest {
namespace {

using HtmlQuadTest = HtmlTest;

TEST_F(HtmlQuadTest, TexturedQuadIsOneFanOfFourVertices) {
    ComRef<RecordingRenderer> renderer = RecordingRenderer::make();
    HtmlQuad quad;
    ASSERT_EQ(initHtmlQuad(&quad, renderer.get()), OM_S_OK);
    setHtmlQuadColour(&quad, 0xFF102030);
    ASSERT_EQ(drawHtmlQuadTextured(&quad, {10, 20, 30, 40}, {0.25f, 0.5f, 0.75f, 1}), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 1u);
    const RecordedDraw& draw = renderer->draws[0];
    EXPECT_EQ(draw.type, 6u);
    EXPECT_EQ(draw.flags, 4u);
    ASSERT_EQ(draw.vertices.size(), 4u);
    const struct {
        float x, y, u, v;
    } expected[] = {
        {10, 20, 0.25f, 0.5f}, {30, 20, 0.75f, 0.5f}, {30, 40, 0.75f, 1}, {10, 40, 0.25f, 1}};
    for (int i = 0; i < 4; ++i) {
        const OmTLVertex& v = draw.vertices[size_t(i)];
        EXPECT_EQ(v.sx, expected[i].x) << i;
        EXPECT_EQ(v.sy, expected[i].y) << i;
        EXPECT_EQ(v.tu, expected[i].u) << i;
        EXPECT_EQ(v.tv, expected[i].v) << i;
        EXPECT_EQ(v.sz, 0.00001f);
        EXPECT_EQ(v.rhw, 1.0f);
        EXPECT_EQ(v.diffuse, 0xFF102030u);
        EXPECT_EQ(v.specular, 0xFFFFFFFFu);
    }
    // The untextured quad moves the corners and keeps the texture coordinates.
    setHtmlQuadDepth(&quad, 0.5f);
    ASSERT_EQ(drawHtmlQuad(&quad, {0, 0, 5, 5}), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 2u);
    EXPECT_EQ(renderer->draws[1].vertices[2].sx, 5);
    EXPECT_EQ(renderer->draws[1].vertices[2].tu, 0.75f);
    EXPECT_EQ(renderer->draws[1].vertices[2].sz, 0.5f);
}

TEST_F(HtmlQuadTest, QuadWithoutRendererDrawsNothing) {
    HtmlQuad quad;
    ASSERT_EQ(initHtmlQuad(&quad, nullptr), OM_S_OK);
    EXPECT_EQ(drawHtmlQuad(&quad, {0, 0, 1, 1}), OM_S_OK);
    EXPECT_EQ(quad.vertices[1].sx, 1);
}

bool same(const HtmlRect& a, const HtmlRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(HtmlClip, Rectangles) {
    const HtmlRect clip{0, 0, 100, 100};
    const struct {
        HtmlRect rect;
        int32_t result;
        HtmlRect cut;
    } cases[] = {
        {{10, 10, 20, 20}, 1, {10, 10, 20, 20}},     // inside
        {{-50, 90, 150, 200}, 1, {0, 90, 100, 100}}, // across three edges
        {{100, 10, 150, 20}, 1, {100, 10, 100, 20}}, // touching the right edge: zero width
        {{101, 10, 150, 20}, 0, {101, 10, 150, 20}}, // outside, unchanged
        {{10, -30, 20, -1}, 0, {10, -30, 20, -1}},
    };
    for (const auto& c : cases) {
        HtmlRect rect = c.rect;
        EXPECT_EQ(clipHtmlRect(clip, &rect), c.result);
        EXPECT_TRUE(same(rect, c.cut)) << c.rect.left << "," << c.rect.top;
    }
}

TEST(HtmlClip, TexturedRectanglesMoveTheirTextureEdgesInProportion) {
    const struct {
        HtmlRect clip, rect;
        HtmlRect cut, texture;
    } cases[] = {
        // The left half cut away: u runs from 0.5 to 1.
        {{50, 0, 200, 200}, {0, 0, 100, 100}, {50, 0, 100, 100}, {0.5f, 0, 1, 1}},
        // Both sides cut, the right one from the already-cut values.
        {{25, 0, 75, 100}, {0, 0, 100, 100}, {25, 0, 75, 100}, {0.25f, 0, 0.75f, 1}},
        // Top and bottom.
        {{0, 10, 100, 30}, {0, 0, 100, 40}, {0, 10, 100, 30}, {0, 0.25f, 1, 0.75f}},
        // A texture rectangle that does not start at 0.
        {{0, 0, 60, 100}, {20, 0, 100, 100}, {20, 0, 60, 100}, {0.5f, 0, 0.75f, 1}},
    };
    for (const auto& c : cases) {
        HtmlRect rect = c.rect;
        HtmlRect texture = c.rect.left == 20 ? HtmlRect{0.5f, 0, 1, 1} : HtmlRect{0, 0, 1, 1};
        EXPECT_EQ(clipHtmlRectTextured(c.clip, &rect, &texture), 1);
        EXPECT_TRUE(same(rect, c.cut));
        EXPECT_FLOAT_EQ(texture.left, c.texture.left);
        EXPECT_FLOAT_EQ(texture.top, c.texture.top);
        EXPECT_FLOAT_EQ(texture.right, c.texture.right);
        EXPECT_FLOAT_EQ(texture.bottom, c.texture.bottom);
    }
    HtmlRect rect{200, 0, 300, 10}, texture{0, 0, 1, 1};
    EXPECT_EQ(clipHtmlRectTextured({0, 0, 100, 100}, &rect, &texture), 0);
    EXPECT_TRUE(same(texture, {0, 0, 1, 1}));
}

} // namespace
} // namespace htmltest
