// Fuzzes the expression language: hostile texts compiled by the expression parser and the
// programs it emits evaluated, with variables and a context of named values. A clone runs
// the same program with a copy of the variables, from the same context values, and must come
// to the same result.
//
// Input: the expression text.
#include "framework/containers/com_hash.h"
#include "framework/maths/expression_parser.h"
#include "fuzz/framework_harness.h"

#include <cmath>
#include <cstring>

namespace {

using fuzzing::require;

bool same(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

IExpressionParser* parser() {
    static ComRef<IExpressionParser> parser = [] {
        ComRef<IExpressionParser> made;
        require(OmNewExpressionParser(made.put()) >= 0, "a parser is created");
        // "random" makes its generator on first use and keeps it: made here, before any
        // input's blocks are counted.
        ComRef<IExpression> warm;
        require(OmNewExpression(warm.put()) >= 0, "an expression is created");
        float value = 0;
        require(made->ExpressionParser_ParseText("random(0, 1)", warm.get()) >= 0 &&
                    warm->Expression_Evaluate(&value) >= 0,
                "random evaluates");
        return made;
    }();
    return parser.get();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    parser();
    fuzzing::FrameworkBlocksBalanced balanced;

    ComRef<IObjHash> context;
    require(OmCreateObjHash(nullptr, context.put()) >= 0, "a context is created");
    // An assignment to a name the context holds writes the context, which a clone shares:
    // the clone runs after the context is set back to the values the original started from.
    const auto set_context = [&] {
        context->SetInt("count", 3);
        context->SetReal("speed", 0.5f);
        context->SetString("name", "2.5");
    };
    set_context();
    ComRef<IExpression> expression;
    require(OmNewExpression(expression.put()) >= 0, "an expression is created");
    expression->Expression_SetVariable("x", 2.0f);
    expression->Expression_SetVariable("y", -1.0f);
    expression->Expression_SetContext(context.get());

    auto stream = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    if (parser()->ExpressionParser_ParseStream(stream.get(), expression.get()) < 0) {
        // What was emitted before the error stays and must still evaluate safely.
        float value = 0;
        expression->Expression_Evaluate(&value);
        return 0;
    }
    ComRef<IExpression> clone;
    require(expression->Expression_Clone(0, clone.put()) >= 0, "an expression clones");
    float value = 0, cloned = 0;
    const OmResult r = expression->Expression_Evaluate(&value);
    set_context();
    const OmResult rc = clone->Expression_Evaluate(&cloned);
    const bool random = memmem(data, size, "random", 6) != nullptr;
    if (!random) {
        require(r == rc, "a clone evaluates as its original");
        require(r < 0 || same(value, cloned), "a clone comes to its original's value");
    }
    float again = 0;
    expression->Expression_Evaluate(&again);
    return 0;
}
