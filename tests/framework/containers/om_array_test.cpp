// OmArray and OmPtrArray.
#include "framework/containers/om_array.h"
#include "tests/support/framework_fixture.h"

#include <vector>

namespace {

class OmArrayTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { OmArrayInit(&array, sizeof(int32_t)); }
    void TearDown() override {
        OmArrayFree(&array);
        FrameworkTest::TearDown();
    }
    void fill(std::initializer_list<int32_t> values) {
        for (int32_t v : values) *static_cast<int32_t*>(OmArrayAppend(&array)) = v;
    }
    std::vector<int32_t> contents() const {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < array.count; ++i)
            out.push_back(*static_cast<int32_t*>(OmArrayAt(&array, i)));
        return out;
    }
    OmArray array{};
};

TEST_F(OmArrayTest, GrowsInStepsOfThirtyTwo) {
    EXPECT_EQ(OmArrayData(&array), nullptr);
    for (int32_t i = 0; i < 33; ++i) {
        auto* slot = static_cast<int32_t*>(OmArrayAppend(&array));
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(*slot, 0) << "appended elements start zeroed";
        *slot = i;
        EXPECT_EQ(array.capacity, i < 32 ? 32 : 64) << "after " << i + 1 << " appends";
    }
    EXPECT_EQ(contents()[32], 32);
    EXPECT_EQ(OmArrayAtUnchecked(&array, 5), OmArrayAt(&array, 5));
}

TEST_F(OmArrayTest, AtIsNullOutsideTheCount) {
    fill({7, 8});
    EXPECT_EQ(OmArrayAt(&array, -1), nullptr);
    EXPECT_EQ(OmArrayAt(&array, 2), nullptr);
    EXPECT_NE(OmArrayAt(&array, 1), nullptr);
}

TEST_F(OmArrayTest, InsertAtShiftsOrAppends) {
    fill({1, 2, 3});
    *static_cast<int32_t*>(OmArrayInsertAt(&array, 0)) = 9;
    EXPECT_EQ(contents(), (std::vector<int32_t>{9, 1, 2, 3}));
    *static_cast<int32_t*>(OmArrayInsertAt(&array, 4)) = 5;
    *static_cast<int32_t*>(OmArrayInsertAt(&array, 100)) = 6;
    EXPECT_EQ(contents(), (std::vector<int32_t>{9, 1, 2, 3, 5, 6}));
    EXPECT_EQ(OmArrayInsertAt(&array, -1), nullptr);
    EXPECT_EQ(array.count, 6);
}

TEST_F(OmArrayTest, RemoveAtClosesTheGapOrDropsTheLast) {
    struct Row {
        int32_t index;
        std::vector<int32_t> left;
    };
    const Row rows[] = {
        {0, {2, 3, 4}}, {1, {1, 3, 4}}, {3, {1, 2, 3}}, {50, {1, 2, 3}}, {-1, {1, 2, 3, 4}}};
    for (const Row& row : rows) {
        OmArrayFree(&array);
        fill({1, 2, 3, 4});
        EXPECT_EQ(OmArrayRemoveAt(&array, row.index), int32_t(row.left.size())) << row.index;
        EXPECT_EQ(contents(), row.left) << row.index;
    }
    OmArrayFree(&array);
    EXPECT_EQ(OmArrayRemoveAt(&array, 0), 0) << "an empty array stays empty";
}

TEST_F(OmArrayTest, SetCountReserveAndCompact) {
    EXPECT_EQ(OmArraySetCount(&array, 40), 0);
    EXPECT_EQ(array.count, 40);
    EXPECT_EQ(array.capacity, 40);
    EXPECT_EQ(OmArraySetCount(&array, -1), OM_E_FAIL);
    EXPECT_EQ(OmArrayReserve(&array, 39), OM_E_FAIL) << "never below the count";
    EXPECT_EQ(OmArraySetCount(&array, 3), 0);
    EXPECT_EQ(array.capacity, 40);
    EXPECT_EQ(OmArrayCompact(&array), 0);
    EXPECT_EQ(array.capacity, 3);
    OmArraySetCount(&array, 0);
    EXPECT_EQ(OmArrayCompact(&array), 0);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.capacity, 0);
}

