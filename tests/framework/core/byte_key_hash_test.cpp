// OmByteKeyHash: keys inside and outside the node, growth and walks.
#include "framework/core/byte_key_hash.h"
#include "tests/support/framework_fixture.h"

#include <string>

namespace {

class ByteKeyHashTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmByteKeyHashInit(&hash, 0), 0); }
    void TearDown() override {
        OmByteKeyHashDestroy(&hash);
        FrameworkTest::TearDown();
    }
    OmByteKeyHash hash{};
};

TEST_F(ByteKeyHashTest, TwelveAndThirteenByteKeysRoundTrip) {
    const char key12[] = "123456789012", key13[] = "1234567890123";
    ASSERT_EQ(OmByteKeyHashSet(&hash, key12, 12, 12), 0);
    ASSERT_EQ(OmByteKeyHashSet(&hash, key13, 13, 13), 0);
    EXPECT_EQ(OmByteKeyHashGet(&hash, key12, 12), 12u);
    EXPECT_EQ(OmByteKeyHashGet(&hash, key13, 13), 13u);
    EXPECT_EQ(OmByteKeyHashHas(&hash, key13, 12), 1) << "a prefix is its own key";
    EXPECT_EQ(OmByteKeyHashGet(&hash, key13, 11), 0u);
    ASSERT_EQ(OmByteKeyHashSet(&hash, key12, 12, 99), 0);
    EXPECT_EQ(OmByteKeyHashGet(&hash, key12, 12), 99u);
    EXPECT_EQ(hash.count, 2u);
    EXPECT_EQ(OmByteKeyHashRemove(&hash, key13, 13), 0);
    EXPECT_EQ(OmByteKeyHashRemove(&hash, key13, 13), OM_E_FAIL);
}

TEST_F(ByteKeyHashTest, GrowsAtTheSeventhAndTwelfthKeyAndKeepsEveryEntry) {
    for (uint32_t i = 1; i <= 12; ++i) {
        ASSERT_EQ(OmByteKeyHashSet(&hash, &i, sizeof i, i), 0);
        EXPECT_EQ(hash.bucket_count, i <= 6 ? 1u : i <= 11 ? 2u : 4u) << i;
    }
    uintptr_t sum = 0;
    EXPECT_EQ(OmByteKeyHashForEach(
                  &hash,
                  [](const void* key, uint32_t length, uintptr_t value, void* sum) {
                      EXPECT_EQ(length, 4u);
                      EXPECT_EQ(*static_cast<const uint32_t*>(key), value);
                      *static_cast<uintptr_t*>(sum) += value;
                      return OM_S_OK;
                  },
                  &sum),
              0);
    EXPECT_EQ(sum, 78u);
    OmByteKeyHashRemoveAll(&hash);
    EXPECT_EQ(hash.count, 0u);
}

} // namespace
