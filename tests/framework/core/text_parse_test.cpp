// Booleans, hexadecimal and decimal numbers, hexadecimal bytes.
#include "framework/core/text_parse.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t untouched = 12345;

TEST(TextParseTest, Booleans) {
    struct Row {
        const char* text;
        OmResult result;
        int32_t value;
    };
    const Row rows[] = {
        {"YES", 0, 1},
        {"true", 0, 1},
        {"On", 0, 1},
        {"1", 0, 1},
        {"no", 0, 0},
        {"FALSE", 0, 0},
        {"off", 0, 0},
        {"0", 0, 0},
        {"", OM_E_FAIL, untouched},
        {"yes ", OM_E_FAIL, untouched},
        {"2", OM_E_FAIL, untouched},
    };
    for (const Row& row : rows) {
        int32_t value = untouched;
        EXPECT_EQ(OmParseBool(row.text, &value), row.result) << row.text;
        EXPECT_EQ(value, row.value) << row.text;
    }
}

TEST(TextParseTest, Integers) {
    struct Row {
        const char* text;
        OmResult result;
        int32_t value;
    };
    const Row rows[] = {
        {"+12", 0, 12},
        {"-7", 0, -7},
        {"12 abc", 0, 12},
        {"12\tx", 0, 12},
        {"0x1F", 0, 31},
        {"0xffffffff", 0, -1},
        {"0x", 0, 0},
        {"007", 0, 7},
        {"99999999999", 0, INT32_MAX},
        {"-99999999999", 0, INT32_MIN},
        {"12a", OM_E_FAIL, untouched},
        {"", OM_E_FAIL, untouched},
        {"-", OM_E_FAIL, untouched},
        {" 5", OM_E_FAIL, untouched},
        {"0x1G", OM_E_FAIL, untouched},
        {"0X1F", OM_E_FAIL, untouched},
    };
    for (const Row& row : rows) {
        int32_t value = untouched;
        EXPECT_EQ(OmParseInteger(row.text, &value), row.result) << row.text;
        EXPECT_EQ(value, row.value) << row.text;
    }
}

TEST(TextParseTest, HexadecimalText) {
    uint32_t value = 5;
    EXPECT_EQ(OmParseHex("", &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(OmParseHex("aBc9", &value), 0);
    EXPECT_EQ(value, 0xABC9u);
    EXPECT_EQ(OmParseHex("123456789", &value), 0) << "wraps in 32 bits";
    EXPECT_EQ(value, 0x23456789u);
    EXPECT_EQ(OmParseHex("12 ", &value), OM_E_FAIL);
    EXPECT_EQ(value, 0x23456789u);
}

TEST(TextParseTest, BytesAsTwoDigits) {
    char hex[3];
    OmByteToHex(0xA7, hex);
    EXPECT_STREQ(hex, "A7");
    OmByteToHex(0x05, hex);
    EXPECT_STREQ(hex, "05");
    for (int b = 0; b < 256; ++b) {
        OmByteToHex(uint8_t(b), hex);
        EXPECT_EQ(OmHexToByte(hex), b);
    }
    EXPECT_EQ(OmHexToByte("G5"), 0x05) << "a non-digit counts as 0";
    EXPECT_EQ(OmHexToByte(""), 0);
}

} // namespace
