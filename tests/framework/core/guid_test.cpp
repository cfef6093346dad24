// GUID constants and comparison.
#include "framework/core/guid.h"

#include <gtest/gtest.h>

namespace {

TEST(Guid, TextConstantFillsTheWindowsLayout) {
    constexpr GUID g = om_guid("DED6F32C-C84F-11D4-871E-00C04F7963BA");
    EXPECT_EQ(g.Data1, 0xDED6F32Cu);
    EXPECT_EQ(g.Data2, 0xC84F);
    EXPECT_EQ(g.Data3, 0x11D4);
    const uint8_t tail[8] = {0x87, 0x1E, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(g.Data4[i], tail[i]);
    EXPECT_EQ(om_guid("ded6f32c-c84f-11d4-871e-00c04f7963ba"), g);
}

TEST(Guid, EveryWordTakesPartInEquality) {
    const GUID base = om_guid("00000000-0000-0000-0000-000000000000");
    EXPECT_TRUE(om_guid_is_null(base));
    for (int byte = 0; byte < 16; ++byte) {
        GUID other = base;
        reinterpret_cast<uint8_t*>(&other)[byte] = 1;
        EXPECT_FALSE(other == base) << byte;
        EXPECT_FALSE(om_guid_is_null(other));
    }
}

} // namespace
