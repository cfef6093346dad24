// The built-in functions of the expression language and the table the parser defines them
// from.
#pragma once

#include "framework/maths/expression.h"

// The program-wide object under which the language's shared Random is kept.
inline constexpr GUID OM_EXPRESSION_RANDOM_ID = om_guid("D49ECC14-412A-11D5-A4B4-00010239331A");

// Each takes its arguments a, b, c from arguments[0..] and writes the result over a.
OmResult OmExpressionAdd(float* arguments);
OmResult OmExpressionSubtract(float* arguments);
OmResult OmExpressionMultiply(float* arguments);
// A zero divisor gives the IEEE infinity or NaN.
OmResult OmExpressionDivide(float* arguments);
// Integer remainder of the operands truncated toward zero; OM_E_FAIL for a divisor that
// truncates to 0 and for the most negative integer by -1.
OmResult OmExpressionRemainder(float* arguments);
OmResult OmExpressionNegate(float* arguments);
OmResult OmExpressionNot(float* arguments);
OmResult OmExpressionAnd(float* arguments);
OmResult OmExpressionOr(float* arguments);
OmResult OmExpressionEqual(float* arguments);
OmResult OmExpressionLess(float* arguments);
OmResult OmExpressionGreater(float* arguments);
OmResult OmExpressionAbs(float* arguments);
OmResult OmExpressionSqrt(float* arguments);
OmResult OmExpressionPow(float* arguments);
// Degrees.
OmResult OmExpressionSin(float* arguments);
OmResult OmExpressionCos(float* arguments);
OmResult OmExpressionTan(float* arguments);
// range(x, upper, lower): x limited to upper, then raised to lower.
OmResult OmExpressionRange(float* arguments);
// wrap(x, upper, lower): x folded into the span from lower, keeping the sign of x - lower;
// an empty span gives x.
OmResult OmExpressionWrap(float* arguments);
// random(upper, lower): a draw in [lower, upper) from the shared Random, which is made and
// kept as a program-wide object on first use (its creation or registration failure is
// returned).
OmResult OmExpressionRandom(float* arguments);

struct ExpressionBuiltin {
    const char* name;
    int32_t arity;
    int32_t precedence;
    ExpressionFunction function;
};

// The 21 symbols a new parser defines, in definition order.
extern const ExpressionBuiltin om_expression_builtins[21];
