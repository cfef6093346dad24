// Shrapnel over a writer-made model directory: models in sorted order with their sizes from
// SHRAPNEL.INI, the name masks, the number of pieces by the source's radius, the pool limit,
// the ballistic update on the platform clock, expiry and clearing.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_tie.h"
#include "game/world/tv_shrapnel.h"
#include "tests/game/world/landscape_test_support.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

namespace mw = modelwriter;

std::string box_file(float half = 1.0f) {
    mw::Material m;
    m.colour = {120, 90, 60, 255};
    const std::vector<uint8_t> bytes =
        modeltest::clump_bytes(mw::single_atomic_clump(mw::make_box({half, half, half}, m)));
    return std::string(bytes.begin(), bytes.end());
}

int32_t clumps_in(LgWorld* world) {
    int32_t n = 0;
    LgWorldForAllClumps(
        world,
        [](LgClump* c, void* data) {
            ++*static_cast<int32_t*>(data);
            return c;
        },
        &n);
    return n;
}

// Switches the random-number plug-in on for the engine of the fixture built after it.
struct RandomNumbersOn {
    RandomNumbersOn() { gametest::attach_random() = true; }
    ~RandomNumbersOn() { gametest::attach_random() = false; }
};

class ShrapnelTest : private RandomNumbersOn, public landscapetest::LandscapeTest {
protected:
    void SetUp() override {
        LandscapeTest::SetUp();
        ASSERT_EQ(load_flat(), OM_S_OK);
        landscape->GetWorld(&world);
        // Mixed case on purpose: the directory is found ignoring case, the names sort.
        dir.write_file("objects/ground/shrapnel/plank.dff", box_file());
        dir.write_file("objects/ground/shrapnel/Beam.DFF", box_file());
        dir.write_file("objects/ground/shrapnel/wheel.dff", box_file());
        dir.write_file("objects/ground/shrapnel/notes.txt", "not a model");
        dir.write_file("objects/ground/shrapnel/SHRAPNEL.INI",
                       "Shrapnel pieces: name and size\nPLANK 2.0\nbeam 0.5\nunknown 3\n");
    }
    void TearDown() override {
        TvReleaseShrapnel();
        if (source) {
            LgWorldRemoveClump(world, source);
            LgClumpDestroy(source);
        }
        LandscapeTest::TearDown();
    }
    // A source model in the world at (500, 150, 500) whose first atomic has the radius.
    void make_source(float radius) {
        source = gametest::box_model();
        LgAtomic* a = gametest::atomics_of(source).front();
        a->boundingSphere.radius = radius;
        a->interpolator.flags &= ~0x02u;
        LgMatrix* m = LgFrameGetMatrix(LgClumpGetFrame(source));
        m->pos = {500, 150, 500};
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(LgClumpGetFrame(source));
        LgWorldAddClump(world, source);
    }
    uint32_t mask_of(const char* names) {
        uint32_t mask = 0;
        int32_t count = 0;
        TvShrapnelMaskFromNames(names, &mask, &count);
        return mask;
    }

    testsupport::VirtualClockScope clock{1000};
    LgWorld* world = nullptr;
    LgClump* source = nullptr;
};

TEST_F(ShrapnelTest, ModelsLoadInSortedOrderWithTheirSizes) {
    EXPECT_EQ(TvInitShrapnel(), 1);
    ASSERT_EQ(TvShrapnelModelCount(), 3);
    EXPECT_STREQ(TvShrapnelModelName(0), "Beam");
    EXPECT_STREQ(TvShrapnelModelName(1), "plank");
    EXPECT_STREQ(TvShrapnelModelName(2), "wheel");
    EXPECT_FLOAT_EQ(TvShrapnelModelScale(0), 2.0f); // 1 / 0.5
    EXPECT_FLOAT_EQ(TvShrapnelModelScale(1), 0.5f); // 1 / 2.0, named in upper case
    EXPECT_FLOAT_EQ(TvShrapnelModelScale(2), 0.0f); // not named
    for (int i = 0; i < 3; ++i) EXPECT_NE(TvShrapnelModel(i), nullptr);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    // A second load replaces the first.
    EXPECT_EQ(TvInitShrapnel(), 1);
    EXPECT_EQ(TvShrapnelModelCount(), 3);
}

TEST_F(ShrapnelTest, SizesWithoutAFiniteScaleAreIgnored) {
    for (const char* size : {"1e-40", "0", "-2", "nan", "inf"}) {
        dir.write_file("objects/ground/shrapnel/SHRAPNEL.INI",
                       std::string("Shrapnel pieces: name and size\nplank ") + size +
                           "\nbeam 0.5\n");
        EXPECT_EQ(TvInitShrapnel(), 1);
        EXPECT_EQ(TvShrapnelModelScale(1), 0.0f) << size; // plank
        EXPECT_FLOAT_EQ(TvShrapnelModelScale(0), 2.0f) << size;
    }
}

