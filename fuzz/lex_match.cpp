// Fuzzes the lexical analysers: hostile patterns and {name} definitions parsed into NFA
// states, the deterministic tables built from them, and streams matched by both. The NFA and
// the DFA built from the same rules must cut every stream of 7-bit bytes into the same tokens.
//
// Input: a flags byte (bit 0: build and compare the DFA), a part of definition lines ("name
// pattern"), a part of rule lines (one pattern each, token ids from 1), then the stream.
#include "framework/io/lex_analyser.h"
#include "fuzz/framework_harness.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using fuzzing::require;

// Bounds that keep one input's work small: rules and definitions as a grammar holds them,
// not patterns that ask for exponentially many deterministic states.
constexpr size_t kMaxLines = 4;
constexpr size_t kMaxLineLength = 32;
constexpr int kMaxTokens = 512;

std::vector<std::string> lines_of(std::span<const uint8_t> bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            lines.push_back(line);
            line.clear();
            if (lines.size() == kMaxLines) return lines;
        } else if (line.size() < kMaxLineLength) {
            line += static_cast<char>(b);
        }
    }
    if (!line.empty() && lines.size() < kMaxLines) lines.push_back(line);
    return lines;
}

ComRef<ILexRules> analyser_with(OmResult (*create)(ILexRules**),
                                const std::vector<std::string>& definitions,
                                const std::vector<std::string>& rules, bool& all_rules) {
    ComRef<ILexRules> made;
    require(create(made.put()) >= 0, "an analyser is created");
    for (const auto& definition : definitions) {
        const size_t blank = definition.find(' ');
        if (blank == std::string::npos) continue;
        made->DefineName(definition.substr(0, blank).c_str(), definition.substr(blank + 1).c_str());
    }
    all_rules = true;
    for (size_t i = 0; i < rules.size(); ++i)
        if (made->AddRule(rules[i].c_str(), static_cast<int32_t>(i + 1)) < 0) all_rules = false;
    return made;
}

struct Token {
    int32_t id;
    std::string text;
    bool operator==(const Token&) const = default;
};

// Every token of the stream; a byte that starts no token is passed over.
std::vector<Token> tokens_of(ILexRules* rules, std::span<const uint8_t> bytes) {
    ComRef<ILexAnalyser> analyser;
    require(rules->QueryInterface(IID_ILexAnalyser, analyser.put_void()) >= 0,
            "an analyser answers ILexAnalyser");
    auto input = fuzzing::stream_of(bytes);
    analyser->SetInput(input.get());
    std::vector<Token> tokens;
    for (int i = 0; i < kMaxTokens; ++i) {
        int32_t id = 0;
        if (analyser->NextToken(&id) < 0) break;
        require(id == analyser->GetTokenId(), "the id handed out is the token's");
        const char* text = analyser->GetTokenText();
        require(std::strlen(text) == analyser->GetTokenLength(), "the token length is its text's");
        tokens.push_back({id, text});
        if (id <= 0) {
            uint8_t skipped;
            uint32_t done = 0;
            input->Read(&skipped, 1, &done);
            if (done == 0) break;
        }
    }
    analyser->SetInput(nullptr);

    // The same stream searched from its start, and the whole text matched at once.
    auto again = fuzzing::stream_of(bytes);
    uint32_t length = 0;
    analyser->MatchStream(again.get(), &length);
    require(length <= bytes.size(), "a match lies inside the stream");
    analyser->MatchWhole(fuzzing::text_of(bytes).c_str());
    return tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;

    fuzzing::FuzzInput input(data, size);
    const bool compare = (input.byte() & 1) != 0;
    const auto definitions = lines_of(input.part());
    const auto rules = lines_of(input.part());
    const auto stream = input.rest();

    bool nfa_rules = false;
    auto nfa = analyser_with(OmNewNFALexAnalyser, definitions, rules, nfa_rules);
    require(nfa->Build() >= 0, "an NFA needs no build");
    const auto nfa_tokens = tokens_of(nfa.get(), stream);
    if (!compare) return 0;

    bool dfa_rules = false;
    auto dfa = analyser_with(OmNewDFALexAnalyser, definitions, rules, dfa_rules);
    require(nfa_rules == dfa_rules, "both analysers take the same rules");
    if (dfa->Build() < 0) return 0;
    require(dfa->AddRule("a", 99) < 0, "a built DFA takes no more rules");
    const auto dfa_tokens = tokens_of(dfa.get(), stream);
    // The deterministic tables have no transitions for bytes from 128 up.
    if (std::all_of(stream.begin(), stream.end(), [](uint8_t b) { return b < 128; }))
        require(dfa_tokens == nfa_tokens, "the DFA cuts the stream as the NFA");
    return 0;
}
