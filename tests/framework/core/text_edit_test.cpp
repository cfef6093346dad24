// In-place case folding, replacement and removal.
#include "framework/core/text_edit.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEditTest, ReplaceAll) {
    struct Row {
        const char* text;
        const char* find;
        const char* replacement;
        int32_t count;
        const char* result;
    };
    const Row rows[] = {
        {"a.b.c", ".", "::", 2, "a::b::c"},
        {"aaaa", "aa", "b", 2, "bb"},
        {"xax", "a", "aa", 1, "xaax"},
        {"{Channel} on {Channel}", "{Channel}", "7", 2, "7 on 7"},
        {"none", "z", "y", 0, "none"},
        {"abc", "", "y", 0, "abc"},
        {"abc", "abc", "", 1, ""},
    };
    for (const Row& row : rows) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s", row.text);
        EXPECT_EQ(OmStringReplaceAll(buffer, row.find, row.replacement), row.count) << row.text;
        EXPECT_STREQ(buffer, row.result) << row.text;
    }
}

TEST(TextEditTest, CharactersAndCase) {
    char text[] = "Ab-Cd-\xC4z";
    OmStringToUpper(text);
    EXPECT_STREQ(text, "AB-CD-\xC4Z");
    OmStringToLower(text);
    EXPECT_STREQ(text, "ab-cd-\xC4z") << "only ASCII letters change";
    OmStringReplaceChar(text, '-', '/');
    EXPECT_STREQ(text, "ab/cd/\xC4z");
    OmStringRemoveChar(text, '/');
    EXPECT_STREQ(text, "abcd\xC4z");
}

} // namespace
