// BitFieldIntSet.
#include "framework/containers/bit_field_int_set.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/support/framework_fixture.h"

#include <vector>

namespace {

class BitFieldIntSetTest : public testsupport::FrameworkTest {
protected:
    ComRef<IBitFieldIntSet> make(std::initializer_list<int32_t> members) {
        ComRef<IBitFieldIntSet> set;
        EXPECT_EQ(OmNewBitFieldIntSet(set.put()), 0);
        for (int32_t n : members) EXPECT_EQ(set->Add(n), 0);
        return set;
    }
    static std::vector<int32_t> members(IBitFieldIntSet* set) {
        std::vector<int32_t> out;
        for (int32_t n = set->First(); n >= 0; n = set->Next(n)) out.push_back(n);
        return out;
    }
    // The set's capacity in bits: inverting a copy turns every non-member into a member.
    static int32_t capacity_of(IBitFieldIntSet* set) {
        ComRef<IUnknown> copy;
        EXPECT_EQ(set->Clone(0, copy.put()), 0);
        auto* inverted = static_cast<IBitFieldIntSet*>(copy.get());
        inverted->Invert();
        return inverted->Count() + set->Count();
    }
};

TEST_F(BitFieldIntSetTest, GrowsPastTheInlineWordsToNPlusEight) {
    auto set = make({});
    const int64_t blocks = OmLiveHeapBlocks();
    EXPECT_EQ(set->Add(255), 0);
    EXPECT_EQ(OmLiveHeapBlocks(), blocks) << "255 fits the inline words";
    EXPECT_EQ(capacity_of(set.get()), 256);
    EXPECT_EQ(set->Add(256), 0);
    EXPECT_EQ(capacity_of(set.get()), 17 * 32);
    EXPECT_EQ(members(set.get()), (std::vector<int32_t>{255, 256}));
    EXPECT_EQ(set->Clear(), 0);
    EXPECT_EQ(capacity_of(set.get()), 256);
    EXPECT_EQ(set->Count(), 0);
    EXPECT_EQ(set->Add(-1), OM_E_FAIL);
}

TEST_F(BitFieldIntSetTest, EnumeratesInAscendingOrder) {
    auto set = make({1000, 32, 0, 256, 31, 255, 999});
    EXPECT_EQ(members(set.get()), (std::vector<int32_t>{0, 31, 32, 255, 256, 999, 1000}));
    EXPECT_EQ(set->Next(-7), 0);
    EXPECT_EQ(set->Next(32), 255);
    EXPECT_EQ(set->Next(1000), -1);
    EXPECT_EQ(set->Next(INT32_MAX), -1);
    EXPECT_EQ(make({})->First(), -1);
    set->Remove(32);
    set->Remove(5000); // beyond the words: nothing
    set->Remove(-3);
    EXPECT_EQ(set->Contains(32), 0);
    EXPECT_EQ(set->Contains(31), 1);
    EXPECT_EQ(set->Contains(5000), 0);
    EXPECT_EQ(set->Contains(-1), 0);
    EXPECT_EQ(set->Count(), 6);
}

TEST_F(BitFieldIntSetTest, InvertFillsTheCapacity) {
    auto set = make({3});
    set->Invert();
    EXPECT_EQ(set->Count(), 255);
    EXPECT_EQ(set->Contains(3), 0);
    EXPECT_EQ(set->Contains(255), 1);
    EXPECT_EQ(set->Contains(256), 0);
}

TEST_F(BitFieldIntSetTest, CombineByOperator) {
    struct Row {
        char op;
        std::vector<int32_t> result;
    };
    const Row rows[] = {{'&', {2, 3}},
                        {'|', {1, 2, 3, 4, 300}},
                        {'^', {1, 4, 300}},
                        {'=', {2, 3, 4}},
                        {'?', {1, 2, 3, 300}}};
    auto other = make({2, 3, 4});
    for (const Row& row : rows) {
        auto set = make({1, 2, 3, 300});
        EXPECT_EQ(set->Combine(other.get(), row.op), 0) << row.op;
        EXPECT_EQ(members(set.get()), row.result) << row.op;
    }
    auto set = make({1});
    EXPECT_EQ(set->Combine(nullptr, '|'), OM_E_FAIL);
    EXPECT_EQ(set->Combine(set.get(), '^'), 0);
    EXPECT_EQ(set->Count(), 0);
}

TEST_F(BitFieldIntSetTest, CopyingALargerSetGrowsToItsWordsPlusEight) {
    auto big = make({5, 256}); // 17 words
    auto fresh = make({7});
    EXPECT_EQ(fresh->Combine(big.get(), '='), 0);
    EXPECT_EQ(capacity_of(fresh.get()), 25 * 32);
    EXPECT_EQ(members(fresh.get()), (std::vector<int32_t>{5, 256}));
}

TEST_F(BitFieldIntSetTest, RelationComparesOverlapOfUnequalWords) {
    struct Row {
        std::initializer_list<int32_t> a, b;
        int32_t relation;
    };
    const Row rows[] = {
        {{1, 40}, {1, 40}, 0},
        {{1}, {1, 40}, -1},
        {{1, 2}, {1}, 1},
        {{1}, {2}, -1},
        {{}, {}, 0},
        {{1, 300}, {1}, -1},
        {{3, 300, 301}, {3, 300}, 1},
    };
    for (const Row& row : rows) {
        auto a = make(row.a), b = make(row.b);
        EXPECT_EQ(a->Relation(b.get()), row.relation);
    }
    auto small = make({1}), large = make({400}); // 8 and 21 words
    small->Relation(large.get());
    EXPECT_EQ(capacity_of(small.get()), (21 + 8) * 32)
        << "both sets grow to at least the larger word count";
    EXPECT_EQ(capacity_of(large.get()), 21 * 32);
    EXPECT_EQ(small->Relation(nullptr), 0);
}

TEST_F(BitFieldIntSetTest, CompareOrdersByFirstUnequalWord) {
    struct Row {
        std::initializer_list<int32_t> a, b;
        int32_t sign; // of the result
    };
    const Row rows[] = {
        {{5}, {}, 1},        {{}, {5}, -1},      {{3}, {5}, -1}, {{1, 7}, {1, 7}, 0},
        {{1}, {1, 300}, -1}, {{1, 300}, {1}, 1}, {{31}, {}, -1}, // 0x80000000 is negative
    };
    for (const Row& row : rows) {
        auto a = make(row.a), b = make(row.b);
        int32_t result = a->Compare(b.get());
        EXPECT_EQ((result > 0) - (result < 0), row.sign);
    }
    auto set = make({4});
    EXPECT_EQ(set->Compare(set.get()), 0);
    EXPECT_EQ(set->Compare(nullptr), 0);
}

TEST_F(BitFieldIntSetTest, ContainsAll) {
    struct Row {
        std::initializer_list<int32_t> a, b;
        int32_t result;
    };
    const Row rows[] = {{{1, 2, 3}, {}, 1},     {{}, {}, 1},        {{1, 2, 3}, {2, 3}, 1},
                        {{2, 3}, {1, 2, 3}, 0}, {{1}, {1, 300}, 0}, {{1, 300}, {300}, 1}};
    for (const Row& row : rows) {
        auto a = make(row.a), b = make(row.b);
        EXPECT_EQ(a->ContainsAll(b.get()), row.result);
    }
    EXPECT_EQ(make({})->ContainsAll(nullptr), 0);
}

TEST_F(BitFieldIntSetTest, CloneIsIndependent) {
    for (auto source : {make({2, 9}), make({2, 900})}) {
        ComRef<IUnknown> copy;
        ASSERT_EQ(source->Clone(0, copy.put()), 0);
        ComRef<IBitFieldIntSet> cloned;
        ASSERT_EQ(copy->QueryInterface(IID_IBitFieldIntSet, cloned.put_void()), 0);
        EXPECT_EQ(members(cloned.get()), members(source.get()));
        cloned->Remove(2);
        EXPECT_EQ(source->Contains(2), 1);
        EXPECT_EQ(source->Write(nullptr), OM_E_FAIL);
    }
}

TEST_F(BitFieldIntSetTest, OutOfMemoryLeavesTheSetAsItWas) {
    auto set = make({4, 200});
    auto big = make({600});
    platform::fail_allocation_after(1);
    EXPECT_EQ(set->Add(300), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(set->Combine(big.get(), '|'), OM_E_OUTOFMEMORY);
    EXPECT_EQ(members(set.get()), (std::vector<int32_t>{4, 200}));
    EXPECT_EQ(capacity_of(set.get()), 256);
    IUnknown* copy = set.get();
    platform::fail_allocation_after(2); // the block of the copy
    EXPECT_EQ(big->Clone(0, &copy), OM_E_OUTOFMEMORY);
    EXPECT_EQ(copy, nullptr);
}

TEST_F(BitFieldIntSetTest, ModuleCreatesItWithItsInterfaces) {
    testsupport::expect_container_module(BitFieldIntSet_GetClassObject, CLSID_BitFieldIntSet,
                                         IID_IBitFieldIntSet);
}

} // namespace
