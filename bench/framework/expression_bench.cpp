// Expression speed: evaluating a 20-instruction program (the per-frame work of a function
// sound), parsing its text, and tokenising through the NFA and the DFA analysers.
#include "bench/framework/framework_services.h"
#include "framework/core/com_ref.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/stream_helpers.h"
#include "framework/maths/expression_parser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// speed 0.01 * 0.5 + 1 0 range angle sin * bias + =v ; v 2 * 1 - ; : 20 instructions.
constexpr char program_text[] =
    "v = range(speed * 0.01 + 0.5, 1, 0) * sin(angle) + bias; v * 2 - 1";

// The number of instructions a parse of the text leaves (counted by dropping them).
int instruction_count(IExpressionParser* parser) {
    ComRef<IExpression> e;
    OmNewExpression(e.put());
    parser->ExpressionParser_ParseText(program_text, e.get());
    int count = 0;
    while (e->Expression_DropLast() == 0) ++count;
    return count;
}

void BM_ExpressionEvaluate(benchmark::State& state) {
    bench::use_framework_allocator();
    ComRef<IExpressionParser> parser;
    ComRef<IExpression> e;
    OmNewExpressionParser(parser.put());
    OmNewExpression(e.put());
    if (instruction_count(parser.get()) != 20) state.SkipWithError("not a 20-instruction program");
    if (parser->ExpressionParser_ParseText(program_text, e.get()) != 0)
        state.SkipWithError("parse failed");
    e->Expression_SetVariable("speed", 40);
    e->Expression_SetVariable("angle", 30);
    e->Expression_SetVariable("bias", 0.25f);
    float value = 0;
    for (auto _ : state) {
        e->Expression_Evaluate(&value);
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExpressionEvaluate);

void BM_ExpressionParse(benchmark::State& state) {
    bench::use_framework_allocator();
    ComRef<IExpressionParser> parser;
    ComRef<IExpression> e;
    OmNewExpressionParser(parser.put());
    OmNewExpression(e.put());
    for (auto _ : state) {
        if (parser->ExpressionParser_ParseText(program_text, e.get()) != 0)
            state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(state.iterations() * int64_t(sizeof program_text - 1));
}
BENCHMARK(BM_ExpressionParse);

// Tokenising 4 KB of C-like text; the range picks the NFA (0) or the DFA (1).
void BM_LexTokens(benchmark::State& state) {
    bench::use_framework_allocator();
    ComRef<ILexRules> rules;
    (state.range(0) ? OmNewDFALexAnalyser : OmNewNFALexAnalyser)(rules.put());
    rules->DefineName("L", "[a-zA-Z_]");
    rules->DefineName("D", "[0-9]");
    rules->AddRule("{L}({L}|{D})*", 256);
    rules->AddRule("{L}({L}|{D})*\\(", 257);
    rules->AddRule("{D}+(\\.{D}*)?([Ee][\\-+]?{D}+)?", 258);
    rules->AddRule("[-+*/%=<>!&|(),;]", 259);
    rules->AddRule("[ \\t\\r\\n]+", 260);
    rules->AddRule(".", 261);
    rules->Build();
    ComRef<ILexAnalyser> analyser;
    rules->QueryInterface(IID_ILexAnalyser, analyser.put_void());
    std::string text;
    while (text.size() < 4096) text += "volume = range(speed * 0.01 + 0.5, 1, 0) * sin(a1); ";
    ComRef<IByteStream> stream;
    OmCreateTextStream(text.c_str(), stream.put());
    analyser->SetInput(stream.get());
    for (auto _ : state) {
        stream->Seek(0, OM_SEEK_START, nullptr);
        int32_t id;
        while (analyser->NextToken(&id) == 0 && id != 0) benchmark::DoNotOptimize(id);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_LexTokens)->Arg(0)->Arg(1);

} // namespace
