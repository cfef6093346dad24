// The random-number plug-in: fixed sequences after open and after seeding.
#include "engine/world/lg_random.h"
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using enginetest::StartedEngine;

namespace {

std::vector<uint32_t> draw(int n) {
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(LgRandom());
    return out;
}

// The generator written out plainly from its definition, as an independent reference.
std::vector<uint32_t> reference(uint32_t seed, int n) {
    std::array<uint32_t, 31> r;
    r[0] = seed;
    for (int i = 1; i < 31; ++i) r[i] = r[i - 1] * 1103515245u + 12345u;
    int f = 3, b = 0;
    std::vector<uint32_t> out;
    for (int i = 0; i < 310 + n; ++i) {
        r[f] += r[b];
        if (i >= 310) out.push_back(r[f] >> 1);
        f = (f + 1) % 31;
        b = (b + 1) % 31;
    }
    return out;
}

TEST(RandomPlugin, TheSequenceAfterStartIsFixed) {
    std::vector<uint32_t> first, second;
    {
        StartedEngine engine(0, [] { ASSERT_TRUE(LgRandomPluginAttach()); });
        ASSERT_TRUE(engine.ok);
        first = draw(50);
    }
    {
        StartedEngine engine(0, [] { ASSERT_TRUE(LgRandomPluginAttach()); });
        ASSERT_TRUE(engine.ok);
        second = draw(50);
    }
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, reference(LgRandomDefaultSeed, 50));
}

TEST(RandomPlugin, SeedingRestartsASequence) {
    StartedEngine engine(0, [] { LgRandomPluginAttach(); });
    ASSERT_TRUE(engine.ok);
    LgRandomSeed(12345);
    const auto a = draw(40);
    LgRandomSeed(12345);
    EXPECT_EQ(draw(40), a);
    EXPECT_EQ(a, reference(12345, 40));
    LgRandomSeed(12346);
    EXPECT_NE(draw(40), a);
}

TEST(RandomPlugin, NumbersStayBelow2To31AndFrontLeadsRearByThree) {
    StartedEngine engine(0, [] { LgRandomPluginAttach(); });
    ASSERT_TRUE(engine.ok);
    const LgRandomSlice* s = LgRandomGetSlice();
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_LT(LgRandom(), 0x80000000u);
        ASSERT_EQ((s->front - s->rear + LgRandomStateWords) % LgRandomStateWords, 3);
    }
}

TEST(RandomPlugin, WithoutTheModuleNothingIsDrawn) {
    StartedEngine engine;
    EXPECT_EQ(LgRandomGetSlice(), nullptr);
    EXPECT_EQ(LgRandom(), 0u);
    LgRandomSeed(1);
}

} // namespace
