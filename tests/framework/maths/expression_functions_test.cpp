// The expression language's built-in functions.
#include "framework/maths/expression_functions.h"
#include "framework/maths/random.h"
#include "tests/support/framework_fixture.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

class ExpressionFunctionsTest : public testsupport::FrameworkTest {};

// Calls `function` on the arguments; the result, or NaN when it failed.
float call(ExpressionFunction function, float a, float b = 0, float c = 0) {
    float arguments[3] = {a, b, c};
    return function(arguments) < 0 ? NAN : arguments[0];
}

TEST_F(ExpressionFunctionsTest, EachBuiltinComputesItsTableValue) {
    struct Row {
        const char* what;
        ExpressionFunction function;
        float a, b, c, expected;
    };
    const Row rows[] = {
        {"+", OmExpressionAdd, 2, 3, 0, 5},
        {"-", OmExpressionSubtract, 2, 3, 0, -1},
        {"*", OmExpressionMultiply, 2, 3, 0, 6},
        {"/", OmExpressionDivide, 3, 2, 0, 1.5f},
        {"/ 0", OmExpressionDivide, 1, 0, 0, INFINITY},
        {"7 % 3", OmExpressionRemainder, 7, 3, 0, 1},
        {"-7 % 3", OmExpressionRemainder, -7, 3, 0, -1},
        {"7.9 % 2.5", OmExpressionRemainder, 7.9f, 2.5f, 0, 1},
        {"unary-", OmExpressionNegate, 4, 0, 0, -4},
        {"! 0", OmExpressionNot, 0, 0, 0, 1},
        {"! 2", OmExpressionNot, 2, 0, 0, 0},
        {"&&", OmExpressionAnd, 2, 3, 0, 1},
        {"&& 0", OmExpressionAnd, 2, 0, 0, 0},
        {"||", OmExpressionOr, 0, -1, 0, 1},
        {"|| 0", OmExpressionOr, 0, 0, 0, 0},
        {"==", OmExpressionEqual, 2, 2, 0, 1},
        {"<", OmExpressionLess, 1, 2, 0, 1},
        {"< equal", OmExpressionLess, 2, 2, 0, 0},
        {">", OmExpressionGreater, 3, 2, 0, 1},
        {"abs", OmExpressionAbs, -2.5f, 0, 0, 2.5f},
        {"sqrt", OmExpressionSqrt, 9, 0, 0, 3},
        {"pow", OmExpressionPow, 2, 3, 0, 8},
        {"sin 90", OmExpressionSin, 90, 0, 0, 1},
        {"sin 30", OmExpressionSin, 30, 0, 0, 0.5f},
        {"cos 0", OmExpressionCos, 0, 0, 0, 1},
        {"tan 45", OmExpressionTan, 45, 0, 0, 1},
        {"range high", OmExpressionRange, 5, 3, 1, 3},
        {"range low", OmExpressionRange, 0, 3, 1, 1},
        {"range crossed", OmExpressionRange, 2, 1, 3, 3},
        {"wrap 370", OmExpressionWrap, 370, 360, 0, 10},
        {"wrap -10", OmExpressionWrap, -10, 360, 0, -10},
        {"wrap 725", OmExpressionWrap, 725, 360, 0, 5},
        {"wrap empty span", OmExpressionWrap, 42, 7, 7, 42},
    };
    for (const Row& row : rows) {
        float value = call(row.function, row.a, row.b, row.c);
        if (std::isinf(row.expected))
            EXPECT_EQ(value, row.expected) << row.what;
        else
            EXPECT_NEAR(value, row.expected, 1e-6f) << row.what;
    }
}

TEST_F(ExpressionFunctionsTest, RemainderRefusesWhatWouldTrap) {
    EXPECT_TRUE(std::isnan(call(OmExpressionRemainder, 5, 0)));
    EXPECT_TRUE(std::isnan(call(OmExpressionRemainder, 5, 0.5f))) << "truncates to 0";
    EXPECT_TRUE(std::isnan(call(OmExpressionRemainder, float(INT_MIN), -1)));
    EXPECT_EQ(call(OmExpressionRemainder, 1e20f, 7), float(INT_MIN % 7))
        << "out of range reads as the most negative integer";
}

TEST_F(ExpressionFunctionsTest, RandomDrawsFromOneSharedGenerator) {
    for (int n = 0; n < 100; ++n) {
        float r = call(OmExpressionRandom, 10, 5);
        ASSERT_GE(r, 5);
        ASSERT_LT(r, 10);
    }
    auto* shared = static_cast<IRandom*>(OmLookupGlobalObject(OM_EXPRESSION_RANDOM_ID));
    ASSERT_NE(shared, nullptr);
    shared->Random_Seed(7);
    float expected = shared->Random_NextReal() * 4 + 1;
    shared->Random_Seed(7);
    EXPECT_FLOAT_EQ(call(OmExpressionRandom, 5, 1), expected);
    EXPECT_EQ(OmLookupGlobalObject(OM_EXPRESSION_RANDOM_ID), shared) << "kept, not remade";
}

TEST_F(ExpressionFunctionsTest, TheBuiltinTableHoldsEverySymbol) {
    int binary = 0;
    for (const ExpressionBuiltin& builtin : om_expression_builtins) {
        EXPECT_NE(builtin.function, nullptr) << builtin.name;
        binary += builtin.arity == 2;
    }
    EXPECT_EQ(binary, 12);
    EXPECT_STREQ(om_expression_builtins[5].name, "unary-");
    EXPECT_EQ(om_expression_builtins[15].arity, 3) << "range";
}

} // namespace
