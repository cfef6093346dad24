// The NFA and DFA analysers: longest match, rule order, callbacks, stream handling and the
// rules interface; the null analyser's refusals.
#include "framework/core/com_ref.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/stream_helpers.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <string>
#include <vector>

namespace {

constexpr int32_t identifier = 256, call = 272, number = 259, blank = 300, keyword = 310;

struct Kind {
    const char* name;
    OmResult (*create)(ILexRules**);
};
const Kind kinds[] = {{"NFA", OmNewNFALexAnalyser}, {"DFA", OmNewDFALexAnalyser}};

class LexAnalyserTest : public testsupport::FrameworkTest,
                        public ::testing::WithParamInterface<Kind> {
protected:
    void TearDown() override {
        analyser.reset();
        rules.reset();
        input.reset();
        FrameworkTest::TearDown();
    }
    void make() {
        ASSERT_EQ(GetParam().create(rules.put()), 0);
        ASSERT_EQ(rules->DefineName("L", "[a-zA-Z_]"), 0);
        ASSERT_EQ(rules->DefineName("D", "[0-9]"), 0);
    }
    void build() {
        ASSERT_EQ(rules->Build(), 0);
        ASSERT_EQ(rules->QueryInterface(IID_ILexAnalyser, analyser.put_void()), 0);
    }
    void read_from(const char* text) {
        ASSERT_EQ(OmCreateTextStream(text, input.put()), 0);
        ASSERT_EQ(analyser->SetInput(input.get()), 0);
    }
    uint32_t position() {
        uint32_t at = 0;
        input->Seek(0, OM_SEEK_CURRENT, &at);
        return at;
    }
    // Every token to the end: "id:text" each.
    std::vector<std::string> tokens() {
        std::vector<std::string> out;
        int32_t id;
        while (analyser->NextToken(&id) == 0 && id != 0)
            out.push_back(std::to_string(id) + ":" + analyser->GetTokenText());
        return out;
    }

    ComRef<ILexRules> rules;
    ComRef<ILexAnalyser> analyser;
    ComRef<IByteStream> input;
};

TEST_P(LexAnalyserTest, TheLongestMatchWins) {
    make();
    rules->AddRule("{L}({L}|{D})*", identifier);
    rules->AddRule("{L}({L}|{D})*\\(", call);
    rules->AddRule("[ ]+", blank);
    build();
    read_from("abc(");
    int32_t id = 0;
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(id, call);
    EXPECT_STREQ(analyser->GetTokenText(), "abc(");
    read_from("abc +");
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(id, identifier);
    EXPECT_EQ(analyser->GetTokenId(), identifier);
    EXPECT_STREQ(analyser->GetTokenText(), "abc");
    EXPECT_EQ(analyser->GetTokenLength(), 3u);
    EXPECT_EQ(position(), 3u);
}

TEST_P(LexAnalyserTest, OnATieTheRuleAddedFirstWins) {
    make();
    rules->AddRule("if", keyword);
    rules->AddRule("{L}+", identifier);
    rules->AddRule("{L}+", 999);
    build();
    EXPECT_EQ(analyser->MatchWhole("if"), keyword);
    EXPECT_EQ(analyser->MatchWhole("iff"), identifier);
    EXPECT_EQ(analyser->MatchWhole("i f"), 0) << "not the whole text";
}

OmResult turn_into_keyword(ILexAnalyser*, int32_t, int32_t* id) {
    *id = keyword;
    return OM_S_OK;
}
// The expression parser's way: read on past the blank.
OmResult skip(ILexAnalyser* analyser, int32_t, int32_t* id) {
    return analyser->NextToken(id);
}

TEST_P(LexAnalyserTest, ACallbackMayChangeTheTokenId) {
    make();
    rules->AddRuleEx("[]+", blank, turn_into_keyword);
    rules->AddRule("{D}+", number);
    build();
    read_from(" \t\n7");
    int32_t id = 0;
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(id, keyword);
    EXPECT_EQ(analyser->GetTokenId(), keyword);
    EXPECT_STREQ(analyser->GetTokenText(), " \t\n");
}

TEST_P(LexAnalyserTest, ASkippingCallbackHandsOutTheNextTokenOrTheEnd) {
    make();
    rules->AddRuleEx("[]+", blank, skip);
    rules->AddRule("{D}+", number);
    build();
    read_from("  12  3  ");
    EXPECT_EQ(tokens(), (std::vector<std::string>{"259:12", "259:3"}));
    int32_t id = 0;
    EXPECT_EQ(analyser->NextToken(&id), OM_E_ENDOFSTREAM);
}

TEST_P(LexAnalyserTest, NoMatchConsumesNothingAndTheEndIsReported) {
    make();
    rules->AddRule("{D}+", number);
    build();
    int32_t id = -5;
    EXPECT_EQ(analyser->NextToken(&id), OM_E_FAIL) << "no input";
    read_from("12x");
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(id, number);
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(id, 0);
    EXPECT_STREQ(analyser->GetTokenText(), "");
    EXPECT_EQ(position(), 2u) << "the unmatched x stays";
    input->Seek(0, OM_SEEK_END, nullptr);
    EXPECT_EQ(analyser->NextToken(&id), OM_E_ENDOFSTREAM);
    EXPECT_EQ(analyser->GetInput(), input.get());
    EXPECT_EQ(analyser->SetInput(nullptr), 0);
    EXPECT_EQ(analyser->GetInput(), nullptr);
}

TEST_P(LexAnalyserTest, MatchStreamSkipsToTheNextMatch) {
    make();
    rules->AddRule("[a-z]+", identifier);
    build();
    read_from("#! abc");
    uint32_t length = 99;
    EXPECT_EQ(analyser->MatchStream(input.get(), &length), identifier);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(position(), 3u) << "skipped bytes are gone, the match stays";
    input->Seek(0, OM_SEEK_END, nullptr);
    EXPECT_EQ(analyser->MatchStream(input.get(), &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(analyser->MatchText("123 xy", &length), identifier);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(analyser->MatchText("123", &length), 0);
}

TEST_P(LexAnalyserTest, LongTokensGrowTheTextBuffer) {
    make();
    rules->AddRule("a+", identifier);
    build();
    const std::string text(5000, 'a');
    read_from(text.c_str());
    int32_t id = 0;
    EXPECT_EQ(analyser->NextToken(&id), 0);
    EXPECT_EQ(analyser->GetTokenText(), text);
}

TEST_P(LexAnalyserTest, DefinitionsAreCopiedOutWhenTheyFit) {
    make();
    char buffer[6] = "junk";
    EXPECT_EQ(rules->GetDefinition("D", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "[0-9]");
    EXPECT_EQ(rules->GetDefinition("L", buffer, sizeof buffer), OM_E_FAIL) << "10 bytes";
    EXPECT_STREQ(buffer, "") << "emptied first";
    EXPECT_EQ(rules->GetDefinition("d", buffer, sizeof buffer), OM_E_FAIL) << "case counts";
    EXPECT_EQ(rules->AddRule("(", 1), OM_E_FAIL);
    EXPECT_EQ(rules->AddRule("{nope}", 1), OM_E_FAIL);
}

TEST_P(LexAnalyserTest, TokenTextAndDataAreKeptAsGiven) {
    make();
    build();
    EXPECT_EQ(analyser->SetTokenText("hello"), 0);
    EXPECT_STREQ(analyser->GetTokenText(), "hello");
    EXPECT_EQ(analyser->SetTokenText(analyser->GetTokenText() + 1), 0);
    EXPECT_STREQ(analyser->GetTokenText(), "ello");
    const uint8_t bytes[] = {1, 2, 0, 4};
    EXPECT_EQ(analyser->SetTokenData(bytes, 4), 0);
    uint32_t length = 0;
    const void* data = analyser->GetTokenData(&length);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(std::memcmp(data, bytes, 4), 0);
    EXPECT_EQ(analyser->Unsupported15(), OM_E_FAIL);
    EXPECT_EQ(analyser->Reserved17(), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LexAnalyserTest, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

class DFALexAnalyserTest : public testsupport::FrameworkTest {};

TEST_F(DFALexAnalyserTest, RulesEndWithTheBuild) {
    ComRef<ILexRules> rules;
    ASSERT_EQ(OmNewDFALexAnalyser(rules.put()), 0);
    ComRef<ILexAnalyser> analyser;
    rules->QueryInterface(IID_ILexAnalyser, analyser.put_void());
    EXPECT_EQ(analyser->MatchWhole("a"), 0);
    ComRef<IByteStream> input;
    OmCreateTextStream("a", input.put());
    analyser->SetInput(input.get());
    int32_t id;
    EXPECT_EQ(analyser->NextToken(&id), OM_E_FAIL) << "no tables before the build";
    EXPECT_EQ(rules->AddRule("a", 5), 0);
    EXPECT_EQ(rules->Build(), 0);
    EXPECT_EQ(rules->AddRule("b", 6), OM_E_FAIL);
    EXPECT_EQ(rules->DefineName("X", "x"), OM_E_FAIL);
    EXPECT_EQ(rules->Build(), OM_E_FAIL);
    EXPECT_EQ(analyser->MatchWhole("a"), 5);
    EXPECT_EQ(analyser->MatchWhole("\xC3"), 0) << "no transitions from 128 up";
}

// Met through the lexer fuzz harness: "(a|b)*a" followed by n more characters needs 2^(n+1)
// deterministic states, and a build for n = 12 already took seconds.
TEST_F(DFALexAnalyserTest, RulesThatOutgrowTheTablesAreRefused) {
    for (const auto& [repeats, built] : {std::pair{7, OM_S_OK}, std::pair{16, OM_E_FAIL}}) {
        ComRef<ILexRules> rules;
        ASSERT_EQ(OmNewDFALexAnalyser(rules.put()), 0);
        ASSERT_EQ(rules->DefineName("A", "(a|b)"), 0);
        std::string pattern = "(a|b)*a";
        for (int i = 0; i < repeats; ++i) pattern += "{A}";
        ASSERT_EQ(rules->AddRule(pattern.c_str(), 1), 0);
        EXPECT_EQ(rules->Build(), built) << repeats;
        ComRef<ILexAnalyser> analyser;
        rules->QueryInterface(IID_ILexAnalyser, analyser.put_void());
        if (built == OM_S_OK) {
            EXPECT_EQ(analyser->MatchWhole(("ba" + std::string(7, 'b')).c_str()), 1);
        } else {
            EXPECT_EQ(analyser->MatchWhole("ab"), 0) << "no tables";
            EXPECT_EQ(rules->AddRule("b", 2), 0) << "a refused build keeps the rules";
        }
    }
}

TEST_F(DFALexAnalyserTest, RulesOfIdZeroOrBelowNeverGiveATokenInTheDFA) {
    ComRef<ILexRules> nfa, dfa;
    ASSERT_EQ(OmNewNFALexAnalyser(nfa.put()), 0);
    ASSERT_EQ(OmNewDFALexAnalyser(dfa.put()), 0);
    for (ILexRules* rules : {nfa.get(), dfa.get()}) {
        rules->AddRule("ab", 4);
        rules->AddRule("abc", -1);
        rules->Build();
    }
    ComRef<ILexAnalyser> n, d;
    nfa->QueryInterface(IID_ILexAnalyser, n.put_void());
    dfa->QueryInterface(IID_ILexAnalyser, d.put_void());
    uint32_t length = 0;
    EXPECT_EQ(n->MatchText("abc", &length), -1);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(d->MatchText("abc", &length), 4);
    EXPECT_EQ(length, 2u);
}

// Token rules of a small C-like language, the corpus both automata must agree on.
const char* const corpus_rules[] = {
    "{L}({L}|{D})*",
    "{L}({L}|{D})*\\(",
    "\\(",
    "\\)",
    "==",
    "=",
    "<",
    ">",
    "{D}+((u|U|l|L)*)?",
    "{D}+([Ee][\\-+]?{D}+)(f|F)?",
    "{D}*\\.{D}+([Ee][\\-+]?{D}+)?",
    "{D}+\\.{D}*([Ee][\\-+]?{D}+)?",
    "\\-",
    "\\+",
    "\\*",
    "/",
    "%",
    "&&",
    "\\|\\|",
    "!",
    ",",
    ";",
    "[ \\t\\r\\n]+",
    "\"/*\"([^*]|\\*+[^*/])*\\*+/",
    "^#.*$",
    ".",
};

ComRef<ILexAnalyser> corpus_analyser(Kind kind) {
    ComRef<ILexRules> rules;
    kind.create(rules.put());
    rules->DefineName("L", "[a-zA-Z_]");
    rules->DefineName("D", "[0-9]");
    int32_t id = 256;
    for (const char* rule : corpus_rules) EXPECT_EQ(rules->AddRule(rule, id++), 0) << rule;
    EXPECT_EQ(rules->Build(), 0);
    ComRef<ILexAnalyser> analyser;
    rules->QueryInterface(IID_ILexAnalyser, analyser.put_void());
    return analyser;
}

// Every token of the text as "id:text", then the result that ended the run.
std::vector<std::string> tokenise(ILexAnalyser* analyser, const std::string& text) {
    int32_t id;
    ComRef<IByteStream> input;
    OmCreateTextStream(text.c_str(), input.put());
    analyser->SetInput(input.get());
    std::vector<std::string> out;
    OmResult r;
    while ((r = analyser->NextToken(&id)) == 0) {
        out.push_back(std::to_string(id) + ":" + analyser->GetTokenText());
        if (id == 0) break;
    }
    out.push_back(std::to_string(r));
    return out;
}

TEST_F(DFALexAnalyserTest, AgreesWithTheNFAOnACorpus) {
    std::vector<std::string> corpus = {
        "x = sin(30) + 2.5e3f * y1;",
        "a==b<c>d && !e || f % 3",
        "12UL .5 1. 7E-2 0x10",
        "/* note ** here */ z",
        "\n#define X 1\nnext",
        "",
        "pow (2, 3)",
        "a\r\nb\tc",
        "@@ ~ \x7f",
    };
    // Random texts over the characters the rules care about.
    const char alphabet[] = "ab_9.eE+-*/()=<>&|!,;# \t\n\r%fxL";
    uint32_t seed = 12345;
    for (int i = 0; i < 200; ++i) {
        std::string text;
        for (int n = 0; n < 40; ++n) {
            seed = seed * 1103515245u + 12345u;
            text += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        corpus.push_back(text);
    }
    ComRef<ILexAnalyser> nfa = corpus_analyser(kinds[0]), dfa = corpus_analyser(kinds[1]);
    for (const std::string& text : corpus)
        EXPECT_EQ(tokenise(nfa.get(), text), tokenise(dfa.get(), text)) << text;
    EXPECT_EQ(tokenise(dfa.get(), "f(2.5e3f)"),
              (std::vector<std::string>{"257:f(", "266:2.5e3", "256:f", "259:)",
                                        std::to_string(OM_E_ENDOFSTREAM)}));
}

TEST_F(DFALexAnalyserTest, TheNFAShowsItsStates) {
    ComRef<ILexRules> rules;
    ASSERT_EQ(OmNewNFALexAnalyser(rules.put()), 0);
    rules->AddRule("ab", 4);
    rules->AddRuleEx("a", 5, turn_into_keyword);
    ComRef<INFAStates> nfa;
    ASSERT_EQ(rules->QueryInterface(IID_INFAStates, nfa.put_void()), 0);
    ComRef<IBitFieldIntSet> start, after_a;
    ASSERT_EQ(OmNewBitFieldIntSet(start.put()), 0);
    ASSERT_EQ(nfa->StartSet(start.get()), 0);
    EXPECT_EQ(start->Contains(0), 1);
    OmLexCallback callback = turn_into_keyword;
    EXPECT_EQ(nfa->SetAccept(start.get(), &callback), 0);
    EXPECT_EQ(callback, nullptr);
    ASSERT_EQ(nfa->Move(start.get(), 'a', after_a.put()), 0);
    ASSERT_TRUE(after_a);
    ASSERT_EQ(nfa->SetClosure(after_a.get(), after_a.get()), 0);
    EXPECT_EQ(nfa->SetAccept(after_a.get(), &callback), 5);
    EXPECT_EQ(callback, &turn_into_keyword);
    IBitFieldIntSet* none = start.get();
    EXPECT_EQ(nfa->Move(start.get(), 'z', &none), 0);
    EXPECT_EQ(none, nullptr);
    int32_t on_a = -1;
    for (int32_t s = start->First(); s >= 0; s = start->Next(s))
        if (nfa->Transition(s, 'a') >= 0) on_a = s;
    ASSERT_GE(on_a, 0);
    EXPECT_EQ(nfa->Transition(on_a, 'b'), -1);
    EXPECT_EQ(nfa->Transition(9999, 'a'), -1);
    EXPECT_EQ(nfa->Closure(9999, start.get()), OM_E_FAIL);
}

class NullLexAnalyserTest : public testsupport::FrameworkTest {};

TEST_F(NullLexAnalyserTest, RefusesEveryMatchingOperation) {
    ComRef<ILexAnalyser> analyser = testsupport::module_object<ILexAnalyser>(
        NullLexAnalyser_GetClassObject, OmNullLexAnalyserClassId(), IID_ILexAnalyser);
    ASSERT_TRUE(analyser);
    EXPECT_NE(OmNullLexAnalyserClassId(), GUID{});
    ComRef<IByteStream> input;
    OmCreateTextStream("a", input.put());
    int32_t id;
    uint32_t length;
    EXPECT_EQ(analyser->MatchWhole("a"), OM_E_FAIL);
    EXPECT_EQ(analyser->SetInput(input.get()), OM_E_FAIL);
    EXPECT_EQ(analyser->GetInput(), nullptr);
    EXPECT_EQ(analyser->NextToken(&id), OM_E_FAIL);
    EXPECT_EQ(analyser->MatchStream(input.get(), &length), OM_E_FAIL);
    EXPECT_EQ(analyser->SetTokenText("kept"), 0);
    EXPECT_STREQ(analyser->GetTokenText(), "kept");
    ComRef<ILexRules> rules;
    EXPECT_EQ(analyser->QueryInterface(IID_ILexRules, rules.put_void()), OM_E_NOINTERFACE);
}

TEST_F(NullLexAnalyserTest, TheModulesMakeTheirClasses) {
    ComRef<ILexRules> nfa = testsupport::module_object<ILexRules>(
        NFALexAnalyser_GetClassObject, CLSID_NFALexAnalyser, IID_ILexRules);
    ComRef<ILexRules> dfa = testsupport::module_object<ILexRules>(
        DFALexAnalyser_GetClassObject, CLSID_DFALexAnalyser, IID_ILexRules);
    ASSERT_TRUE(nfa && dfa);
    ComRef<INFAStates> states;
    EXPECT_EQ(nfa->QueryInterface(IID_INFAStates, states.put_void()), 0);
    EXPECT_EQ(dfa->QueryInterface(IID_INFAStates, states.put_void()), OM_E_NOINTERFACE);
}

} // namespace
