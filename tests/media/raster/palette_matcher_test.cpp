// The palette matcher: nearest entry by squared distance, ties to the first, entries with
// alpha of 0x80 or less never chosen.
#include "media/raster/palette_matcher.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(PaletteMatcher, PicksNearestOpaqueEntryAndFirstOnTies) {
    auto matcher = std::make_unique<OmPaletteMatcher>();
    const uint32_t colours[] = {0x80FFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080};
    om_palette_matcher_build(matcher.get(), colours, 5);
    EXPECT_EQ(matcher->colours[4], 0xFF808080u);
    EXPECT_EQ(matcher->colours[5], 0u);
    struct Case {
        uint8_t r, g, b, expected;
    } cases[] = {
        {255, 255, 255, 2}, // entry 0 has alpha 0x80; 2 and 3 tie, 2 wins
        {0, 0, 0, 1},
        {120, 130, 125, 4},
        {7, 7, 7, 1}, // the low bits are dropped
    };
    for (const auto& c : cases)
        EXPECT_EQ(om_palette_matcher_nearest(matcher.get(), c.r, c.g, c.b), c.expected)
            << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

TEST(PaletteMatcher, NoChoosableEntryGivesIndexZero) {
    auto matcher = std::make_unique<OmPaletteMatcher>();
    const uint32_t colours[] = {0x00FFFFFF, 0x80000000};
    om_palette_matcher_build(matcher.get(), colours, 2);
    EXPECT_EQ(om_palette_matcher_nearest(matcher.get(), 255, 0, 0), 0);
    om_palette_matcher_build(matcher.get(), nullptr, 0);
    EXPECT_EQ(om_palette_matcher_nearest(matcher.get(), 1, 2, 3), 0);
}

} // namespace
