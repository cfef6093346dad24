// Free lists: entry placement, reuse, growth, enumeration and failure behaviour.
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

using enginetest::CountingMemory;
using enginetest::recorded_error;

namespace {

class FreeList : public ::testing::Test {
protected:
    void SetUp() override {
        CountingMemory::reset();
        ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    }
    void TearDown() override {
        LgEngineTerm();
        EXPECT_EQ(CountingMemory::live, 0);
    }
    static void collect(void* entry, void* data) {
        static_cast<std::vector<void*>*>(data)->push_back(entry);
    }
    static std::vector<void*> used(LgFreeList* list) {
        std::vector<void*> seen;
        LgFreeListForAllUsed(list, collect, &seen);
        std::sort(seen.begin(), seen.end());
        return seen;
    }
};

TEST_F(FreeList, EntriesAreDistinctAlignedAndInsideTheirBlocks) {
    for (int32_t alignment : {0, 1, 4, 16}) {
        LgFreeList* list = LgFreeListCreate(13, 5, alignment);
        ASSERT_NE(list, nullptr);
        std::set<uintptr_t> seen;
        for (int i = 0; i < 12; ++i) {
            auto* entry = static_cast<char*>(LgFreeListAlloc(list));
            ASSERT_NE(entry, nullptr);
            const auto address = reinterpret_cast<uintptr_t>(entry);
            EXPECT_EQ(address % std::max<size_t>(alignof(void*), alignment), 0u);
            std::fill(entry, entry + 13, 'e'); // a sanitizer flags any overrun
            EXPECT_TRUE(seen.insert(address).second);
        }
        EXPECT_EQ(list->capacity, 15u) << "three blocks of five";
        LgFreeListDestroy(list);
    }
}

TEST_F(FreeList, FreedEntriesComeBackFirst) {
    LgFreeList* list = LgFreeListCreate(32, 4, 0);
    void* a = LgFreeListAlloc(list);
    void* b = LgFreeListAlloc(list);
    EXPECT_LT(a, b) << "the lowest entry of a block comes out first";
    LgFreeListFree(list, a);
    EXPECT_EQ(LgFreeListAlloc(list), a);
    LgFreeListDestroy(list);
}

TEST_F(FreeList, ForAllUsedVisitsExactlyTheEntriesInUse) {
    LgFreeList* list = LgFreeListCreate(24, 3, 4);
    std::vector<void*> taken;
    for (int i = 0; i < 7; ++i) taken.push_back(LgFreeListAlloc(list));
    LgFreeListFree(list, taken[1]);
    LgFreeListFree(list, taken[5]);
    std::vector<void*> expected = {taken[0], taken[2], taken[3], taken[4], taken[6]};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(used(list), expected);
    LgFreeListDestroy(list);
}

TEST_F(FreeList, AFailedGrowthLeavesTheListUnchanged) {
    ASSERT_EQ(LgEngineTerm(), 1);
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    LgFreeList* list = LgFreeListCreate(16, 2, 0);
    LgFreeListAlloc(list);
    LgFreeListAlloc(list);
    for (long step : {1, 2}) { // the block, then the larger stack
        CountingMemory::fail_in(step);
        EXPECT_EQ(LgFreeListAlloc(list), nullptr);
        EXPECT_EQ(list->capacity, 2u);
        EXPECT_EQ(list->freeCount, 0u);
    }
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrOutOfMemory}));
    EXPECT_NE(LgFreeListAlloc(list), nullptr) << "recovers once memory is back";
    LgFreeListDestroy(list);
}

TEST_F(FreeList, CreateFailsCleanlyWithoutMemory) {
    for (long step : {1, 2}) {
        CountingMemory::fail_in(step);
        const long live = CountingMemory::live;
        EXPECT_EQ(LgFreeListCreate(16, 2, 0), nullptr);
        EXPECT_EQ(CountingMemory::live, live);
    }
    EXPECT_EQ(LgFreeListCreate(16, 2, 3), nullptr) << "alignment not a power of two";
}

TEST_F(FreeList, FreeingMoreThanWasTakenDoesNotOverrunTheStack) {
    LgFreeList* list = LgFreeListCreate(16, 2, 0);
    void* a = LgFreeListAlloc(list);
    LgFreeListFree(list, a);
    LgFreeListFree(list, a);
    LgFreeListFree(list, a);
    EXPECT_EQ(list->freeCount, list->capacity);
    LgFreeListDestroy(list);
}

TEST_F(FreeList, BypassModeAllocatesSinglyAndEnumeratesNothing) {
    ASSERT_EQ(LgEngineTerm(), 1);
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), LgEngineInitNoFreeLists), 1);
    LgFreeList* list = LgFreeListCreate(40, 10, 0);
    const long live = CountingMemory::live;
    void* a = LgFreeListTake(list);
    void* b = LgFreeListTake(list);
    EXPECT_EQ(CountingMemory::live, live + 2);
    EXPECT_TRUE(used(list).empty());
    LgFreeListGive(list, a);
    LgFreeListGive(list, b);
    EXPECT_EQ(CountingMemory::live, live);
    LgFreeListDestroy(list);
}

} // namespace
