// The world triangle gather and the shadow projector over writer-made worlds: the gather's
// capacity and walk order, and the projector's clipping (face order, the lift of clipped
// polygons only), texture coordinates and the alpha of both variants.
#include "game/world/tv_shadows.h"
#include "game/world/tv_world_triangles.h"
#include "tests/game/world/landscape_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

namespace mw = modelwriter;

// A grid of square cells (two triangles each) at `height` over the square [0, size] in x and
// z, one big quad at y 50 below it (so the world has height). The writer shifts x and z
// by 50: the grid covers [50, 50 + size].
std::vector<uint8_t> grid_world(float size, int cells, float height) {
    mw::TriangleSoup soup;
    mw::Material m;
    m.colour = {255, 255, 255, 255};
    soup.materials.push_back({-1, m});
    auto quad = [&](float x0, float z0, float x1, float z1, float y) {
        const auto first = static_cast<uint16_t>(soup.positions.size());
        soup.positions.insert(soup.positions.end(),
                              {{x0, y, z0}, {x0, y, z1}, {x1, y, z1}, {x1, y, z0}});
        for (int i = 0; i < 4; ++i) soup.prelit.push_back({200, 200, 200, 255});
        soup.triangles.push_back({first, uint16_t(first + 1), uint16_t(first + 3), 0});
        soup.triangles.push_back(
            {uint16_t(first + 1), uint16_t(first + 2), uint16_t(first + 3), 0});
    };
    const float c = size / float(cells);
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j)
            quad(float(i) * c, float(j) * c, float(i + 1) * c, float(j + 1) * c, height);
    quad(0, 0, size, size, 50.0f);
    mw::BuildOptions options;
    options.flags = mw::worldPrelit;
    options.margin = 50.0f;
    std::optional<mw::World> w = mw::build_world(soup, options);
    if (!w) {
        ADD_FAILURE() << "the world did not build";
        return {};
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(mw::write_world(*w, out));
    return out;
}

// One tilted triangle crossing the box's sides and both its ends. The writer moves its lowest
// corner (161, 102, 184) to (100, 100, 100): by (-61, -2, -84).
std::vector<uint8_t> tilted_world() {
    mw::TriangleSoup soup;
    mw::Material m;
    m.colour = {255, 255, 255, 255};
    soup.materials.push_back({-1, m});
    soup.positions = {{310, 139, 184}, {161, 230, 242}, {213, 102, 186}};
    for (int i = 0; i < 3; ++i) soup.prelit.push_back({200, 200, 200, 255});
    soup.triangles.push_back({0, 1, 2, 0});
    mw::BuildOptions options;
    options.flags = mw::worldPrelit;
    options.margin = 100.0f;
    std::optional<mw::World> w = mw::build_world(soup, options);
    if (!w) {
        ADD_FAILURE() << "the world did not build";
        return {};
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(mw::write_world(*w, out));
    return out;
}

// A downward projector over (x, y, z): right +x, up +z, at -y.
LgMatrix projector(LgVector position) {
    LgMatrix m{};
    m.right = {1, 0, 0};
    m.at = {0, -1, 0};
    LgVectorCrossProduct(&m.up, &m.at, &m.right);
    m.pos = position;
    return m;
}

struct Piece {
    std::vector<LgIm3DVertex> vertices;
    bool clipped;
};

void collect(const LgIm3DVertex* vertices, int32_t count, bool clipped, void* context) {
    static_cast<std::vector<Piece>*>(context)->push_back(
        {std::vector<LgIm3DVertex>(vertices, vertices + count), clipped});
}

// A reference Sutherland-Hodgman over the downward box (length l) in a given face order.
std::vector<LgVector> reference_clip(std::vector<LgVector> polygon, LgVector p, float w,
                                     const std::vector<uint32_t>& order, float l = 50.0f) {
    for (uint32_t bit : order) {
        auto distance = [&](const LgVector& v) {
            switch (bit) {
            case 0x01: return v.z - (p.z + w);
            case 0x02: return (p.x - w) - v.x;
            case 0x04: return (p.z - w) - v.z;
            case 0x08: return v.x - (p.x + w);
            case 0x10: return (p.y - l) - v.y;
            case 0x20: return v.y - p.y;
            default: return -1.0f;
            }
        };
        bool any_out = false;
        for (const LgVector& v : polygon) any_out |= distance(v) > 0;
        if (!any_out) continue;
        std::vector<LgVector> out;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const LgVector a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            const float da = distance(a), db = distance(b);
            if (da <= 0) out.push_back(a);
            if ((da <= 0) != (db <= 0)) {
                const float t = da / (da - db);
                out.push_back(
                    {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t});
            }
        }
        polygon = out;
    }
    return polygon;
}