TEST_F(ShrapnelTest, MoreThanThirtyTwoModelsStopAtThirtyTwo) {
    for (int i = 0; i < 33; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "objects/ground/shrapnel/x%02d.dff", i);
        dir.write_file(name, box_file(0.2f));
    }
    TvInitShrapnel();
    EXPECT_EQ(TvShrapnelModelCount(), kTvShrapnelModelCapacity);
    EXPECT_STREQ(TvShrapnelModelName(31), "x28"); // Beam, plank, wheel come first
    bool logged = false;
    for (const std::string& line : record.log) logged |= line.find("x32.dff") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(ShrapnelTest, NamesBecomeMasksIgnoringCase) {
    TvInitShrapnel();
    struct Case {
        const char* text;
        uint32_t mask;
        int32_t count;
    };
    const Case cases[] = {{"plank beam plank", 0x3, 3},
                          {"WHEEL", 0x4, 1},
                          {"  beam   wheel ", 0x5, 2},
                          {"nothing here", 0, 0},
                          {"", 0, 0},
                          {"averyveryveryveryverylongwordthatisbeyondthirtyone beam", 0x1, 1}};
    for (const Case& c : cases) {
        uint32_t mask = 99;
        int32_t count = 99;
        TvShrapnelMaskFromNames(c.text, &mask, &count);
        EXPECT_EQ(mask, c.mask) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
    }
    std::string many;
    for (int i = 0; i < 40; ++i) many += "beam ";
    uint32_t mask = 0;
    int32_t count = 0;
    TvShrapnelMaskFromNames(many.c_str(), &mask, &count);
    EXPECT_EQ(count, 32);
}

TEST_F(ShrapnelTest, PiecesByRadiusWhileThePoolLasts) {
    TvInitShrapnel();
    const int32_t before = clumps_in(world);
    make_source(30.0f);
    TvSpawnShrapnel(source, mask_of("beam plank"), 2);
    EXPECT_EQ(TvShrapnelLiveCount(), 10); // radius below 50
    EXPECT_EQ(clumps_in(world), before + 1 + 10);
    const TvShrapnelPiece* piece = TvShrapnelLivePieces();
    ASSERT_NE(piece, nullptr);
    LgAtomic* clone_atomic = gametest::atomics_of(piece->model).front();
    EXPECT_EQ(clone_atomic->object.header.flags, 4);
    EXPECT_NEAR(std::sqrt(piece->spin_axis.x * piece->spin_axis.x +
                          piece->spin_axis.y * piece->spin_axis.y +
                          piece->spin_axis.z * piece->spin_axis.z),
                1.0f, 1e-4f);

    LgAtomic* a = gametest::atomics_of(source).front();
    a->boundingSphere.radius = 120.0f;
    TvSpawnShrapnel(source, mask_of("beam"), 1);
    EXPECT_EQ(TvShrapnelLiveCount(), 10 + 24);
    TvSpawnShrapnel(source, mask_of("beam"), 1); // 16 left in the pool
    EXPECT_EQ(TvShrapnelLiveCount(), 50);
    TvSpawnShrapnel(source, mask_of("beam"), 1);
    EXPECT_EQ(TvShrapnelLiveCount(), 50);
    TvSpawnShrapnel(source, 0, 0); // nothing
    EXPECT_EQ(TvShrapnelLiveCount(), 50);

    TvClearShrapnelPieces();
    EXPECT_EQ(TvShrapnelLiveCount(), 0);
    EXPECT_EQ(clumps_in(world), before + 1);
}

TEST_F(ShrapnelTest, PiecesFlyFallAndVanishAfterTenSeconds) {
    TvInitShrapnel();
    make_source(30.0f);
    TvSpawnShrapnel(source, mask_of("beam"), 1);  // scale 2: they move
    TvSpawnShrapnel(source, mask_of("wheel"), 1); // scale 0: they stand still
    ASSERT_EQ(TvShrapnelLiveCount(), 20);
    struct Kept {
        const TvShrapnelPiece* piece;
        LgVector position;
        LgVector velocity;
        LgMatrix matrix;
    };
    std::vector<Kept> kept;
    for (const TvShrapnelPiece* p = TvShrapnelLivePieces(); p; p = p->next)
        kept.push_back({p, LgFrameGetMatrix(LgClumpGetFrame(p->model))->pos, p->velocity,
                        *LgFrameGetMatrix(LgClumpGetFrame(p->model))});
    TvUpdateShrapnel(); // sets the clock's base
    for (Kept& k : kept) {
        k.position = LgFrameGetMatrix(LgClumpGetFrame(k.piece->model))->pos;
        k.velocity = k.piece->velocity;
    }
    platform::advance_virtual_clock(500);
    TvUpdateShrapnel();
    for (const Kept& k : kept) {
        const LgMatrix* m = LgFrameGetMatrix(LgClumpGetFrame(k.piece->model));
        const float dt = (k.velocity.y - k.piece->velocity.y) / (9.81f * 6.0f);
        EXPECT_NEAR(dt, 0.5f, 0.01f);
        if (k.piece->spin_rate == 0.0f && k.velocity.x == 0.0f) {
            // Scale 0: no velocity, no spin; only the fall starts.
            EXPECT_FLOAT_EQ(m->right.x, k.matrix.right.x);
        }
        EXPECT_NEAR(m->pos.x, k.position.x + k.velocity.x * dt, 1e-3f);
        EXPECT_NEAR(m->pos.z, k.position.z + k.velocity.z * dt, 1e-3f);
        EXPECT_NEAR(m->pos.y, k.position.y + k.piece->velocity.y * dt, 1e-3f);
    }
    platform::advance_virtual_clock(9000);
    TvUpdateShrapnel();
    EXPECT_EQ(TvShrapnelLiveCount(), 20);
    platform::advance_virtual_clock(600);
    TvUpdateShrapnel();
    EXPECT_EQ(TvShrapnelLiveCount(), 0);
}

TEST_F(ShrapnelTest, NoModelsOrNoMatchThrowNothing) {
    dir.write_file("objects/ground/shrapnel/SHRAPNEL.INI", "heading only\n");
    TvInitShrapnel();
    make_source(30.0f);
    TvSpawnShrapnel(source, mask_of("girder"), 1);
    EXPECT_EQ(TvShrapnelLiveCount(), 0);
    EXPECT_FLOAT_EQ(TvShrapnelModelScale(0), 0.0f);
}

} // namespace
