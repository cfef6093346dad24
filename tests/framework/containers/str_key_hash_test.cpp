// OmStrKeyHash: hashing, growth points, inline and allocated keys, walks and failures.
#include "framework/containers/str_key_hash.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

class StrKeyHashTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmStrKeyHashInit(&hash, 0, sizeof(int)), 0); }
    void TearDown() override {
        OmStrKeyHashDestroy(&hash);
        FrameworkTest::TearDown();
    }
    void insert(const std::string& key, int value) {
        auto* slot = static_cast<int*>(OmStrKeyHashInsert(&hash, key.c_str()));
        ASSERT_NE(slot, nullptr);
        *slot = value;
    }
    OmStrKeyHash hash{};
};

TEST(StrKeyHashFunction, SumsShiftedBytes) {
    EXPECT_EQ(om_hash_bytes("", 0), 0u);
    EXPECT_EQ(om_hash_bytes("ab", 2), 293u);
    // The ninth byte is shifted by 0 again.
    EXPECT_EQ(om_hash_bytes("\1\1\1\1\1\1\1\1\1", 9), 1u + 2 + 4 + 8 + 16 + 32 + 64 + 128 + 1);
}

TEST_F(StrKeyHashTest, BucketsDoubleAtTheSeventhAndTwelfthKey) {
    const std::vector<std::pair<int, uint32_t>> buckets_after = {
        {6, 1}, {7, 2}, {11, 2}, {12, 4}, {22, 8}};
    int inserted = 0;
    for (auto [count, buckets] : buckets_after) {
        while (inserted < count) insert("key" + std::to_string(inserted), inserted), ++inserted;
        EXPECT_EQ(hash.bucket_count, buckets) << count << " keys";
    }
    for (int i = 0; i < inserted; ++i) {
        auto* v = static_cast<int*>(OmStrKeyHashFind(&hash, ("key" + std::to_string(i)).c_str()));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, i);
    }
    EXPECT_EQ(OmStrKeyHashFind(&hash, "KEY1"), nullptr) << "case matters";
}

TEST_F(StrKeyHashTest, ShortKeysLiveInTheNodeLongerOnesAreCopied) {
    insert("x", 0); // brings in the pool's first block
    int64_t before = framework_.leaked_blocks();
    insert("elevenchars", 11);
    EXPECT_EQ(framework_.leaked_blocks(), before);
    insert("twelve_chars", 12);
    EXPECT_EQ(framework_.leaked_blocks(), before + 1);
    EXPECT_EQ(*static_cast<int*>(OmStrKeyHashFind(&hash, "elevenchars")), 11);
    EXPECT_EQ(*static_cast<int*>(OmStrKeyHashFind(&hash, "twelve_chars")), 12);
    EXPECT_EQ(OmStrKeyHashRemove(&hash, "twelve_chars"), 0);
    EXPECT_EQ(framework_.leaked_blocks(), before);
    EXPECT_EQ(OmStrKeyHashRemove(&hash, "twelve_chars"), OM_E_FAIL);
}

TEST_F(StrKeyHashTest, InsertingAnExistingKeyReturnsItsValue) {
    insert("same", 1);
    void* first = OmStrKeyHashFind(&hash, "same");
    EXPECT_EQ(OmStrKeyHashInsert(&hash, "same"), first);
    EXPECT_EQ(hash.count, 1u);
    OmHashLink* head = &hash.buckets[OmStrKeyHashHash(&hash, "same")];
    ASSERT_NE(OmStrKeyHashFindInBucket(head, "same"), nullptr);
    EXPECT_EQ(OmStrKeyHashFindInBucket(head, "other"), nullptr);
}

TEST_F(StrKeyHashTest, WalkVisitsEveryEntryAndMayRemoveIt) {
    for (int i = 0; i < 30; ++i) insert("k" + std::to_string(i), i);
    std::set<int> seen;
    auto remove_odd = [](const char* key, void* value, void* context) -> OmResult {
        auto* self = static_cast<std::pair<std::set<int>*, OmStrKeyHash*>*>(context);
        int v = *static_cast<int*>(value);
        self->first->insert(v);
        return v % 2 ? OmStrKeyHashRemove(self->second, key) : 0;
    };
    std::pair<std::set<int>*, OmStrKeyHash*> context{&seen, &hash};
    EXPECT_EQ(OmStrKeyHashForEach(&hash, remove_odd, &context), 0);
    EXPECT_EQ(seen.size(), 30u);
    EXPECT_EQ(hash.count, 15u);
    auto stop = [](const char*, void*, void*) -> OmResult { return OM_E_NOTFOUND; };
    EXPECT_EQ(OmStrKeyHashForEach(&hash, stop, nullptr), OM_E_NOTFOUND);
    OmStrKeyHashRemoveAll(&hash);
    EXPECT_EQ(hash.count, 0u);
}

TEST_F(StrKeyHashTest, OutOfMemoryLeavesTheTableAsItWas) {
    for (int i = 0; i < 6; ++i) insert("k" + std::to_string(i), i);
    // The seventh key needs new buckets, then (for a long key) a key copy.
    for (uint64_t n = 1;; ++n) {
        platform::fail_allocation_after(n);
        void* slot = OmStrKeyHashInsert(&hash, "a_rather_long_seventh_key");
        bool fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        if (!fired) {
            EXPECT_NE(slot, nullptr);
            break;
        }
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(hash.count, 6u);
        for (int i = 0; i < 6; ++i)
            EXPECT_NE(OmStrKeyHashFind(&hash, ("k" + std::to_string(i)).c_str()), nullptr);
    }
    EXPECT_EQ(hash.count, 7u);
}

TEST(StrKeyHashInit, FailuresLeaveNothingAllocated) {
    testsupport::FrameworkScope scope;
    const int64_t before = scope.leaked_blocks();
    for (uint64_t n = 1; n <= 2; ++n) {
        OmStrKeyHash hash{};
        platform::fail_allocation_after(n);
        EXPECT_EQ(OmStrKeyHashInit(&hash, 0, 8), OM_E_OUTOFMEMORY);
        platform::reset_allocation_faults();
        EXPECT_EQ(scope.leaked_blocks(), before);
        OmStrKeyHashDestroy(&hash);
    }
}

} // namespace