class ShadowTest : public gametest::GameEngineTest {
protected:
    void TearDown() override {
        if (world) LgWorldDestroy(world);
        GameEngineTest::TearDown();
    }
    void make(float size, int cells, float height = 150.0f) {
        world = landscapetest::read_world_bytes(grid_world(size, cells, height));
        ASSERT_NE(world, nullptr);
        // As the landscape does with every map: the tops rise by 1000.
        LgWorldGetBoundingBox(world)->sup.y += 1000.0f;
        LgWorldForAllAtomicSectors(
            world,
            [](LgAtomicSector* sector, void*) {
                LgWorldSectorGetBoundingBox(sector)->sup.y += 1000.0f;
                return sector;
            },
            nullptr);
    }
    std::vector<Piece> project(LgVector at, float w, float l, TvShadowStyle style) {
        std::vector<Piece> pieces;
        const LgMatrix m = projector(at);
        TvProjectShadow(&m, world, w, l, style, collect, &pieces);
        return pieces;
    }
    LgWorld* world = nullptr;
};

TEST_F(ShadowTest, GatherStopsAtCapacityInWalkOrderAndMissesLeaveTheArray) {
    make(400.0f, 20); // 800 triangles at y 150 over [50, 450]
    const LgVector upper{450, 160, 450}, lower{50, 140, 50};
    std::vector<TvCollisionTriangle> all(2000);
    const int32_t total = TvGatherWorldTriangles(world, &upper, &lower, 2000, all.data());
    ASSERT_EQ(total, 800);
    std::vector<TvCollisionTriangle> first(128);
    ASSERT_EQ(TvGatherWorldTriangles(world, &upper, &lower, 128, first.data()), 128);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(first[i].vertices[0], all[i].vertices[0]) << i;
        EXPECT_EQ(first[i].index, all[i].index) << i;
    }
    // The vertex pointers stay valid beyond the walk: they point into the world.
    EXPECT_FLOAT_EQ(first[5].vertices[2]->y, 150.0f);

    // A box between the two layers touches nothing.
    TvCollisionTriangle untouched[4];
    std::memset(untouched, 0xAB, sizeof untouched);
    const LgVector high{450, 120, 450}, low{50, 80, 50};
    EXPECT_EQ(TvGatherWorldTriangles(world, &high, &low, 4, untouched), 0);
    const auto* bytes = reinterpret_cast<const uint8_t*>(untouched);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof untouched, [](uint8_t b) { return b == 0xAB; }));
    EXPECT_EQ(TvGatherWorldTriangles(nullptr, &upper, &lower, 4, untouched), 0);
}