TEST_F(OmArrayTest, OversizedBlocksAreRefused) {
    OmArray wide{};
    OmArrayInit(&wide, 1u << 20);
    EXPECT_EQ(OmArrayReserve(&wide, 1 << 12), OM_E_FAIL);
    EXPECT_EQ(OmArraySetCount(&wide, 1 << 12), OM_E_FAIL);
    EXPECT_EQ(wide.count, 0);
    array.capacity = INT32_MAX;
    array.count = INT32_MAX;
    EXPECT_EQ(OmArrayGrow(&array), OM_E_FAIL) << "the capacity cannot pass 32 bits";
    array.capacity = array.count = 0;
}

TEST_F(OmArrayTest, FailedGrowthLeavesTheArrayAsItWas) {
    for (int32_t i = 0; i < 32; ++i) fill({i});
    const OmArray before = array;
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmArrayAppend(&array), nullptr);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmArrayInsertAt(&array, 0), nullptr);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmArraySetCount(&array, 33), OM_E_OUTOFMEMORY);
    OmArraySetCount(&array, 10);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmArrayCompact(&array), OM_E_OUTOFMEMORY);
    EXPECT_EQ(array.data, before.data);
    EXPECT_EQ(array.capacity, 32);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

class OmPtrArrayTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { OmPtrArrayInit(&array); }
    void TearDown() override {
        OmPtrArrayDestroy(&array);
        FrameworkTest::TearDown();
    }
    OmPtrArray array{};
    int a = 0, b = 0, c = 0;
};

TEST_F(OmPtrArrayTest, AppendReturnsTheIndexAndFailureIsNegative) {
    EXPECT_EQ(OmPtrArrayAppend(&array, &a), 0);
    EXPECT_EQ(OmPtrArrayAppend(&array, &b), 1);
    for (int i = 2; i < 32; ++i) OmPtrArrayAppend(&array, &c);
    platform::fail_allocation_after(1, true);
    EXPECT_EQ(OmPtrArrayAppend(&array, &c), OM_E_OUTOFMEMORY);
    EXPECT_EQ(OmPtrArrayInsert(&array, 0, &c), nullptr);
    EXPECT_EQ(OmPtrArrayReserve(&array, 64), 0);
    EXPECT_EQ(OmPtrArraySetCount(&array, 40), 0);
    EXPECT_EQ(array.count, 32);
    EXPECT_EQ(array.capacity, 32);
    EXPECT_EQ(OmPtrArrayAt(&array, 0), &a);
    platform::reset_allocation_faults();
}

TEST_F(OmPtrArrayTest, InsertRemoveAndSetStayInsideTheArray) {
    OmPtrArrayAppend(&array, &a);
    OmPtrArrayAppend(&array, &b);
    EXPECT_EQ(OmPtrArrayInsert(&array, 1, &c), &c);
    EXPECT_EQ(OmPtrArrayAt(&array, 1), &c);
    EXPECT_EQ(OmPtrArrayAt(&array, 2), &b);
    OmPtrArraySetAt(&array, 3, &a);
    OmPtrArraySetAt(&array, -1, &a);
    OmPtrArrayRemoveAt(&array, 3);
    OmPtrArrayRemoveAt(&array, -1);
    EXPECT_EQ(array.count, 3);
    OmPtrArrayRemoveAt(&array, 0);
    EXPECT_EQ(OmPtrArrayAt(&array, 0), &c);
    EXPECT_EQ(OmPtrArrayAt(&array, 2), nullptr);
    EXPECT_EQ(OmPtrArrayInsert(&array, 9, &a), &a) << "past the end appends";
    EXPECT_EQ(OmPtrArrayAt(&array, 2), &a);
}

TEST_F(OmPtrArrayTest, FreeWorksOnEitherKindAndKeepsTheGrowthStep) {
    OmPtrArrayAppend(&array, &a);
    array.growth = 8;
    OmPtrArrayFree(&array);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.growth, 8);
    OmPtrArrayAppend(&array, &a);
    EXPECT_EQ(array.capacity, 8);

    OmArray records{};
    OmArrayInit(&records, 24);
    OmArrayAppend(&records);
    OmPtrArrayFree(&records);
    EXPECT_EQ(records.data, nullptr);
}

} // namespace
