// GUID text: the braced form, lenient parsing of digits, malformed texts.
#include "framework/core/guid_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr GUID memory_iid = om_guid("DD761724-C84F-11D4-871E-00C04F7963BA");

TEST(GuidTextTest, BracedUpperCaseTextRoundTrips) {
    char text[OM_GUID_TEXT_SIZE];
    ASSERT_EQ(OmGuidToText(memory_iid, text), 0);
    EXPECT_STREQ(text, "{DD761724-C84F-11D4-871E-00C04F7963BA}");
    GUID back{};
    ASSERT_EQ(OmTextToGuid(text, &back), 0);
    EXPECT_EQ(back, memory_iid);
}

TEST(GuidTextTest, ParsingTakesDigitsAndIgnoresTheRest) {
    const char* same[] = {
        "{dd761724-c84f-11d4-871e-00c04f7963ba}",
        "DD761724C84F11D4871E00C04F7963BA",
        " {DD761724 - C84F - 11D4 - 871E - 00C04F7963BA} xyz",
    };
    for (const char* text : same) {
        GUID g{};
        EXPECT_EQ(OmTextToGuid(text, &g), 0) << text;
        EXPECT_EQ(g, memory_iid) << text;
    }
}

TEST(GuidTextTest, WrongDigitCountFailsAndKeepsTheOutput) {
    const char* bad[] = {"", "{}", "{DD761724-C84F-11D4-871E-00C04F7963B}",
                         "{DD761724-C84F-11D4-871E-00C04F7963BA0}", "not a guid"};
    for (const char* text : bad) {
        GUID g = memory_iid;
        EXPECT_EQ(OmTextToGuid(text, &g), OM_E_FAIL) << text;
        EXPECT_EQ(g, memory_iid) << text;
    }
    GUID g;
    EXPECT_EQ(OmTextToGuid(nullptr, &g), OM_E_FAIL);
}

} // namespace
