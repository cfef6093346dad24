// OmRectPacker.
#include "framework/containers/rect_packer.h"
#include "tests/support/framework_fixture.h"

#include <ostream>
#include <vector>

void PrintTo(const OmRect& r, std::ostream* os) {
    *os << "{" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "}";
}

namespace {

class RectPackerTest : public testsupport::FrameworkTest {
protected:
    void TearDown() override {
        OmRectPackerRelease(&packer);
        FrameworkTest::TearDown();
    }
    OmRect alloc(int32_t width, int32_t height) {
        OmRect r{-1, -1, -1, -1};
        EXPECT_EQ(OmRectPackerAlloc(&packer, width, height, &r), 0) << width << "x" << height;
        return r;
    }
    OmResult try_alloc(int32_t width, int32_t height) {
        OmRect r;
        return OmRectPackerAlloc(&packer, width, height, &r);
    }
    OmRectPacker packer{};
};

TEST_F(RectPackerTest, FullSizeUsesTheRootItself) {
    ASSERT_EQ(OmRectPackerInit(&packer, 256, 256), 0);
    EXPECT_EQ(alloc(256, 256), (OmRect{0, 0, 256, 256}));
    EXPECT_EQ(packer.count, 1);
    EXPECT_EQ(try_alloc(1, 1), OM_E_FAIL);
}

TEST_F(RectPackerTest, CutsLeaveTheRestAsFreeAreas) {
    struct Row {
        int32_t width, height;         // first request on an empty 256 x 256 surface
        std::vector<OmRect> free_left; // exactly these areas can be had afterwards
    };
    const Row rows[] = {
        // Leftover height 236 > leftover width 156: cut across, then the strip down.
        {100, 20, {{100, 0, 156, 20}, {0, 20, 256, 236}}},
        // Full width: across, no second cut.
        {256, 10, {{0, 10, 256, 246}}},
        // Leftover width 236 > leftover height 156: cut down, then the strip across.
        {20, 100, {{0, 100, 20, 156}, {20, 0, 236, 256}}},
        // Equal leftovers cut down.
        {56, 56, {{0, 56, 56, 200}, {56, 0, 200, 256}}},
        // Full height: down, no second cut.
        {30, 256, {{30, 0, 226, 256}}},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(OmRectPackerInit(&packer, 256, 256), 0);
        EXPECT_EQ(alloc(row.width, row.height), (OmRect{0, 0, row.width, row.height}));
        // An exact fit is always the area chosen, so asking for each free area's size
        // finds it where the cut put it.
        for (const OmRect& area : row.free_left)
            EXPECT_EQ(alloc(area.width, area.height), area) << row.width << "x" << row.height;
        EXPECT_EQ(try_alloc(1, 1), OM_E_FAIL) << "nothing else was left free";
        EXPECT_EQ(packer.count, int32_t(row.free_left.size()) + 1);
    }
}

TEST_F(RectPackerTest, BestFitRules) {
    struct Row {
        const char* rule;
        int32_t surface_width, surface_height, first_width, first_height;
        int32_t width, height;
        OmRect chosen;
    };
    // The first request leaves two free areas: the rest of its strip (visited first) and the
    // rest of the surface.
    const Row rows[] = {
        {"a matching side beats a smaller area", 150, 300, 100, 200, 40, 100, {0, 200, 40, 100}},
        {"otherwise the smaller area wins", 150, 300, 100, 200, 40, 40, {100, 0, 40, 40}},
        {"of equal areas the first found stays", 100, 450, 50, 300, 10, 10, {50, 0, 10, 10}},
        {"a best that matches keeps a larger leaf out",
         256,
         256,
         100,
         20,
         50,
         20,
         {100, 0, 50, 20}},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(OmRectPackerInit(&packer, row.surface_width, row.surface_height), 0);
        alloc(row.first_width, row.first_height);
        EXPECT_EQ(alloc(row.width, row.height), row.chosen) << row.rule;
    }
}

TEST_F(RectPackerTest, FreeingEverythingMergesBackToOneFreeRoot) {
    ASSERT_EQ(OmRectPackerInit(&packer, 256, 256), 0);
    std::vector<OmRect> given;
    // Glyph-like sizes until the surface is full.
    for (int i = 0;; ++i) {
        OmRect r;
        if (OmRectPackerAlloc(&packer, 9 + i % 13, 11 + i % 7, &r) < 0) break;
        given.push_back(r);
    }
    ASSERT_GT(given.size(), 100u);
    // Every other one first, then the rest backwards: merges happen in many orders.
    for (size_t i = 0; i < given.size(); i += 2) EXPECT_EQ(OmRectPackerFree(&packer, &given[i]), 1);
    for (size_t i = given.size() - given.size() % 2; i-- > 1;)
        if (i % 2) {
            EXPECT_EQ(OmRectPackerFree(&packer, &given[i]), 1);
        }
    EXPECT_EQ(packer.count, 0);
    EXPECT_EQ(alloc(256, 256), (OmRect{0, 0, 256, 256}));
}

TEST_F(RectPackerTest, FreeTakesBackOnlyWhatWasHandedOut) {
    ASSERT_EQ(OmRectPackerInit(&packer, 256, 256), 0);
    OmRect a = alloc(100, 20), b = alloc(50, 20);
    const OmRect never[] = {{0, 0, 50, 20}, {0, 0, 100, 21}, {300, 0, 5, 5}, {-5, 0, 5, 5}};
    for (const OmRect& r : never) EXPECT_EQ(OmRectPackerFree(&packer, &r), 0);
    EXPECT_EQ(packer.count, 2);
    EXPECT_EQ(OmRectPackerFree(&packer, &b), 1);
    EXPECT_EQ(OmRectPackerFree(&packer, &b), 0) << "a second free does not count again";
    EXPECT_EQ(packer.count, 1);
    EXPECT_EQ(alloc(156, 20), (OmRect{100, 0, 156, 20})) << "b merged with its neighbour";
    EXPECT_EQ(OmRectPackerFree(&packer, &a), 1);
    EXPECT_EQ(OmRectPackerFree(&packer, nullptr), 0);
}

TEST_F(RectPackerTest, RefusesBadRequests) {
    EXPECT_EQ(try_alloc(1, 1), OM_E_FAIL) << "never initialised";
    EXPECT_EQ(OmRectPackerInit(&packer, -1, 5), OM_E_FAIL);
    ASSERT_EQ(OmRectPackerInit(&packer, 64, 64), 0);
    EXPECT_EQ(try_alloc(0, 5), OM_E_FAIL);
    EXPECT_EQ(try_alloc(5, -1), OM_E_FAIL);
    EXPECT_EQ(try_alloc(65, 1), OM_E_FAIL);
    EXPECT_EQ(OmRectPackerAlloc(&packer, 1, 1, nullptr), OM_E_FAIL);
    EXPECT_EQ(packer.count, 0);
    OmRectPackerRelease(&packer);
    EXPECT_EQ(try_alloc(1, 1), OM_E_FAIL);
}

TEST_F(RectPackerTest, OutOfMemoryLeavesThePackerAsItWas) {
    ASSERT_EQ(OmRectPackerInit(&packer, 256, 256), 0);
    // Allocations take their nodes from the pool's current block until one needs a new
    // block: that one fails.
    int32_t made = 0;
    OmResult r;
    do {
        platform::fail_allocation_after(1);
        r = try_alloc(10, 10);
        made += r == 0;
    } while (r == 0 && made < 40);
    platform::reset_allocation_faults();
    ASSERT_EQ(r, OM_E_OUTOFMEMORY);
    EXPECT_EQ(packer.count, made);
    const OmRect next = alloc(10, 10);

    // Done again on a fresh packer without the fault: the same area comes out.
    OmRectPacker fresh{};
    ASSERT_EQ(OmRectPackerInit(&fresh, 256, 256), 0);
    OmRect same;
    for (int32_t i = 0; i <= made; ++i) OmRectPackerAlloc(&fresh, 10, 10, &same);
    EXPECT_EQ(same, next);
    OmRectPackerRelease(&fresh);

    platform::fail_allocation_after(1);
    EXPECT_EQ(OmRectPackerReset(&packer), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmRectPackerInit(&packer, 32, 32), OM_E_OUTOFMEMORY);
    EXPECT_EQ(packer.count, made + 1);
    EXPECT_EQ(packer.width, 256);
    EXPECT_EQ(OmRectPackerFree(&packer, &next), 1);
}

} // namespace
