// The resources arena: eviction order under pressure, ageing at show, owners' fields, the
// size limit and the usage figure.
#include "tests/engine/core/null_device.h"

#include <gtest/gtest.h>

#include <string>

using enginetest::CountingMemory;
using enginetest::NullDeviceEngine;
using enginetest::recorded_error;

namespace {

std::string destroyed;

// An owner with its field; entries carry the owner's name as their first data byte.
struct Owner {
    char name;
    LgResEntry* entry = nullptr;
};

void note_destroy(LgResEntry* entry) {
    destroyed += static_cast<Owner*>(entry->owner)->name;
}

class Arena : public ::testing::Test {
protected:
    Arena() { destroyed.clear(); }

    LgResEntry* allocate(Owner& owner, int32_t size) {
        return LgResourcesAllocateEntry(&owner, &owner.entry, size, note_destroy);
    }

    // The owners outlive the engine: stopping it empties the arena into their fields.
    Owner a{'a'}, b{'b'}, c{'c'}, d{'d'}, e{'e'}, f{'f'};
    NullDeviceEngine engine;
};

TEST_F(Arena, ASecondEntryThatDoesNotFitEvictsTheFirst) {
    ASSERT_EQ(LgResourcesSetArenaSize(100), 1);
    ASSERT_NE(allocate(a, 60), nullptr);
    EXPECT_EQ(a.entry->owner, &a);
    EXPECT_EQ(static_cast<void*>(a.entry + 1), LgResourcesEntryData(a.entry));
    ASSERT_NE(allocate(b, 60), nullptr);
    EXPECT_EQ(a.entry, nullptr) << "the evicted entry's owner field is cleared";
    EXPECT_EQ(destroyed, "a");
    EXPECT_EQ(b.entry->size, 60);
}

TEST_F(Arena, EntriesUsedSinceTheLastShowOutliveTheOthers) {
    ASSERT_EQ(LgResourcesSetArenaSize(300), 1);
    allocate(a, 100);
    allocate(b, 100);
    allocate(c, 100);
    LgResourcesAge(); // a, b, c become older
    LgResourcesUseEntry(a.entry);
    allocate(d, 100); // evicts the oldest unused: a was used, so b
    EXPECT_EQ(destroyed, "b");
    allocate(e, 100);
    EXPECT_EQ(destroyed, "bc");
    EXPECT_NE(a.entry, nullptr);
    // Only this frame's entries left: the oldest of them goes next, and counts as evicted.
    allocate(f, 100);
    EXPECT_EQ(destroyed, "bca");
    EXPECT_EQ(LgResourcesGetArenaUsed(), 400) << "d, e, f and the 100 evicted bytes of a";
}

TEST_F(Arena, ShowingTheCameraRasterAgesTheArena) {
    allocate(a, 40);
    EXPECT_EQ(LgResourcesGetArenaUsed(), 40);
    LgCamera* camera = LgCameraCreate();
    LgRaster* raster = LgRasterCreate(64, 48, 32, LgRasterTypeCamera);
    LgCameraSetRaster(camera, raster);
    ASSERT_EQ(LgCameraShowRaster(camera, nullptr, 0), camera);
    EXPECT_EQ(LgResourcesGetArenaUsed(), 0) << "nothing used since the show";
    LgResourcesUseEntry(a.entry);
    EXPECT_EQ(LgResourcesGetArenaUsed(), 40);
    LgCameraDestroy(camera);
    LgRasterDestroy(raster);
}

TEST_F(Arena, ARequestLargerThanTheLimitFailsAndLeavesTheOwnerFieldNull) {
    ASSERT_EQ(LgResourcesSetArenaSize(100), 1);
    Owner big{'x'};
    big.entry = reinterpret_cast<LgResEntry*>(&big); // stale value the failure must clear
    EXPECT_EQ(allocate(big, 101), nullptr);
    EXPECT_EQ(big.entry, nullptr);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrResources}));
}

TEST_F(Arena, ShrinkingTheLimitEvictsOldestFirstAndZeroFreesEverything) {
    allocate(a, 50);
    allocate(b, 50);
    LgResourcesAge();
    allocate(c, 50);
    EXPECT_EQ(LgResourcesSetArenaSize(100), 1);
    EXPECT_EQ(destroyed, "a");
    EXPECT_EQ(LgResourcesSetArenaSize(0), 1);
    EXPECT_EQ(destroyed, "abc");
    EXPECT_EQ(b.entry, nullptr);
    EXPECT_EQ(c.entry, nullptr);
}

TEST_F(Arena, FreeingAndEmptyingCallTheNotifierAndClearTheOwners) {
    allocate(a, 10);
    allocate(b, 10);
    LgResourcesAge();
    allocate(c, 10);
    EXPECT_EQ(LgResourcesFreeEntry(b.entry), 1);
    EXPECT_EQ(b.entry, nullptr);
    EXPECT_EQ(LgResourcesEmptyArena(), 1);
    EXPECT_EQ(destroyed.size(), 3u);
    EXPECT_EQ(a.entry, nullptr);
    EXPECT_EQ(LgResourcesGetArenaUsed(), 0);
    EXPECT_NE(allocate(d, 10), nullptr) << "the arena works after emptying";
}

TEST_F(Arena, AFailedAllocationEvictsAndTriesAgain) {
    allocate(a, 10);
    CountingMemory::fail_in(1);
    EXPECT_NE(allocate(b, 10), nullptr);
    EXPECT_EQ(destroyed, "a") << "the memory came back by evicting";
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrOutOfMemory}));
}

TEST(ArenaModule, StoppingTheEngineFreesEveryEntry) {
    Owner a{'a'};
    {
        NullDeviceEngine engine;
        LgResourcesAllocateEntry(&a, &a.entry, 1000, nullptr);
        ASSERT_NE(a.entry, nullptr);
    }
    EXPECT_EQ(a.entry, nullptr);
    EXPECT_EQ(CountingMemory::live, 0);
}

} // namespace