TEST_F(ShadowTest, ClipFollowsTheFaceOrderAndLiftsOnlyClippedPieces) {
    make(400.0f, 2); // cells of 200: the two triangles of one straddle the box
    const LgVector p{140, 175, 150};
    const float w = 20.0f;
    const std::vector<Piece> pieces = project(p, w, 50.0f, {false, 0, 0.5f});
    ASSERT_EQ(pieces.size(), 2u); // the lower layer lies beyond the far end: skipped
    std::vector<TvCollisionTriangle> tris(4);
    const LgVector upper{p.x + w, p.y, p.z + w}, lower{p.x - w, p.y - 50.0f, p.z - w};
    ASSERT_EQ(TvGatherWorldTriangles(world, &upper, &lower, 4, tris.data()), 2); // no marker
    const std::vector<uint32_t> order = {2, 8, 1, 4};
    for (size_t t = 0; t < 2; ++t) {
        const std::vector<LgVector> expected = reference_clip(
            {*tris[t].vertices[0], *tris[t].vertices[1], *tris[t].vertices[2]}, p, w, order);
        ASSERT_TRUE(pieces[t].clipped);
        ASSERT_EQ(pieces[t].vertices.size(), expected.size()) << t;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(pieces[t].vertices[i].position.x, expected[i].x, 1e-3f);
            EXPECT_NEAR(pieces[t].vertices[i].position.z, expected[i].z, 1e-3f);
            EXPECT_FLOAT_EQ(pieces[t].vertices[i].position.y, 150.5f);
            EXPECT_EQ(pieces[t].vertices[i].color.alpha, 127); // trunc(0.5 x 255)
        }
        // Another order starts the polygon elsewhere: the order is what fixes it.
        const std::vector<LgVector> other = reference_clip(
            {*tris[t].vertices[0], *tris[t].vertices[1], *tris[t].vertices[2]}, p, w, {1, 4, 2, 8});
        bool same = other.size() == expected.size();
        for (size_t i = 0; same && i < other.size(); ++i)
            same = std::fabs(other[i].x - expected[i].x) < 1e-3f &&
                   std::fabs(other[i].z - expected[i].z) < 1e-3f;
        EXPECT_FALSE(same) << t;
    }

    // Cells wholly inside stay at their height; their clipped neighbours are lifted.
    LgWorldDestroy(world);
    make(400.0f, 40); // 10-unit cells
    const std::vector<Piece> fine = project({250, 175, 250}, 20.0f, 50.0f, {false, 0, 1.0f});
    int whole = 0, clipped = 0;
    for (const Piece& piece : fine) {
        for (const LgIm3DVertex& v : piece.vertices) {
            EXPECT_FLOAT_EQ(v.position.y, piece.clipped ? 150.5f : 150.0f);
            EXPECT_EQ(v.color.alpha, 255);
            EXPECT_GE(v.position.x, 230.0f - 1e-3f);
            EXPECT_LE(v.position.x, 270.0f + 1e-3f);
        }
        (piece.clipped ? clipped : whole) += 1;
    }
    EXPECT_EQ(whole, 2 * 4 * 4); // the cells of x, z in [230, 270] (the faces count inside)
    EXPECT_GT(clipped, 0);       // and the ring around them, touching the faces
}

TEST_F(ShadowTest, EndsAreClippedAfterTheSides) {
    world = landscapetest::read_world_bytes(tilted_world());
    ASSERT_NE(world, nullptr);
    LgWorldGetBoundingBox(world)->sup.y += 1000.0f;
    const LgVector p{213 - 61, 175 - 2, 196 - 84};
    const float w = 30.0f, l = 30.0f;
    const std::vector<Piece> pieces = project(p, w, l, {true, 1, 0.0f});
    ASSERT_EQ(pieces.size(), 1u);
    TvCollisionTriangle tri[2];
    const LgVector upper{p.x + w, p.y, p.z + w}, lower{p.x - w, p.y - l, p.z - w};
    ASSERT_EQ(TvGatherWorldTriangles(world, &upper, &lower, 2, tri), 1);
    const std::vector<LgVector> triangle = {*tri[0].vertices[0], *tri[0].vertices[1],
                                            *tri[0].vertices[2]};
    auto same = [](const std::vector<LgVector>& a, const std::vector<LgVector>& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::fabs(a[i].x - b[i].x) > 1e-3f || std::fabs(a[i].y - b[i].y) > 1e-3f ||
                std::fabs(a[i].z - b[i].z) > 1e-3f)
                return false;
        return true;
    };
    const std::vector<LgVector> expected =
        reference_clip(triangle, p, w, {2, 8, 1, 4, 0x10, 0x20}, l);
    // The ends before the sides give another polygon. (Two parallel faces give the same one
    // in either order, so the order that shows is that of the pairs.)
    EXPECT_FALSE(same(expected, reference_clip(triangle, p, w, {0x10, 0x20, 2, 8, 1, 4}, l)));
    std::vector<LgVector> got;
    for (const LgIm3DVertex& v : pieces[0].vertices)
        got.push_back({v.position.x, v.position.y - 0.5f, v.position.z});
    EXPECT_TRUE(same(got, expected));
    for (const LgVector& v : got) {
        EXPECT_GE(v.y, p.y - l - 1e-3f);
        EXPECT_LE(v.y, p.y + 1e-3f);
    }
}

