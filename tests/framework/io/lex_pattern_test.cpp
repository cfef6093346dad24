// The rule syntax: what each construct matches, and the diagnostics of bad patterns.
#include "framework/core/com_ref.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/lex_pattern.h"
#include "tests/support/framework_fixture.h"

#include <string>

namespace {

class LexPatternTest : public testsupport::FrameworkTest {
protected:
    // Builds a one-rule analyser of each kind (with the definitions D, L and the
    // self-referring R) and checks both agree on whether `text` matches whole.
    bool matches_whole(const char* pattern, const std::string& text) {
        bool results[2];
        for (int kind = 0; kind < 2; ++kind) {
            ComRef<ILexRules> rules;
            EXPECT_EQ(kind ? OmNewDFALexAnalyser(rules.put()) : OmNewNFALexAnalyser(rules.put()),
                      0);
            rules->DefineName("D", "[0-9]");
            rules->DefineName("L", "[a-zA-Z_]");
            rules->DefineName("ID", "{L}({L}|{D})*");
            EXPECT_EQ(rules->AddRule(pattern, 7), 0) << pattern;
            EXPECT_EQ(rules->Build(), 0);
            ComRef<ILexAnalyser> analyser;
            rules->QueryInterface(IID_ILexAnalyser, analyser.put_void());
            results[kind] = analyser->MatchWhole(text.c_str()) == 7;
        }
        EXPECT_EQ(results[0], results[1]) << "NFA and DFA differ on " << pattern;
        return results[0];
    }

    // The error number of parsing `pattern` alone, and its warning bits.
    int32_t error_of(const char* pattern, int32_t* warnings = nullptr) {
        LexNfa nfa;
        EXPECT_EQ(nfa.init(), 0);
        LexPatternResult result = OmLexParsePattern(
            &nfa, pattern,
            [](const char* name, void*) -> const char* {
                if (std::string(name) == "R") return "a{R}";
                if (std::string(name) == "D") return "[0-9]";
                return nullptr;
            },
            nullptr);
        if (warnings) *warnings = result.warnings;
        if (result.error != LEX_PATTERN_OK) {
            EXPECT_EQ(nfa.count(), 1) << "states dropped again";
        }
        return result.error;
    }
};

TEST_F(LexPatternTest, ConstructsMatchWhatTheSyntaxSays) {
    struct Row {
        const char* pattern;
        std::string text;
        bool whole;
    };
    const Row rows[] = {
        {"abc", "abc", true},
        {"abc", "ab", false},
        {"a|bc", "bc", true},
        {"a|bc", "ac", false},
        {"ab*", "a", true},
        {"ab*", "abbb", true},
        {"ab+", "a", false},
        {"ab+", "abb", true},
        {"ab?c", "ac", true},
        {"ab?c", "abc", true},
        {"ab?c", "abbc", false},
        {"(ab)+", "ababab", true},
        {"(a|b)*c", "abbac", true},
        {"[a-c]+", "abcab", true},
        {"[a-c]+", "abd", false},
        {"[c-a]x", "bx", false},
        {"[c-ax]", "x", true},
        {"[-a]", "-", true},
        {"[a-]", "-", true},
        {"[\\-+]", "-", true},
        {"[^a]", "b", true},
        {"[^a]", "a", false},
        {"[^ ]", " ", true},
        {"[^]", "\t", true},
        {"[^]", "a", false},
        {"[]+", " \t\r\n", true},
        {"[]", "a", false},
        {".", "a", true},
        {".", "\n", false},
        {".", "\r", false},
        {"\"a+(\"", "a+(", true},
        {"\"a+\"", "aa", false},
        {"\"\\\"\"", "\"", true},
        {"\\n\\N", "\n\n", true},
        {"\\t\\S", "\t ", true},
        {"\\b\\e\\f\\r", "\b\x1b\f\r", true},
        {"\\x41\\X4a", "AJ", true},
        {"\\101\\60", "A0", true},
        {"\\^A\\^z", "\x01\x1a", true},
        {"\\q\\.\\\\", "q.\\", true},
        {"\\(", "(", true},
        {"^a", "\na", true},
        {"^a", "a", false},
        {"a$", "a\n", true},
        {"a$", "a\r", true},
        {"a$", "a", false},
        {"{D}+", "123", true},
        {"{ID}", "_x9", true},
        {"{ID}", "9x", false},
        {"-", "-", true},
        {"a\"{D}\"", "a{D}", true},
        {"x{D}?y", "xy", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(matches_whole(row.pattern, row.text), row.whole)
            << row.pattern << " on \"" << row.text << "\"";
}

TEST_F(LexPatternTest, BadPatternsRaiseTheirDiagnostic) {
    struct Row {
        const char* pattern;
        int32_t error;
    };
    const Row rows[] = {
        {"", LEX_E_MALFORMED},       {"a)", LEX_E_MALFORMED},   {"[ab", LEX_E_MALFORMED},
        {"a}", LEX_E_MALFORMED},     {"()", LEX_E_MALFORMED},   {"a$b", LEX_E_MALFORMED},
        {"(ab", LEX_E_PAREN},        {"]", LEX_E_BRACKET},      {"a^", LEX_E_BOL},
        {"*a", LEX_E_CLOSURE},       {"a**", LEX_E_CLOSURE},    {"a+?", LEX_E_CLOSURE},
        {"\"a\nb\"", LEX_E_NEWLINE}, {"{D", LEX_E_MACRO_BRACE}, {"{nope}", LEX_E_NO_MACRO},
        {"{R}", LEX_E_MACRO_DEPTH},  {"a|", LEX_E_LONE_OR},     {"|a", LEX_E_LONE_OR},
        {"a||b", LEX_E_LONE_OR},     {"{D}+", LEX_PATTERN_OK},
    };
    for (const Row& row : rows) EXPECT_EQ(error_of(row.pattern), row.error) << row.pattern;
    for (int32_t n = 0; n <= LEX_E_LONE_OR; ++n) EXPECT_NE(OmLexErrorText(n), nullptr) << n;
    EXPECT_STREQ(OmLexErrorText(LEX_E_LONE_OR), "OR on its own");
    EXPECT_EQ(OmLexErrorText(14), nullptr);
}

TEST_F(LexPatternTest, ALiteralDashAtEitherEndOfAClassWarns) {
    int32_t warnings = 0;
    EXPECT_EQ(error_of("[-a]", &warnings), LEX_PATTERN_OK);
    EXPECT_EQ(warnings, 1 << LEX_W_START_DASH);
    EXPECT_EQ(error_of("[a-]", &warnings), LEX_PATTERN_OK);
    EXPECT_EQ(warnings, 1 << LEX_W_END_DASH);
    EXPECT_STREQ(OmLexWarningText(LEX_W_END_DASH), "Treating dash in [...-] as a literal dash");
}

} // namespace
