// Fields, tokens and words with quoted stretches.
#include "framework/core/text_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextFieldsTest, CountsOfFieldsAndTokens) {
    struct Row {
        const char* text;
        uint32_t fields;
        uint32_t tokens;
    };
    const Row rows[] = {
        {"a,,b", 3, 2},         {",,a,,b,", 6, 2},         {"", 1, 0},
        {",,,", 4, 0},          {"\"x,y\",z", 2, 2},       {"a", 1, 1},
        {"\"open,quote", 1, 1}, {"a,\"b,c\",\"d\"", 3, 3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(OmCountFields(row.text, ','), row.fields) << row.text;
        EXPECT_EQ(OmCountTokens(row.text, ','), row.tokens) << row.text;
    }
    EXPECT_EQ(OmCountFieldsQuoted("'a;b';c", ';', '\''), 2u);
    EXPECT_EQ(OmCountFieldsQuoted("'a;b';c", ';', '"'), 3u);
}

TEST(TextFieldsTest, GettingFieldsKeepsQuotesAndCutsToTheBuffer) {
    struct Row {
        const char* text;
        uint32_t index;
        OmResult result;
        const char* field;
    };
    const Row rows[] = {
        {"\"x,y\",z", 0, 0, "\"x,y\""},
        {"\"x,y\",z", 1, 0, "z"},
        {"a,,b", 1, 0, ""},
        {"a,,b", 2, 0, "b"},
        {"a,,b", 3, OM_E_FAIL, ""},
    };
    for (const Row& row : rows) {
        char buffer[16] = "";
        EXPECT_EQ(OmGetField(row.text, ',', row.index, buffer, sizeof buffer), row.result)
            << row.text << " #" << row.index;
        EXPECT_STREQ(buffer, row.field) << row.text << " #" << row.index;
    }
    char four[4];
    EXPECT_EQ(OmGetField("abcdefghij,k", ',', 0, four, sizeof four), 0);
    EXPECT_STREQ(four, "abc");
    EXPECT_EQ(OmGetField("abc", ',', 0, four, 0), OM_E_FAIL);
    EXPECT_EQ(OmFieldLength("ab\"c,d\"e,f", ',', '"'), 8u);
    const char* text = "a,b,c";
    EXPECT_EQ(OmFindField(text, ',', '"', 0), text);
    EXPECT_EQ(OmFindField(text, ',', '"', 2), text + 4);
    EXPECT_EQ(OmFindField(text, ',', '"', 3), nullptr);
}

TEST(TextFieldsTest, TokensSkipSeparatorRuns) {
    const char* text = "  one   \"two three\"  four ";
    EXPECT_EQ(OmCountWords(text), 3u);
    const char* expected[] = {"one", "\"two three\"", "four"};
    for (uint32_t i = 0; i < 3; ++i) {
        char buffer[32];
        ASSERT_EQ(OmGetWord(text, i, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, expected[i]);
    }
    char buffer[32];
    EXPECT_EQ(OmGetWord(text, 3, buffer, sizeof buffer), OM_E_FAIL);
    const char* list = ",,a,,b,";
    EXPECT_EQ(OmFindToken(list, ',', '"', 1), list + 5);
    EXPECT_EQ(OmFindToken(list, ',', '"', 2), nullptr);
    EXPECT_EQ(OmGetToken(list, ',', 1, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "b");
    EXPECT_EQ(OmGetTokenQuoted("x|'y|z'", '|', '\'', 1, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "'y|z'");
    EXPECT_EQ(OmFindToken(nullptr, ',', '"', 0), nullptr);
}

} // namespace
