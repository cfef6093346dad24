// GUIDs, fault injection and the headless switch.
#include "platform/fault_injection.h"
#include "platform/guid_source.h"
#include "platform/headless.h"
#include "platform/message_box.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(NewGuid, CarriesVersion4AndVariantInWindowsLayout) {
    uint8_t a[16], b[16];
    ASSERT_EQ(platform::new_guid(a), 0);
    ASSERT_EQ(platform::new_guid(b), 0);
    EXPECT_NE(std::memcmp(a, b, 16), 0);
    EXPECT_EQ(a[7] >> 4, 4);      // Data3's high nibble, little-endian
    EXPECT_EQ(a[8] & 0xC0, 0x80); // Data4[0] variant
}

TEST(FaultInjection, FailsExactlyTheNthAllocation) {
    platform::fail_allocation_after(3);
    bool results[5];
    for (bool& r : results) r = platform::allocation_should_fail();
    EXPECT_FALSE(results[0]);
    EXPECT_FALSE(results[1]);
    EXPECT_TRUE(results[2]);
    EXPECT_FALSE(results[3]);
    EXPECT_TRUE(platform::allocation_fault_fired());
    platform::fail_allocation_after(2, true);
    EXPECT_FALSE(platform::allocation_should_fail());
    EXPECT_TRUE(platform::allocation_should_fail());
    EXPECT_TRUE(platform::allocation_should_fail());
    platform::reset_allocation_faults();
    EXPECT_FALSE(platform::allocation_should_fail());
    EXPECT_FALSE(platform::allocation_fault_fired());
}

TEST(Headless, MessageBoxesGoToTheSinkWithoutBlocking) {
    platform::set_headless(true);
    std::string seen;
    platform::set_message_sink(
        [&](std::string_view t, std::string_view m) { seen = std::string(t) + "|" + std::string(m); });
    platform::message_box("Aerovant Error", "text");
    platform::set_message_sink(nullptr);
    EXPECT_EQ(seen, "Aerovant Error|text");
}

} // namespace
