// Random: the seeded sequence and the scaled draw.
#include "framework/core/com_ref.h"
#include "framework/maths/random.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <bit>
#include <vector>

namespace {

class RandomTest : public testsupport::FrameworkTest {
protected:
    ComRef<IRandom> make() {
        return testsupport::module_object<IRandom>(Random_GetClassObject, CLSID_Random,
                                                   IID_IRandom);
    }
};

// The generator written out once more from its definition, as a reference.
std::vector<uint32_t> reference_sequence(uint32_t seed, int count) {
    uint32_t state[17];
    for (uint32_t& word : state) {
        word = seed;
        seed = std::rotl(seed, 5) + 97;
    }
    int i = 0, j = 10;
    std::vector<uint32_t> out;
    for (int n = 0; n < 300 + count; ++n) {
        state[i] = std::rotl(state[j], 3) + std::rotl(state[i], 3);
        if (n >= 300) out.push_back(state[i]);
        i = i == 0 ? 16 : i - 1;
        j = j == 0 ? 16 : j - 1;
    }
    return out;
}

TEST_F(RandomTest, TheSameSeedGivesTheSameSequence) {
    ComRef<IRandom> a = make(), b = make();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Random_Seed(1234), 0);
    EXPECT_EQ(b->Random_Seed(1234), 0);
    const std::vector<uint32_t> expected = reference_sequence(1234, 40);
    for (uint32_t value : expected) {
        EXPECT_EQ(a->Random_NextInt(), value);
        EXPECT_EQ(b->Random_NextInt(), value);
    }
    a->Random_Seed(1);
    b->Random_Seed(2);
    EXPECT_NE(a->Random_NextInt(), b->Random_NextInt());
}

TEST_F(RandomTest, NextRealScalesTheNextIntIntoTheUnitInterval) {
    ComRef<IRandom> a = make(), b = make();
    a->Random_Seed(99);
    b->Random_Seed(99);
    for (int n = 0; n < 10000; ++n) {
        uint32_t next = a->Random_NextInt();
        float real = b->Random_NextReal();
        ASSERT_GE(real, 0.0f);
        ASSERT_LT(real, 1.0f) << "a draw near 2^32 must not round up to 1";
        float scaled = float(next) * (1.0f / 4294967296.0f);
        if (scaled < 1.0f) {
            ASSERT_EQ(real, scaled);
        }
    }
}

} // namespace