TEST_F(ShadowTest, TextureCoordinatesRunAcrossTheBoxAndPlaneAlphaFades) {
    make(400.0f, 40);
    const LgVector p{250, 175, 250};
    const float w = 20.0f, l = 100.0f;
    for (int fade : {0, 1}) {
        const std::vector<Piece> pieces = project(p, w, l, {true, fade, 0.0f});
        ASSERT_FALSE(pieces.empty());
        for (const Piece& piece : pieces)
            for (const LgIm3DVertex& v : piece.vertices) {
                LgVector q = v.position;
                if (piece.clipped) q.y -= 0.5f;
                // u from the right row, v from the up row (+z), through P - at.
                EXPECT_NEAR(v.u, 0.5f + (p.x - q.x) * 0.5f / w, 1e-4f);
                EXPECT_NEAR(v.v, 0.5f + (p.z - q.z) * 0.5f / w, 1e-4f);
                const float distance =
                    std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) +
                              (p.z - q.z) * (p.z - q.z));
                const float f = std::clamp(255.0f - distance * (2.0f / l) * 255.0f, 0.0f, 100.0f);
                const int expected = piece.clipped && fade == 0 ? 254 : int(f);
                EXPECT_EQ(v.color.alpha, expected);
                EXPECT_LE(v.color.alpha == 254 ? 0 : v.color.alpha, 100);
            }
    }
    // Farther than L / 2 the fade is 0.
    const std::vector<Piece> far = project({250, 210, 250}, w, 100.0f, {true, 1, 0.0f});
    ASSERT_FALSE(far.empty());
    for (const Piece& piece : far)
        for (const LgIm3DVertex& v : piece.vertices) EXPECT_EQ(v.color.alpha, 0);
}

TEST_F(ShadowTest, NothingForABoxOutsideTheWorldOrWithoutSize) {
    make(400.0f, 4);
    EXPECT_TRUE(project({2000, 175, 2000}, 20, 50, {false, 0, 1}).empty());
    EXPECT_TRUE(project({250, 175, 250}, 0, 50, {false, 0, 1}).empty());
    EXPECT_TRUE(project({250, 175, 250}, 20, 0, {false, 0, 1}).empty());
}

TEST_F(ShadowTest, DrawingSetsTheShadowTextureAndDrawsInTheCamera) {
    make(400.0f, 40);
    landscapetest::ViewCamera view({250, 400, 250}, {0, -1, 0.01f});
    LgTexture* texture = LgTextureCreate(LgRasterCreate(4, 4, 32, LgRasterTypeTexture | 0x500));
    ASSERT_TRUE(view.begin());
    const LgMatrix m = projector({250, 175, 250});
    TvDrawGroundShadow(&m, world, texture, 20.0f, 50.0f, 0.4f);
    void* raster = nullptr;
    LgRenderStateGet(1, &raster);
    EXPECT_EQ(raster, LgTextureGetRaster(texture));
    TvDrawPlaneShadow(&m, world, nullptr, 20.0f, 50.0f, 1);
    LgRenderStateGet(1, &raster);
    EXPECT_EQ(raster, nullptr);
    view.end();
    LgTextureDestroy(texture);
}

} // namespace
