// The allocator service, its pools, the global allocator and the engine's memory callbacks.
#include "framework/core/com_ref.h"
#include "framework/core/engine_memory.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <limits>
#include <set>

namespace {

using MemoryTest = testsupport::FrameworkTest;

TEST_F(MemoryTest, ReleasedServiceIsTheSameObjectWhenCreatedAgain) {
    IMemory* installed = OmGetAllocator();
    ASSERT_NE(installed, nullptr);
    ASSERT_EQ(OmSetAllocator(nullptr), 0);
    EXPECT_EQ(static_cast<StdCMemory*>(installed)->ref_count(), 0u);
    IUnknown* again = nullptr;
    ASSERT_EQ(StdCMemory::Create(nullptr, &again), 0);
    EXPECT_EQ(again, installed);
    EXPECT_EQ(static_cast<StdCMemory*>(installed)->ref_count(), 1u);
    EXPECT_EQ(StdCMemory::Create(installed, &again), OM_E_NOAGGREGATION);
    EXPECT_EQ(OmSetAllocator(static_cast<IMemory*>(installed)), 0);
}

TEST_F(MemoryTest, SecondAllocatorIsRefusedWhileOneIsSet) {
    IMemory* installed = OmGetAllocator();
    EXPECT_EQ(OmSetAllocator(installed), OM_E_FAIL);
    EXPECT_EQ(OmGetAllocator(), installed);
    EXPECT_EQ(static_cast<StdCMemory*>(installed)->ref_count(), 1u);
}

TEST_F(MemoryTest, WrappersAndEngineCallbacksUseTheService) {
    auto* block = static_cast<char*>(OmAllocMemory(10));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abcdefghi", 10);
    block = static_cast<char*>(TvEngineMemRealloc(block, 4000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abcdefghi");
    EXPECT_EQ(TvEngineMemFree(block), 0);

    auto* zeroed = static_cast<unsigned char*>(TvEngineMemCalloc(8, 16));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(zeroed[i], 0);
    OmFreeMemory(zeroed);
    OmFreeMemory(nullptr);

    EXPECT_EQ(TvEngineMemCalloc(std::numeric_limits<size_t>::max() / 2, 4), nullptr);
    platform::fail_allocation_after(1);
    EXPECT_EQ(TvEngineMemAlloc(16), nullptr);
}

TEST_F(MemoryTest, FailedReallocKeepsTheOldBlock) {
    auto* block = static_cast<char*>(OmAllocMemory(4));
    std::memcpy(block, "xyz", 4);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmGetAllocator()->Realloc(block, 1 << 20), nullptr);
    EXPECT_STREQ(block, "xyz");
    OmFreeMemory(block);
}

TEST_F(MemoryTest, ExtensionSlotsStartNullAndCopy) {
    struct Object {
        char header[12];
        void* slot;
    } a, b;
    std::memset(&a, 0xAB, sizeof a);
    std::memset(&b, 0xCD, sizeof b);
    const int32_t offset = offsetof(Object, slot), width = int32_t(sizeof(void*));
    EXPECT_EQ(TvExtensionInit(&a, offset, width), &a);
    EXPECT_EQ(a.slot, nullptr);
    EXPECT_EQ(a.header[0], char(0xAB));
    a.slot = &b;
    EXPECT_NE(TvExtensionCopy(&b, &a, offset, width), nullptr);
    EXPECT_EQ(b.slot, &b);
    EXPECT_EQ(TvExtensionDestroy(&b, offset, width), &b);
    EXPECT_EQ(b.slot, &b);
}

class PoolTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmCreateMemoryPool(32, 20, pool.put()), 0); }
    void TearDown() override {
        pool.reset();
        FrameworkTest::TearDown();
    }
    ComRef<IMemoryPool> pool;
};

TEST_F(PoolTest, FreshBlockHandsOutAscendingAddressesThenAddsABlock) {
    auto* first = static_cast<char*>(pool->Get());
    for (int i = 1; i < 20; ++i) EXPECT_EQ(static_cast<char*>(pool->Get()), first + 32 * i);
    auto* next = static_cast<char*>(pool->Get());
    EXPECT_TRUE(next < first || next >= first + 32 * 20);
}

TEST_F(PoolTest, PutThenGetReturnsTheElementJustPut) {
    void* a = pool->Get();
    void* b = pool->Get();
    ASSERT_NE(pool->Put(a), nullptr);
    ASSERT_NE(pool->Put(b), nullptr);
    EXPECT_EQ(pool->Get(), b);
    EXPECT_EQ(pool->Get(), a);
}

TEST_F(PoolTest, DoublePutAndForeignElementsAreRefused) {
    void* a = pool->Get();
    ASSERT_NE(pool->Put(a), nullptr);
    EXPECT_EQ(pool->Put(a), nullptr);
    char outside[32];
    EXPECT_EQ(pool->Put(outside), nullptr);
    EXPECT_EQ(pool->Put(static_cast<char*>(pool->Get()) + 1), nullptr);
    EXPECT_EQ(pool->Put(nullptr), nullptr);
    // The refused puts did not put anything on the free stack twice.
    std::set<void*> handed;
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(handed.insert(pool->Get()).second);
}

TEST_F(PoolTest, FailedGrowthReturnsNullAndThePoolStillWorks) {
    for (int i = 0; i < 20; ++i) pool->Get();
    for (uint64_t n = 1; n <= 3; ++n) {
        int64_t before = framework_.leaked_blocks();
        platform::fail_allocation_after(n);
        EXPECT_EQ(pool->Get(), nullptr);
        EXPECT_EQ(framework_.leaked_blocks(), before);
    }
    platform::reset_allocation_faults();
    EXPECT_NE(pool->Get(), nullptr);
}

TEST_F(MemoryTest, PoolCreationFailuresLeaveNothingAllocated) {
    IMemoryPool* pool = nullptr;
    EXPECT_EQ(OmCreateMemoryPool(0, 20, &pool), OM_E_FAIL);
    EXPECT_EQ(OmCreateMemoryPool(8, 0, &pool), OM_E_FAIL);
    for (uint64_t n = 1; n <= 2; ++n) {
        platform::fail_allocation_after(n);
        EXPECT_EQ(OmCreateMemoryPool(32, 20, &pool), OM_E_OUTOFMEMORY);
        EXPECT_EQ(pool, nullptr);
    }
}

TEST(MemoryWithoutService, WrappersFailQuietly) {
    testsupport::FrameworkScope scope;
    OmShutdown();
    IMemoryPool* pool = nullptr;
    EXPECT_EQ(OmAllocMemory(8), nullptr);
    EXPECT_EQ(OmCreateMemoryPool(8, 8, &pool), OM_E_NOMANAGER);
    EXPECT_EQ(TvEngineMemFree(nullptr), OM_E_NOMANAGER);
}

} // namespace
